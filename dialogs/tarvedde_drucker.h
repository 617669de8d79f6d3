// The printer dialog: which installed printer prints the day protocol, kept in
// [DDE] Drucker and Druckername. A view copies the control values below in both
// directions and calls the handlers.
//
// Guarantees: nothing is written or selected until OK with a printer chosen; a fax
// printer is never stored.
#pragma once

#include <string>
#include <vector>

#include "engine/config/configuration.h"
#include "engine/model/host.h"
#include "outputs/program_log.h"
#include "platform/printers.h"

namespace tarvedde {

// Makes printer `index` (-1: the default) the one printing uses; an index the platform
// refuses falls back to the default printer, with a log line.
void SelectPrinterOrDefault(Printers& printers, int index, ProgramLog& log);

class TFo_Drucker {
public:
    TFo_Drucker(const Configuration& config, Host& host, ProgramLog& log, Printers& printers)
        : config_(config), host_(host), log_(log), printers_(printers) {}

    // Control values.
    bool visible = false;
    std::vector<std::string> lbDrucker;  // position i is printer index i
    int lbDruckerItemIndex = -1;
    std::string Label2;  // the printer in use

    // Event handlers.
    void FormShow();
    void btOKClick();
    void btAbbrechenClick();

    // The stored printer index after the last showing: -1 the default printer, -2 none
    // installed. The settings dialog asks it whether a printer is chosen.
    int Drucker() const { return drucker_; }

    static constexpr int kNoPrinter = -2;

private:
    void ShowCurrentPrinter();

    const Configuration& config_;
    Host& host_;
    ProgramLog& log_;
    Printers& printers_;
    int drucker_ = -1;
};

}  // namespace tarvedde
