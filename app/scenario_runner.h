// Runs a scenario script on the engine in virtual time against a real program directory,
// and leaves every file the program writes there. The host is all virtual except the
// files: a VirtualClock, the virtual-time event loop, a scripted operator and a shell
// that only records. Nothing depends on the machine's clock or on other runs, so the
// same directory and script give byte-identical files.
//
// The operator's interactions go to operator.txt in the program directory, one
// transcript line each, Windows-1252 with CR LF like the program's other files; the
// file is started afresh by `start`.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "app/client_session.h"
#include "app/scenario_forms.h"
#include "app/scenario_opc.h"
#include "app/scenario_operator.h"
#include "app/scenario_script.h"
#include "platform/file_system.h"
#include "platform/instance_locks.h"
#include "platform/recording_shell.h"
#include "platform/virtual_clock.h"
#include "platform/virtual_event_loop.h"
#include "sources/in_memory_dde_server.h"

namespace tarvedde {

inline constexpr char kOperatorTranscriptFile[] = "operator.txt";

struct ScenarioOptions {
    // A trailing separator is added when missing.
    std::string programDir;
    // Not owned; null: the real file system. A test puts a failing one underneath.
    FileSystem* files = nullptr;
};

class ScenarioRunner {
public:
    explicit ScenarioRunner(ScenarioOptions options);
    ~ScenarioRunner();
    ScenarioRunner(const ScenarioRunner&) = delete;
    ScenarioRunner& operator=(const ScenarioRunner&) = delete;

    // The order rules (clock, source and timezone before the first `start`; `start` again
    // only after `kill`; set, menu, click, form and kill while started) and the verbs this
    // program does not support yet. Run() checks
    // before the first command, so a wrong script changes nothing on disk.
    static Status Check(const std::vector<ScenarioCommand>& commands);

    // One command; an error names the command's line. Does nothing once the program has
    // ended.
    Status Execute(const ScenarioCommand& command);
    // The program ended: it ended its own process, its start was abandoned, or it was
    // closed (FormClose has run). A killed program has not ended: a `start` may follow.
    bool Ended() const { return ended_; }
    // The end of the script: the host closes the window (FormClose) unless the program
    // has ended already; during acquisition the stop countdown runs out in virtual time
    // (at most one virtual minute is given).
    void Finish();

    // Check, then the commands up to the end or until the program ends, then Finish.
    // 0; 2 for a wrong script (the message on `errors`, the program then closed as at
    // the end); 1 when operator.txt could not be written.
    int Run(const std::vector<ScenarioCommand>& commands, std::ostream& errors);

    // Null before `start`.
    TarveddeMain* Engine() { return session_ ? &session_->Engine() : nullptr; }
    VirtualClock& Clock() { return clock_; }
    VirtualEventLoop& Loop() { return loop_; }
    ScenarioOperator& Person() { return person_; }
    // What the engine's ends and started programs were.
    RecordingShell& Shell() { return shell_; }
    // The host the engine sees.
    Host& EngineHost() { return host_; }
    MemoryInstanceLocks& Locks() { return locks_; }

private:
    struct Applier;
    class EndingShell;

    void Start();
    void Kill();
    void AdvanceToElapsed(std::int64_t elapsedMs);
    Status SetTimeZone(const std::string& name);
    void AdvanceToLocal(double localTime);
    void PublishText(const SetCommand& command);
    void AnnounceConfiguredItems();
    void AfterCommand();
    bool CheckEnded();
    void RecordTranscriptLine(const std::string& line);

    ScenarioOptions options_;
    std::unique_ptr<FileSystem> realFiles_;
    FileSystem* files_;
    VirtualClock clock_;
    VirtualEventLoop loop_{clock_};
    ScenarioOperator person_;
    RecordingShell shell_;
    // Records into shell_ and stops a running advance at once: the process is gone.
    std::unique_ptr<EndingShell> endingShell_;
    // The plant's data server: values reach the items through their advise links.
    InMemoryDdeServer ddeServer_;
    // The DDE library of one process life: a kill ends its conversations as the system
    // ends a dead process's, so the server never calls into a program that is gone.
    std::unique_ptr<InMemoryDdeTransport> ddeTransport_;
    std::string ddeService_;
    std::string ddeTopic_;
    // The runner's own: runs in parallel never see each other's locks, and a killed
    // program's share goes with its session, as a dead process's lock does.
    MemoryInstanceLocks locks_;
    Host host_;
    SourceKind sourceKind_ = SourceKind::Dde;
    // The OPC server of a `source opc` scenario; it outlives a kill as the plant's would.
    std::unique_ptr<ScenarioOpcServer> opcServer_;
    static constexpr std::int64_t kFinishLimitMs = 60'000;

    bool transcriptFailed_ = false;
    bool everStarted_ = false;
    bool ended_ = false;
    // Last: its timers must go before the loop.
    std::unique_ptr<ClientSession> session_;
    // The operator dialogs of the session, gone before it.
    std::unique_ptr<ScenarioForms> forms_;
};

// The whole program: reads the script and runs it. 0 on success; 2 for a wrong script with "line N:
// ..." on `errors`; 1 when the directory or the script cannot be used.
int RunScenarioFile(const std::string& programDir, const std::string& scriptPath,
                    std::ostream& errors);

}  // namespace tarvedde
