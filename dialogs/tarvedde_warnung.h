// The warning window (" Prozessdaten - Grenzwertüberschreitung !"): the lines of the
// warnings the engine adds to its model, beeping three times every 3 s while shown so an
// operator notices it, until it is acknowledged or closed. Acknowledging with cb1 checked
// silences every item's warning window until the configuration is read again. It attaches
// itself to the model and must not outlive it.
#pragma once

#include <memory>
#include <string>

#include "engine/config/configuration.h"
#include "engine/model/host.h"
#include "engine/model/warning_window_model.h"

namespace tarvedde {

class TFo_Warnung final : private WarningWindowModel::Form {
public:
    TFo_Warnung(WarningWindowModel& window, Configuration& config, Host& host);
    ~TFo_Warnung() override;
    TFo_Warnung(const TFo_Warnung&) = delete;
    TFo_Warnung& operator=(const TFo_Warnung&) = delete;

    void FormShow() override;
    void Timer1Timer();
    void BitBtn1Click();  // "  Warnsignal quittieren"
    // Closing is always allowed; it stops the beeping and empties the list.
    bool FormCloseQuery();
    // The window's own close (its close button, or after the acknowledge).
    void Close();

    const std::string& Caption() const { return window_.Caption(); }
    const LinesModel& lb1() const { return window_.lb1(); }
    bool Visible() const { return window_.Visible(); }
    const Timer& Timer1() const { return *timer1_; }

    std::string BitBtn1 = "  Warnsignal quittieren";
    std::string cb1Caption = "Alle Warnungen bis zum nächsten";
    std::string Label1 = "Programmstart abschalten";
    bool cb1 = false;

    static constexpr int kMaxLines = 200;

private:
    WarningWindowModel& window_;
    Configuration& config_;
    Operator& op_;
    std::unique_ptr<Timer> timer1_;
};

}  // namespace tarvedde
