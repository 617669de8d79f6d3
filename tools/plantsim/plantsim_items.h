// plantsim's configuration and value generators. A generator is a pure function of its
// settings, the tick number and a seeded random engine, so a run with the same seed sends
// the same value texts in the same order.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/ini_file.h"

namespace tarvedde::plantsim {

enum class GeneratorKind { kConstant, kSine, kRamp, kCounter, kRandomWalk, kDigital };

struct ItemConfig {
    std::string name;
    int service = 1;  // index into PlantConfig::services, 1-based
    GeneratorKind kind = GeneratorKind::kConstant;
    int intervalMs = 1000;  // a new value every interval
    int periodMs = 60000;   // one sine wave or ramp
    double min = 0.0;
    double max = 100.0;
    double value = 0.0;  // constant value, start of counter and random walk
    double step = 1.0;   // counter increment, largest random-walk step
    bool wrap = true;    // counter and ramp start again at Min; a ramp without it turns back
    std::string pattern = "01";  // digital: one character per interval
    int decimals = 2;
    bool delimiter = true;    // CR LF after the value
    std::string requestText;  // what REQUEST answers; empty: the value
};

struct ServiceConfig {
    std::string name;
    std::string topic;
};

struct PlantConfig {
    std::vector<ServiceConfig> services;
    std::vector<ItemConfig> items;
};

// The generator keys of an item section (Generator, IntervalMs ... Decimals); fails for an
// unknown generator name.
Status LoadGenerator(const IniFile& ini, const std::string& section, ItemConfig& item);

// Fails when no service or no item is configured, or a generator name is unknown.
Result<PlantConfig> LoadPlantConfig(const IniFile& ini);

// A plant's meters keep their readings when plantsim restarts: a client takes a meter
// that falls for a replaced one and counts its whole reading once. The readings file
// has one key per counter in [Readings]; a counter it does not name starts at Value.
void ResumeReadings(const IniFile& readings, PlantConfig& config);
Status SaveReading(IniFile& readings, const ItemConfig& item, double reading);

class Generator {
public:
    Generator(const ItemConfig& item, std::uint32_t seed);
    // The value text of the next tick, with its delimiter.
    std::string Next();
    // The value of the last tick: a counter's reading (Value before the first tick).
    double Reading() const { return state_; }

private:
    double Value();

    ItemConfig item_;
    std::mt19937 random_;
    std::int64_t tick_ = 0;
    double state_;
};

}  // namespace tarvedde::plantsim
