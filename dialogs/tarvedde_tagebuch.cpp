#include "dialogs/tarvedde_tagebuch.h"

#include "platform/date_time.h"

namespace tarvedde {
namespace {

constexpr char kNoTime[] = "00:00:00";

int MaskOf(const std::array<bool, 8>& boxes) {
    int mask = 0;
    for (int d = 1; d <= 7; ++d) {
        mask |= boxes[static_cast<std::size_t>(d)] ? 1 << (d - 1) : 0;
    }
    return mask;
}

void ShowMask(int mask, std::array<bool, 8>& boxes) {
    for (int d = 1; d <= 7; ++d) {
        boxes[static_cast<std::size_t>(d)] = (mask >> (d - 1) & 1) != 0;
    }
}

}  // namespace

DiaryBinding* TFo_Tagebuch::RecordOfSelection() {
    if (lbCgetItemIndex < 0 || lbCgetItemIndex >= static_cast<int>(working_.size())) {
        return nullptr;
    }
    return &working_[static_cast<std::size_t>(lbCgetItemIndex)];
}

void TFo_Tagebuch::TakeItem(DiaryBinding& record, int n) const {
    record.itemAddress = config_.Item(n).serverItem;
    record.itemName = config_.Item(n).itemName;
}

void TFo_Tagebuch::ClearTime(DiaryBinding& record) {
    timeGroupsVisible = false;
    record.allDayMask = 0;
    record.neverMask = 0;
    record.timeFrameMode = -1;
    rgZeitItemIndex = -1;
    eT1 = kNoTime;
    eT2 = kNoTime;
    cd = {};
    cn = {};
}

void TFo_Tagebuch::ShowFrameTimes(const DiaryBinding& record) {
    const TimeFrame& frame = config_.Item(record.itemNumber).timeFrame;
    const std::string from = FormatDateTime("hh:nn:ss", frame.frameStart);
    const std::string to = FormatDateTime("hh:nn:ss", frame.frameEnd);
    eT1 = record.timeFrameMode == 1 ? to : from;
    eT2 = record.timeFrameMode == 1 ? from : to;
}

void TFo_Tagebuch::ShowTimeFields(DiaryBinding& record) {
    if (!record.timeRestricted) {
        ClearTime(record);
        return;
    }
    timeGroupsVisible = true;
    rgZeitItemIndex = record.timeFrameMode;
    if (record.itemNumber >= 1 && record.itemNumber <= maxItems &&
        (record.timeFrameMode == 0 || record.timeFrameMode == 1)) {
        ShowFrameTimes(record);
    }
    ShowMask(record.allDayMask, cd);
    ShowMask(record.neverMask, cn);
}

void TFo_Tagebuch::cbZeitClick() {
    DiaryBinding* record = RecordOfSelection();
    if (record == nullptr) {
        return;
    }
    record->timeRestricted = cbZeit;
    if (cbZeit) {
        timeGroupsVisible = true;
    } else {
        ClearTime(*record);
    }
}

void TFo_Tagebuch::rgZeitClick() {
    DiaryBinding* record = RecordOfSelection();
    if (record == nullptr || record->itemNumber < 1 || record->itemNumber > maxItems) {
        return;
    }
    record->timeFrameMode = rgZeitItemIndex;
    ShowFrameTimes(*record);
    // An item without a time frame has nothing to restrict the transfer to.
    if (eT1 == kNoTime && eT2 == kNoTime) {
        cbZeit = false;
        record->timeRestricted = false;
        ClearTime(*record);
    }
}

void TFo_Tagebuch::DayBoxClick() {
    DiaryBinding* record = RecordOfSelection();
    if (record == nullptr || !cbZeit || record->itemNumber <= 0) {
        return;
    }
    record->allDayMask = MaskOf(cd);
    record->neverMask = MaskOf(cn);
}

void TFo_Tagebuch::btSpeichernClick() {
    for (std::size_t k = 0; k < working_.size(); ++k) {
        DiaryBinding& record = working_[k];
        if (k < lbCget.size() && record.name != lbCget[k]) {
            log_.WriteLog(record.name + " wurde in >" + lbCget[k] + "< umbenannt.");
            record.name = CutDiaryName(lbCget[k]);
        }
        if (record.transferType < 0 && record.itemNumber > 0) {
            log_.WriteLog("Übergabetyp an das Tagebuch (" + std::to_string(k + 1) +
                          ") ist nicht ausgewählt !");
        }
    }
    diary_.ReplaceBindings(working_);
    Rewrite();
    visible = false;
}

}  // namespace tarvedde
