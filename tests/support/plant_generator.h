// The 180-item plant of the benchmarks and the long run, written into a program directory
// as the plant's workstation holds it. Six kinds of item by turns: plain analog, flow with
// an integral in m³, meter with Differenz, digital pump with operating hours, converted
// value, analog with validity limits. Day and sample files, the viewer file and the diary
// transfer (60 positions) are on; every item has a moving average with the largest ring,
// and all but the meters and pumps fifteen-minute values. A value is a function of item
// and cycle only, so two runs of the same length see the same values.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"
#include "platform/result.h"

namespace tarvedde::plantgen {

inline constexpr int kPlantItems = 180;
inline constexpr int kMovingRing = 360;
// The shortest sampling interval the settings dialog offers. The benchmark plant sampled
// every second until its figures of 2026-12-08; nothing else of it changed then, so later
// figures stay comparable with those but for the moving averages' share.
inline constexpr int kMovingSeconds = 6;
// Cycles of one second until every ring is full.
inline constexpr int kMovingFillSeconds = kMovingRing * kMovingSeconds;
inline constexpr char kPlantService[] = "plantsim";
inline constexpr char kPlantTopic[] = "Bench";

struct PlantOptions {
    int cycleSeconds = 10;
    // One append for every value: most of a cycle's system time.
    bool rawDataLog = true;
    // Settings few plants use: time frames on some analog items, a warning limit that
    // one item crosses for half a minute every afternoon, the pumps' longest off time.
    bool rareSettings = true;
};

enum class ItemKind { Analog, Flow, Meter, Pump, Converted, Limited };
ItemKind KindOf(int item);
// The server's item name of item 1..180.
std::string ServerItem(int item);

// TARVEDDE.INI, ONLINE.TVW and BINDUNG.TVW into `dir` (with trailing separator).
Status WritePlant(FileSystem& files, const std::string& dir, const PlantOptions& options);
// The text (German decimal comma) the server publishes for item 1..180 in `cycle`, counted
// from a midnight: waves, rising meter readings and pumps that switch every 600 cycles.
std::string ValueText(int item, std::int64_t cycle, const PlantOptions& options);
// plantsim's INI (Windows-1252, CR LF) serving the same items with similar values.
std::string PlantsimIni();

}  // namespace tarvedde::plantgen
