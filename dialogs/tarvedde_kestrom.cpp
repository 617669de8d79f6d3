#include "dialogs/tarvedde_kestrom.h"

#include <algorithm>
#include <iterator>

#include "engine/model/program_files.h"
#include "platform/text_file.h"

namespace tarvedde {

void TFo_Kestrom1::FormShow() {
    const AqasysEditorLists& lists = config_.DialogLists().aqasysEditor;
    lbDDE = lists.items;
    lbName = lists.names;
    lbDDEItemIndex = -1;
    visible = true;
    SavedOrReloaded();
}

void TFo_Kestrom1::KindOrNumberChanged() {
    eName.clear();
    btHinzuEnabled = true;
}

void TFo_Kestrom1::ListsChanged() {
    btZurueckEnabled = false;
    pnSpeichernVisible = true;
}

void TFo_Kestrom1::SavedOrReloaded() {
    pnSpeichernVisible = false;
    btZurueckEnabled = true;
}

void TFo_Kestrom1::lbDDEClick() {
    if (lbDDEItemIndex >= 0 && static_cast<std::size_t>(lbDDEItemIndex) < lbName.size()) {
        eName = lbName[static_cast<std::size_t>(lbDDEItemIndex)];
    }
}

void TFo_Kestrom1::btHinzuClick() {
    if (rgMessartItemIndex < 0 || rgMessartItemIndex >= static_cast<int>(kAqasysKinds.size())) {
        return;
    }
    std::string code = kAqasysKindLetters[rgMessartItemIndex] + std::to_string(eNummer);
    if (eName.empty()) {
        const auto name = host_.op.InputBox("Messwertname", "Name des Parameters ?", code);
        if (!name) {
            return;
        }
        eName = *name;
    }
    code += ";";
    const bool selected =
        lbDDEItemIndex >= 0 && static_cast<std::size_t>(lbDDEItemIndex) < lbDDE.size();
    const auto at = selected ? static_cast<std::size_t>(lbDDEItemIndex) : lbDDE.size();
    lbDDE.insert(lbDDE.begin() + static_cast<std::ptrdiff_t>(at), code);
    lbName.insert(lbName.begin() + static_cast<std::ptrdiff_t>(std::min(at, lbName.size())), eName);
    btHinzuEnabled = false;
    ListsChanged();
}

void TFo_Kestrom1::btLoeschenClick() {
    if (lbDDEItemIndex < 0 || static_cast<std::size_t>(lbDDEItemIndex) >= lbDDE.size()) {
        return;
    }
    const auto at = static_cast<std::ptrdiff_t>(lbDDEItemIndex);
    lbDDE.erase(lbDDE.begin() + at);
    if (static_cast<std::size_t>(at) < lbName.size()) {
        lbName.erase(lbName.begin() + at);
    }
    lbDDEItemIndex = -1;
    ListsChanged();
}

void TFo_Kestrom1::btSpeichernClick() {
    for (const auto& [file, lines] :
         {std::pair{kAqasysCodesFile, &lbDDE}, std::pair{kAqasysNamesFile, &lbName}}) {
        if (Status written = WriteLines(host_.files, config_.PathOf(file), *lines, false);
            !written) {
            log_.WriteLog(std::string(file) + ": " + written.error().message);
            return;
        }
    }
    config_.SetAqasysParameters(lbDDE, lbName);
    if (!lbDDE.empty()) {
        std::vector<DiaryBinding> records = diary_.Bindings();
        for (DiaryBinding& record : records) {
            // The code's last line; a deleted code's old number belongs to another by now.
            const auto line = std::find(lbDDE.rbegin(), lbDDE.rend(), record.itemAddress);
            record.itemNumber = static_cast<int>(std::distance(line, lbDDE.rend()));
        }
        diary_.ReplaceBindings(std::move(records));
        if (Status rewritten = diary_.RewriteBindingFile(); !rewritten) {
            log_.WriteLog(rewritten.error().message);
        }
        visible = false;
    }
    SavedOrReloaded();
}

void TFo_Kestrom1::btAbbrechenClick() {
    lbDDE = ReadLines(host_.files, config_.PathOf(kAqasysCodesFile)).value_or({});
    lbName = ReadLines(host_.files, config_.PathOf(kAqasysNamesFile)).value_or({});
    config_.SetAqasysParameters(lbDDE, lbName);
    lbDDEItemIndex = -1;
    SavedOrReloaded();
}

}  // namespace tarvedde
