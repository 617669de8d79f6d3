// Time tables of mirrored items: up to 96 times of day at which the item's intermediate
// statistics are due, loaded from "TT_" + source item + "_" + name + ".tvw"; and the
// monthly load-curve file ("Ganglinie_") that receives one line per time reached.
//
// Item names and source addresses reach these file names; FileNamePart maps every
// character that could lead outside the program directory, so no configured text can
// make the program read or write elsewhere.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "engine/model/item_model.h"
#include "outputs/program_log.h"
#include "platform/file_system.h"
#include "platform/locale.h"
#include "platform/operator.h"

namespace tarvedde {

inline constexpr int kTimeTableSize = 96;

struct TimeTable {
    int entryCount = 0;  // 0..96
    int position = 0;    // 1-based index of the next time to act on; 0: no table loaded
    std::array<double, kTimeTableSize + 1> times{};  // times[1..entryCount], day fractions
    bool finished = false;  // today's times are done; the day change starts it again
};

// "/", "\" and ":" become "-", and ".." becomes "--".
std::string FileNamePart(std::string_view text);

// "TT_" + source item + "_" + item name + ".tvw", both names mapped by FileNamePart.
std::string TimeTableFileName(const ItemConfig& config);

struct TimeTableFiles {
    const FileSystem& files;
    Operator& op;  // shows the message of an invalid line
    const Locale& locale;
    std::string programDir;  // with the trailing separator
};

// Loads the item's table (reading stops at the first line that is not a time, which the
// operator is shown, or after 96 lines) and sets the position to the first time after
// `timeOfDay`; with no later time the table is finished until the day change. Each line
// read is also added to `editorList` when given. Returns the item's name when a file was
// read, empty when there is none (the table then stays empty with position 0).
std::string LoadTimeTable(TimeTable& table, const ItemConfig& config, double timeOfDay,
                          const TimeTableFiles& files, std::vector<std::string>* editorList);

// "Ganglinie_" + item name (FileNamePart) + "_" + yyyymm of `cycleTime` + ".txt".
std::string LoadCurveFileName(const ItemConfig& config, double cycleTime);

struct LoadCurveFiles {
    FileSystem& files;
    ProgramLog& log;
    const Locale& locale;
    std::string programDir;  // with the trailing separator
    int formatPrecision = 12;
    int formatDecimals = 3;
};

// Appends the item's line for `cycleTime` (date, time, sum / SummenTeiler, minimum,
// maximum, average; TAB-separated) to the load-curve file of `runningDay`'s month, which
// is created with its three header lines when missing. The running day, not the stamp:
// the period a day change ends belongs to the ended day. A failure is logged; false then.
bool AppendLoadCurveLine(const ItemConfig& config, const ItemStatistics& statistics,
                         double cycleTime, double runningDay, const LoadCurveFiles& files);

}  // namespace tarvedde
