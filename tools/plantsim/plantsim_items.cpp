// plantsim's configuration reader and value generators; see plantsim_items.h.
#include "tools/plantsim/plantsim_items.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/number_format.h"

namespace tarvedde::plantsim {
namespace {

constexpr char kReadingsSection[] = "Readings";

double ReadDouble(const IniFile& ini, const std::string& section, const char* key,
                  double fallback) {
    auto parsed = StrToFloat(NormalizeDecimal(ini.ReadString(section, key, "")));
    return parsed ? parsed.value() : fallback;
}

Result<GeneratorKind> ParseKind(const std::string& text) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::pair<const char*, GeneratorKind> kinds[] = {
        {"constant", GeneratorKind::kConstant},
        {"sine", GeneratorKind::kSine},
        {"ramp", GeneratorKind::kRamp},
        {"counter", GeneratorKind::kCounter},
        {"randomwalk", GeneratorKind::kRandomWalk},
        {"digital", GeneratorKind::kDigital}};
    for (const auto& [name, kind] : kinds) {
        if (lower == name) {
            return kind;
        }
    }
    return Error{"unknown generator '" + text + "'"};
}

Result<ItemConfig> LoadItem(const IniFile& ini, int index, std::size_t serviceCount) {
    std::string section = "Item" + std::to_string(index);
    ItemConfig item;
    item.name = ini.ReadString(section, "Name", "");
    if (item.name.empty()) {
        return Error{"[" + section + "] has no Name"};
    }
    if (Status read = LoadGenerator(ini, section, item); !read) {
        return read.error();
    }
    item.service = ini.ReadInteger(section, "Service", 1);
    if (item.service < 1 || static_cast<std::size_t>(item.service) > serviceCount) {
        return Error{"[" + section + "] names service " + std::to_string(item.service)};
    }
    item.delimiter = ini.ReadBool(section, "Delimiter", item.delimiter);
    item.requestText = ini.ReadString(section, "RequestText", "");
    return item;
}

}  // namespace

Status LoadGenerator(const IniFile& ini, const std::string& section, ItemConfig& item) {
    auto kind = ParseKind(ini.ReadString(section, "Generator", "constant"));
    if (!kind) {
        return Error{"[" + section + "] " + kind.error().message};
    }
    item.kind = kind.value();
    item.intervalMs = std::max(10, ini.ReadInteger(section, "IntervalMs", item.intervalMs));
    item.periodMs = std::max(1, ini.ReadInteger(section, "PeriodMs", item.periodMs));
    item.min = ReadDouble(ini, section, "Min", item.min);
    item.max = ReadDouble(ini, section, "Max", item.max);
    item.value = ReadDouble(ini, section, "Value", item.value);
    item.step = ReadDouble(ini, section, "Step", item.step);
    item.wrap = ini.ReadBool(section, "Wrap", item.wrap);
    item.pattern = ini.ReadString(section, "Pattern", item.pattern);
    item.decimals = std::clamp(ini.ReadInteger(section, "Decimals", item.decimals), 0, 15);
    return Status::Ok();
}

Result<PlantConfig> LoadPlantConfig(const IniFile& ini) {
    PlantConfig config;
    for (int index = 1;; ++index) {
        std::string section = index == 1 ? "Service" : "Service" + std::to_string(index);
        std::string name = ini.ReadString(section, "Name", "");
        if (name.empty()) {
            break;
        }
        config.services.push_back({name, ini.ReadString(section, "Topic", "")});
    }
    if (config.services.empty()) {
        return Error{"no [Service] with a Name"};
    }
    int count = ini.ReadInteger("Items", "Count", 0);
    for (int index = 1; index <= count; ++index) {
        auto item = LoadItem(ini, index, config.services.size());
        if (!item) {
            return item.error();
        }
        config.items.push_back(std::move(item).value());
    }
    // A logger that only answers AQASYS requests has no items of its own.
    if (config.items.empty() && !ini.SectionExists("Aqasys")) {
        return Error{"no items: [Items] Count is missing or 0"};
    }
    return config;
}

void ResumeReadings(const IniFile& readings, PlantConfig& config) {
    for (ItemConfig& item : config.items) {
        if (item.kind == GeneratorKind::kCounter) {
            item.value = ReadDouble(readings, kReadingsSection, item.name.c_str(), item.value);
        }
    }
}

Status SaveReading(IniFile& readings, const ItemConfig& item, double reading) {
    if (item.kind != GeneratorKind::kCounter) {
        return Status::Ok();
    }
    // The reading as the client saw it last, so a restart never sends a lower one.
    return readings.WriteString(kReadingsSection, item.name,
                                FormatFixed(reading, 15, item.decimals));
}

Generator::Generator(const ItemConfig& item, std::uint32_t seed)
    : item_(item), random_(seed), state_(item.value) {}

std::string Generator::Next() {
    std::string text;
    if (item_.kind == GeneratorKind::kDigital) {
        std::size_t length = std::max<std::size_t>(item_.pattern.size(), 1);
        char c =
            item_.pattern.empty() ? '0' : item_.pattern[static_cast<std::size_t>(tick_) % length];
        text.push_back(c == '0' ? '0' : '1');
    } else {
        text = FormatFixed(Value(), 15, item_.decimals);
    }
    ++tick_;
    return item_.delimiter ? text + "\r\n" : text;
}

double Generator::Value() {
    double span = item_.max - item_.min;
    double phase = static_cast<double>(tick_ * item_.intervalMs % item_.periodMs) /
                   static_cast<double>(item_.periodMs);
    switch (item_.kind) {
        case GeneratorKind::kSine:
            return item_.min + span / 2.0 * (1.0 + std::sin(2.0 * std::numbers::pi * phase));
        case GeneratorKind::kRamp:
            if (item_.wrap) {
                return item_.min + span * phase;
            }
            return item_.min + span * (phase < 0.5 ? 2.0 * phase : 2.0 - 2.0 * phase);
        case GeneratorKind::kCounter:
            if (tick_ > 0) {
                state_ += item_.step;
            }
            if (item_.wrap && state_ > item_.max) {
                state_ = item_.min;
            }
            return state_;
        case GeneratorKind::kRandomWalk:
            if (tick_ > 0) {
                std::uniform_real_distribution<double> move(-item_.step, item_.step);
                state_ = std::clamp(state_ + move(random_), item_.min, item_.max);
            }
            return state_;
        default:
            return item_.value;
    }
}

}  // namespace tarvedde::plantsim
