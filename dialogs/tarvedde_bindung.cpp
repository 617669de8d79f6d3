#include "dialogs/tarvedde_bindung.h"

#include <algorithm>

namespace tarvedde {

// The list shows the positions of ONLINE.TVW; each edits the record of its name.
DiaryBinding* TFo_bindung::RecordOfSelection() {
    if (lbCgetItemIndex < 0 || lbCgetItemIndex >= static_cast<int>(lbCget.size())) {
        return nullptr;
    }
    const std::string& name = lbCget[static_cast<std::size_t>(lbCgetItemIndex)];
    const auto found = std::find_if(working_.begin(), working_.end(),
                                    [&](const DiaryBinding& b) { return b.name == name; });
    if (found == working_.end()) {
        op_.ShowMessage("Der Tagebuchname wurde nicht gefunden !");
        lbCgetItemIndex = -1;
        return nullptr;
    }
    return &*found;
}

void TFo_bindung::TakeItem(DiaryBinding& record, int n) const {
    const AqasysEditorLists& lists = config_.DialogLists().aqasysEditor;
    const auto at = static_cast<std::size_t>(n - 1);
    record.itemAddress =
        at < lists.items.size() ? lists.items[at] : cbDDE[static_cast<std::size_t>(n)];
    record.itemName =
        at < lists.names.size() ? lists.names[at] : cbDDE[static_cast<std::size_t>(n)];
}

void TFo_bindung::ShowTimeFields(DiaryBinding& record) {
    spT1 = record.timeRestricted ? std::clamp(record.timeFrameMode, 0, 23) : 0;
    spT2 = record.timeRestricted ? std::clamp(record.allDayMask, 1, 24) : 24;
}

void TFo_bindung::TakeHours(DiaryBinding& record) {
    spT1 = std::clamp(spT1, 0, 23);
    spT2 = std::clamp(spT2, 1, 24);
    record.timeFrameMode = spT1;
    record.allDayMask = spT2;
}

void TFo_bindung::cbZeitClick() {
    if (DiaryBinding* record = RecordOfSelection()) {
        record->timeRestricted = cbZeit;
        TakeHours(*record);
    }
}

void TFo_bindung::spT1Change() {
    if (DiaryBinding* record = RecordOfSelection()) {
        TakeHours(*record);
    }
}

void TFo_bindung::spT2Change() {
    spT1Change();
}

void TFo_bindung::btSpeichernClick() {
    for (DiaryBinding& record : working_) {
        if (!record.timeRestricted) {
            record.timeFrameMode = 0;
            record.allDayMask = 24;
        }
    }
    diary_.ReplaceBindings(working_);
    Rewrite();
    visible = false;
}

}  // namespace tarvedde
