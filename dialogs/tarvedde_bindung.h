// The binding of the diary indexes in AQASYS mode ("Bindung der DDE-Parameter an das
// Tagebuch"): per index one AQASYS parameter, the value handed over and, optionally, the
// hours of the day the value is taken from.
#pragma once

#include <string>

#include "dialogs/diary_binding_form.h"

namespace tarvedde {

class TFo_bindung final : public DiaryBindingForm {
public:
    using DiaryBindingForm::DiaryBindingForm;

    std::string Caption = "Bindung der DDE-Parameter an das Tagebuch";
    int spT1 = 0;   // first hour, 0..23
    int spT2 = 24;  // last hour, 1..24

    void cbZeitClick();
    void spT1Change();
    void spT2Change();
    void btSpeichernClick();

private:
    DiaryBinding* RecordOfSelection() override;
    void ShowTimeFields(DiaryBinding& record) override;
    void TakeItem(DiaryBinding& record, int n) const override;
    // AQASYS parameters are no configured items: every value kind may be chosen.
    int CheckedItem(const DiaryBinding&) const override { return 0; }
    void TakeHours(DiaryBinding& record);
};

}  // namespace tarvedde
