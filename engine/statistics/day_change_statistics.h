// The statistics of the day that has ended, and the operator's re-initialisations. At
// the day change every item's block goes to the statistics window, which is saved as the
// ended day's protocol, and every item's day accumulators restart for the new day; the
// three menu entries under "Initialisierung" restart parts of them at any time, each
// writing the values it discards to DDE-Info.TXT first.
//
// A failure in one item's block is passed over so the other items still report and
// every item still restarts; files that cannot be written are logged where they are
// written and never stop the day change.
#pragma once

#include <vector>

#include "engine/config/configuration.h"
#include "engine/statistics/day_protocol.h"
#include "engine/statistics/time_frames.h"

namespace tarvedde {

// What the day change needs of the program frame.
class DayChangeHost {
public:
    virtual ~DayChangeHost() = default;
    // Prints the statistics window, the just saved protocol of the day before `tickTime`;
    // called only when printing at the day change is on.
    virtual void PrintStatistics(double tickTime) = 0;
    // Sets all 300 diary values to "-999.0" for the new day.
    virtual void ClearDiaryValues() = 0;
    // The ended day's diary file with its figures at the day's end (`dayEnd`), before they
    // are reset.
    virtual void WriteEndedDayDiary(double dayEnd) = 0;
};

class DayStatistics {
public:
    DayStatistics(Configuration& config, StatisticsState state, StatisticsOutputs outputs,
                  TimeFrameStatistics& timeFrames, DayChangeHost& host);

    // The day change, at the first cycle of the new day (or at CustomTime when the day
    // change is postponed); `tickTime` is that cycle's time, `endedDay` a time of the day
    // whose statistics these are (after days without a cycle, not the day before), `dayEnd`
    // the moment that day's figures end (its midnight, or the CustomTime after it): the
    // integrals are brought up to it, not to the tick, and go on from it for the new day.
    void DayChangeStatistics(double tickTime, double endedDay, double dayEnd);

    // Writes the ended days' protocols the disk refused at their day change; at the program
    // end one still refused is told again, as it is lost with the program.
    void RetryUnsavedProtocols(bool atProgramEnd = false);
    // Writes the total counters whose reading the disk refused (at the day change or from
    // the counter dialog). At the program end a reading still refused is told again: the
    // next start would read the old one.
    void RetryUnsavedCounterReadings(bool atProgramEnd);

    // Menu "Initialisierung", on all items at once.
    void SummenOffsetgespiegelteWerte1Click();  // "Summen-Offset (gespiegelte Werte)"
    void MinimaMaxima1Click();                  // "Minima / Maxima löschen"
    void MittelwerteSummen1Click();             // "Mittelwerte / Summen löschen"
    // The item settings dialog changed what the item measures: its day so far is of
    // another measure and starts anew, its integral with its next sample.
    void RestartItemDay(int item);

private:
    void WriteEndedDay(double endedDay, double dayEnd);
    void BringIntegralsToDayEnd(const StatisticsRun& run, double now, std::int64_t nowMs);
    std::vector<int> ReportOpenPeriods(double endedDay, StatisticsRun& run);
    void TellFramedInflow(const std::vector<int>& framed) const;
    void SkipUnrecordedDays(double now, std::int64_t nowMs, double dayEnd);
    void CloseItemDay(int item);
    void AddToTotalCounter(int item);
    bool WriteCounterReading(int item, double reading);
    double DayAmount(int item) const;
    void ResetItemDay(int item);
    void WriteDiscardedValues(int item, const std::string& firstLine);
    int ItemCount() const;
    std::string F(double value) const;

    Configuration& config_;
    StatisticsState state_;
    StatisticsOutputs out_;
    TimeFrameStatistics& timeFrames_;
    DayChangeHost& host_;
    UnsavedDayProtocols unsavedProtocols_;
};

}  // namespace tarvedde
