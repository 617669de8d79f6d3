// Per-item switches of the value exports and their state file ddeLogKonfig.tvw:
// 180 records of four one-byte booleans, item n at record n, no header.
//
// Load: read once at configuration load and written once at program end; 720 bytes.
// Guarantees: a damaged or over-long file never fails the load, it keeps what was read
// and logs which record failed; the save replaces the file in one step, so a crash
// leaves the old or the new file.
#pragma once

#include <array>
#include <string>

namespace tarvedde {

class FileSystem;
class ProgramLog;

struct ItemLogFlags {
    bool logSingleValues = false;
    bool logMovingAverage = false;
    bool logIntegral = false;
    bool logCounterDifference = false;

    bool Any() const {
        return logSingleValues || logMovingAverage || logIntegral || logCounterDifference;
    }
    bool operator==(const ItemLogFlags&) const = default;
};

inline constexpr char kItemLogFlagsFile[] = "ddeLogKonfig.tvw";
inline constexpr int kItemLogFlagsRecordSize = 4;
inline constexpr int kItemLogFlagsRecords = 180;

// Item n at position n; position 0 is unused (the engine's per-item array layout).
using ItemLogFlagsArray = std::array<ItemLogFlags, kItemLogFlagsRecords + 1>;

// Reads records into items 1, 2, 3, ... until the end of the file. A missing file
// changes nothing. A record that cannot be read (a cut record, or a 181st) stops the
// reading; the items read so far keep their new flags, later items keep theirs, and
// "Fehler <record> beim Lesen der <path>" is logged.
void LoadItemLogFlags(const FileSystem& files, const std::string& path, ItemLogFlagsArray& flags,
                      ProgramLog& log);

// Writes all 180 records. On failure logs "Fehler beim Schreiben der <path>" and returns
// false; the old file stays as it was.
bool SaveItemLogFlags(FileSystem& files, const std::string& path, const ItemLogFlagsArray& flags,
                      ProgramLog& log);

}  // namespace tarvedde
