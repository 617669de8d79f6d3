#include "outputs/data_files.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string_view>

#include "platform/date_time.h"
#include "platform/number_format.h"
#include "platform/path_names.h"
#include "platform/text_encoding.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

constexpr char kLineFailed[] = "-999.0;";

std::string TwoDigitField(int value) {
    std::string text = std::to_string(value);
    return text.size() < 2 ? "0" + text : text;
}

// Appends one field and ";"; false (after "-999.0;") when the number cannot be shown.
bool AppendNumber(std::string& line, double value, int precision, int decimals,
                  const Locale& locale) {
    if (!std::isfinite(value)) {
        line += kLineFailed;
        return false;
    }
    line += FormatFixed(value, precision, decimals, locale);
    line += ';';
    return true;
}

// The rows a cycle adds to the day data file: its own row every cycle, or in block mode
// all rolling rows once the last one is reached (each with the time it was taken).
std::vector<std::string> DayDataRows(const GridTexts& grid, const CycleRecord& cycle,
                                     const std::string& dateText, const std::string& timeText) {
    const int current = grid.CurrentRow();
    if (cycle.datEveryCycle) {
        return {DataRowText(dateText, timeText, grid, current, cycle.itemCount)};
    }
    std::vector<std::string> rows;
    if (current != grid.LastRow()) {
        return rows;
    }
    for (int row = kFirstCycleRow; row <= current; ++row) {
        const std::string& rowTime = row == current ? timeText : grid.Cell(0, row);
        rows.push_back(DataRowText(dateText, rowTime, grid, row, cycle.itemCount));
    }
    return rows;
}

// Appending creates a file deleted during the day again, so the rest of the day is
// kept. A failure counts as failed opening when the file is not there afterwards. The
// rows a failure loses go to the log, which may still take them (another disk, or freed
// space), and the first rows that land again end the gap in the log.
void AppendRows(DayFiles& dayFiles, const std::string& path, const std::vector<std::string>& rows,
                const char* writeFailure, const char* openFailure) {
    FileSystem& files = dayFiles.Files();
    ProgramLog& log = dayFiles.Log();
    const std::string name = FileNameOf(path);
    if (!path.empty() && AppendLines(files, path, rows)) {
        if (dayFiles.NoteAppend(path, true)) {
            log.WriteLog(name + " wird wieder geschrieben.");
        }
        return;
    }
    log.WriteLog(!path.empty() && files.Exists(path) ? writeFailure : openFailure);
    for (const std::string& row : rows) {
        log.WriteLog("Nicht gespeichert in " + name + " : " + row);
    }
    dayFiles.NoteAppend(path, false);
}

void WriteSampleRow(DayFiles& dayFiles, const GridTexts& grid, const CycleRecord& cycle,
                    const std::string& dateText, const std::string& timeText) {
    FileSystem& files = dayFiles.Files();
    ProgramLog& log = dayFiles.Log();
    const std::string lock = dayFiles.PathOf(kSampleLockFile);
    dayFiles.RemoveLeftLock(lock);
    if (dayFiles.ViewerLockStands(lock, cycle.cycleTime,
                                  "Main : TarveView liest gerade Sample-Daten.")) {
        return;
    }
    // A lock that could not be made may still be there, made by someone else meanwhile.
    if (!CreateEmptyFile(files, lock)) {
        log.WriteLog("Main : Fehler bei Sperren von JJJJMMDD.SMP ");
        if (!files.Exists(lock)) {
            return;
        }
    }
    dayFiles.CreateTextFile('S', 0);
    AppendRows(dayFiles, dayFiles.SamplePath(),
               {DataRowText(dateText, timeText, grid, grid.CurrentRow(), cycle.itemCount)},
               "Main : Fehler bei Write(samF) !", "Fehler bei Append(samF) !");
    if (!DeleteIfExists(files, lock)) {
        log.WriteLog("Main : Fehler bei Entsperren von JJJJMMDD.SMP ");
        dayFiles.NoteLockLeft(lock);
    }
}

// The lock is only advisory: neither one left behind by another program nor one that
// cannot be made stops the day's record.
void WriteDayDataRows(DayFiles& dayFiles, const GridTexts& grid, const CycleRecord& cycle,
                      const std::string& dateText, const std::string& timeText) {
    FileSystem& files = dayFiles.Files();
    const std::string lock = dayFiles.PathOf(kDayDataLockFile);
    const bool locked = CreateEmptyFile(files, lock).ok();
    if (!locked) {
        dayFiles.Log().WriteLog("Main : Fehler bei Sperren von .DAT");
    }
    const std::vector<std::string> rows = DayDataRows(grid, cycle, dateText, timeText);
    if (cycle.datEveryCycle) {
        AppendRows(dayFiles, dayFiles.DayDataPath(), rows,
                   "Main : Fehler bei Schreiben von .DAT (1i)",
                   "Main : Fehler bei Schreiben von .DAT (2i)");
    } else if (!rows.empty()) {
        AppendRows(dayFiles, dayFiles.DayDataPath(), rows,
                   "Main : Fehler bei Schreiben von .DAT (3)",
                   "Main : Fehler bei Schreiben von .DAT (4)");
    }
    // A lock this program could not make, if there, is another's.
    if (locked && !DeleteIfExists(files, lock)) {
        dayFiles.Log().WriteLog("Main : Fehler bei Sperren von .DAT");
    }
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += Utf8ToCp1252(line);
        bytes += "\r\n";
    }
    return bytes;
}

// A scratch file swapped into place, so the viewer never finds a half-written snapshot,
// as two steps so that each keeps its own message: the new snapshot could not be made, or
// could not be put in place. A new file renamed over the old one every cycle would cost
// a flush to the disk each time (ext4); the viewer reads under its lock, so overwriting
// the previous snapshot in the scratch file is safe.
void ReplaceViewerFile(DayFiles& dayFiles, const std::vector<std::string>& lines) {
    FileSystem& files = dayFiles.Files();
    const std::string& path = dayFiles.ViewerDataPath();
    const std::string temporary = path + ".tmp";
    if (!files.WriteScratch(temporary, JoinLines(lines))) {
        (void)files.Remove(temporary);
        dayFiles.Log().WriteLog("Main : Fehler bei Rewrite(ViewData) !");
        return;
    }
    if (!files.SwapInto(temporary, path)) {
        (void)files.Remove(temporary);
        dayFiles.Log().WriteLog("Main : Fehler beim Schreiben der Viewer-Daten !");
    }
}

// "a.b.c" with `separator`: the three numbers.
std::optional<std::array<int, 3>> ThreeNumbers(std::string_view text, char separator) {
    std::array<int, 3> numbers{};
    for (std::size_t n = 0; n < numbers.size(); ++n) {
        const std::size_t end = n + 1 < numbers.size() ? text.find(separator) : text.size();
        const auto number = StrToInt(text.substr(0, end));
        if (end == std::string_view::npos || !number) {
            return std::nullopt;
        }
        numbers[n] = number.value();
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return numbers;
}

}  // namespace

Result<std::string> CycleDateText(double cycleTime) {
    const DateParts date = DecodeDate(cycleTime);
    if (!std::isfinite(cycleTime) || !IsValidDate(date.year, date.month, date.day)) {
        return Error{"Fehler bei DecodeDate."};
    }
    return std::to_string(date.year) + kCycleDateSeparator + std::to_string(date.month) +
           kCycleDateSeparator + std::to_string(date.day);
}

std::string CycleTimeText(double cycleTime) {
    const TimeParts time = DecodeTime(cycleTime);
    return TwoDigitField(time.hour) + kCycleTimeSeparator + TwoDigitField(time.minute) +
           kCycleTimeSeparator + TwoDigitField(time.second);
}

std::optional<double> LastRowTime(std::string_view text) {
    // A row cut off by a crash would give a time cut off too.
    const std::size_t end = text.rfind("\r\n");
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(0, end);
    const std::size_t start = text.rfind("\r\n");
    const std::string_view row = start == std::string_view::npos ? text : text.substr(start + 2);
    const std::size_t dateEnd = row.find(kDataFieldSeparator);
    if (dateEnd == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t timeEnd = row.find(kDataFieldSeparator, dateEnd + 1);
    const auto date = ThreeNumbers(row.substr(0, dateEnd), kCycleDateSeparator);
    const auto time =
        ThreeNumbers(row.substr(dateEnd + 1, timeEnd - dateEnd - 1), kCycleTimeSeparator);
    if (!date || !time || !IsValidDate((*date)[0], (*date)[1], (*date)[2]) || (*time)[0] < 0 ||
        (*time)[0] > 23 || (*time)[1] < 0 || (*time)[1] > 59 || (*time)[2] < 0 || (*time)[2] > 59) {
        return std::nullopt;
    }
    return EncodeDateTime((*date)[0], (*date)[1], (*date)[2], (*time)[0], (*time)[1], (*time)[2],
                          0);
}

std::string DataRowText(const std::string& dateText, const std::string& timeText,
                        const GridTexts& grid, int row, int itemCount) {
    std::string line = dateText + kDataFieldSeparator + timeText;
    for (int item = 1; item <= itemCount; ++item) {
        line += kDataFieldSeparator;
        line += grid.Cell(item, row);
    }
    return line;
}

std::string ViewerLineText(const ViewerItem& item, int precision, int decimals,
                           const Locale& locale) {
    std::string line =
        item.average + ";" + item.minimum + ";" + item.maximum + ";" + item.count + ";";
    if (item.integral && !item.mirrored) {
        if (!AppendNumber(line, item.runningIntegral, precision, decimals, locale)) {
            return line;
        }
    } else if (item.integral || item.counter || item.Grafiktyp == 2) {
        line += item.sum + ";";
    } else {
        line += std::string(kNotAvailableText) + ";";
    }
    if (!item.movingAverages) {
        return line + "n.v.;n.v.;n.v.;";
    }
    for (double value : {item.movingAverage, item.movingMinimum, item.movingMaximum}) {
        if (!AppendNumber(line, value, precision, decimals, locale)) {
            return line;
        }
    }
    return line;
}

bool WriteSampleAndDayRows(DayFiles& dayFiles, const GridTexts& grid, const CycleRecord& cycle) {
    const auto dateText = CycleDateText(cycle.cycleTime);
    if (!dateText) {
        dayFiles.Log().WriteLog(dateText.error().message);
        return false;
    }
    const std::string timeText = CycleTimeText(cycle.cycleTime);
    if (cycle.viewerOutput) {
        WriteSampleRow(dayFiles, grid, cycle, dateText.value(), timeText);
    }
    WriteDayDataRows(dayFiles, grid, cycle, dateText.value(), timeText);
    return true;
}

void WriteViewerDataFile(DayFiles& dayFiles, const std::vector<std::string>& lines,
                         double cycleTime) {
    FileSystem& files = dayFiles.Files();
    ProgramLog& log = dayFiles.Log();
    const std::string lock = dayFiles.PathOf(kViewerLockFile);
    dayFiles.RemoveLeftLock(lock);
    if (dayFiles.ViewerLockStands(lock, cycleTime,
                                  "Main : TarveView liest gerade Statistik-Daten.")) {
        return;
    }
    if (!CreateEmptyFile(files, lock)) {
        log.WriteLog("Main : Fehler bei Sperren von AKTDAT.TVV");
        return;
    }
    // A failed binding has been logged; the lock must still go, or the viewer file
    // would never be written again.
    if (dayFiles.AssignTextFile('V')) {
        ReplaceViewerFile(dayFiles, lines);
    }
    if (!DeleteIfExists(files, lock)) {
        log.WriteLog("Main : Fehler bei Entsperren von AKTDAT.TVV");
        dayFiles.NoteLockLeft(lock);
    }
}

}  // namespace tarvedde
