// Per-item switches of the value exports and their state file ddeLogKonfig.tvw:
// 180 records of four one-byte booleans, item n at record n.
#pragma once

#include <array>
#include <string>

namespace tarvedde {

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

}  // namespace tarvedde
