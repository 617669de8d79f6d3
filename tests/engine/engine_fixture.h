// The one fixture of the engine tests, on EngineTestHost. Two modes: bare subsystems with the
// frame's models (`config_`, `state_`, for the loader, per-value processing, the DDE client and
// the state files) or a whole TarveddeMain that Start() creates and shows. Tests reach the per-item
// records and the single-instance lock only through this file, so a change of those engine types is
// merged here alone.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/acquisition/dde_client.h"
#include "engine/config/configuration_loader.h"
#include "engine/frame/tarvedde_main.h"
#include "engine/processing/per_value_processing.h"
#include "engine/processing/statistics_joins.h"
#include "outputs/program_log.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "platform/instance_locks.h"
#include "tests/engine/configuration_test_access.h"
#include "tests/engine/engine_test_host.h"
#include "tests/engine/state_store_test_access.h"
#include "tests/engine/tarvedde_main_test_access.h"

namespace tarvedde {

// Tests put value texts into the items' links directly, where the program receives them
// from the server.
struct DdeClientTestAccess {
    static PerItem<ItemSource>& Sources(DdeClient& client) { return client.sources_; }
};

// Tests set up day statistics, counters and mirrored offsets directly, where the program
// fills them through processing and the state files' restores.
struct ValueProcessorTestAccess {
    static ProcessedValues& Values(ValueProcessor& processor) { return processor.values_; }
};

}  // namespace tarvedde

namespace tarvedde::testing {

using Lines = std::vector<std::string>;

// Record n of any per-item array.
template <class PerItemArray>
auto& At(PerItemArray& records, int n) {
    return records[static_cast<std::size_t>(n)];
}

// The lines of a CR LF text, each without its time stamp.
inline Lines Unstamped(const std::string& text) {
    Lines lines;
    for (std::size_t start = 0, end; start < text.size(); start = end + 2) {
        end = std::min(text.find("\r\n", start), text.size());
        const std::string line = text.substr(start, end - start);
        const std::size_t stamp = line.find(" > ");
        lines.push_back(stamp == std::string::npos ? line : line.substr(stamp + 3));
    }
    return lines;
}

// What the frame owns and hands to the subsystems: its models and the cycle's times.
struct BareFrame {
    MainWindowModel window;
    LiveGrid grid;
    CycleTimes cycle;
};

// An engine of its own on a host, as a second engine that restores what another saved.
struct BareEngine {
    explicit BareEngine(EngineTestHost& env)
        : log(env.files, env.clock, GermanLocale()),
          config(env.host, log, GermanLocale()),
          diary(env.files, env.host.op, log),
          store(env.host, log, GermanLocale()) {
        log.SetProgramDir(env.dir);
        config.SetProgramDir(env.dir);
    }
    GeneralSettings& Settings() { return ConfigurationTestAccess::Settings(config); }
    ItemConfig& Item(int n) { return ConfigurationTestAccess::Item(config, n); }
    // What the program's configuration load writes outside the configuration.
    LoadTargets Targets() {
        return {store.ConfigRecordsToLoad(), state.window.it1, state.grid, diary};
    }
    ProgramLog log;
    Configuration config;
    DiaryInterface diary;
    BareFrame state;
    // What the store saves and restores into, as the value processor, the sample
    // integrator and the DDE client hold it.
    ProcessedValues values;
    IntegrationStates integration;
    bool itemsLinked = false;
    StateStore store;
    StoredState& stored = StateStoreTestAccess::Stored(store);
};

// The statistics' joins of the bare state: they record what reaches them and answer what
// a test sets.
struct JoinRecorder : LimitWarnings, FifteenMinuteValues, MovingAverages, TimeFrames {
    void CheckLimitWarning(int item, double value) override {
        warnings.push_back(std::to_string(item) + ":" + std::to_string(value));
        if (failWarnings) {
            throw std::runtime_error("warning window");
        }
    }
    std::optional<WindowExtremes> Extremes(int) const override { return fifteenMinute; }
    std::optional<WindowExtremes> Current(int) const override { return moving; }
    void CheckTimeFrame(int item) override { calls.push_back("frame " + std::to_string(item)); }
    void EvaluateTimeTable(int item) override {
        calls.push_back("table " + std::to_string(item) + (onTimeTable ? onTimeTable(item) : ""));
    }
    void CheckTimeTables() override {
        calls.push_back("tables");
        if (failTimeTables) {
            throw std::runtime_error("time tables");
        }
    }
    StatisticsJoins Joins() { return {*this, *this, *this, *this}; }

    Lines warnings;
    Lines calls;
    std::optional<WindowExtremes> fifteenMinute;
    std::optional<WindowExtremes> moving;
    std::function<std::string(int item)> onTimeTable;
    bool failTimeTables = false;
    bool failWarnings = false;
};

class EngineFixture : public ::testing::Test {
protected:
    // Settings and other files of the program directory, written as UTF-8 lines.
    void Write(const std::string& name, const std::string& text) { env_.WriteText(name, text); }
    void WriteIni(const std::string& text) { env_.WriteText(kMainIniFile, text); }
    std::string Read(const std::string& name) const { return env_.ReadText(name); }
    std::string IniValue(const std::string& file, const std::string& section,
                         const std::string& key) {
        return IniFile(env_.files, env_.dir + file).ReadString(section, key, "<none>");
    }
    bool Exists(const std::string& name) const { return env_.Exists(name); }
    void Remove(const std::string& name) { ASSERT_TRUE(env_.files.Remove(env_.dir + name)); }

    // The whole program: created (and shown) on 5 March 2024 at the clock's time.
    void SetClock(int hour, int minute, int second, int day = 5) {
        env_.clock.SetLocalTime(EncodeDateTime(2024, 3, day, hour, minute, second, 0));
    }
    StartOptions Options(SourceKind kind = SourceKind::Dde) const {
        StartOptions options;
        options.programDir = "/plant";
        options.sourceKind = kind;
        options.lockName = kLockName;
        return options;
    }
    bool Create(SourceKind kind = SourceKind::Dde) {
        main_.reset();
        main_ = std::make_unique<TarveddeMain>(env_.host, Options(kind));
        return main_->FormCreate();
    }
    TarveddeMain& Start(SourceKind kind = SourceKind::Dde) {
        EXPECT_TRUE(Create(kind));
        main_->FormShow();
        return *main_;
    }
    // Closes the program as the operator does and starts it again.
    TarveddeMain& Restart(SourceKind kind = SourceKind::Dde) {
        main_->FormClose();
        main_.reset();
        return Start(kind);
    }
    TarveddeMain& Main() { return *main_; }
    void Advance(std::int64_t ms) { env_.loop.AdvanceBy(ms); }
    // Another client holds the single-instance lock until the test ends.
    void HoldLock() { otherClient_ = env_.locks.Acquire(kLockName); }
    static constexpr char kLockName[] = "tarvedde";

    // The bare state: configuration load and per-value processing.
    bool Load(SourceKind kind = SourceKind::Dde) {
        settings_.sourceKind = kind;
        return config_.Load(bare_.Targets());
    }
    void SetItemCount(int count, int bufferRows = 3) {
        settings_.itemCount = count;
        state_.grid.Resize(count + 1, bufferRows + 6);
    }
    // One cycle `stepMs` after the previous one; item n gets texts[n-1] first.
    void RunCycle(const Lines& texts, std::int64_t stepMs = 10000) {
        for (std::size_t n = 0; n < texts.size(); ++n) {
            Source(static_cast<int>(n) + 1).newestText = texts[n];
        }
        env_.clock.AdvanceMs(stepMs);
        CycleTimes& times = state_.cycle;
        times.cycleTime = env_.clock.Now();
        times.cycleElapsedMs = env_.clock.ElapsedMs();
        processor_.BeginCycle();
        bool passedLast = false;
        for (int call = 0; call <= maxItems && !passedLast; ++call) {
            passedLast = processor_.ProcessNextItem(BareCycle());
        }
        ASSERT_TRUE(passedLast) << "the cycle did not end";
        processor_.FinishItems(BareCycle());
        // What the acquisition cycle does after the items.
        times.previousCycleTime = times.cycleTime;
        times.previousCycleElapsedMs = times.cycleElapsedMs;
        state_.window.lbDT = FormatDateTime("hh:nn:ss", times.cycleTime);
    }
    CycleData BareCycle() {
        return {state_.cycle, state_.window.lbDT, dde_.Sources(), integrator_.States(),
                state_.grid};
    }

    // The program's state once started, else the bare one, and its per-item records.
    MainWindowModel& Window() { return main_ ? main_->Window() : state_.window; }
    LiveGrid& Grid() { return main_ ? main_->Grid() : state_.grid; }
    Configuration& Config() { return main_ ? main_->Config() : config_; }
    GeneralSettings& Settings() { return ConfigurationTestAccess::Settings(Config()); }
    ItemConfig& Item(int n) { return ConfigurationTestAccess::Item(Config(), n); }
    // The running program's value processor, else the bare one.
    ProcessedValues& Values() {
        return ValueProcessorTestAccess::Values(main_ ? TarveddeMainTestAccess::Processor(*main_)
                                                      : processor_);
    }
    ItemStatistics& Stats(int n) { return At(Values().statistics, n); }
    DdeClient& Dde() { return main_ ? main_->Dde() : dde_; }
    ItemSource& Source(int n) { return At(DdeClientTestAccess::Sources(Dde()), n); }
    SampleIntegrator& Integrator() {
        return main_ ? TarveddeMainTestAccess::Integrator(*main_) : integrator_;
    }
    const IntegrationState& Integration(int n) { return Integrator().States()[n]; }
    // Sums as a restore or the operator sets them.
    IntegrationStates& Integrals() { return Integrator().StatesToRestore(); }
    StateStore& Store() { return main_ ? main_->Store() : bare_.store; }
    ConfigRecord& Record(int n) {
        return At(StateStoreTestAccess::Stored(Store()).configRecords, n);
    }
    CounterDifferenceState& Counter(int n) { return At(Values().counterDifferences, n); }
    NightSumRecord& Night(int n) { return At(StateStoreTestAccess::Stored(Store()).nightSums, n); }
    ItemLogFlags& Flags(int n) { return At(ConfigurationTestAccess::LogFlags(Config()), n); }
    double& MirrorOffset(int n) { return At(Values().mirrorSumOffsets, n); }
    int ProtocolOrder(int n) { return At(Config().ItemProtocolOrder(), n); }
    void Convert(int n, double factor, double divisor, int timeBase) {
        Item(n).valueConversion = {true, "", "", factor, divisor, timeBase};
    }
    void SetLimits(int n, double lower, double upper) {
        Item(n).effectiveLoLimit = lower;
        Item(n).effectiveUpLimit = upper;
    }
    // Item n's cell of the grid's current row, and of a given row.
    std::string Shown(int n) { return Grid().Cell(n, Grid().CurrentRow()); }
    std::string Row(int n, int row) { return Grid().Cell(n, row); }

    // The program log: whole, as lines without time stamps, and the lines since the last call.
    std::string LogAll() const { return env_.ReadText(kLogAllFile); }
    Lines LogLines() const { return LogAll() == "<missing>" ? Lines{} : Unstamped(LogAll()); }
    Lines NewLogLines() {
        const Lines all = LogLines();
        const Lines fresh(all.begin() + static_cast<std::ptrdiff_t>(std::min(seen_, all.size())),
                          all.end());
        seen_ = all.size();
        return fresh;
    }
    bool Logged(const std::string& line) const {
        const Lines all = LogLines();
        return std::find(all.begin(), all.end(), line) != all.end();
    }
    const Lines& Transcript() const { return env_.person.Transcript(); }

    EngineTestHost env_;
    BareEngine bare_{env_};
    Configuration& config_ = bare_.config;
    GeneralSettings& settings_ = ConfigurationTestAccess::Settings(config_);
    ConversionTables& tables_ = ConfigurationTestAccess::Tables(config_);
    BareFrame& state_ = bare_.state;
    ProgramLog& log_ = bare_.log;
    std::unique_ptr<InstanceLockShare> otherClient_;
    std::unique_ptr<TarveddeMain> main_;
    JoinRecorder joins_;
    ValueProcessor processor_{config_, env_.files, log_, GermanLocale(), joins_.Joins()};
    // The bare acquisition: on the in-memory server, not yet initialised.
    SampleIntegrator integrator_{config_.Items(), config_.Tables(), log_, GermanLocale()};
    DdeClient dde_{&env_.dde, config_, integrator_, env_.host, log_, GermanLocale(), state_.window};
    std::size_t seen_ = 0;
};

}  // namespace tarvedde::testing
