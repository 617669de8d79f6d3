// Each command does what the host or the data server would do at that moment, then the
// runner looks whether the program has ended, as a real process would simply be gone.
#include "app/scenario_runner.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>

#include "engine/config/settings_schema.h"
#include "platform/civil_time.h"
#include "platform/ini_file.h"
#include "platform/path_names.h"
#include "platform/text_encoding.h"
#include "platform/text_file.h"
#include "platform/time_zone.h"

namespace tarvedde {
namespace {

Error LineError(const ScenarioCommand& command, const std::string& text) {
    return Error{"line " + std::to_string(command.line) + ": " + text};
}

Error NotYetSupported(const ScenarioCommand& command, const std::string& what) {
    return LineError(command, "'" + what + "' is not yet supported");
}

bool MustPrecedeStart(const ScenarioAction& action) {
    return std::holds_alternative<ClockCommand>(action) ||
           std::holds_alternative<SourceCommand>(action) ||
           std::holds_alternative<TimeZoneCommand>(action);
}

bool NeedsStart(const ScenarioAction& action) {
    return std::holds_alternative<SetCommand>(action) ||
           std::holds_alternative<MenuCommand>(action) ||
           std::holds_alternative<ClickCommand>(action) ||
           std::holds_alternative<KillCommand>(action) ||
           std::holds_alternative<FormCommand>(action);
}

Status CheckSupported(const ScenarioCommand& command, SourceKind kind) {
    const ScenarioAction& action = command.action;
    const auto* set = std::get_if<SetCommand>(&action);
    if (set != nullptr && (set->typed || set->quality) && kind != SourceKind::Opc) {
        return LineError(command, "'set' with an OPC value or quality needs 'source opc'");
    }
    if (set != nullptr && set->quality) {
        if (auto quality = ScenarioOpcServer::CheckQuality(*set->quality); !quality) {
            return LineError(command, quality.error().message);
        }
    }
    if (const auto* form = std::get_if<FormCommand>(&action)) {
        const Status known = ScenarioForms::Check(*form);
        return known ? known : LineError(command, known.error().message);
    }
    return {};
}

}  // namespace

class ScenarioRunner::EndingShell : public tarvedde::Shell {
public:
    EndingShell(RecordingShell& recording, EventLoop& loop) : recording_(recording), loop_(loop) {}

    bool StartProgram(const std::string& program, const std::vector<std::string>& args) override {
        return recording_.StartProgram(program, args);
    }
    void TerminateProcess(int exitCode) override {
        recording_.TerminateProcess(exitCode);
        loop_.Quit();
    }

private:
    RecordingShell& recording_;
    EventLoop& loop_;
};

ScenarioRunner::ScenarioRunner(ScenarioOptions options)
    : options_(std::move(options)),
      realFiles_(options_.files == nullptr ? MakeRealFileSystem() : nullptr),
      files_(options_.files == nullptr ? realFiles_.get() : options_.files),
      endingShell_(std::make_unique<EndingShell>(shell_, loop_)),
      host_{*files_, clock_, loop_, person_, *endingShell_, locks_, nullptr} {
    host_.localZone = &clock_.Zone();
    options_.programDir = WithTrailingSeparator(options_.programDir);
    person_.Scripted().SetLineSink([this](const std::string& line) { RecordTranscriptLine(line); });
}

ScenarioRunner::~ScenarioRunner() = default;

// After a `kill` the program may start again, on the same directory and clock.
Status ScenarioRunner::Check(const std::vector<ScenarioCommand>& commands) {
    bool started = false;
    bool everStarted = false;
    SourceKind kind = SourceKind::Dde;
    for (const ScenarioCommand& command : commands) {
        if (const auto* source = std::get_if<SourceCommand>(&command.action)) {
            kind = source->kind;
        }
        if (auto supported = CheckSupported(command, kind); !supported) {
            return supported;
        }
        if (everStarted && MustPrecedeStart(command.action)) {
            return LineError(command, "'" + command.verb + "' must come before 'start'");
        }
        if (!started && NeedsStart(command.action)) {
            return LineError(command, "'" + command.verb + "' needs 'start' first");
        }
        if (std::holds_alternative<StartCommand>(command.action)) {
            if (started) {
                return LineError(command, "'start' may come only once");
            }
            started = true;
            everStarted = true;
        }
        if (std::holds_alternative<KillCommand>(command.action)) {
            started = false;
        }
    }
    return {};
}

// One handler per verb; each does what the host or the data server would do.
struct ScenarioRunner::Applier {
    ScenarioRunner& runner;
    const ScenarioCommand& command;

    Status operator()(const ClockCommand& c) {
        runner.clock_.SetLocalTime(c.localTime);
        return {};
    }
    Status operator()(const SourceCommand& c) {
        runner.sourceKind_ = c.kind;
        return {};
    }
    Status operator()(const StartCommand&) {
        if (runner.session_ != nullptr) {
            return LineError(command, "'start' may come only once");
        }
        runner.Start();
        return {};
    }
    Status operator()(const SetCommand& c) {
        if (runner.session_ == nullptr) {
            return LineError(command, "'set' needs 'start' first");
        }
        runner.PublishText(c);
        return {};
    }
    Status operator()(const AdvanceCommand& c) {
        runner.AdvanceToElapsed(runner.clock_.ElapsedMs() + c.ms);
        return {};
    }
    Status operator()(const AdvanceToCommand& c) {
        runner.AdvanceToLocal(c.localTime);
        return {};
    }
    Status operator()(const AnswerCommand& c) {
        runner.person_.Queue(c);
        return {};
    }
    Status operator()(const MenuCommand& c) {
        if (runner.session_ == nullptr) {
            return LineError(command, "'menu' needs 'start' first");
        }
        return runner.session_->Engine().MenuClick(c.name)
                   ? Status()
                   : NotYetSupported(command, "menu " + c.name);
    }
    Status operator()(const ClickCommand& c) {
        if (runner.session_ == nullptr) {
            return LineError(command, "'click' needs 'start' first");
        }
        return runner.session_->Engine().ButtonClick(c.name)
                   ? Status()
                   : NotYetSupported(command, "click " + c.name);
    }
    Status operator()(const ServerCommand& c) {
        if (runner.opcServer_ != nullptr) {
            runner.opcServer_->SetDown(!c.up);
        } else {
            runner.ddeServer_.SetDown(!c.up);
        }
        return {};
    }
    Status operator()(const KillCommand&) {
        if (runner.session_ == nullptr) {
            return LineError(command, "'kill' needs 'start' first");
        }
        runner.Kill();
        return {};
    }
    Status operator()(const TimeZoneCommand& c) {
        auto loaded = runner.SetTimeZone(c.zone);
        return loaded ? loaded : LineError(command, loaded.error().message);
    }
    Status operator()(const FormCommand& c) {
        if (runner.forms_ == nullptr) {
            return LineError(command, "'form' needs 'start' first");
        }
        const Status done = runner.forms_->Execute(c);
        return done ? done : LineError(command, done.error().message);
    }
    Status operator()(const ClockStepCommand& c) {
        runner.clock_.StepWallClock(c.ms);
        return {};
    }
    Status operator()(const AqasysCommand& c) {
        TarveddeMain* engine = runner.session_ ? &runner.session_->Engine() : nullptr;
        auto applied = ApplyAqasysCommand(c, *runner.files_, runner.options_.programDir, engine);
        return applied ? applied : LineError(command, applied.error().message);
    }
};

Status ScenarioRunner::Execute(const ScenarioCommand& command) {
    if (ended_) {
        return {};
    }
    Status status = std::visit(Applier{*this, command}, command.action);
    AfterCommand();
    return status;
}

void ScenarioRunner::Start() {
    if (!everStarted_) {
        const std::string transcript = options_.programDir + kOperatorTranscriptFile;
        transcriptFailed_ = !files_->WriteAll(transcript, "", false).ok();
        everStarted_ = true;
    }
    AnnounceConfiguredItems();
    ddeTransport_ = std::make_unique<InMemoryDdeTransport>(ddeServer_, &loop_);
    host_.dde = ddeTransport_.get();
    StartOptions startOptions;
    startOptions.programDir = options_.programDir;
    startOptions.sourceKind = sourceKind_;
    // One name for every run, so the log line "Mutex = tarvedde" never varies.
    startOptions.lockName = "tarvedde";
    session_ = std::make_unique<ClientSession>(host_, startOptions);
    if (!session_->Create()) {
        ended_ = true;
        return;
    }
    session_->Engine().FormShow();
    forms_ = std::make_unique<ScenarioForms>(session_->Engine());
}

// As a process death: no close path runs and nothing is written; the engine's timers, its
// single-instance lock and its DDE conversations go with it, every file stays as it is.
void ScenarioRunner::Kill() {
    forms_.reset();
    session_.reset();
    host_.dde = nullptr;
    ddeTransport_.reset();
}

// A close request that the engine refused (the countdown runs) does not end the advance.
void ScenarioRunner::AdvanceToElapsed(std::int64_t elapsedMs) {
    std::int64_t stoppedAt = -1;
    while (!loop_.AdvanceTo(elapsedMs)) {
        if (CheckEnded() || clock_.ElapsedMs() == stoppedAt) {
            return;
        }
        stoppedAt = clock_.ElapsedMs();
    }
}

// The local wall time stays where it was: `clock` and `timezone` mean the same in
// either order.
Status ScenarioRunner::SetTimeZone(const std::string& name) {
    auto zone = TimeZone::Load(name);
    if (!zone) {
        // Windows has no zone files: there a POSIX rule names the zone.
        auto rule = TimeZone::FromPosixRule(name);
        if (!rule) {
            return Error{"time zone '" + name + "': " + zone.error().message};
        }
        zone = std::move(rule);
    }
    const double localNow = clock_.Now();
    clock_.SetTimeZone(std::move(zone).value());
    clock_.SetLocalTime(localNow);
    return {};
}

// A moment in the past only runs what is due now.
void ScenarioRunner::AdvanceToLocal(double localTime) {
    const std::int64_t targetUtcMs =
        clock_.Zone().FromLocalMs(civil::LocalMsFromDayNumber(localTime));
    AdvanceToElapsed(clock_.ElapsedMs() + (targetUtcMs - clock_.WallUtcMs()));
}

// The data server's new value reaches every item linked to it, as Windows-1252 text.
void ScenarioRunner::PublishText(const SetCommand& command) {
    if (opcServer_ != nullptr) {
        opcServer_->Publish(command);
        return;
    }
    ddeServer_.Publish(ddeService_, ddeTopic_, command.item, Utf8ToCp1252(command.value));
}

// The server knows the items the configuration names, so their advise links stand from
// the start; their values come with the script's `set` commands.
void ScenarioRunner::AnnounceConfiguredItems() {
    const IniFile ini(*files_, options_.programDir + kMainIniFile);
    const schema::DdeServerNames names = schema::ReadDdeServerNames(ini);
    if (sourceKind_ == SourceKind::Opc) {
        if (opcServer_ == nullptr) {
            opcServer_ = std::make_unique<ScenarioOpcServer>(loop_);
        }
        opcServer_->Serve(schema::Read(ini, schema::kOpcServer), names.items);
        host_.opc = &opcServer_->Transport();
        return;
    }
    ddeService_ = names.service;
    ddeTopic_ = names.topic;
    ddeServer_.ServeItems(ddeService_, ddeTopic_, names.items);
}

// Work the command left for the loop runs before the next command, as a real loop would
// get to it at once; a program that has ended runs nothing more.
void ScenarioRunner::AfterCommand() {
    if (CheckEnded() || session_ == nullptr) {
        return;
    }
    loop_.ProcessPendingEvents();
    CheckEnded();
}

bool ScenarioRunner::CheckEnded() {
    if (ended_) {
        return true;
    }
    if (shell_.terminated()) {
        ended_ = true;
    } else if (session_ != nullptr && session_->Engine().CloseRequested()) {
        ended_ = session_->Engine().FormClose();
    }
    return ended_;
}

// During acquisition the close starts the countdown, which runs out in virtual time; the
// bound only matters when no countdown runs.
void ScenarioRunner::Finish() {
    if (session_ != nullptr && !ended_ && !session_->Engine().FormClose()) {
        const std::int64_t limitMs = clock_.ElapsedMs() + kFinishLimitMs;
        while (!CheckEnded() && clock_.ElapsedMs() < limitMs) {
            loop_.AdvanceTo(limitMs);
        }
    }
    ended_ = true;
}

int ScenarioRunner::Run(const std::vector<ScenarioCommand>& commands, std::ostream& errors) {
    int exitStatus = 0;
    if (auto checked = Check(commands); !checked) {
        errors << checked.error().message << '\n';
        return 2;
    }
    for (const ScenarioCommand& command : commands) {
        if (ended_) {
            break;
        }
        if (auto executed = Execute(command); !executed) {
            errors << executed.error().message << '\n';
            exitStatus = 2;
            break;
        }
    }
    Finish();
    if (transcriptFailed_) {
        errors << "cannot write " << options_.programDir << kOperatorTranscriptFile << '\n';
        return exitStatus != 0 ? exitStatus : 1;
    }
    return exitStatus;
}

void ScenarioRunner::RecordTranscriptLine(const std::string& line) {
    const std::string path = options_.programDir + kOperatorTranscriptFile;
    if (!AppendLine(*files_, path, line).ok()) {
        transcriptFailed_ = true;
    }
}

int RunScenarioFile(const std::string& programDir, const std::string& scriptPath,
                    std::ostream& errors) {
    const auto files = MakeRealFileSystem();
    if (!files->IsDirectory(programDir)) {
        errors << "program directory " << programDir << " does not exist\n";
        return 1;
    }
    // Read as a stream, not through the plant's file layer: a script may come from a pipe.
    std::ifstream script(scriptPath, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(script), {});
    if (!script.is_open() || script.bad()) {
        errors << "cannot read " << scriptPath << ": " << std::strerror(errno) << '\n';
        return 1;
    }
    const auto commands = ParseScenarioScript(text);
    if (!commands) {
        errors << commands.error().message << '\n';
        return 2;
    }
    ScenarioRunner runner(ScenarioOptions{programDir});
    return runner.Run(commands.value(), errors);
}

}  // namespace tarvedde
