// A plant of 180 items of every kind the engine processes, for runs of many simulated
// days: analog readings with fifteen-minute extremes, flows with integrals, meters with
// differences, pumps and blowers with operating hours, moving averages, unit
// conversions, time frames and a warning limit; the viewer file and the diary hand-over
// are on, the raw-data log on request. A value is a function of item and cycle only, so two runs
// of the same length see the same values.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"
#include "platform/result.h"

namespace tarvedde::longrun {

inline constexpr int kPlantItems = 180;

// TARVEDDE.INI, ONLINE.TVW and BINDUNG.TVW into `dir` (with trailing separator). The raw-data
// log opens and closes its file for every value: 1.5 million times a day, most of a
// cycle's system time.
Status WritePlant(FileSystem& files, const std::string& dir, bool rawDataLog);

// The server's name of item 1..180, as the configuration names it.
std::string ServerItem(int item);

// The text (German decimal comma) the server publishes for the item after `cycle`.
std::string ValueText(int item, std::int64_t cycle);

}  // namespace tarvedde::longrun
