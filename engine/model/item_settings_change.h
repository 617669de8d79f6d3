// What the operator's dialogs tell the running program when they saved an item's
// settings: the program settles what the change means for the day's figures and files.
#pragma once

#include "engine/model/item_model.h"

namespace tarvedde {

class ItemSettingsChange {
public:
    // The item settings dialog's save, after the configuration took it; `before` holds the
    // item's settings as they were.
    virtual void ItemSettingsChanged(int item, const ItemConfig& before) = 0;
    // The calibration dialog's save, after the configuration took it.
    virtual void CalibrationChanged() = 0;

protected:
    ~ItemSettingsChange() = default;
};

}  // namespace tarvedde
