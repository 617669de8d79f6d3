// The files the viewer and the plant record read at the end of every cycle: the day data
// file JJJJMMDD.DAT (one row per cycle, or the rolling rows in blocks), the sample file
// JJJJMMDD.SMP (the same rows for the viewer) and the viewer data file AKTDAT.TVV (the
// current statistics of every item). Values are the live grid's texts, so a file shows
// what the operator saw.
//
// Runs once per cycle for the whole plant. Guarantees: AKTDAT.TVV is replaced through a
// temporary file and a rename, so a reader sees the old or the new snapshot, never half
// of one; the day and sample files only grow; no failure stops the cycle: each is
// logged, and the next cycle tries again. The lock files $lock_TVV and $lock_SMP keep
// the program off a file the viewer is reading.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "outputs/day_file_names.h"
#include "platform/locale.h"
#include "platform/result.h"

namespace tarvedde {

inline constexpr char kViewerLockFile[] = "$lock_TVV";
inline constexpr char kSampleLockFile[] = "$lock_SMP";
inline constexpr char kDayDataLockFile[] = "$lock_DAT";
// Rows 1..5 of the grid hold the running statistics, rows 6.. the rolling cycle rows.
inline constexpr int kFirstCycleRow = 6;
// The rows of the day data and sample files, and the cell of a value that is not there.
inline constexpr char kDataFieldSeparator = ';';
inline constexpr char kCycleDateSeparator = '.';
inline constexpr char kCycleTimeSeparator = ':';
inline constexpr char kNotAvailableText[] = "n.v.";

// Read access to the live grid: column 0 the times, column n item n.
class GridTexts {
public:
    virtual ~GridTexts() = default;
    virtual const std::string& Cell(int column, int row) const = 0;
    // The rolling row of the current cycle, and the last rolling row.
    virtual int CurrentRow() const = 0;
    virtual int LastRow() const = 0;
};

// "2024.3.5"; fails when the time stamp is no date.
Result<std::string> CycleDateText(double cycleTime);
// "07:05:00".
std::string CycleTimeText(double cycleTime);
// The time stamp of the last whole row of a day data file's text ("2024.3.5;07:05:00;..."),
// or nothing when it has none.
std::optional<double> LastRowTime(std::string_view text);
// "date;time;cell 1;...;cell n", no ";" at the end.
std::string DataRowText(const std::string& dateText, const std::string& timeText,
                        const GridTexts& grid, int row, int itemCount);

// One item's share of the viewer data file.
struct ViewerItem {
    // Grid rows "Mittelwert", "Minimum", "Maximum", "Anzahl", "Summe".
    std::string average;
    std::string minimum;
    std::string maximum;
    std::string count;
    std::string sum;
    bool integral = false;
    bool mirrored = false;
    bool counter = false;
    int Grafiktyp = 1;
    double runningIntegral = 0.0;
    bool movingAverages = false;
    double movingAverage = 0.0;
    double movingMinimum = 0.0;
    double movingMaximum = 0.0;
};

// Eight fields, each followed by ";"; "n.v." where a field does not apply. A number
// that is not finite cannot be shown: "-999.0;" takes its place and ends the line.
std::string ViewerLineText(const ViewerItem& item, int precision, int decimals,
                           const Locale& locale);

// What the end of a cycle writes with.
struct CycleRecord {
    double cycleTime = 0.0;
    int itemCount = 0;
    bool viewerOutput = true;    // the sample file is written
    bool datEveryCycle = false;  // off: the rolling rows go out in blocks when full
};

// The sample row and the day data row(s) of the cycle. False only when the cycle time
// is no date (logged); nothing is written then.
bool WriteSampleAndDayRows(DayFiles& dayFiles, const GridTexts& grid, const CycleRecord& cycle);

// Replaces AKTDAT.TVV with the lines unless the viewer holds $lock_TVV.
void WriteViewerDataFile(DayFiles& dayFiles, const std::vector<std::string>& lines,
                         double cycleTime);

}  // namespace tarvedde
