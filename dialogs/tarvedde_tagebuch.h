// The binding of the diary positions in permanent mode ("Einstellungen zur Datenübergabe
// an das Tagebuch"): per position the item, the value handed over and when: within the
// item's time frame (the same day, or across the date change), all day or never on
// chosen weekdays.
#pragma once

#include <array>
#include <string>

#include "dialogs/diary_binding_form.h"

namespace tarvedde {

class TFo_Tagebuch final : public DiaryBindingForm {
public:
    using DiaryBindingForm::DiaryBindingForm;

    std::string Caption = "Einstellungen zur Datenübergabe an das Tagebuch";
    bool timeGroupsVisible = false;
    std::string eT1 = "00:00:00";
    std::string eT2 = "00:00:00";
    int rgZeitItemIndex = -1;  // 0 "fortlaufend (gleicher Tag)", 1 "mit Datumswechsel"
    std::array<bool, 8> cd{};  // " ganztägig ", index 1 Sunday .. 7 Saturday
    std::array<bool, 8> cn{};  // " niemals "

    void cbZeitClick();
    void rgZeitClick();
    // Any of the fourteen day boxes.
    void DayBoxClick();
    void btSpeichernClick();

private:
    DiaryBinding* RecordOfSelection() override;
    void ShowTimeFields(DiaryBinding& record) override;
    void TakeItem(DiaryBinding& record, int n) const override;
    int CheckedItem(const DiaryBinding& record) const override { return record.itemNumber; }
    void ClearTime(DiaryBinding& record);
    void ShowFrameTimes(const DiaryBinding& record);
};

}  // namespace tarvedde
