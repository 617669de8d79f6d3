// Value export files: names, line formats and the guarded one-line append.
#include "outputs/value_exports.h"

#include <exception>

#include "outputs/program_log.h"
#include "platform/date_time.h"
#include "platform/number_format.h"
#include "platform/text_encoding.h"

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
        case ValueExportKind::kMovingAverage:
            return "_GleitMit_";
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
        case ValueExportKind::kMovingAverage:
            return "Fehler beim Speichern der gleitenden Daten !";
    }
    return "";
}

// `line` builds the text inside the guard, so a line that cannot be built is a failed
// write like any other.
template <class BuildLine>
bool WriteExportLine(const ValueExportTarget& target, ValueExportKind kind, int number, double time,
                     const BuildLine& line) {
    bool written = false;
    try {
        const std::string name = ValueExportFileName(kind, time, number);
        const std::string slot = name.substr(name.find('_'));
        written =
            target.files.Append(slot, target.programDir + name, Utf8ToCp1252(line()) + "\r\n").ok();
    } catch (const std::exception&) {
        written = false;
    }
    if (!written) {
        target.log.WriteLog(FailureText(kind));
    }
    return written;
}

}  // namespace

std::string ValueExportFileName(ValueExportKind kind, double time, int number) {
    return FormatDateTime("yyyymmdd", time) + KindInfix(kind) + std::to_string(number) + ".txt";
}

std::string IntegralExportLine(double time, double value, double runningSum, const Locale& locale) {
    return SingleValueExportLine(time, value, locale) + ";" + Fixed2(runningSum, locale);
}

std::string SingleValueExportLine(double time, double value, const Locale& locale) {
    return FormatGeneral(time, locale) + ";" + Fixed2(value, locale);
}

bool WriteIntegralExport(const ValueExportTarget& target, int item, double time, double value,
                         double runningSum) {
    return WriteExportLine(target, ValueExportKind::kIntegral, item, time, [&] {
        return IntegralExportLine(time, value, runningSum, target.locale);
    });
}

bool WriteDifferenceExport(const ValueExportTarget& target, int item, double time, double value,
                           double runningSum) {
    return WriteExportLine(target, ValueExportKind::kDifference, item, time, [&] {
        return IntegralExportLine(time, value, runningSum, target.locale);
    });
}

bool WriteSingleValueExport(const ValueExportTarget& target, int item, double time, double value) {
    return WriteExportLine(target, ValueExportKind::kSingleValues, item, time,
                           [&] { return SingleValueExportLine(time, value, target.locale); });
}

std::string MovingAverageExportLine(double time, const MovingAverageTick& tick,
                                    const Locale& locale) {
    const double newest = tick.ring.at(static_cast<std::size_t>(tick.position));
    return FormatDateTime("dd.mmm., hh:mm:ss >  ", time, locale) + std::to_string(tick.position) +
           " : " + Fixed2(newest, locale) + "  -->   " + Fixed2(tick.average, locale) + "  ;  " +
           Fixed2(tick.minimum, locale) + "  ;  " + Fixed2(tick.maximum, locale);
}

bool WriteMovingAverageExport(const ValueExportTarget& target, int row, double time,
                              const MovingAverageTick& tick) {
    return WriteExportLine(target, ValueExportKind::kMovingAverage, row, time,
                           [&] { return MovingAverageExportLine(time, tick, target.locale); });
}

}  // namespace tarvedde
