#include "engine/statistics/day_change_statistics.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

#include "engine/model/program_files.h"
#include "engine/processing/per_value_processing.h"
#include "engine/statistics/day_protocol.h"
#include "engine/statistics/item_statistics_report.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "platform/number_format.h"

namespace tarvedde {

DayStatistics::DayStatistics(Configuration& config, StatisticsState state,
                             StatisticsOutputs outputs, TimeFrameStatistics& timeFrames,
                             DayChangeHost& host)
    : config_(config), state_(state), out_(outputs), timeFrames_(timeFrames), host_(host) {}

int DayStatistics::ItemCount() const {
    return std::clamp(config_.Settings().itemCount, 0, maxItems);
}

std::string DayStatistics::F(double value) const {
    const GeneralSettings& s = config_.Settings();
    return FormatFixed(value, s.formatPrecision, s.formatDecimals, out_.locale);
}

void DayStatistics::DayChangeStatistics(double tickTime, double endedDay, double dayEnd) {
    WriteEndedDay(endedDay, dayEnd);
    // Its last cycle's transfer lacks the time from that cycle to the day's end (a whole
    // outage over midnight).
    host_.WriteEndedDayDiary(dayEnd);
    out_.memo2.Clear();
    AppendStatisticsHeading(out_.memo2, "Tageswechsel: Übersicht für " +
                                            FormatDateTime("dddddd (t)", tickTime, out_.locale));
    for (int k = 1; k <= ItemCount(); ++k) {
        const ItemConfig& config = config_.Items()[k];
        if (config.mirror.mirrorOn && config.mirror.sourceItem < 1) {
            continue;
        }
        CloseItemDay(k);
    }
    (void)out_.log.FlushDDEInfo();
    out_.log.WriteDDEInfo("***************** " + FormatDateTime("dddddd", tickTime, out_.locale) +
                          "*****************");
    if (config_.Settings().permanentMode) {
        timeFrames_.SyncTimeFrames(TimeOfDayOf(out_.clock.Now()));
    }
    host_.ClearDiaryValues();
}

// Items whose frame was on yesterday reported at their frame times instead; the period
// their last time opened is reported first, as those times report.
void DayStatistics::WriteEndedDay(double endedDay, double dayEnd) {
    // A moment of the day after the ended one: the ended day's files are named from it.
    const double closing = endedDay + 1.0;
    RichTextModel& memo2 = out_.memo2;
    LinesModel& snapshot = out_.log.StatisticsSnapshot();
    // A long cycle or a server away over midnight: the time since then is the new day's.
    const double now = out_.clock.Now();
    const double end = std::min(now, dayEnd);
    const std::int64_t endMs = ElapsedMsAt(end, now, out_.clock.ElapsedMs());
    StatisticsRun run{memo2, snapshot, out_.extraneousWater, out_.locale, end,
                      endMs, closing,  ItemCount()};
    BringIntegralsToDayEnd(run, now, out_.clock.ElapsedMs());
    const std::vector<int> framed = ReportOpenPeriods(endedDay, run);
    TellFramedInflow(framed);
    SkipUnrecordedDays(now, out_.clock.ElapsedMs(), dayEnd);
    TextAttributes heading;
    heading.bold = true;
    heading.color = "blue";
    heading.alignment = TextAlignment::Center;
    memo2.SetAttributes(heading);
    memo2.Append(" ");
    heading.underline = true;
    memo2.SetAttributes(heading);
    memo2.Append("Statistik für " + FormatDateTime("dddddd (t)", endedDay, out_.locale));
    memo2.SetAttributes(TextAttributes{});
    snapshot.Clear();
    for (int position = 1; position <= ItemCount(); ++position) {
        const int k = config_.ItemProtocolOrder()[static_cast<std::size_t>(position)];
        if (k < 1 || k > maxItems || std::ranges::find(framed, k) != framed.end()) {
            continue;
        }
        try {
            BuildItemStatistics(
                k,
                {config_.Items()[k], state_.statistics[k], state_.fifteenMinute[k],
                 state_.moving[k], state_.integration, SetAsideAmount(state_.nightSums[k])},
                run);
        } catch (const std::exception&) {
        }
    }
    (void)out_.log.SaveStatisticsSnapshot();
    const GeneralSettings& settings = config_.Settings();
    (void)SaveDayProtocol(memo2, closing,
                          {out_.files, out_.log, config_.ProgramDir(), settings.reportFontSize},
                          unsavedProtocols_);
    if (settings.printAtMidnight) {
        host_.PrintStatistics(closing);
    }
}

void DayStatistics::RetryUnsavedProtocols(bool atProgramEnd) {
    if (!unsavedProtocols_.Empty()) {
        unsavedProtocols_.Retry(
            {out_.files, out_.log, config_.ProgramDir(), config_.Settings().reportFontSize},
            atProgramEnd);
    }
}

// A first sample after days without a cycle that came between the day's end and the start
// of the day this change opens lies in a day without a record: the new day's chain starts
// at its beginning.
void DayStatistics::SkipUnrecordedDays(double now, std::int64_t nowMs, double dayEnd) {
    const double start = std::min(now, NewDayStart(now, dayEnd));
    if (!(start > dayEnd)) {
        return;
    }
    const std::int64_t startMs = ElapsedMsAt(start, now, nowMs);
    for (int k = 1; k <= ItemCount(); ++k) {
        const double sampled = state_.integration[k].lastSampleTime;
        if (sampled > dayEnd && sampled < start) {
            state_.integration.RestartSampleChain(k, start, startMs);
        }
    }
}

// The time since the last sample belongs to the ended day, also where no block counts it
// (a day volume not printed, an item left out of the order): a pump running at midnight
// would otherwise give the ended day's last hours to the new day.
void DayStatistics::BringIntegralsToDayEnd(const StatisticsRun& run, double now,
                                           std::int64_t nowMs) {
    const std::int64_t endMs =
        nowMs - std::llround((now - run.now) * static_cast<double>(kMsPerDay));
    for (int k = 1; k <= ItemCount(); ++k) {
        const ItemConfig& config = config_.Items()[k];
        if (!IntegratesOwnSamples(config)) {
            continue;
        }
        // A clock set forward past the day's end puts it before a sample the wall clock
        // places before it: the day's end came with the step, so the time that really
        // passed since the sample is the ended day's, and nothing the step skipped.
        const IntegrationState& state = state_.integration[k];
        const ElapsedMark& mark = state.lastSampleMark;
        const bool steppedOver = nowMs >= 0 && mark.elapsedMs >= 0 &&
                                 mark.wallTime == state.lastSampleTime &&
                                 state.lastSampleTime <= run.now && endMs < mark.elapsedMs;
        StatisticsRun itemRun = run;
        if (steppedOver) {
            itemRun.nowMs = nowMs;
        }
        BringIntegralUpToNow(k, config, state_.integration, itemRun);
    }
}

// A framed item reports periods, never the day: its figures give no day's share.
void DayStatistics::TellFramedInflow(const std::vector<int>& framed) const {
    const ExtraneousWaterSettings& water = out_.extraneousWater.Settings();
    for (const int item : {water.ZulaufMin_ls_index, water.ZulaufSumme_qbm_index}) {
        if (std::ranges::find(framed, item) != framed.end()) {
            out_.log.WriteLog("Fremdwasser: Item " + std::to_string(item) +
                              " hatte einen Zeitrahmen, kein Tageswert berechnet.");
            return;
        }
    }
}

// The items that report at their frame times, each having reported its open period.
std::vector<int> DayStatistics::ReportOpenPeriods(double endedDay, StatisticsRun& run) {
    std::vector<int> framed;
    const int weekday = DayOfWeek(endedDay);
    for (int position = 1; position <= ItemCount(); ++position) {
        const int k = config_.ItemProtocolOrder()[static_cast<std::size_t>(position)];
        if (k < 1 || k > maxItems) {
            continue;
        }
        const ItemConfig& config = config_.Items()[k];
        if (!config.timeFrame.on || !DayMatches(weekday, config.Tagesauswahl)) {
            continue;
        }
        try {
            if (timeFrames_.ReportOpenPeriod(k, run)) {
                framed.push_back(k);
            }
        } catch (const std::exception&) {
            framed.push_back(k);
        }
    }
    return framed;
}

void DayStatistics::CloseItemDay(int item) {
    const ItemConfig& config = config_.Items()[item];
    const ItemStatistics& statistics = state_.statistics[item];
    NightSumRecord& night = state_.nightSums[item];
    night.htCount += statistics.count;
    if (config.Integral) {
        night.htSum += state_.integration[item].runningSum;
    } else {
        night.htSum += config.Grafiktyp == 1 ? statistics.sum : statistics.count;
    }
    out_.log.WriteLogDebug(">>>> " + config.itemName +
                           " >>>> Anzahl=" + FormatFixed(night.htCount, 8, 0, out_.locale) +
                           "     Summe=" + F(night.htSum));
    if (config.Fortlaufend_summieren) {
        AddToTotalCounter(item);
    }
    ResetItemDay(item);
}

// The reading in memory grows by each day: the counter dialog sets it there too and
// writes it to the file when it closes. A day whose reading cannot be written is not
// lost: the next cycle writes it once the disk takes it, and a reload of the settings
// keeps it.
void DayStatistics::AddToTotalCounter(int item) {
    const ItemConfig& config = config_.Items()[item];
    const double reading = config.counterReading + DayAmount(item);
    const bool saved = WriteCounterReading(item, reading);
    config_.SetCounterReading(item, reading, saved);
    if (!saved) {
        out_.log.WriteLog("Zählerstand von " + config.itemName +
                          " konnte nicht gespeichert werden !");
    }
}

bool DayStatistics::WriteCounterReading(int item, double reading) {
    IniFile var(out_.files, config_.PathOf(kCounterIniFile));
    return var
        .WriteString("Item_" + std::to_string(item), "Zählerstand",
                     FormatFixed(reading, 14, 3, out_.locale))
        .ok();
}

// Left to the next day change or settings reload, a close or a crash before either
// would start the next run from the reading before the ended day.
void DayStatistics::RetryUnsavedCounterReadings(bool atProgramEnd) {
    for (int item = 1; item <= ItemCount(); ++item) {
        const ItemConfig& config = config_.Items()[item];
        if (!config.counterReadingUnsaved) {
            continue;
        }
        if (WriteCounterReading(item, config.counterReading)) {
            config_.SetCounterReading(item, config.counterReading);
            out_.log.WriteLog("Zählerstand von " + config.itemName + " nachträglich gespeichert.");
        } else if (atProgramEnd) {
            out_.log.WriteLog("Zählerstand von " + config.itemName +
                              " konnte nicht gespeichert werden !");
        } else {
            // The file refuses the others too; the midnight line has told the operator.
            return;
        }
    }
}

// A time frame's times clear the sum they report: the day period's is kept in htSum
// (which the closing of the day has just added the rest to) and a night set aside and
// not brought back in ntSum. Where those hold another measure than the counter's (the
// operating time of a digital item without integral), only the sum now counts.
double DayStatistics::DayAmount(int item) const {
    const ItemConfig& config = config_.Items()[item];
    const IntegrationState& integration = state_.integration[item];
    const double now =
        integration.isIntegral ? integration.runningSum : state_.statistics[item].sum;
    // A digital item's sum is its count of hours, which its frame's times set aside too; a
    // digital mirror's is its source's.
    const bool sameMeasure = integration.isIntegral ? config.Integral
                                                    : !config.Integral && (config.Grafiktyp == 1 ||
                                                                           !config.mirror.mirrorOn);
    if (!sameMeasure) {
        return now;
    }
    return SetAsideAmount(state_.nightSums[item]);
}

void DayStatistics::ResetItemDay(int item) {
    ItemStatistics& statistics = state_.statistics[item];
    statistics.count = 0.0;
    // Kept, a day without values would report the ended day's mean as its own.
    statistics.average = 0.0;
    statistics.minimum = kMinimumReset;
    statistics.maximum = kMaximumReset;
    statistics.sum = 0.0;
    state_.integration.ClearForNewDay(item);
    state_.moving[item].movingMinimum = kMinimumReset;
    state_.moving[item].movingMaximum = kMaximumReset;
    state_.fifteenMinute[item].m15Minimum = kMinimumReset;
    state_.fifteenMinute[item].m15Maximum = kMaximumReset;
    NightSumRecord& night = state_.nightSums[item];
    // Nothing is set aside for the new day.
    night.NTadd = false;
    night.ntMinimum = 0.0;
    night.ntMaximum = 0.0;
    night.ntSum = 0.0;
    night.ntCount = 0.0;
    night.htSum = 0.0;
    night.htCount = 0.0;
    state_.mirrorSumOffsets[item] = 0.0;
}

void DayStatistics::RestartItemDay(int item) {
    const ItemConfig& config = config_.Items()[item];
    out_.log.WriteLog("Item " + std::to_string(item) + " (" + config.itemName +
                      "): Messart geändert, die Tageswerte (Anzahl=" +
                      FormatFixed(state_.statistics[item].count, 8, 0, out_.locale) +
                      ") beginnen neu.");
    ResetItemDay(item);
    state_.integration.ClearForStart(item);
}

void DayStatistics::SummenOffsetgespiegelteWerte1Click() {
    for (int n = 1; n <= maxItems; ++n) {
        state_.mirrorSumOffsets[n] = 0.0;
    }
    out_.log.WriteDDEInfo("Summen-Offset (gespiegelte Werte) neu initialisiert.");
}

void DayStatistics::WriteDiscardedValues(int item, const std::string& firstLine) {
    const ItemConfig& config = config_.Items()[item];
    const ItemStatistics& st = state_.statistics[item];
    ProgramLog& log = out_.log;
    log.WriteDDEInfo(firstLine + config.itemName + " um " +
                     FormatDateTime("tt", out_.clock.Now(), out_.locale) + " neu initialisiert.");
    log.WriteDDEInfo(
        "Anzahl=" + FormatFixed(st.count, config_.Settings().formatPrecision, 0, out_.locale) +
        "  Mittel=" + F(st.average) + "  Min.=" + F(st.minimum) + "  Max.=" + F(st.maximum));
    if (config.Integral) {
        // Up to now, as the grid shows it: a value that holds sends no samples.
        log.WriteDDEInfo(config.mirror.mirrorOn
                             ? "Integral (gespiegelt)=" + F(st.sum)
                             : "Integral=" +
                                   F(RunningSumAt(config, state_.integration[item],
                                                  out_.clock.Now(), out_.clock.ElapsedMs())));
    }
    if (config.Differenz) {
        log.WriteDDEInfo("Zählerdifferenz/Verbrauch=" + F(st.sum));
    }
}

void DayStatistics::MinimaMaxima1Click() {
    for (int n = 1; n <= ItemCount(); ++n) {
        WriteDiscardedValues(n, "Minima/Maxima für ");
        state_.statistics[n].minimum = kMinimumReset;
        state_.statistics[n].maximum = kMaximumReset;
        // The restored minimum went with the others.
        state_.statistics[n].correctionCount = -2.0;
    }
}

// The mean keeps its value: with the count at 0 the next accepted value replaces it.
void DayStatistics::MittelwerteSummen1Click() {
    for (int n = 1; n <= ItemCount(); ++n) {
        WriteDiscardedValues(n, "Summe/Mittelwert für ");
        out_.log.WriteLog("Manuelle Initialisierung von Item " + std::to_string(n) +
                          " von Summe und Anzahl.");
        state_.statistics[n].count = 0.0;
        state_.statistics[n].sum = 0.0;
    }
}

}  // namespace tarvedde
