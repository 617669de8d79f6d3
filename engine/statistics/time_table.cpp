#include "engine/statistics/time_table.h"

#include <algorithm>

#include "platform/date_time.h"
#include "platform/number_format.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

std::string TableUnit(const ItemConfig& config) {
    return config.valueConversion.conversionOn ? config.valueConversion.conversionUnit
                                               : config.unit;
}

std::vector<std::string> LoadCurveHeader(const ItemConfig& config) {
    const std::string unit = TableUnit(config);
    return {config.itemName + "\t" + config.serverItem,
            "Datum\tZeit\tSumme\tMinimum\tMaximum\tMittelwert",
            "d\th\t" + config.sumUnit + "\t" + unit + "\t" + unit + "\t" + unit};
}

}  // namespace

std::string FileNamePart(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool dots = c == '.' && i + 1 < text.size() && text[i + 1] == '.';
        if (dots) {
            out += "--";
            ++i;
        } else {
            out += c == '/' || c == '\\' || c == ':' ? '-' : c;
        }
    }
    return out;
}

std::string TimeTableFileName(const ItemConfig& config) {
    return "TT_" + FileNamePart(config.serverItem) + "_" + FileNamePart(config.itemName) + ".tvw";
}

std::string LoadTimeTable(TimeTable& table, const ItemConfig& config, double timeOfDay,
                          const TimeTableFiles& files, std::vector<std::string>* editorList) {
    table = TimeTable{};
    const std::string name = TimeTableFileName(config);
    const auto lines = ReadLines(files.files, files.programDir + name);
    if (!lines) {
        return {};
    }
    for (const std::string& line : lines.value()) {
        if (table.entryCount == kTimeTableSize) {
            break;
        }
        const auto time = StrToTime(line, files.locale);
        if (!time) {
            files.op.ShowMessage("Ungültige Zeitangabe in " + name + " !");
            break;
        }
        table.times[static_cast<std::size_t>(++table.entryCount)] = time.value();
        if (editorList != nullptr) {
            editorList->push_back(line);
        }
    }
    // The table is walked in the day's order: a file written by hand out of order would
    // skip every time after a later one.
    std::sort(table.times.begin() + 1, table.times.begin() + 1 + table.entryCount);
    table.finished = false;
    for (int k = 1; k <= table.entryCount; ++k) {
        if (table.times[static_cast<std::size_t>(k)] > timeOfDay) {
            table.position = k;
            return config.itemName;
        }
    }
    table.position = 1;
    table.finished = true;
    return config.itemName;
}

std::string LoadCurveFileName(const ItemConfig& config, double cycleTime) {
    return "Ganglinie_" + FileNamePart(config.itemName) + "_" +
           FormatDateTime("yyyymm", cycleTime, GermanLocale()) + ".txt";
}

bool AppendLoadCurveLine(const ItemConfig& config, const ItemStatistics& statistics,
                         double cycleTime, double runningDay, const LoadCurveFiles& files) {
    const auto f = [&](double value) {
        return FormatFixed(value, files.formatPrecision, files.formatDecimals, files.locale);
    };
    const std::string path = files.programDir + LoadCurveFileName(config, runningDay);
    std::vector<std::string> lines;
    if (!files.files.Exists(path)) {
        lines = LoadCurveHeader(config);
    }
    lines.push_back(FormatDateTime("yyyy.mm.dd", cycleTime, files.locale) + "\t" +
                    FormatDateTime("hh:nn:ss", cycleTime, files.locale) + "\t" +
                    f(statistics.sum / config.sumDivisor) + "\t" + f(statistics.minimum) + "\t" +
                    f(statistics.maximum) + "\t" + f(statistics.average));
    if (AppendLines(files.files, path, lines).ok()) {
        return true;
    }
    files.log.WriteLog("Fehler beim Schreiben der Ganglinie für " + config.itemName);
    return false;
}

}  // namespace tarvedde
