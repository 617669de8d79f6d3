// The retrieval dialog " AQASYS-Werte neu abrufen" (AQASYS mode, menu "Daten"): marks the
// days from "vom" to "bis" of one year as unread in that year's container, so that the
// transfer fetches them again. A view copies the control values in both directions and
// calls the handlers; the program starts the transfer when StartsTransfer() says so.
//
// Guarantees: both dates must lie in one year, or nothing changes; a container that
// cannot be read or written is told in the log and left as it was.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/acquisition/aqasys_retrieval.h"
#include "engine/config/configuration.h"
#include "engine/model/host.h"
#include "outputs/datalog_container.h"
#include "outputs/program_log.h"
#include "platform/locale.h"

namespace tarvedde {

class TFo_AqasysAbruf {
public:
    TFo_AqasysAbruf(AqasysRetrieval& retrieval, const Configuration& config, Host& host,
                    ProgramLog& log, const Locale& locale);

    // Control values.
    bool visible = false;
    double dtVom = 0.0;
    double dtBis = 0.0;
    // "Alle Daten ausserhalb des gewählten Zeitraums als "Gelesen" markieren"
    bool cbGelesen = false;

    // Both dates on today.
    void FormShow();
    // "Jetzt AQUASYS-Daten abrufen": marks and closes, unless the operator re-marks first.
    void btAbrufenClick();
    // "Überprüfen / Markieren": marks; the dialog stays open.
    void btMarkierenClick();
    void btAbbrechenClick();
    // The dialog closed without "Abbrechen".
    bool StartsTransfer() const { return startsTransfer_; }

private:
    // The container of the chosen year, created when missing with every flag `read`;
    // false when the dates lie in two years or it cannot be had.
    bool PrepareContainer(bool read, bool& created);
    // The chosen year's records, or nothing (logged) when the container is damaged.
    std::optional<std::vector<DatalogRecord>> ReadContainer();
    bool WriteContainer(const std::vector<DatalogRecord>& records);
    void Close(bool startTransfer);

    AqasysRetrieval& retrieval_;
    const Configuration& config_;
    Host& host_;
    ProgramLog& log_;
    const Locale& locale_;
    bool startsTransfer_ = false;
};

}  // namespace tarvedde
