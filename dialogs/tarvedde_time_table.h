// The time table editor ("  Zeit-Tabelle"): the times of day at which one item writes
// intermediate statistics. A view copies the control values below in both directions and
// calls the handlers; the caller sets `item` before showing it.
//
// Guarantees: the list stays sorted and without duplicates; what is saved takes effect in
// the running program when the form closes; a table the program could not write is
// reported and stays unsaved, so closing asks again.
#pragma once

#include <string>
#include <vector>

#include "engine/config/configuration.h"
#include "engine/model/host.h"
#include "engine/statistics/time_frames.h"
#include "platform/locale.h"

namespace tarvedde {

class TFo_TimeTable {
public:
    TFo_TimeTable(TimeFrameStatistics& frames, const Configuration& config, Host& host,
                  const Locale& locale)
        : frames_(frames), config_(config), host_(host), locale_(locale) {}

    int item = 1;

    // Control values.
    std::string lbItem;
    std::string eT1 = "00";        // hours
    std::string eT2 = "00";        // minutes
    std::string eT3 = "00";        // seconds
    std::vector<std::string> lb1;  // "hh:nn:ss", sorted
    int lb1ItemIndex = -1;

    void FormShow();
    void SpeedButton1Click();  // add
    void SpeedButton2Click();  // remove
    void btStundeClick() { Generate(60); }
    void btViertelClick() { Generate(15); }
    void btSaveClick();
    bool FormCloseQuery();
    void FormClose();

    bool Modified() const { return modified_; }

private:
    void Generate(int stepMinutes);
    bool Save();
    std::string Path() const;

    TimeFrameStatistics& frames_;
    const Configuration& config_;
    Host& host_;
    const Locale& locale_;
    bool modified_ = false;
};

}  // namespace tarvedde
