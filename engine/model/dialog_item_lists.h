// The item lists that several dialogs show. No dialog keeps a copy of the general
// settings: the settings dialog is made from GeneralSettings when it opens and saves
// through the settings schema.
#pragma once

#include <string>
#include <vector>

namespace tarvedde {

// The AQASYS parameter editor's two lists, the lines of AQASYSITEMS.TXT and
// AQASYSNAMES.TXT as they are (a missing file: an empty list).
struct AqasysEditorLists {
    std::vector<std::string> items;
    std::vector<std::string> names;
    int itemCount = 0;  // the lines of the first
};

// The loader rebuilds them with the item list.
struct DialogItemLists {
    std::vector<std::string> itemNames;  // item settings, logging, maintenance, counter dialogs
    std::vector<std::string> diaryItemChoice;  // diary dialog: "undefiniert" first
    AqasysEditorLists aqasysEditor;            // AQASYS mode only
};

}  // namespace tarvedde
