#include "dialogs/tarvedde_time_table.h"

#include <algorithm>

#include "platform/date_time.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

// Blanks go first: " 8" would be taken as a time but sort before "06", and the program
// acts on the times in the order of the file.
std::string PadTwo(std::string text) {
    std::erase(text, ' ');
    while (text.size() < 2) {
        text.insert(text.begin(), '0');
    }
    return text;
}

// A field that is not a number counts as 0, as the generator's start time.
int NumberOrZero(const std::string& text) {
    if (text.empty() || text.size() > 4 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    return std::stoi(text);
}

}  // namespace

std::string TFo_TimeTable::Path() const {
    return config_.ProgramDir() + TimeTableFileName(config_.Item(item));
}

void TFo_TimeTable::FormShow() {
    lbItem = config_.Item(item).itemName;
    lb1.clear();
    lb1ItemIndex = -1;
    frames_.LoadItemTimeTable(item, frames_.TablePlacingTime(), host_.op, &lb1);
    std::sort(lb1.begin(), lb1.end());
    modified_ = false;
}

void TFo_TimeTable::SpeedButton1Click() {
    if (lb1.size() >= static_cast<std::size_t>(kTimeTableSize)) {
        host_.op.ShowMessage("Max. " + std::to_string(kTimeTableSize) + " Einträge erlaubt !");
        return;
    }
    modified_ = true;
    eT1 = PadTwo(eT1);
    eT2 = PadTwo(eT2);
    eT3 = PadTwo(eT3);
    const std::string text = eT1 + ":" + eT2 + ":" + eT3;
    if (!StrToTime(text, locale_)) {
        host_.op.ShowMessage("Ungültige Zeitangabe !");
        return;
    }
    const auto at = std::lower_bound(lb1.begin(), lb1.end(), text);
    if (at == lb1.end() || *at != text) {
        lb1.insert(at, text);
    }
}

void TFo_TimeTable::SpeedButton2Click() {
    if (lb1ItemIndex < 0 || lb1ItemIndex >= static_cast<int>(lb1.size())) {
        return;
    }
    lb1.erase(lb1.begin() + lb1ItemIndex);
    lb1ItemIndex = -1;
    modified_ = true;
}

void TFo_TimeTable::Generate(int stepMinutes) {
    if (host_.op.Ask("Tabelle wirklich überschreiben ?", QuestionButtons::YesNo) != Answer::Yes) {
        return;
    }
    const int start = NumberOrZero(eT1) * 60 + NumberOrZero(eT2);
    const int count = 24 * 60 / stepMinutes - 1;
    lb1.clear();
    lb1ItemIndex = -1;
    for (int k = 1; k <= count; ++k) {
        const double t = static_cast<double>(start + k * stepMinutes) / (24.0 * 60.0);
        lb1.push_back(FormatDateTime("hh:nn:ss", t, locale_));
    }
    std::sort(lb1.begin(), lb1.end());
}

// False when the file could not be written or removed; the operator is told.
bool TFo_TimeTable::Save() {
    const std::string path = Path();
    if (lb1.empty()) {
        const bool existed = host_.files.Exists(path);
        if (!DeleteIfExists(host_.files, path)) {
            host_.op.ShowMessage("Zeit-Tabelle >" + path + "< konnte nicht gelöscht werden !");
            return false;
        }
        if (existed) {
            host_.op.ShowMessage("Zeit-Tabelle >" + path + "< gelöscht.");
        }
    } else {
        if (!WriteLines(host_.files, path, lb1, true).ok()) {
            host_.op.ShowMessage("Zeit-Tabelle >" + path + "< konnte nicht gespeichert werden !");
            return false;
        }
        host_.op.ShowMessage("Zeit-Tabelle als >" + path + "< gespeichert.");
    }
    modified_ = false;
    return true;
}

void TFo_TimeTable::btSaveClick() {
    Save();
}

bool TFo_TimeTable::FormCloseQuery() {
    if (modified_ && host_.op.Ask("Tabelle speichern ?", QuestionButtons::YesNo) == Answer::Yes) {
        Save();
    }
    return true;
}

void TFo_TimeTable::FormClose() {
    frames_.LoadItemTimeTable(item, frames_.TablePlacingTime(), host_.op, nullptr);
}

}  // namespace tarvedde
