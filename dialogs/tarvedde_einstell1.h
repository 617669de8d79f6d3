// The general settings dialog ("Einstellungen (Datenerfassung)"): cycle interval, buffer
// sizes, day-change time, DDE service and topic, item count, value delimiters and the
// output switches. A view copies the control values below in both directions and calls
// the handlers.
//
// Guarantees: showing reads the settings files anew into the running program and the
// controls. btSpeichernClick refuses, before anything changes, a service or topic that
// TARVEDDE.INI could not hold; otherwise it saves even when a restart is needed, then
// holds acquisition until that restart. A write the disk refuses is told to the operator.
#pragma once

#include <string>
#include <vector>

#include "engine/frame/tarvedde_main.h"

namespace tarvedde {

// The printer dialog, shown modally by the settings dialog.
class PrinterDialog {
public:
    virtual ~PrinterDialog() = default;
    // The stored printer index once the dialog has closed; below 0: no printer chosen.
    virtual int ShowModal() = 0;
};

class TFo_Einstell1 {
public:
    TFo_Einstell1(TarveddeMain& main, PrinterDialog& printerDialog)
        : main_(main), printerDialog_(printerDialog) {}

    inline static const std::vector<std::string> coIntervallItems{"Sekunde(n)", "Minute(n)",
                                                                  "Stunde(n)"};
    inline static const std::vector<std::string> eServiceItems{"AQAP", "ARCNET", "DDE-Server"};
    inline static const std::vector<std::string> eTopicItems{"64", "ServerSimulation", "MONAT"};

    // Control values.
    bool visible = false;
    int spIntervall = 1;        // 1..59
    int coIntervall = 0;        // index into coIntervallItems
    int spPuffer = 5;           // 1..3600 intervals
    bool cb_var = false;        // scaling from VAR.INI
    int spGleit = 360;          // 10..360
    int spGleitIntervall = 10;  // 6..300 seconds
    bool cbIni = false;         // day change not at midnight
    std::string eTini = "00:00:00";
    bool eTiniEnabled = false;
    std::string eService = "DDE-Server";
    std::string eTopic = "ServerSimulation";
    int spItems = 1;  // 0..spItemsMaxValue
    int spItemsMaxValue = 180;
    bool spItemsEnabled = true;
    std::vector<std::string> M1{"13", "10"};  // prefix codes, one a line
    std::vector<std::string> M2{"13", "10"};  // suffix codes
    bool cbAutoStart = true;
    bool cbAutoStartEnabled = true;
    bool cbRohSpeichern = false;
    bool cbTarveView = true;
    bool cbTarveget = true;
    bool cbDruck = false;

    void FormShow();
    // After the view has set `cbIni`.
    void cbIniClick();
    // After the view has set `cbDruck`.
    void cbDruckClick();
    void BitBtn1Click();  // "Drucker"
    void btSpeichernClick();
    void btAbbrechenClick() { visible = false; }

private:
    bool TextsFit();
    bool DayChangeTimeFits();
    void ApplyDayChangeTime();
    bool RestartNeeded() const;
    void ApplyInterval();
    bool AddNewItems(IniFile& ini);
    bool WriteKeys(IniFile& ini);
    void WriteDelimiterFile(const char* name, const std::vector<std::string>& lines);
    bool PrinterChosen();
    bool Aqasys() const;

    TarveddeMain& main_;
    PrinterDialog& printerDialog_;
    // What the settings held when the dialog was shown.
    int shownBufferSize_ = 0;
    int shownItemCount_ = 0;
    bool shownAqasys_ = false;
};

}  // namespace tarvedde
