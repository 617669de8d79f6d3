// One life of the client program: the host the engine sees, the engine and its stop and
// warning windows, wired the same way for the desktop, the headless program and the
// scenario runner. The runner owns the world around it (clock, loop, operator, transport,
// locks), which may outlive a session: the scenario runner starts a new session after a
// kill.
#pragma once

#include <functional>
#include <string>

#include "dialogs/opc_session_dialogs.h"
#include "dialogs/tarvedde_stop.h"
#include "dialogs/tarvedde_warnung.h"
#include "engine/frame/tarvedde_main.h"

namespace tarvedde {

class ClientSession {
public:
    ClientSession(const Host& host, const StartOptions& options);
    ClientSession(const ClientSession&) = delete;
    ClientSession& operator=(const ClientSession&) = delete;

    TarveddeMain& Engine() { return main_; }
    TFo_Stop& StopWindow() { return stopWindow_; }
    TFo_Warnung& WarningWindow() { return warningWindow_; }
    OpcSessionDialogs& OpcMenuDialogs() { return opcDialogs_; }

    // The window's creation; false when the start was abandoned (the program then ends).
    bool Create() { return main_.FormCreate(); }
    // `runLoop` runs the event loop until it is quit; a quit closes the window, and a close
    // the engine refuses (the stop countdown runs) goes back to the loop. The result of the
    // last `runLoop`.
    int RunUntilClosed(const std::function<int()>& runLoop);

private:
    Host host_;
    TarveddeMain main_;
    TFo_Stop stopWindow_{main_};
    TFo_Warnung warningWindow_{main_.WarningWindow(), main_.Config(), host_};
    OpcSessionDialogs opcDialogs_{main_};
};

// Lines of the transport or the operator that belong in the program log, also those that
// come before the session exists (they are dropped then: there is no log yet).
class SessionLogSink {
public:
    void Attach(ClientSession* session) { session_ = session; }
    void operator()(const std::string& text) const {
        if (session_ != nullptr) {
            session_->Engine().Log().WriteLog(text);
        }
    }
    std::function<void(const std::string&)> Function() {
        return [this](const std::string& text) { (*this)(text); };
    }

private:
    ClientSession* session_ = nullptr;
};

}  // namespace tarvedde
