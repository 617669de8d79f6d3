// Value exports: per-item, per-day text files that record every value an item received,
// and the course of its moving average, for checking a measurement by hand. One line per
// data notification or moving-average tick, appended at once to its file, which stays
// open for the next line (value_export_files.h); another program may read it in between.
// Guarantees: a failed write costs only its line; it is logged and never stops the caller.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "outputs/value_export_files.h"
#include "platform/locale.h"

namespace tarvedde {

class ProgramLog;

enum class ValueExportKind { kIntegral, kDifference, kSingleValues, kMovingAverage };

// Where the lines go and where failures are reported.
struct ValueExportTarget {
    ValueExportFiles& files;
    ProgramLog& log;
    const Locale& locale;
    std::string programDir;  // with the trailing separator
};

// "yyyymmdd" of `time`, "_Integral_" / "_Differenz_" / "_Einzelwerte_" / "_GleitMit_",
// number, ".txt"; the number is the item's, for the moving average its ring's row.
std::string ValueExportFileName(ValueExportKind kind, double time, int number);

// time (shortest general notation) ";" value (fixed, 2 decimals) ";" sum (fixed, 2).
std::string IntegralExportLine(double time, double value, double runningSum, const Locale& locale);
// time ";" value (fixed, 2 decimals).
std::string SingleValueExportLine(double time, double value, const Locale& locale);

// One tick of a moving average: its ring, the position of the newest sample in it, the
// mean and the day's extremes of the mean.
struct MovingAverageTick {
    const std::vector<double>& ring;
    int position;
    double average;
    double minimum;
    double maximum;
};
// "dd.mmm., hh:mm:ss >  " position " : " newest "  -->   " average "  ;  " minimum
// "  ;  " maximum (numbers fixed, 2 decimals). Throws std::out_of_range when the position
// lies outside the ring.
std::string MovingAverageExportLine(double time, const MovingAverageTick& tick,
                                    const Locale& locale);

// Each appends one line to the item's file of the day of `time`. False after a failure,
// which is logged with the export's own text.
bool WriteIntegralExport(const ValueExportTarget& target, int item, double time, double value,
                         double runningSum);
bool WriteDifferenceExport(const ValueExportTarget& target, int item, double time, double value,
                           double runningSum);
bool WriteSingleValueExport(const ValueExportTarget& target, int item, double time, double value);
bool WriteMovingAverageExport(const ValueExportTarget& target, int row, double time,
                              const MovingAverageTick& tick);

}  // namespace tarvedde
