// The AQASYS parameter editor "DDE-Parameter von Kestrom AQASYS": the parameter codes
// (kind letter, number, ";") and their names, one line each, kept in AQASYSITEMS.TXT and
// AQASYSNAMES.TXT. A view copies the control values in both directions and calls the
// handlers. The lists are edited as working copies: only "Speichern" hands them to the
// retrieval and renumbers the diary bindings; "Abbrechen" reads the files again.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/config/configuration.h"
#include "engine/diary/diary_interface.h"
#include "engine/model/host.h"
#include "outputs/program_log.h"

namespace tarvedde {

// The radio group " Messart ": the kinds and their code letters, in this order.
inline const std::array<std::string, 8> kAqasysKinds = {
    "Analog", "Digital", "Labor", "MinMax", "Rechenwert", "Zählwert", "Betriebszeit", "Impulswert"};
inline constexpr char kAqasysKindLetters[] = "ADLMRZBI";

class TFo_Kestrom1 {
public:
    TFo_Kestrom1(Configuration& config, DiaryInterface& diary, Host& host, ProgramLog& log)
        : config_(config), diary_(diary), host_(host), log_(log) {}

    // Control values.
    bool visible = false;
    std::vector<std::string> lbDDE;   // codes
    std::vector<std::string> lbName;  // names
    int lbDDEItemIndex = -1;
    int rgMessartItemIndex = 0;
    int eNummer = 1;
    std::string eName;  // "Messwertname"
    bool btHinzuEnabled = true;
    bool btZurueckEnabled = true;
    bool pnSpeichernVisible = false;  // "Speichern", "Abbrechen"

    void FormShow();
    void rgMessartClick() { KindOrNumberChanged(); }
    void eNummerChange() { KindOrNumberChanged(); }
    void lbDDEClick();
    // "zur Liste hinzufügen"
    void btHinzuClick();
    // "Wert löschen"
    void btLoeschenClick();
    void btSpeichernClick();
    void btAbbrechenClick();
    // "Zurück"
    void btZurueckClick() { visible = false; }

private:
    void KindOrNumberChanged();
    void ListsChanged();
    void SavedOrReloaded();

    Configuration& config_;
    DiaryInterface& diary_;
    Host& host_;
    ProgramLog& log_;
};

}  // namespace tarvedde
