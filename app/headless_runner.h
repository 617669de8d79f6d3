// The client without a window: real clock, a poll loop, an operator that never waits, and
// the plant's DDE server reached through the local socket protocol. RunHeadless is the
// program; HeadlessClient is the same wiring for a test that drives the loop itself.
// Ends cleanly on SIGINT or SIGTERM. On Windows the loop is the message loop, the plant's
// DDE server is reached through DDEML itself, Ctrl-C and Ctrl-Break end it the same way,
// and closing the console, log-off and shut-down end it without the stop countdown.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "app/client_session.h"
#include "app/command_line.h"
#include "app/journal_log.h"
#include "outputs/program_log.h"
#include "platform/shell.h"
#include "platform/time_zone.h"
#include "platform/unattended_operator.h"
#ifdef _WIN32
#include "platform/message_event_loop.h"
#include "sources/ddeml_transport.h"
#else
#include "platform/poll_event_loop.h"
#include "sources/opc_socket_transport.h"
#include "sources/socket_dde_transport.h"
#endif

namespace tarvedde {

#ifdef _WIN32
using HostEventLoop = MessageEventLoop;
#else
using HostEventLoop = PollEventLoop;
#endif

// The headless program's exit statuses, so that a service manager sees a failure.
enum HeadlessExitStatus : int {
    kExitDone = 0,            // closed, and every line of the program log was written
    kExitCannotRun = 1,       // the event loop could not be made
    kExitUsage = 2,           // wrong command line or installation file
    kExitStartAbandoned = 3,  // the single-instance guard ended the start
    kExitLogLost = 4,         // ran and closed, but lines of the program log were lost
    kExitStateNotSaved = 5,   // ran and closed, but the final save of the state failed
};

class HeadlessClient {
public:
    // `ddeDirectory` empty: the default DDE directory (not used on Windows);
    // `lockDirectory` empty: the user's runtime directory. Fails only when the event loop
    // cannot be created (out of descriptors).
    static Result<std::unique_ptr<HeadlessClient>> Create(const StartOptions& options,
                                                          const std::string& ddeDirectory,
                                                          const std::string& lockDirectory = "");
    HeadlessClient(const HeadlessClient&) = delete;
    HeadlessClient& operator=(const HeadlessClient&) = delete;

    TarveddeMain& Engine() { return session_.Engine(); }
    HostEventLoop& Loop() { return *loop_; }
    // Beeps nobody heard: the retry timer beeps once a second while the server is away,
    // which is counted here instead of filling the log.
    int Beeps() const { return beeps_; }
    // Runs the loop until the program has closed. A quit of the loop (a signal) closes
    // the window: while acquisition runs the close is refused and the stop countdown runs
    // out unanswered (8 s); the engine then quits the loop again, stopped.
    void RunUntilClosed();
    // For an end the system will not wait for (Windows allows about 5 s after closing the
    // console, a log-off or a shut-down): the loop quits and acquisition stops without the
    // countdown, so the close saves the state in time. Safe from another thread.
    void RequestStopAtOnce();
    // The window's creation, with the guard's verdict on stderr when the start is
    // abandoned; kExitDone to go on.
    HeadlessExitStatus Create();
    // kExitStateNotSaved when the final save failed (the next start may lose the day's
    // values), kExitLogLost when a log line could not be written at some time, else
    // kExitDone.
    HeadlessExitStatus EndStatus() {
        if (Engine().FinalSaveFailed()) {
            return kExitStateNotSaved;
        }
        return watcher_.EverFailed() ? kExitLogLost : kExitDone;
    }

private:
    // Nobody watches the log of a service: stderr (the journal) hears when it cannot be
    // written, once, and again when it can.
    class StderrLogWatcher final : public LogFileWatcher {
    public:
        explicit StderrLogWatcher(bool toJournal) : toJournal_(toJournal) {}
        void LogFileFailed(const std::string& reason) override;
        void LogFileRecovered(int lostLines) override;
        bool EverFailed() const { return everFailed_; }

    private:
        bool toJournal_;
        bool everFailed_ = false;
    };
    // The guard's end of the process becomes Create's status, so the reason reaches
    // stderr and the status the service manager.
    class GuardShell final : public Shell {
    public:
        explicit GuardShell(std::unique_ptr<Shell> system) : system_(std::move(system)) {}
        bool StartProgram(const std::string& program,
                          const std::vector<std::string>& args) override {
            return system_->StartProgram(program, args);
        }
        void TerminateProcess(int) override { terminated_ = true; }
        bool Terminated() const { return terminated_; }

    private:
        std::unique_ptr<Shell> system_;
        bool terminated_ = false;
    };

    HeadlessClient(std::unique_ptr<Clock> clock, std::unique_ptr<HostEventLoop> loop,
                   const StartOptions& options, const std::string& ddeDirectory,
                   const std::string& lockDirectory);
    OpcTransport* OpcOrNull();
    int beeps_ = 0;
    std::atomic<bool> stopAtOnce_{false};
    // Under systemd every log line goes to the journal too; stderr then says only what
    // the log lines do not.
    const bool toJournal_;
    JournalLogMirror journal_;
    SessionLogSink logSink_;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<HostEventLoop> loop_;
    std::unique_ptr<FileSystem> files_;
    GuardShell shell_;
    StderrLogWatcher watcher_{toJournal_};
    SystemInstanceLocks locks_;
    UnattendedOperator person_;
#ifdef _WIN32
    DdemlTransport dde_;
#else
    SocketDdeTransport dde_;
    // OPC servers on this machine through the DDE directory's sockets.
    SocketOpcTransport opc_;
#endif
    // The zone the servers' UTC stamps are shown in: the clock's own.
    TimeZone localZone_;
    ClientSession session_;
};

int RunHeadless(const CommandLine& commandLine, const std::string& lockName);

}  // namespace tarvedde
