// Intermediate statistics during the day. A normal item's time frame splits its day at two
// times: at each the item's statistics so far go to the statistics window and its
// accumulators restart, and what came before the first time (the night, "NT") is set
// aside and comes back at the second, so the period between the two ("HT") is reported
// on its own. A mirrored item's time table does the same at up to 96 times a day, each
// also leaving a line in the day's .TVS file and in its monthly load-curve file.
//
// Everything here runs once per cycle on the acquisition thread. A file that cannot be
// written is logged and the re-initialisation still happens, so a full disk never stops
// the day's statistics from restarting on time.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/config/configuration.h"
#include "engine/model/item_model.h"
#include "engine/processing/statistics_joins.h"
#include "engine/statistics/extraneous_water.h"
#include "engine/statistics/item_statistics_report.h"
#include "engine/statistics/time_table.h"
#include "outputs/day_file_names.h"
#include "outputs/program_log.h"
#include "platform/clock.h"
#include "platform/date_time.h"
#include "platform/rich_text_model.h"

namespace tarvedde {

// The per-item state the intermediate and day-change statistics read and restart; each
// part is owned by another subsystem and handed in.
struct StatisticsState {
    PerItem<ItemStatistics>& statistics;
    IntegrationStates& integration;
    PerItem<FifteenMinuteState>& fifteenMinute;
    PerItem<MovingAverageState>& moving;
    PerItem<double>& mirrorSumOffsets;
    // Survives restarts in TARVEDDE_NACHT.TVW, which the state store reads and writes.
    PerItem<NightSumRecord>& nightSums;
};

// Where the statistics go: the statistics window (Memo2), the log with its snapshot text
// (memoStat), the day's files, and the extraneous-water inputs the item blocks carry.
struct StatisticsOutputs {
    RichTextModel& memo2;
    ProgramLog& log;
    ExtraneousWater& extraneousWater;
    DayFiles& dayFiles;  // its IntermediateValuesPath() is the day's .TVS file
    FileSystem& files;
    const Clock& clock;
    const Locale& locale;
};

// What only the program frame knows.
class TimeFrameHost {
public:
    virtual ~TimeFrameHost() = default;
    // The date-time of the cycle being processed.
    virtual double CycleTime() const = 0;
    // The date-time of the previous completed cycle.
    virtual double PreviousCycleTime() const = 0;
    // The day the day files are named after.
    virtual double RunningDay() const = 0;
    // The day the statistics window and the accumulators belong to: the running day, or
    // while a postponed day change is pending (and while it runs) the day it closes.
    virtual double StatisticsDay() const = 0;
};

// The diary bindings join here: a binding with date change may replace the sum a frame
// crossing has just cleared. The default replaces nothing.
class DiaryNightSums {
public:
    virtual ~DiaryNightSums() = default;
    // `frameEnd`: the end of the item's frame as the crossing saw it.
    virtual void ApplyDiaryValue(int /*item*/, double /*timeOfDay*/, double /*frameEnd*/) {}
};

// The statistics window's heading style: centred, blue, bold and underlined.
void AppendStatisticsHeading(RichTextModel& memo2, const std::string& text);

class TimeFrameStatistics final : public TimeFrames {
public:
    TimeFrameStatistics(const Configuration& config, StatisticsState state,
                        StatisticsOutputs outputs, TimeFrameHost& host, DiaryNightSums& diary);

    // At configuration load: every item's frame from its settings and its table from its
    // file ("Zeittabelle für <name> geladen." for each found), positioned after
    // `timeOfDay`. `op` is shown an invalid table line.
    void LoadTimeFrames(double timeOfDay, Operator& op);

    // One item's table again from its file, positioned after `timeOfDay`, its lines also
    // into `editorList` when given: the time table editor's show and close.
    void LoadItemTimeTable(int item, double timeOfDay, Operator& op,
                           std::vector<std::string>* editorList);

    // The time of day a table loaded now is positioned after: this run's last cycle (back
    // to the day's beginning at most), so that the next cycle still crosses a time passed
    // since (acquisition stood, the editor was open); before the first cycle, now.
    double TablePlacingTime() const;

    // The item settings dialog's save: the item's frame as its settings now hold it.
    void SetItemFrame(int item);
    // Per-value processing of a normal item whose frame is on today.
    void CheckTimeFrame(int item) override;
    // Mirrored-item processing of an item whose frame is on today.
    void EvaluateTimeTable(int item) override { CheckTimeTable(item); }
    void CheckTimeTable(int item);

    // Mirrored items' frames from their tables, and every frame logged. At start, at
    // acquisition start and, in permanent mode, at the day change.
    void SyncTimeFrames(double timeOfDay);
    // First cycle of a new day: every loaded table starts again at its first time. A
    // table that was never loaded keeps position 0, so its missing file is still reported
    // rather than producing statistics at midnight; a file without a valid time stays done.
    void ResetTimeTablesForNewDay();
    // The day change: the period a framed item's last time opened (the night after the
    // frame's end, the hours after a table's last time) is reported as its times report,
    // as the day statistics leave the item out. False where the frame never reports (a
    // frame the wrong way round, a mirrored item without a table): the day statistics
    // carry that item instead.
    bool ReportOpenPeriod(int item, StatisticsRun& run);

    const TimeTable& Table(int item) const { return tables_[item]; }
    const TimeFrame& Frame(int item) const { return frames_[item]; }

private:
    double SetAsideValue(int item) const;
    void SetAside(int item, bool secondTime);
    void RestoreSetAsideValue(int item);
    void GiveBackSetAside(int item);
    StatisticsRun RunNow() const;
    void AppendItemBlock(int item, StatisticsRun& run);
    void BringMirrorSumUpToNow(int item, const StatisticsRun& run);
    void WriteTableStatistics(int item, double moment);
    void AppendTableLines(int item, RichTextModel* memo2, LinesModel* memoStat) const;
    void WriteIntermediateValue(int item);
    void RestartMirroredItem(int item);
    void AdvanceTable(int item);
    std::string F(double value) const;
    std::string TimeText(double timeOfDay) const;

    const Configuration& config_;
    StatisticsState state_;
    StatisticsOutputs out_;
    // The extraneous-water share is a whole day's: a period's figures would give a
    // nonsense share, dated the day before, in Fremdwasser.txt. The period blocks hand
    // theirs to a calculation that is never configured.
    mutable ExtraneousWater notADay_;
    TimeFrameHost& host_;
    DiaryNightSums& diary_;
    PerItem<TimeFrame> frames_{};
    // The latest cycle time each item's frame was checked at today: a clock set back a
    // few seconds must not cross a frame time a second time.
    PerItem<double> frameCheckedUpTo_{};
    PerItem<TimeTable> tables_{};
    // The night's mean, set aside with its count: the running mean goes on from it.
    PerItem<std::optional<double>> nightAverages_{};
};

}  // namespace tarvedde
