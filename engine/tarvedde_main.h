// The engine half of the main window: it owns the item model, the timers and the models
// of every visible text, and runs program start, configuration and (in later steps)
// acquisition. A view only displays its models and forwards clicks.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/dde_client.h"
#include "engine/engine_state.h"
#include "engine/host.h"
#include "outputs/program_log.h"
#include "platform/instance_lock.h"
#include "platform/locale.h"
#include "platform/rich_text_model.h"

namespace tarvedde {

struct StartOptions {
    // The program directory; a trailing separator is added when missing.
    std::string programDir;
    SourceKind sourceKind = SourceKind::Dde;
    // Name of the system-wide single-instance lock (the executable's file name).
    std::string lockName = "tarvedde";
    // Where the lock lives; empty: the system's temporary directory.
    std::string lockDirectory;
};

class TarveddeMain {
public:
    TarveddeMain(Host& host, StartOptions options, const Locale& locale = GermanLocale());
    ~TarveddeMain();
    TarveddeMain(const TarveddeMain&) = delete;
    TarveddeMain& operator=(const TarveddeMain&) = delete;

    // Main window creation: start settings, single-instance guard, stale lock files.
    // False when the start was abandoned; the caller then ends the program.
    bool FormCreate();
    // The first showing of the main window: the whole start-up sequence.
    void FormShow();
    // Program end without acquisition running: the message history and the marker.
    void FormClose();

    // The operator's commands by component name (main menu items such as "Beenden1",
    // buttons "btStartDDE", "btStoppen"). False when the name is unknown or the command
    // does not exist yet in this program.
    bool MenuClick(const std::string& name);
    bool ButtonClick(const std::string& name);
    // Set when the program asked to end (menu, restart after the day change); the host
    // then closes the window and ends its loop.
    bool CloseRequested() const { return closeRequested_; }

    bool StartAborted() const { return startAborted_; }
    // What the start read from $clean: the last save's error bits, and whether to trust it.
    bool StateClean() const { return stateClean_; }
    int StateFlags() const { return stateFlags_; }
    EngineState& State() { return state_; }
    DdeClient& Dde() { return dde_; }
    ProgramLog& Log() { return log_; }
    RichTextModel& StatisticsText() { return memo2_; }

private:
    void ReadStartSettings();
    bool RunInstanceGuard();
    bool AskAbortStart(const std::string& message);
    void DeleteStaleLockFiles();
    void StartSequenceHeader();
    void ReadSavedDay();
    void ReadCleanMarker();
    void ShowRestartHeading();
    void PermanentModeStart();
    void AqasysModeStart();
    void InitialiseItemsAtStart();

    // Steps that belong to later parts of the program; each does what is needed so far.
    bool InitDDE();
    void RestoreMirrorOffsets();
    void ConvertConfigFile();
    void SyncTimeFrames();
    void OpenDayFiles();
    void RestoreCounterDifferences();
    void LinkItems();
    void RestoreDayAccumulators();
    void RestoreNightSums();
    void StartAcquisition();
    void SaveIntermediateState();

    // The acquisition cycle.
    void TimerDDETimer();
    void RunCycleTick();
    void WerteLesen();
    void RunPostponedDayChange(const TimeParts& time);
    void DetectDayChange(const DateParts& date);
    void CreateNewDayFiles();
    void RunDayChangeStatistics();
    void ResetTimeTables();
    void EndOfCycle();
    void WriteDiaryAndViewerFiles();
    void WriteSampleAndDayRecords();
    void TimerAutoTimer();
    void RetryConnection();
    void WriteIniFailure(Status status, const char* failureText);
    // Menu "Alle Tagesdaten löschen": a new version of the day's files, fresh statistics.
    void Tagesdatenloeschen1Click();
    // The live data window's creation: the grid sized from the settings file.
    void CreateLiveDataWindow();

    Host& host_;
    StartOptions options_;
    const Locale& locale_;
    ProgramLog log_;
    EngineState state_;
    DdeClient dde_{host_.dde, state_};
    RichTextModel memo2_;
    std::optional<InstanceLock> instanceLock_;
    std::unique_ptr<Timer> timerDDE_;
    std::unique_ptr<Timer> timerAuto_;

    bool stopped_ = true;
    bool startAborted_ = false;
    bool closeRequested_ = false;
    bool permanentAtCreation_ = true;
    bool stateClean_ = false;
    int stateFlags_ = 0;
    bool newDayFileCreated_ = false;
};

}  // namespace tarvedde
