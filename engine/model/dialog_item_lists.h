// The item lists that several dialogs show. No dialog keeps a copy of the general
// settings: the settings dialog is made from GeneralSettings when it opens and saves
// through the settings schema.
#pragma once

#include <string>
#include <vector>

namespace tarvedde {

// The loader rebuilds them with the item list.
struct DialogItemLists {
    std::vector<std::string> itemNames;  // item settings, logging, maintenance, counter dialogs
    std::vector<std::string> diaryItemChoice;  // diary dialog: "undefiniert" first
};

}  // namespace tarvedde
