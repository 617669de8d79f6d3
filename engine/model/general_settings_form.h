// The values of the general settings dialog ("Datenerfassung") as plain data. The
// configuration loader fills them and reads some back; the dialog shows and edits them.
#pragma once

#include <string>
#include <vector>

namespace tarvedde {

struct GeneralSettingsForm {
    bool cb_var = false;
    bool cbIni = false;
    std::string eTini = "00:00:00";
    bool cbTarveget = true;
    std::vector<std::string> M1{"13", "10"};  // prefix character codes
    std::vector<std::string> M2{"13", "10"};  // suffix character codes
    int spGleit = 360;
    int spGleitIntervall = 10;
    int spPuffer = 5;
    int coIntervall = 0;  // 0 Sekunde(n), 1 Minute(n), 2 Stunde(n)
    int spIntervall = 10;
    int spItems = 0;
    bool spItemsEnabled = true;
    bool cbAutoStart = true;
    bool cbAutoStartEnabled = true;
    std::string eService;
    std::string eTopic;
    bool cbRohSpeichern = false;
    bool cbTarveView = true;
    bool cbTarveViewEnabled = true;
    bool cbDruck = false;
    bool cbDruckEnabled = true;
};

// The item lists that several dialogs show; the loader rebuilds them.
struct DialogItemLists {
    std::vector<std::string> itemNames;  // item settings, logging, maintenance, counter dialogs
    std::vector<std::string> diaryItemChoice;  // diary dialog: "undefiniert" first
};

}  // namespace tarvedde
