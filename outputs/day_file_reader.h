// Reads a day data file (JJJJMMDD.DAT) while the end of every cycle appends to it, for a
// view that follows the running day. Parses only what the file gained since the last
// read.
//
// Guarantees: a line counts only once its line end is there, so a row that is being
// written is read whole at the next read, never half; a line that is not a whole row
// (a write cut short by a crash and continued by the next start, a foreign edit) is
// skipped, never shown with values made up from its pieces.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/date_time.h"
#include "platform/file_system.h"
#include "platform/locale.h"

namespace tarvedde {

struct DayFileRow {
    DateParts date;
    int secondOfDay = 0;
    // Item n at n - 1; none where the cell said "n.v.".
    std::vector<std::optional<double>> values;
};

// One line without its line end; none unless it holds the date, the time and exactly
// `itemCount` cells, each a number or "n.v.".
std::optional<DayFileRow> ParseDayFileRow(std::string_view line, int itemCount,
                                          const Locale& locale);

// The item count in line 1 of a day's header file; none when it cannot be read.
std::optional<int> HeaderItemCount(const FileSystem& files, const std::string& headerPath);

class DayFileFollower {
public:
    DayFileFollower(const FileSystem& files, std::string path, int itemCount, const Locale& locale);

    struct Update {
        // The file is shorter than what was read: another version of the day's file took
        // its place, and `rows` are the new file's from its start.
        bool restarted = false;
        std::vector<DayFileRow> rows;
    };
    // The rows completed since the last call; nothing when the file did not grow or is
    // missing.
    Update ReadNew();

    const std::string& Path() const { return path_; }
    int ItemCount() const { return itemCount_; }
    int SkippedLines() const { return skipped_; }

private:
    void TakeLines(std::string_view bytes, std::vector<DayFileRow>& rows);

    const FileSystem& files_;
    std::string path_;
    int itemCount_;
    const Locale& locale_;
    std::uint64_t offset_ = 0;
    int skipped_ = 0;
};

}  // namespace tarvedde
