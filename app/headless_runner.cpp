#include "app/headless_runner.h"

#ifdef _WIN32
#include "platform/windows_api.h"
#else
#include <csignal>
#endif

#include <iostream>

#include "platform/operator_transcript.h"
#include "platform/system_shell.h"

namespace tarvedde {
namespace {

HeadlessClient* signalClient = nullptr;

#ifdef _WIN32
// Runs on a thread of its own. Returning TRUE for a close, log-off or shut-down event
// lets Windows end the process as soon as the handler returns, so the handler waits for
// the main thread to finish closing. Windows allows about 5 s for those events, less than
// the stop countdown, so they stop at once.
BOOL WINAPI OnHeadlessConsoleEvent(DWORD event) {
    if (signalClient == nullptr) {
        return FALSE;
    }
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        signalClient->RequestStopAtOnce();
        Sleep(INFINITE);
    }
    signalClient->Loop().RequestQuitFromSignal();
    return TRUE;
}

void InstallSignalHandlers(HeadlessClient& client) {
    signalClient = &client;
    SetConsoleCtrlHandler(OnHeadlessConsoleEvent, TRUE);
}
#else
extern "C" void OnHeadlessTerminationSignal(int) {
    if (signalClient != nullptr) {
        signalClient->Loop().RequestQuitFromSignal();
    }
}

void InstallSignalHandlers(HeadlessClient& client) {
    signalClient = &client;
    struct sigaction action {};
    action.sa_handler = OnHeadlessTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
#endif

#ifndef _WIN32
OpcSocketOptions OpcOptionsIn(const std::string& ddeDirectory) {
    OpcSocketOptions options;
    options.directory = ddeDirectory;
    return options;
}
#endif

// A zone the clock cannot be matched with is told, and the stamps are shown in UTC.
TimeZone LocalZoneOrUtc() {
    auto zone = TimeZone::System();
    if (!zone) {
        std::cerr << zone.error().message << "; OPC time stamps are shown in UTC" << std::endl;
        return TimeZone::Utc();
    }
    return std::move(zone).value();
}

}  // namespace

OpcTransport* HeadlessClient::OpcOrNull() {
#ifdef _WIN32
    return nullptr;  // no OPC transport in this build
#else
    return &opc_;
#endif
}

Result<std::unique_ptr<HeadlessClient>> HeadlessClient::Create(const StartOptions& options,
                                                               const std::string& ddeDirectory,
                                                               const std::string& lockDirectory) {
    auto clock = MakeSystemClock();
    auto loop = HostEventLoop::Create(*clock);
    if (!loop) {
        return loop.error();
    }
    return std::unique_ptr<HeadlessClient>(new HeadlessClient(
        std::move(clock), std::move(loop).value(), options, ddeDirectory, lockDirectory));
}

// Nobody is there to answer: messages go to the log, and a start that would put a second
// client into a working directory is abandoned. Transport problems (a broken peer, a
// refused frame) go to the program log too.
HeadlessClient::HeadlessClient(std::unique_ptr<Clock> clock, std::unique_ptr<HostEventLoop> loop,
                               const StartOptions& options, const std::string& ddeDirectory,
                               const std::string& lockDirectory)
    : toJournal_(StderrIsJournal()),
      journal_(std::cerr),
      clock_(std::move(clock)),
      loop_(std::move(loop)),
      files_(MakeRealFileSystem()),
      shell_(MakeSystemShell()),
      locks_(lockDirectory),
      person_(
          [this](const std::string& text) {
              if (text == BeepLine()) {
                  ++beeps_;
                  return;
              }
              if (!toJournal_) {
                  std::cerr << text << '\n';
              }
              logSink_("Meldung: " + text);
          },
          Answer::No),
#ifdef _WIN32
      dde_(*loop_, logSink_.Function()),
#else
      dde_(*loop_, ddeDirectory, logSink_.Function()),
      opc_(*loop_, OpcOptionsIn(ddeDirectory), logSink_.Function()),
#endif
      localZone_(LocalZoneOrUtc()),
      session_(
          Host{*files_, *clock_, *loop_, person_, shell_, locks_, &dde_, OpcOrNull(), &localZone_},
          options) {
#ifdef _WIN32
    static_cast<void>(ddeDirectory);
#endif
    person_.SetAnswer("Programmstart abbrechen ?", Answer::Yes);
    logSink_.Attach(&session_);
    session_.Engine().Log().SetWatcher(&watcher_);
    if (toJournal_) {
        session_.Engine().Log().SetMirror(&journal_);
    }
}

// In the journal the lines are not lost, only missing from the file; "<4>": a warning.
void HeadlessClient::StderrLogWatcher::LogFileFailed(const std::string& reason) {
    everFailed_ = true;
    if (toJournal_) {
        std::cerr << "<4>The program log cannot be written, its lines are only in the journal "
                     "until it can: "
                  << reason << std::endl;
        return;
    }
    std::cerr << "The program log cannot be written, its lines are lost until it can: " << reason
              << std::endl;
}

void HeadlessClient::StderrLogWatcher::LogFileRecovered(int lostLines) {
    if (toJournal_) {
        std::cerr << "The program log is written again; " << lostLines
                  << " lines are only in the journal." << std::endl;
        return;
    }
    std::cerr << "The program log is written again; " << lostLines << " lines were lost."
              << std::endl;
}

// The guard's last log line says why: both marks found, or the question it answered.
HeadlessExitStatus HeadlessClient::Create() {
    if (session_.Create()) {
        return kExitDone;
    }
    if (toJournal_) {
        std::cerr << "<3>Start abandoned (the line before says why)." << std::endl;
        return kExitStartAbandoned;
    }
    const auto& lines = Engine().Log().MessageList().Lines();
    std::cerr << "Start abandoned: " << (lines.empty() ? std::string() : lines.back()) << std::endl;
    return kExitStartAbandoned;
}

void HeadlessClient::RequestStopAtOnce() {
    stopAtOnce_ = true;
    loop_->RequestQuitFromSignal();
}

// Stopped, the engine closes without asking, and the close saves as after the countdown.
void HeadlessClient::RunUntilClosed() {
    session_.RunUntilClosed([this] {
        loop_->Run();
        if (stopAtOnce_ && !Engine().Stopped()) {
            Engine().Log().WriteLog("Sitzung wird beendet: Datenerfassung wird sofort beendet.");
            Engine().StopAcquisition();
        }
        return 0;
    });
}

int RunHeadless(const CommandLine& commandLine, const std::string& lockName) {
    auto files = MakeRealFileSystem();
    // Started there, the client would wait for ever without items, a running service to
    // its manager that acquires nothing.
    if (!files->IsDirectory(commandLine.programDir)) {
        std::cerr << "program directory " << commandLine.programDir << " does not exist\n";
        return kExitUsage;
    }
    const auto kind = ResolveSourceKind(commandLine, *files);
    if (!kind) {
        std::cerr << kind.error().message << '\n';
        return kExitUsage;
    }
    StartOptions options;
    options.programDir = commandLine.programDir;
    options.sourceKind = kind.value();
    options.lockName = lockName;
    auto client = HeadlessClient::Create(options, "");
    if (!client) {
        std::cerr << client.error().message << '\n';
        return kExitCannotRun;
    }
    if (const HeadlessExitStatus created = client.value()->Create(); created != kExitDone) {
        return created;
    }
    InstallSignalHandlers(*client.value());
    client.value()->Engine().FormShow();
    client.value()->RunUntilClosed();
    signalClient = nullptr;
    return client.value()->EndStatus();
}

}  // namespace tarvedde
