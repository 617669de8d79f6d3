// The OPC client of an OPC installation: one server, one group "Group0" whose items are
// the captions of the main window's item list, in row order. Each data change fills the
// item's row, becomes the item's newest value text (where the cycle reads every source
// kind's values) and goes to the same sample integrator as a DDE sample. The watchdog's
// countdown lives here because data changes and the watchdog tick both move it.
// Guarantees: no failure of the server stops the program: connect failures are logged
// and leave acquisition without data, so the watchdog takes over.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/acquisition/dde_client.h"
#include "engine/acquisition/sample_integrator.h"
#include "engine/config/configuration.h"
#include "engine/model/host.h"
#include "engine/model/main_window_model.h"
#include "outputs/program_log.h"
#include "platform/locale.h"
#include "sources/opc_client.h"

namespace tarvedde {

// The OPC menu's dialogs join here: the session shows its forms, the engine only asks.
class OpcDialogs {
public:
    virtual ~OpcDialogs() = default;
    // The server selection for the client's host; true when the operator chose a server
    // (the client's ProgID then names it). False also when the dialog cannot open.
    virtual bool SelectServer(TOpcSimpleClient& client) = 0;
    // The browse dialog on a connected client.
    virtual void Browse(TOpcSimpleClient& client) = 0;
};

class OpcAcquisition final : private TDataChangeEvent {
public:
    // Without a transport in `host` every connect fails as with a server that is not
    // registered. Newest texts go to `dde`'s item list.
    OpcAcquisition(Host& host, Configuration& config, SampleIntegrator& integrator, DdeClient& dde,
                   ProgramLog& log, const Locale& locale, MainWindowModel& window);
    ~OpcAcquisition() override;
    OpcAcquisition(const OpcAcquisition&) = delete;
    OpcAcquisition& operator=(const OpcAcquisition&) = delete;

    TOpcSimpleClient& Client() { return *client_; }
    // Whether the server can deliver: without one (a failed connect, the server's shutdown
    // request or death, the watchdog's teardown) or without the group on it, the newest
    // texts are stale.
    bool Connected() const;
    TOpcGroup& Group() { return client_->Groups()[0]; }

    // The program start: host and server from the settings, the group's rate.
    void SetUpAtProgramStart();
    // False when the item list is empty: the caller's whole start ends then. A failure is
    // logged and counts as started.
    bool StartOpcAcquisition();
    // The connect without the acquisition cycle: values reach only the item list.
    void StartOpcTest();
    // The item's server item changed: its row takes it for every later connect, and a
    // connected group connects anew with it. True when the server accepted it then; a
    // failure is logged as at the start. The browse dialog's test list stays as it is.
    bool RelinkItem(int item);

    // Failures are logged by the caller, with its own texts.
    Status DisconnectGroups();
    Status Disconnect();

    // The watchdog's seconds left without a data change.
    int DeadCountdown() const { return deadCountdown_; }
    void SetDeadCountdown(int seconds) { deadCountdown_ = seconds; }
    // One second less; true when none is left.
    bool CountDown() { return --deadCountdown_ < 1; }
    // The watchdog's previous failure (day number).
    double LastFailure() const { return lastFailure_; }
    void SetLastFailure(double when) { lastFailure_ = when; }

private:
    class NoTransport;

    // The group's data-change event.
    void OnDataChange(TOpcGroup& sender, std::int32_t itemIndex, const OpcValue& newValue,
                      std::uint16_t newQuality, double newTimestamp) override;

    // Steps shared by the acquisition and the test start; false for an empty item list.
    bool ConnectWithItems(bool testMode);
    std::vector<std::string> RowCaptions() const;
    void ForgetUnlinkedItems();
    void LogLinkSummary();
    std::string NewestText(int item, const OpcValue& value) const;
    void Integrate(int item, const std::string& text, double now, std::int64_t nowMs);

    Host& host_;
    Configuration& config_;
    SampleIntegrator& integrator_;
    DdeClient& dde_;
    ProgramLog& log_;
    const Locale& locale_;
    MainWindowModel& window_;
    std::unique_ptr<OpcTransport> noTransport_;
    std::unique_ptr<TOpcSimpleClient> client_;
    int deadCountdown_ = 180;
    double lastFailure_ = 0.0;
};

// A value as the item list shows it: numbers with the locale's decimal separator,
// booleans "True" and "False".
std::string OpcValueListText(const OpcValue& value, const Locale& locale);
// A digital item's text: "1" for the words and numbers that mean on, else "0".
std::string DigitalText(const std::string& text);

}  // namespace tarvedde
