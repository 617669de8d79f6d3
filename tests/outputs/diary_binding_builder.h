// A binding record with only what the diary tests vary: the position's name and diary
// index, the bound item and the kind of value handed over.
#pragma once

#include <string>

#include "outputs/diary_files.h"

namespace tarvedde::testing {

inline DiaryBinding BoundPosition(const std::string& name, int index, int item, int type) {
    DiaryBinding binding;
    binding.name = name;
    binding.diaryIndex = index;
    binding.itemNumber = item;
    binding.transferType = type;
    return binding;
}

}  // namespace tarvedde::testing
