#include "engine/statistics/time_frames.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "engine/statistics/day_protocol.h"
#include "engine/statistics/item_statistics_report.h"
#include "platform/date_time.h"
#include "platform/number_format.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

constexpr int kNameIndent = 40;
constexpr int kLineIndent = 80;
constexpr int kTimeFrameLevel = 3;
constexpr int kTimeTableLevel = 4;

std::string DisplayUnit(const ItemConfig& config) {
    return config.valueConversion.conversionOn ? config.valueConversion.conversionUnit
                                               : config.unit;
}

}  // namespace

void AppendStatisticsHeading(RichTextModel& memo2, const std::string& text) {
    TextAttributes heading;
    heading.bold = true;
    heading.underline = true;
    heading.color = "blue";
    heading.alignment = TextAlignment::Center;
    memo2.SetAttributes(heading);
    memo2.Append(text);
    memo2.SetAttributes(TextAttributes{});
}

TimeFrameStatistics::TimeFrameStatistics(const Configuration& config, StatisticsState state,
                                         StatisticsOutputs outputs, TimeFrameHost& host,
                                         DiaryNightSums& diary)
    : config_(config),
      state_(state),
      out_(outputs),
      notADay_(outputs.files, outputs.log, outputs.locale),
      host_(host),
      diary_(diary) {}

std::string TimeFrameStatistics::F(double value) const {
    const GeneralSettings& s = config_.Settings();
    return FormatFixed(value, s.formatPrecision, s.formatDecimals, out_.locale);
}

std::string TimeFrameStatistics::TimeText(double timeOfDay) const {
    return FormatDateTime("tt", timeOfDay, out_.locale);
}

void TimeFrameStatistics::LoadTimeFrames(double timeOfDay, Operator& op) {
    const TimeTableFiles files{out_.files, op, out_.locale, config_.ProgramDir()};
    const int count = std::min(config_.Settings().itemCount, maxItems);
    for (int n = 1; n <= maxItems; ++n) {
        frames_[n] = config_.Items()[n].timeFrame;
        tables_[n] = TimeTable{};
        if (n > count) {
            continue;
        }
        const std::string name =
            LoadTimeTable(tables_[n], config_.Items()[n], timeOfDay, files, nullptr);
        if (!name.empty()) {
            out_.log.WriteLog("Zeittabelle für " + name + " geladen.");
        }
    }
}

double TimeFrameStatistics::TablePlacingTime() const {
    const double now = out_.clock.Now();
    const double last = host_.PreviousCycleTime();
    if (last > 0.0 && last <= now) {
        return TimeOfDayOf(std::max(last, DateOf(now)));
    }
    return TimeOfDayOf(now);
}

void TimeFrameStatistics::LoadItemTimeTable(int item, double timeOfDay, Operator& op,
                                            std::vector<std::string>* editorList) {
    const TimeTableFiles files{out_.files, op, out_.locale, config_.ProgramDir()};
    LoadTimeTable(tables_[item], config_.Items()[item], timeOfDay, files, editorList);
}

// The integral for an integral item, the day sum for an analog item, the operating time
// (count) for any other.
double TimeFrameStatistics::SetAsideValue(int item) const {
    const ItemConfig& config = config_.Items()[item];
    if (config.Integral) {
        return state_.integration[item].runningSum;
    }
    const ItemStatistics& statistics = state_.statistics[item];
    return config.Grafiktyp == 1 ? statistics.sum : statistics.count;
}

// The first time keeps the night's values, the second the day's totals.
void TimeFrameStatistics::SetAside(int item, bool secondTime) {
    const ItemConfig& config = config_.Items()[item];
    const ItemStatistics& statistics = state_.statistics[item];
    NightSumRecord& night = state_.nightSums[item];
    const double value = SetAsideValue(item);
    if (secondTime) {
        // A frame moved to end again later the same day: the day period already set aside
        // stays, as the day change adds what remains.
        night.htSum += value;
        night.htCount += statistics.count;
        out_.log.WriteLogLevel(kTimeFrameLevel, "HT-Summe (" + F(value) + ") gespeichert.");
        return;
    }
    night.ntSum = value;
    night.ntMinimum = statistics.minimum;
    night.ntMaximum = statistics.maximum;
    night.ntCount = statistics.count;
    nightAverages_[item] = statistics.average;
    out_.log.WriteLogLevel(
        kTimeFrameLevel,
        (config.Integral ? "NT-Integralsumme (" : "NT-Zähler (") + F(value) + ") gespeichert.");
}

void TimeFrameStatistics::RestoreSetAsideValue(int item) {
    const ItemConfig& config = config_.Items()[item];
    const NightSumRecord& night = state_.nightSums[item];
    ItemStatistics& statistics = state_.statistics[item];
    if (config.Integral) {
        state_.integration.SetSum(item, night.ntSum);
        out_.log.WriteLogLevel(kTimeFrameLevel,
                               "NT-Integralsumme auf " + F(night.ntSum) + " gesetzt.");
    } else {
        (config.Grafiktyp == 1 ? statistics.sum : statistics.count) = night.ntSum;
        out_.log.WriteLogLevel(kTimeFrameLevel, "NT-Zähler auf " + F(night.ntSum) + " gesetzt.");
    }
    statistics.count = night.ntCount;
    statistics.minimum = night.ntMinimum;
    statistics.maximum = night.ntMaximum;
    // Left at the day period's mean, the night's would drift towards it. After a restart
    // only a plain analog item's sum still tells it.
    const bool sumOfValues = config.Grafiktyp == 1 && !config.Integral && night.ntCount > 0;
    if (nightAverages_[item]) {
        statistics.average = *nightAverages_[item];
    } else if (sumOfValues) {
        statistics.average = night.ntSum / night.ntCount;
    }
    nightAverages_[item].reset();
}

// A night set aside at the frame's start comes back only at the frame's end, and the next
// start would overwrite it: a frame moved past the cycle's time, or switched off, gives it
// back to the running period.
void TimeFrameStatistics::SetItemFrame(int item) {
    const ItemConfig& config = config_.Items()[item];
    const TimeFrame& frame = config.timeFrame;
    const bool changed = frame != frames_[item];
    const double t = TimeOfDayOf(host_.CycleTime());
    const bool inFrame = frame.on && frame.frameStart <= t && t < frame.frameEnd;
    // A mirror's toggle follows its time table, which no save moves.
    if (changed && state_.nightSums[item].NTadd && !inFrame && !config.mirror.mirrorOn) {
        GiveBackSetAside(item);
    }
    frames_[item] = frame;
}

void TimeFrameStatistics::GiveBackSetAside(int item) {
    const ItemConfig& config = config_.Items()[item];
    NightSumRecord& night = state_.nightSums[item];
    ItemStatistics& statistics = state_.statistics[item];
    // After a restart only a plain analog item's sum still tells the night's mean; unknown,
    // it is left out rather than counted as 0.
    std::optional<double> nightAverage = nightAverages_[item];
    if (!nightAverage && night.ntCount > 0.0 && config.Grafiktyp == 1 && !config.Integral) {
        nightAverage = night.ntSum / night.ntCount;
    }
    const double count = statistics.count + night.ntCount;
    if (config.Grafiktyp == 1 && nightAverage && count > 0.0) {
        statistics.average =
            (statistics.average * statistics.count + *nightAverage * night.ntCount) / count;
    }
    if (config.Integral) {
        state_.integration.SetSum(item, state_.integration[item].runningSum + night.ntSum);
    } else if (config.Grafiktyp == 1) {
        statistics.sum += night.ntSum;
    }
    statistics.count = count;
    if (config.Grafiktyp != 1 && !config.Integral) {
        statistics.sum = count;
    }
    statistics.minimum = std::min(statistics.minimum, night.ntMinimum);
    statistics.maximum = std::max(statistics.maximum, night.ntMaximum);
    night.NTadd = false;
    nightAverages_[item].reset();
    out_.log.WriteLogLevel(kTimeFrameLevel, "Zeitrahmen für " + config.itemName +
                                                " geändert: NT-Werte (" + F(night.ntSum) +
                                                ") zurück in die laufenden Werte.");
}

StatisticsRun TimeFrameStatistics::RunNow() const {
    return {out_.memo2,         out_.log.StatisticsSnapshot(),
            notADay_,           out_.locale,
            out_.clock.Now(),   out_.clock.ElapsedMs(),
            host_.RunningDay(), config_.Settings().itemCount};
}

void TimeFrameStatistics::AppendItemBlock(int item, StatisticsRun& run) {
    BuildItemStatistics(
        item,
        {config_.Items()[item], state_.statistics[item], state_.fifteenMinute[item],
         state_.moving[item], state_.integration, SetAsideAmount(state_.nightSums[item])},
        run);
}

void TimeFrameStatistics::CheckTimeFrame(int item) {
    const TimeFrame& frame = frames_[item];
    if (frame.frameStart >= frame.frameEnd) {
        out_.log.WriteLog("***** Fehlerhafte Rahmeneinstellung ! Item Nr. " + std::to_string(item));
        return;
    }
    const double now = host_.CycleTime();
    double previous = host_.PreviousCycleTime();
    double& checkedUpTo = frameCheckedUpTo_[item];
    // A clock set back a little (over midnight too) re-lives time already checked: no
    // frame time in it is crossed again. Set back by days, the day is taken back whole.
    if (now < checkedUpTo && checkedUpTo - now < 1.0) {
        return;
    }
    if (DateOf(checkedUpTo) == DateOf(now)) {
        previous = std::max(previous, checkedUpTo);
    }
    checkedUpTo = now;
    const double t = TimeOfDayOf(now);
    const double p = TimeOfDayOf(previous);
    // The time crossed says which of the two it is; NTadd says whether the night was set
    // aside today. Taken from NTadd alone, one gap over a time (a stop, a lost server)
    // would swap the periods for good and bring back a night never set aside.
    const bool secondTime = p < frame.frameEnd && frame.frameEnd <= t;
    if (!secondTime && !(p < frame.frameStart && frame.frameStart <= t)) {
        return;
    }
    const ItemConfig& config = config_.Items()[item];
    NightSumRecord& night = state_.nightSums[item];
    ItemStatistics& statistics = state_.statistics[item];
    ProgramLog& log = out_.log;
    log.WriteLogLevel(kTimeFrameLevel, "***** Zeitrahmen für " + config.itemName);
    log.WriteLogLevel(kTimeFrameLevel,
                      "Item " + std::to_string(item) + " : *** NTadd=" + (night.NTadd ? "1" : "0"));
    // The block brings the integral up to now and restarts its samples from now: the time
    // since the last sample belongs to the period that ends here, so it is set aside too.
    AppendStatisticsHeading(out_.memo2, "*** Zwischen-Statistik um " + TimeText(t) + " Uhr ***");
    StatisticsRun run = RunNow();
    AppendItemBlock(item, run);
    SetAside(item, secondTime);
    statistics.sum = 0.0;
    state_.integration.SetSum(item, 0.0);
    diary_.ApplyDiaryValue(item, t, frame.frameEnd);
    statistics.count = 0.0;
    statistics.minimum = kMinimumReset;
    statistics.maximum = kMaximumReset;
    state_.moving[item].movingMinimum = kMinimumReset;
    state_.moving[item].movingMaximum = kMaximumReset;
    if (secondTime && night.NTadd) {
        RestoreSetAsideValue(item);
    }
    night.NTadd = !secondTime;
    log.WriteLogLevel(kTimeFrameLevel,
                      night.NTadd ? "NTadd auf 1 gesetzt." : "NTadd auf 0 gesetzt.");
}

void TimeFrameStatistics::CheckTimeTable(int item) {
    try {
        TimeTable& table = tables_[item];
        if (table.finished) {
            return;
        }
        const ItemConfig& config = config_.Items()[item];
        if (table.position == 0) {
            out_.log.WriteLog("*** Achtung: Fehlt die Datei \"TT_" + config.serverItem + "_" +
                              config.itemName + "\" ?");
            return;
        }
        const double t = TimeOfDayOf(host_.CycleTime());
        if (t < table.times[static_cast<std::size_t>(table.position)]) {
            return;
        }
        try {
            BringMirrorSumUpToNow(item, RunNow());
            WriteTableStatistics(item, host_.CycleTime());
        } catch (const std::exception&) {
            out_.log.WriteLog("Main-FlagnachNull-2 : Fehler beim Spiegeln !");
        }
        RestartMirroredItem(item);
        // After a gap (a server down, a client not running over midnight) every time passed
        // is covered by this one report; one report a cycle for each would hold one value.
        do {
            AdvanceTable(item);
        } while (!table.finished && t >= table.times[static_cast<std::size_t>(table.position)]);
    } catch (const std::exception&) {
        out_.log.WriteLog("Main-FlagnachNull-1 : Fehler beim Spiegeln !");
    }
}

bool TimeFrameStatistics::ReportOpenPeriod(int item, StatisticsRun& run) {
    const ItemConfig& config = config_.Items()[item];
    // The day change may run before the cycle's own time is set: the run's is the moment.
    const double t = TimeOfDayOf(run.now);
    if (!config.mirror.mirrorOn) {
        if (frames_[item].frameStart >= frames_[item].frameEnd) {
            return false;
        }
        AppendStatisticsHeading(out_.memo2,
                                "*** Zwischen-Statistik um " + TimeText(t) + " Uhr ***");
        StatisticsRun period{run.memo2, run.memoStat, notADay_,       run.locale,
                             run.now,   run.nowMs,    run.runningDay, run.itemCount};
        AppendItemBlock(item, period);
        return true;
    }
    if (tables_[item].entryCount == 0) {
        return false;
    }
    // Without a source the item keeps its values over the day change: its next time
    // reports them.
    if (config.mirror.sourceItem < 1) {
        return true;
    }
    try {
        BringMirrorSumUpToNow(item, run);
        WriteTableStatistics(item, run.now);
    } catch (const std::exception&) {
        out_.log.WriteLog("Main-FlagnachNull-2 : Fehler beim Spiegeln !");
    }
    // A time up to this moment (00:00:00 of the new day, or CustomTime) would report the
    // seconds from here to the next cycle once more.
    TimeTable& table = tables_[item];
    while (table.position > 0 && !table.finished &&
           table.times[static_cast<std::size_t>(table.position)] <= t) {
        AdvanceTable(item);
    }
    return true;
}

// A source whose value stands sends no samples, so its integral, and the mirror's sum
// taken from it, stop at its last sample: a constant flow would leave every period
// empty and give the day's volume to no period at all.
void TimeFrameStatistics::BringMirrorSumUpToNow(int item, const StatisticsRun& run) {
    const ItemConfig& config = config_.Items()[item];
    const int source = config.mirror.sourceItem;
    if (source < 1 || source > maxItems || config.Differenz) {
        return;
    }
    const ItemConfig& sourceConfig = config_.Items()[source];
    if (!sourceConfig.Integral || sourceConfig.mirror.mirrorOn) {
        return;
    }
    BringIntegralUpToNow(source, sourceConfig, state_.integration, run);
    const double sum = state_.integration[source].runningSum - state_.mirrorSumOffsets[item];
    // Below the offset the source restarted: the next cycle resets the offset.
    if (std::isfinite(sum) && sum >= -1.0) {
        state_.statistics[item].sum = sum;
    }
}

void TimeFrameStatistics::AppendTableLines(int item, RichTextModel* memo2,
                                           LinesModel* memoStat) const {
    const ItemConfig& config = config_.Items()[item];
    const ItemStatistics& st = state_.statistics[item];
    const int source = config.mirror.sourceItem;
    const bool integralSource =
        source >= 1 && source <= maxItems && config_.Items()[source].Integral;
    std::vector<std::string> lines;
    if (config.IsDigital()) {
        lines.push_back("Betriebszeit=" + FormatFixed(st.count, 12, 2, out_.locale) + " h");
    } else {
        lines.push_back(FormatFixed(st.count, 8, 0, out_.locale) +
                        " Meßwerte : " + "   Mittel=" + F(st.average) + "   Min.=" + F(st.minimum) +
                        "   Max.=" + F(st.maximum) + " [" + DisplayUnit(config) + "]");
    }
    const std::string daySum = F(st.sum / config.sumDivisor) + " " + config.sumUnit;
    if (integralSource) {
        lines.push_back("Summe=" + daySum);
    }
    if (config.Differenz) {
        lines.push_back("Zählerdifferenz/Verbrauch=" + daySum);
    }
    if (config.Gleitend) {
        const MovingAverageState& moving = state_.moving[item];
        lines.push_back("Gleitendes Mittel=" + F(moving.movingAverage) + "   Min.=" +
                        F(moving.movingMinimum) + "   Max.=" + F(moving.movingMaximum));
    }
    for (const std::string& line : lines) {
        if (memo2 != nullptr) {
            memo2->Append(line);
        }
        if (memoStat != nullptr) {
            memoStat->Append(line);
        }
    }
}

void TimeFrameStatistics::WriteTableStatistics(int item, double moment) {
    const ItemConfig& config = config_.Items()[item];
    const double timeOfDay = TimeOfDayOf(moment);
    RichTextModel& memo2 = out_.memo2;
    AppendStatisticsHeading(memo2, "* Zwischen-Statistik um " + TimeText(timeOfDay) + " Uhr *");
    TextAttributes name;
    name.bold = true;
    name.indent = kNameIndent;
    memo2.SetAttributes(name);
    memo2.Append(config.itemName);
    TextAttributes lines;
    lines.indent = kLineIndent;
    memo2.SetAttributes(lines);
    AppendTableLines(item, &memo2, nullptr);
    memo2.SetAttributes(TextAttributes{});

    LinesModel& snapshot = out_.log.StatisticsSnapshot();
    snapshot.Clear();
    snapshot.Append("** Zwischen-Statistik für " + config.itemName + " um " + TimeText(timeOfDay) +
                    " Uhr **");
    AppendTableLines(item, nullptr, &snapshot);
    (void)out_.log.SaveStatisticsSnapshot();

    WriteIntermediateValue(item);
    const GeneralSettings& settings = config_.Settings();
    if (config.Ganglinie > 0) {
        (void)AppendLoadCurveLine(config, state_.statistics[item], moment, host_.StatisticsDay(),
                                  {out_.files, out_.log, out_.locale, config_.ProgramDir(),
                                   settings.formatPrecision, settings.formatDecimals});
    }
    (void)SaveStatisticsWindow(
        memo2, host_.StatisticsDay(),
        {out_.files, out_.log, config_.ProgramDir(), settings.reportFontSize});
}

void TimeFrameStatistics::WriteIntermediateValue(int item) {
    const ItemConfig& config = config_.Items()[item];
    const int source = config.mirror.sourceItem;
    try {
        if (source < 1 || source > maxItems || !config_.Items()[source].Integral) {
            return;
        }
        // Bound for each line: the running day, and so the file's name, may have changed.
        const bool bound = out_.dayFiles.AssignTextFile('S');
        const std::string& path = out_.dayFiles.IntermediateValuesPath();
        const std::string line = F(state_.statistics[item].sum / config.sumDivisor);
        if (!bound || path.empty() || !AppendLine(out_.files, path, line).ok()) {
            out_.log.WriteLog("V 7.17: Fehler beim Schreiben der Zwischenwerte-Datei !");
        }
    } catch (const std::exception&) {
        out_.log.WriteLog("Main-QuellIntegral-Stat : Fehler beim Spiegeln !");
    }
}

void TimeFrameStatistics::RestartMirroredItem(int item) {
    out_.log.WriteLogLevel(kTimeTableLevel, "Initialisierung von Item " + std::to_string(item) +
                                                " (gespiegelt) bei Zwischenstatistik.");
    const int source = config_.Items()[item].mirror.sourceItem;
    if (source >= 1 && source <= maxItems) {
        state_.mirrorSumOffsets[item] = state_.integration[source].runningSum;
    }
    ItemStatistics& statistics = state_.statistics[item];
    statistics.sum = 0.0;
    statistics.count = 0.0;
    // Kept, a period without values would report the one before's mean as its own.
    statistics.average = 0.0;
    statistics.minimum = kMinimumReset;
    statistics.maximum = kMaximumReset;
    state_.moving[item].movingMinimum = kMinimumReset;
    state_.moving[item].movingMaximum = kMaximumReset;
    state_.nightSums[item].NTadd = !state_.nightSums[item].NTadd;
}

void TimeFrameStatistics::AdvanceTable(int item) {
    TimeTable& table = tables_[item];
    table.position += 1;
    if (table.position > table.entryCount) {
        table.position = 1;
        table.finished = true;
        out_.log.WriteLogLevel(kTimeTableLevel,
                               "Zeittabelle abgearbeitet. Nächster Zwischenwert nach 0 Uhr.");
        return;
    }
    out_.log.WriteLogLevel(kTimeTableLevel,
                           "Initialisierungszeit für " + config_.Items()[item].itemName + " auf " +
                               TimeText(table.times[static_cast<std::size_t>(table.position)]) +
                               " gesetzt.");
}

void TimeFrameStatistics::SyncTimeFrames(double timeOfDay) {
    const int count = std::min(config_.Settings().itemCount, maxItems);
    for (int n = 1; n <= count; ++n) {
        const ItemConfig& config = config_.Items()[n];
        TimeFrame& frame = frames_[n];
        if (!config.timeFrame.on) {
            continue;
        }
        if (!config.mirror.mirrorOn) {
            out_.log.WriteLogDetail("Zeitrahmen für Original-Item " + std::to_string(n) + " = " +
                                    TimeText(frame.frameStart) + " / " + TimeText(frame.frameEnd) +
                                    " (s. Übergabe zum Tagebuch)");
            continue;
        }
        const TimeTable& table = tables_[n];
        if (table.entryCount <= 1) {
            continue;
        }
        frame.frameStart = table.times[1];
        for (int k = 2; k <= table.entryCount; ++k) {
            const double time = table.times[static_cast<std::size_t>(k)];
            frame.frameEnd = time;
            const bool later = timeOfDay > time;
            if (later && k < table.entryCount) {
                continue;
            }
            if (later) {
                frame.frameEnd = table.times[2];
            }
            out_.log.WriteLogDetail(
                "Zeitrahmen für gespiegeltes Item " + std::to_string(n) + " = " +
                TimeText(frame.frameStart) + " / " + TimeText(frame.frameEnd) +
                (later ? " (erst am nächsten Tag)" : " (nächste Initialisierung)"));
            break;
        }
    }
}

void TimeFrameStatistics::ResetTimeTablesForNewDay() {
    for (int n = 1; n <= maxItems; ++n) {
        TimeTable& table = tables_[n];
        if (table.position != 0) {
            table.position = 1;
            table.finished = table.entryCount == 0;
        }
    }
}

}  // namespace tarvedde
