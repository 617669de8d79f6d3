#include "dialogs/diary_binding_form.h"

namespace tarvedde {

void DiaryBindingForm::FormShow() {
    visible = true;
    working_ = diary_.Bindings();
    lbCget = diary_.PositionNames();
    lbCgetItemIndex = -1;
    cbDDE = config_.DialogLists().diaryItemChoice;
}

void DiaryBindingForm::lbCgetClick() {
    DiaryBinding* record = RecordOfSelection();
    if (record == nullptr) {
        return;
    }
    lbIndex = std::to_string(record->diaryIndex);
    lbDDE = record->itemAddress;
    const bool listed =
        record->itemNumber >= 0 && record->itemNumber < static_cast<int>(cbDDE.size());
    cbDDEItemIndex = listed ? record->itemNumber : 0;
    rgWasItemIndex = record->transferType;
    cbZeit = record->timeRestricted;
    ShowTimeFields(*record);
}

void DiaryBindingForm::cbDDEChange() {
    DiaryBinding* record = RecordOfSelection();
    if (record == nullptr) {
        op_.ShowMessage("Fehlerhafter Tagebuch-Index !");
        return;
    }
    const int n = cbDDEItemIndex;
    if (n <= 0 || n >= static_cast<int>(cbDDE.size())) {
        record->itemNumber = 0;
        record->itemAddress.clear();
        record->itemName.clear();
        record->transferType = -1;
        rgWasItemIndex = -1;
    } else {
        record->itemNumber = n;
        TakeItem(*record, n);
    }
    lbDDE = record->itemAddress;
}

void DiaryBindingForm::rgWasClick() {
    DiaryBinding* record = RecordOfSelection();
    if (record == nullptr) {
        return;
    }
    const int n = CheckedItem(*record);
    if (n >= 1 && n <= maxItems) {
        const ItemConfig& item = config_.Item(n);
        if (rgWasItemIndex == 3 && !item.IsDigital() && !item.Integral && !item.Differenz) {
            op_.ShowMessage(
                "Sie haben keine Integral bzw. Differenz-Berechnung für diesen Wert ausgewählt !");
            rgWasItemIndex = 0;
        } else if ((rgWasItemIndex == 4 || rgWasItemIndex == 5) && !item.Gleitend) {
            if (item.IsDigital()) {
                op_.ShowMessage(
                    "Für diesen digitalen Wert kann kein gleit. Mittelwert berechnet werden !");
                rgWasItemIndex = 3;
            } else {
                op_.ShowMessage("Für diesen Wert wird kein gleitender Mittelwert berechnet !");
                rgWasItemIndex = 0;
            }
        }
    }
    record->transferType = rgWasItemIndex;
}

void DiaryBindingForm::Rewrite() {
    if (!diary_.RewriteBindingFile().ok()) {
        const std::string text = "Die Bindungsdatei konnte nicht geschrieben werden !";
        log_.WriteLog(text);
        op_.ShowMessage(text);
    }
}

}  // namespace tarvedde
