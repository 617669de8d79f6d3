// The benchmark plant: 180 items of mixed kinds at a one-second cycle with every output on
// (day, sample and viewer files, raw-data log, diary transfer), a full moving-average ring
// (360 samples, one a second) on every item and fifteen-minute values on every item but
// the meters. Written into a program directory as the plant's workstation holds it, and
// described once more as a plantsim configuration for the runs against a real process.
#pragma once

#include <string>

namespace tarvedde::bench {

inline constexpr int kBenchItems = 180;
inline constexpr int kMovingRing = 360;
inline constexpr char kBenchService[] = "plantsim";
inline constexpr char kBenchTopic[] = "Bench";

enum class ItemKind { Analog, Flow, Meter, Pump, Converted, Limited };
ItemKind KindOf(int item);
// The server's item name of item 1..180.
std::string ServerItem(int item);

// TARVEDDE.INI, ONLINE.TVW and BINDUNG.TVW (a third of the items bound to diary
// positions). False when a file could not be written.
bool WriteBenchPlant(const std::string& programDir);
// The value text item 1..180 has in cycle `cycle`: waves, rising meter readings and pumps
// that switch every ten minutes, so every processing path has work.
std::string ValueText(int item, long cycle);
// plantsim's INI (Windows-1252, CR LF) serving the same items with similar values.
std::string PlantsimIni();

}  // namespace tarvedde::bench
