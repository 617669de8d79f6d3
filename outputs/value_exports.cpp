// Value export files: names, line formats and the guarded one-line append.
#include "outputs/value_exports.h"

#include <exception>

#include "outputs/program_log.h"
#include "platform/date_time.h"
#include "platform/number_format.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

// 15 significant digits at most, always 2 places.
std::string Fixed2(double value, const Locale& locale) {
    return FormatFixed(value, 15, 2, locale);
}

const char* KindInfix(ValueExportKind kind) {
    switch (kind) {
        case ValueExportKind::kIntegral:
            return "_Integral_";
        case ValueExportKind::kDifference:
            return "_Differenz_";
        case ValueExportKind::kSingleValues:
            return "_Einzelwerte_";
    }
    return "_";
}

const char* FailureText(ValueExportKind kind) {
    switch (kind) {
        case ValueExportKind::kIntegral:
            return "Fehler beim Speichern der Integral-Daten !";
        case ValueExportKind::kDifference:
            return "Fehler beim Speichern der Differenz-Daten !";
        case ValueExportKind::kSingleValues:
            return "Fehler beim Speichern der Einzelwert-Daten !";
    }
    return "";
}

bool WriteExportLine(const ValueExportTarget& target, ValueExportKind kind, int item, double time,
                     const std::string& line) {
    bool written = false;
    try {
        const std::string path = target.programDir + ValueExportFileName(kind, time, item);
        written = AppendLine(target.files, path, line).ok();
    } catch (const std::exception&) {
        written = false;
    }
    if (!written) {
        target.log.WriteLog(FailureText(kind));
    }
    return written;
}

}  // namespace

std::string ValueExportFileName(ValueExportKind kind, double time, int item) {
    return FormatDateTime("yyyymmdd", time) + KindInfix(kind) + std::to_string(item) + ".txt";
}

std::string IntegralExportLine(double time, double value, double runningSum, const Locale& locale) {
    return SingleValueExportLine(time, value, locale) + ";" + Fixed2(runningSum, locale);
}

std::string SingleValueExportLine(double time, double value, const Locale& locale) {
    return FormatGeneral(time, locale) + ";" + Fixed2(value, locale);
}

bool WriteIntegralExport(const ValueExportTarget& target, int item, double time, double value,
                         double runningSum) {
    return WriteExportLine(target, ValueExportKind::kIntegral, item, time,
                           IntegralExportLine(time, value, runningSum, target.locale));
}

bool WriteDifferenceExport(const ValueExportTarget& target, int item, double time, double value,
                           double runningSum) {
    return WriteExportLine(target, ValueExportKind::kDifference, item, time,
                           IntegralExportLine(time, value, runningSum, target.locale));
}

bool WriteSingleValueExport(const ValueExportTarget& target, int item, double time, double value) {
    return WriteExportLine(target, ValueExportKind::kSingleValues, item, time,
                           SingleValueExportLine(time, value, target.locale));
}

}  // namespace tarvedde
