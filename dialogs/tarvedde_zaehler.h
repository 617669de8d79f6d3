// The counter dialog (" Zählerstände, Protokollierung und Statistik"): an item's counter
// base reading and counter logging flags, and its day minimum and maximum. A view copies
// the control values below in both directions and calls the handlers; list position p is
// item p + 1.
//
// Guarantees: base readings are edited on a working copy and reach the running program
// only through btSpeichernClick, which writes the item's counter keys to TARVEDDE_VAR.INI;
// closing writes those of every item, and a write the disk refuses is told to the
// operator.
#pragma once

#include <string>
#include <vector>

#include "engine/config/configuration.h"
#include "engine/model/host.h"
#include "engine/processing/per_value_processing.h"
#include "outputs/program_log.h"
#include "platform/locale.h"

namespace tarvedde {

class TFo_Zaehler {
public:
    TFo_Zaehler(Configuration& config, ValueProcessor& processor, Host& host, ProgramLog& log,
                const Locale& locale)
        : config_(config), processor_(processor), host_(host), log_(log), locale_(locale) {}

    // Control values.
    std::vector<std::string> lbDDE;
    int lbDDEItemIndex = -1;
    std::string eAktuell;  // "Tageszählerstand"
    std::string eGesamt;   // "Gesamtzählerstand"
    std::string eBasis;    // "Basisstand"
    std::string eNeu;
    std::string lbEinheit;
    bool cbSum = false;  // "Gesamtzählerstand protokollieren"
    bool cbTag = true;   // "Tagesmenge immer protokollieren"
    bool gespiegeltVisible = false;
    bool tsZaehlerEnabled = true;  // the page "Zähler"
    std::string eMin;
    std::string eMax;

    void FormShow();
    void lbDDEClick();
    void btSetzenClick();
    void btSpeichernClick();
    void btMinClick();    // "Min auf Max setzen"
    void btMaxClick();    // "Max auf Min setzen"
    void Button1Click();  // every minimum to its maximum
    void Button2Click();  // every maximum to its minimum
    void FormClose();

private:
    int SelectedItem() const { return lbDDEItemIndex + 1; }
    bool HasSelection() const {
        return lbDDEItemIndex >= 0 && lbDDEItemIndex < config_.Settings().itemCount;
    }
    void LoadItem(int n);
    std::string Reading(double value) const;
    bool MinimumToMaximum(int n);
    bool MaximumToMinimum(int n);

    Configuration& config_;
    ValueProcessor& processor_;
    Host& host_;
    ProgramLog& log_;
    const Locale& locale_;
    PerItem<double> workingReadings_{};
    // Readings the operator set: only these replace the model's, which a day change may
    // have moved on since the dialog was shown.
    PerItem<bool> readingsSet_{};
};

}  // namespace tarvedde
