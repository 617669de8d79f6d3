// The engine half of the main window: a coordinator that owns the subsystems
// (configuration, state store, sample integrator, DDE client, value processor, day files),
// the models of every visible text and the cycle's own flags, and calls the subsystems in
// the order the program prescribes: start, run control, the cycle, the end. A view only
// displays its models and forwards clicks. Destroying the object writes nothing: a process
// that dies leaves its files as they were.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/acquisition/aqasys_retrieval.h"
#include "engine/acquisition/dde_client.h"
#include "engine/acquisition/opc_acquisition.h"
#include "engine/config/configuration.h"
#include "engine/diary/diary_interface.h"
#include "engine/frame/day_file_writer.h"
#include "engine/frame/extraneous_water_frame_host.h"
#include "engine/model/cycle_times.h"
#include "engine/model/host.h"
#include "engine/model/item_settings_change.h"
#include "engine/model/live_grid.h"
#include "engine/model/main_window_model.h"
#include "engine/model/warning_window_model.h"
#include "engine/persistence/state_files.h"
#include "engine/processing/per_value_processing.h"
#include "engine/processing/statistics_joins.h"
#include "engine/statistics/day_change_statistics.h"
#include "engine/statistics/day_protocol.h"
#include "engine/statistics/diary_night_sums.h"
#include "engine/statistics/extraneous_water.h"
#include "engine/statistics/fifteen_minute_values.h"
#include "engine/statistics/limit_warnings.h"
#include "engine/statistics/moving_averages.h"
#include "engine/statistics/time_frames.h"
#include "outputs/program_log.h"
#include "platform/ini_file.h"
#include "platform/instance_locks.h"
#include "platform/locale.h"
#include "platform/rich_text_model.h"

namespace tarvedde {

struct StartOptions {
    // The program directory; a trailing separator is added when missing.
    std::string programDir;
    SourceKind sourceKind = SourceKind::Dde;
    // Name of the system-wide single-instance lock (the executable's file name).
    std::string lockName = "tarvedde";
};

class TarveddeMain final : private LinkSetUpEnd,
                           private ServerDisconnect,
                           private AqasysRetrievalHost,
                           private ItemSettingsChange {
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
    // The host's single entry for "the window closes" (its close button, the end of a
    // signal or script, or after CloseRequested()). While acquisition runs the close is
    // refused: the stop countdown starts and false comes back; the engine asks again when
    // the countdown has stopped acquisition. Otherwise the end-of-program statistics are
    // written, the state saved, the marker deleted and the lock released; true, also on
    // every later call.
    bool FormClose();
    bool Closed() const { return closed_; }

    // The operator's commands by component name (main menu items such as "Beenden1",
    // buttons "btStartDDE", "btStoppen"). False when the name is unknown or the command
    // does not exist yet in this program.
    bool MenuClick(const std::string& name);
    bool ButtonClick(const std::string& name);
    // Set when the program wants its window closed (menu, end of the countdown, restart
    // after the day change); the engine has quit the loop, and the host calls FormClose().
    bool CloseRequested() const { return closeRequested_; }

    // The window's own close: refused with the countdown while acquisition runs,
    // otherwise a close request to the host.
    void Close();
    // Stops the cycle; waits for a running cycle unless the operator forced the stop.
    void StopAcquisition();
    // The stop countdown window; without one a close during acquisition is only refused.
    void SetStopCountdown(std::function<void()> show) { showStopCountdown_ = std::move(show); }
    // Prints the day protocol without a dialog, for the automatic print at the day change;
    // false when nothing was printed. The desktop prints on the chosen printer; without
    // one (the headless program) the day change logs that nothing was printed.
    using DayProtocolPrint =
        std::function<bool(const RichTextModel& text, const std::string& title, int fontSize)>;
    void SetDayProtocolPrint(DayProtocolPrint print) { printDayProtocol_ = std::move(print); }
    // The countdown's "Nein": acquisition goes on, and a reconnect that the close ended
    // is taken up again by the retry.
    void CloseRefused();
    bool Stopped() const { return stopped_; }
    // The program end's save of the intermediate state reported an error.
    bool FinalSaveFailed() const { return finalSaveFailed_; }
    bool AcquisitionStarted() const { return dde_.AcquisitionStarted(); }
    const Timer& TimerDDE() const { return *timerDDE_; }
    const Timer& TimerTot() const { return *timerTot_; }
    const Timer& TimerAqasys1() const { return *timerAqasys1_; }
    const Timer& TimerGleitM() const { return *timerGleitM_; }

    bool StartAborted() const { return startAborted_; }
    // What the start read from $clean: the last save's error bits, and whether to trust it.
    bool StateClean() const { return stateClean_; }
    int StateFlags() const { return stateFlags_; }
    // The models the views show; a view may attach its listener.
    MainWindowModel& Window() { return window_; }
    LiveGrid& Grid() { return grid_; }  // grEcht
    Host& GetHost() { return host_; }
    // Menu Neustart1 checked: the program closes after the day change.
    bool RestartAfterDayChange() const { return restartAfterDayChange_; }
    const Configuration& Config() const { return config_; }
    Configuration& Config() { return config_; }
    StateStore& Store() { return store_; }
    FifteenMinuteWindows& FifteenMinuteValuesOf() { return fifteenMinuteValues_; }
    MovingAverageRings& MovingAveragesOf() { return movingAverages_; }
    const ValueProcessor& Processor() const { return processor_; }
    // The counter and maintenance dialogs set the day extremes here.
    ValueProcessor& Processor() { return processor_; }
    const SampleIntegrator& Integrator() const { return integrator_; }
    // The item settings dialog hands an item's edited set-up to the integrator.
    SampleIntegrator& Integrator() { return integrator_; }
    DiaryInterface& Diary() { return diary_; }
    // The item and calibration dialogs tell their saves here.
    ItemSettingsChange& ItemSettings() { return *this; }
    // Menu "Übergabe zum Tagebuch": true when the binding dialog of the mode may open;
    // without positions from TARVEGET the operator is told why not.
    bool UebergabezumTagebuch1Click();
    const DateParts& RunningDay() const { return runningDay_; }
    DayFileWriter& DayFileOutput() { return dayFiles_; }
    DdeClient& Dde() { return dde_; }
    // The AQASYS retrieval: its date field, dialogs and request file.
    AqasysRetrieval& Aqasys() { return aqasys_; }
    // opc_run_control.cpp: the OPC client, its watchdog and its menu's dialogs.
    OpcAcquisition& Opc() { return opc_; }
    const Timer& TimerOpcTot() const { return *timerOpcTot_; }
    void SetOpcDialogs(OpcDialogs* dialogs) { opcDialogs_ = dialogs; }
    // The browse dialog's test: these identifiers replace the item list until the program
    // restarts, and the next start only shows their values.
    void UseOpcItemsForTest(const std::vector<std::string>& itemIds);
    ProgramLog& Log() { return log_; }
    RichTextModel& StatisticsText() { return memo2_; }
    // The time table editor reloads an item's table here.
    TimeFrameStatistics& TimeFrameStats() { return timeFrameStatistics_; }
    const Locale& RegionalSettings() const { return locale_; }
    // The warning window TFo_Warnung works on.
    WarningWindowModel& WarningWindow() { return warningWindow_; }
    // general_settings_joins.cpp: what the general settings dialog TFo_Einstell1 does to
    // the running program.
    void ReloadConfiguration();
    void ApplyCycleInterval(int count, int unit, int intervalMs);
    void SuspendUntilRestart();
    // item_settings_joins.cpp: what the item and calibration dialogs' saves do to the
    // running program.
    void ItemSettingsChanged(int item, const ItemConfig& before) override;
    void CalibrationChanged() override;
    // A save of settings the day file's header holds: the rows from now on are a new version.
    void HeaderSettingsChanged();

private:
    friend struct TarveddeMainTestAccess;

    // item_settings_joins.cpp
    void ServerItemChanged(int item);
    void RebaseMirrorSum(int item, double collected);
    double CollectedMirrorSum(int item, int oldSource) const;
    // The item's running sum up to now.
    double SumNow(int item) const;
    void KeepTimeTableFile(const ItemConfig& before, const ItemConfig& after);

    // program_start.cpp: creation, the single-instance guard, stale lock files.
    bool RunInstanceGuard();
    bool AskAbortStart(const std::string& message);
    void DeleteStaleLockFiles();

    // start_sequence.cpp: the first showing, the restores of the running day's state and
    // the automatic start.
    void StartSequenceHeader();
    void ReadSavedDay();
    // `flags` and `day` as $clean holds them.
    bool EndedDayRestorable(std::optional<int> flags, const std::string& day) const;
    void ReadCleanMarker();
    // What $clean said, for the restores of the state files.
    StateMarker Marker() const { return {stateClean_, stateFlags_}; }
    void LoadRunningDayProtocol();
    void ShowRestartHeading();
    // Configuration::Load, then the loaded keys to the subsystems that keep a copy.
    bool LoadConfiguration(Configuration::ItemCount count = Configuration::ItemCount::FromFile);
    void PermanentModeStart();
    void TakeLastRecordedCycle();
    void AqasysModeStart();
    void InitialiseItemsAtStart();
    bool InitDDE();
    void SyncTimeFrames();
    // Menu "Neustart nach Tageswechsel-Statistik": close after the day change, cold start.
    void Neustart1Click();
    // The day change's end of that: the cold-start request, then the close.
    void CloseForRestart();
    // The automatic start, once the link set-up's outcome is known.
    void AutoStart();

    // run_control.cpp: start and stop of acquisition, the links, the operator's commands.
    // What runs once the link set-up's outcome is known.
    enum class AfterLinking { AutoStart, RetryOutcome, Start };
    // True when the outcome is known at return; otherwise `then` runs when the set-up ends.
    bool LinkItems(AfterLinking then);
    void LinkSetUpEnded() override;
    void StartAcquisition();
    // Fixes the fifteen-minute window; at the first start of the run creates both buffer
    // sets and restores them from the last clean save.
    void SetupWindowBuffers();
    void TimerGleitMTimer();
    void StartAqasysRetrieval();
    void TransferTick();
    void StopRetrieval() override;
    void StartRetrieval() override;
    void StartButton();
    void StartOutcome();
    void StopButton();
    bool ConfirmStop();
    void StopAqasysRetrieval();
    void WaitForRunningCycle();
    void Beenden1Click();
    void DDEOPCstoppen1Click();
    Status DisconnectOpcGroup();
    Status DisconnectOpcClient();
    void DeactivateOpcClient();
    void UnlinkItems();
    // A stop ends a link set-up that is still going on, as it would end the links.
    void EndLinkSetUp();
    void CloseDDE();
    // opc_run_control.cpp. False when the start must not go on.
    bool OpcStartChecks();
    void OpcWatchdogTick();
    void OpcWatchdogTeardown();
    void ShowOpcFailureWarning();
    void Servereinstellen1Click();
    void Browser1Click();
    void Itemseditieren1Click();
    // The live data window's creation: the grid sized from the settings file.
    void CreateLiveDataWindow();

    // acquisition_cycle.cpp: the cycle, in the order WerteLesen shows, and the retry.
    void TimerDDETimer();
    void RunCycleTick();
    // An OPC installation whose server is gone or holds no group; logged once per outage.
    bool OpcServerLost();
    void HoldAcquisition();
    void WerteLesen();
    bool RunPostponedDayChange();
    void DetectDayChange(const DateParts& date, bool dayClosed);
    void PostponeDayChange(double figuresDay, IniFile& ini, const std::string& day);
    // Logs a clock that stands before the running day, once until it is back.
    void NoteClockSetBack();
    void TakeBackClockDate(const DateParts& date);
    void RunDayChangeStatistics(double endedDay, double dayEnd);
    // True when a postponed day change was pending.
    bool LeavePendingDayChange();
    double PendingDay() const;
    double RunningDayEnd() const;
    void ReloadTakenBackDayProtocol();
    void ResetTimeTables();
    // After every configuration load: the time frames and tables anew.
    void LoadTimeFrames();
    void EndOfCycle();
    void TimerAutoTimer();
    void ServerDisconnected() override;
    void RetryConnection();
    void RetryOutcome();
    void FirstValuesTimer();
    void SaveDay(IniFile& ini, const std::string& day, const char* failureText);
    void WriteIniFailure(Status status, const char* failureText);
    void RetryRefusedWrites(bool atProgramEnd);
    void RetryDayKeys();

    // main_day_files.cpp: the day files and the state files that start anew with them.
    void OpenDayFiles();
    void CreateNewDayFiles();
    // TARVEDDE.COF and TARVEDDE_NACHT.TVW, each when it is missing, and both anew.
    void CreateMissingStateFiles();
    void RecreateCumulativeStateFiles();
    void DropUnclosedDay();
    void DropPendingDayChange();
    void WriteDiaryAndViewerFiles();
    // The bound diary values of the cycle, when the diary transfer is on.
    void WriteDiaryData();
    // Into `day`'s file, as at `at`: its time windows, and integrals up to it.
    void WriteDiaryData(const DateParts& day, double at, std::int64_t atMs,
                        bool gridOfTheDay = true);
    void WriteSampleAndDayRecords();
    // Menu "Alle Tagesdaten löschen": a new version of the day's files, fresh statistics.
    void Tagesdatenloeschen1Click();

    // extraneous_water_frame_host.cpp: the operator's extraneous-water menu entries.
    void Fremdwasser1Click();
    void NachtzulaufEWIndeingeben1Click();

    // program_end.cpp: the close, the end-of-program statistics and the final save.
    bool CloseQuery();
    void CloseMain();
    void WriteProgramEndStatistics();
    void EndConversationAtProgramEnd();
    void PrintIntermediateStatisticsAtEnd(SaveMoment moment);
    void SaveAtProgramEnd(SaveMoment moment);
    void DestroyMain();
    void Timer_totTimer();
    void RequestClose();
    std::optional<SaveMoment> HeldDayEnd(double now) const;
    void PrintIntermediateStatistics(int item, SaveMoment moment);
    DayProtocolFiles ProtocolFiles();
    void SaveStatisticsReport();
    void SaveChangedStatisticsReport();

    Host& host_;
    StartOptions options_;
    const Locale& locale_;
    ProgramLog log_;

    // The models the views show.
    MainWindowModel window_;
    LiveGrid grid_;  // grEcht
    RichTextModel memo2_;
    WarningWindowModel warningWindow_;

    // The subsystems, in the order they are built.
    Configuration config_{host_, log_, locale_};
    // The configuration load fills its binding.
    DiaryInterface diary_{host_.files, host_.op, log_};
    StateStore store_{host_, log_, locale_};
    // One integrator for every source kind's samples.
    SampleIntegrator integrator_{config_.Items(), config_.Tables(), log_, locale_};
    DdeClient dde_{host_.dde, config_, integrator_, host_, log_, locale_, window_};
    AqasysRetrieval aqasys_{config_, diary_, dde_, host_, log_, locale_, window_, *this};
    OpcAcquisition opc_{host_, config_, integrator_, dde_, log_, locale_, window_};
    // The statistics that join per-value processing.
    LimitWarningDisplay limitWarnings_{config_, locale_, cycle_, memo2_, warningWindow_};
    FifteenMinuteWindows fifteenMinuteValues_{config_, log_, locale_, cycle_};
    MovingAverageRings movingAverages_{config_, host_.files, log_, locale_};
    // The processor is built before the time frames that restart its statistics, so it
    // reaches them through this relay.
    class TimeFramesRelay final : public TimeFrames {
    public:
        TimeFrames* target = nullptr;
        void CheckTimeFrame(int item) override { target->CheckTimeFrame(item); }
        void EvaluateTimeTable(int item) override { target->EvaluateTimeTable(item); }
        void CheckTimeTables() override { target->CheckTimeTables(); }
    };
    TimeFramesRelay timeFrames_;
    ValueProcessor processor_{config_,
                              host_.files,
                              log_,
                              locale_,
                              {limitWarnings_, fifteenMinuteValues_, movingAverages_, timeFrames_}};
    DayFileWriter dayFiles_{config_, host_.files, log_, locale_};

    // What the intermediate and day-change statistics ask of the frame.
    class StatisticsHost final : public TimeFrameHost, public DayChangeHost {
    public:
        explicit StatisticsHost(TarveddeMain& main) : main_(main) {}
        double CycleTime() const override { return main_.cycle_.cycleTime; }
        double PreviousCycleTime() const override { return main_.cycle_.previousCycleTime; }
        double RunningDay() const override;
        double StatisticsDay() const override;
        void PrintStatistics(double tickTime) override;
        void ClearDiaryValues() override { main_.diary_.ClearValues(); }
        // As at the day's last moment: after a start or an outage over midnight the cycle's
        // time is the new day's, whose weekday and time would decide the positions. Into
        // the ended day's file: the postponed day change's pending flag, which names the
        // files after it, is already down.
        void WriteEndedDayDiary(double dayEnd) override {
            // The first cycle after a start closes a day that ended while the client was
            // down: the grid holds none of its means and counter sums, which its file keeps.
            const bool gridOfTheDay = main_.dayStateAcquired_;
            const double lastMoment = dayEnd - 1.0 / static_cast<double>(kMsPerDay);
            const CycleTimes& cycle = main_.cycle_;
            const DateParts day = DecodeDate(StatisticsDay());
            if (cycle.cycleTime <= lastMoment) {
                main_.WriteDiaryData(day, cycle.cycleTime, cycle.cycleElapsedMs, gridOfTheDay);
            } else {
                main_.WriteDiaryData(day, lastMoment, -1, gridOfTheDay);
            }
        }

    private:
        TarveddeMain& main_;
    };
    StatisticsHost statisticsHost_{*this};
    BoundDiaryNightSums diaryNightSums_{diary_, config_, StatisticsStateOf(), log_, locale_};
    ExtraneousWater extraneousWater_{host_.files, log_, locale_};
    ExtraneousWaterFrameHost extraneousWaterHost_{config_,     processor_,  fifteenMinuteValues_,
                                                  integrator_, host_.files, host_.clock};
    StatisticsState StatisticsStateOf();
    StatisticsOutputs StatisticsOutputsOf();
    TimeFrameStatistics timeFrameStatistics_{config_, StatisticsStateOf(), StatisticsOutputsOf(),
                                             statisticsHost_, diaryNightSums_};
    DayStatistics dayStatistics_{config_, StatisticsStateOf(), StatisticsOutputsOf(),
                                 timeFrameStatistics_, statisticsHost_};

    // The start: what $clean said, and whether the program started in permanent mode.
    bool startAborted_ = false;
    bool permanentAtCreation_ = true;
    bool stateClean_ = false;
    int stateFlags_ = 0;
    bool newDayFileCreated_ = false;
    std::unique_ptr<InstanceLockShare> instanceLock_;
    std::unique_ptr<InstanceLockShare> directoryLock_;

    // The cycle.
    std::unique_ptr<Timer> timerDDE_;
    std::unique_ptr<Timer> timerAuto_;
    // From a relink to the first cycle after it.
    std::unique_ptr<Timer> timerFirstValues_;
    std::unique_ptr<Timer> timerAqasys1_;
    std::unique_ptr<Timer> timerGleitM_;
    std::unique_ptr<Timer> timerOpcTot_;  // Timer_OPC_tot
    OpcDialogs* opcDialogs_ = nullptr;
    CycleTimes cycle_;
    // The wall time of the running tick.
    double tickTime_ = 0.0;
    bool cycleComplete_ = true;
    bool opcLossLogged_ = false;
    int timeoutCounter_ = 0;
    // The day the files are named after (AktuTag); it only ever moves forward.
    DateParts runningDay_{};
    // The date whose change was last detected: a day change postponed from before midnight
    // and still pending sees the new date at every cycle until its time.
    DateParts detectedDay_{};
    // The day whose statistics the pending postponed day change will print; 0 when not
    // known in this run (the flag came from the INI file).
    double postponedDay_ = 0.0;
    bool dayKeysUnsaved_ = false;  // AktuTag or CustomNewDay refused by the disk
    std::uint64_t savedReportRevision_ = 0;
    bool reportSaveRefused_ = false;
    std::int64_t nextReportSaveMs_ = std::numeric_limits<std::int64_t>::min();
    bool clockSetBack_ = false;
    bool restartAfterDayChange_ = false;  // menu Neustart1 checked
    bool closingForRestart_ = false;      // Nullstart=1 written for this close
    bool startReadTheDay_ = false;        // the start got past the source's initialisation
    bool finalSaveFailed_ = false;
    // A cycle of this run saved the day's state: its figures are this run's, and an end
    // during a later outage saves them as its statistics print them.
    bool dayStateAcquired_ = false;
    // Since when no cycle acquires (stopped, the server away); no wall time while cycles run.
    ElapsedMark heldSince_;

    // Run control and the end.
    std::unique_ptr<Timer> timerTot_;
    std::function<void()> showStopCountdown_;
    DayProtocolPrint printDayProtocol_;
    bool stopped_ = true;
    // Settings saved that this run cannot take (item count, buffer size).
    bool suspendedUntilRestart_ = false;
    bool forcedStop_ = false;
    bool closeRequested_ = false;
    bool closed_ = false;
    AfterLinking afterLinking_ = AfterLinking::AutoStart;
};

}  // namespace tarvedde
