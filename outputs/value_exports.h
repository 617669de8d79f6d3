// Value exports: per-item, per-day text files that record every value an item received,
// for checking a measurement by hand. One line per data notification, so each line opens,
// appends and closes its file and another program may read it in between.
// Guarantees: a failed write costs only its line; it is logged and never stops the caller.
#pragma once

#include <string>
#include <string_view>

#include "platform/locale.h"

namespace tarvedde {

class FileSystem;
class ProgramLog;

enum class ValueExportKind { kIntegral, kDifference, kSingleValues };

// Where the lines go and where failures are reported.
struct ValueExportTarget {
    FileSystem& files;
    ProgramLog& log;
    const Locale& locale;
    std::string programDir;  // with the trailing separator
};

// "yyyymmdd" of `time`, "_Integral_" / "_Differenz_" / "_Einzelwerte_", item, ".txt".
std::string ValueExportFileName(ValueExportKind kind, double time, int item);

// time (shortest general notation) ";" value (fixed, 2 decimals) ";" sum (fixed, 2).
std::string IntegralExportLine(double time, double value, double runningSum, const Locale& locale);
// time ";" value (fixed, 2 decimals).
std::string SingleValueExportLine(double time, double value, const Locale& locale);

// Each appends one line to the item's file of the day of `time`. False after a failure,
// which is logged with the export's own text.
bool WriteIntegralExport(const ValueExportTarget& target, int item, double time, double value,
                         double runningSum);
bool WriteDifferenceExport(const ValueExportTarget& target, int item, double time, double value,
                           double runningSum);
bool WriteSingleValueExport(const ValueExportTarget& target, int item, double time, double value);

}  // namespace tarvedde
