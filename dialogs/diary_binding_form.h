// What the two diary binding dialogs share: a working copy of the binding records that
// becomes the binding only on save, the position list, the item selector and the choice
// of the value handed over. A view copies the control values in both directions and
// calls the handlers.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/config/configuration.h"
#include "engine/diary/diary_interface.h"
#include "outputs/program_log.h"
#include "platform/operator.h"

namespace tarvedde {

inline const std::array<std::string, 6> kDiaryTransferTypes = {
    "Mittelwert",         "Minimum",           "Maximum", "Betriebszeit / Summe",
    "Gleitendes Minimum", "Gleitendes Maximum"};

class DiaryBindingForm {
public:
    DiaryBindingForm(DiaryInterface& diary, const Configuration& config, Operator& op,
                     ProgramLog& log)
        : diary_(diary), config_(config), op_(op), log_(log) {}
    virtual ~DiaryBindingForm() = default;

    // Control values.
    bool visible = false;
    std::vector<std::string> lbCget;  // the positions of ONLINE.TVW
    int lbCgetItemIndex = -1;
    std::string lbIndex;             // the selected position's diary index
    std::string lbDDE;               // the bound item's address
    std::vector<std::string> cbDDE;  // entry 0: no item, entry n: item n
    int cbDDEItemIndex = 0;
    int rgWasItemIndex = -1;  // kDiaryTransferTypes
    bool cbZeit = false;

    void FormShow();
    void lbCgetClick();
    void cbDDEChange();
    void rgWasClick();
    // Discards the working copy.
    void btAbbrechenClick() { visible = false; }

    const std::vector<DiaryBinding>& WorkingCopy() const { return working_; }

protected:
    // The record a selected list entry edits; nullptr when none is selected.
    virtual DiaryBinding* RecordOfSelection() = 0;
    // The time fields of the selected record into the controls.
    virtual void ShowTimeFields(DiaryBinding& record) = 0;
    // The address and display name of entry n of the item selector.
    virtual void TakeItem(DiaryBinding& record, int n) const = 0;
    // The item the checks of the value choice apply to; 0: no checks.
    virtual int CheckedItem(const DiaryBinding& record) const = 0;
    // Writes the binding file and tells the operator when it could not.
    void Rewrite();

    DiaryInterface& diary_;
    const Configuration& config_;
    Operator& op_;
    ProgramLog& log_;
    std::vector<DiaryBinding> working_;
};

}  // namespace tarvedde
