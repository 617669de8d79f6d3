#include "tests/longrun/long_run_plant.h"

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <utility>
#include <vector>

#include "outputs/diary_files.h"
#include "platform/text_encoding.h"

namespace tarvedde::longrun {
namespace {

constexpr std::int64_t kCyclesPerDay = 8640;

enum class Kind { Analog, Flow, Meter, Pump, Moving, Converted, Framed, Warned };

struct ItemRange {
    int first;
    int last;
    Kind kind;
    const char* name;
    const char* unit;
};

constexpr ItemRange kRanges[] = {
    {1, 40, Kind::Analog, "Messwert", "mg/l"},  {41, 70, Kind::Flow, "Durchfluss", "l/s"},
    {71, 100, Kind::Meter, "Zähler", "kWh"},    {101, 130, Kind::Pump, "Pumpe", ""},
    {131, 150, Kind::Moving, "Sonde", "mg/l"},  {151, 170, Kind::Converted, "Menge", "m³/h"},
    {171, 179, Kind::Framed, "Leistung", "kW"}, {180, 180, Kind::Warned, "Spitze", "l/s"},
};

const ItemRange& RangeOf(int item) {
    for (const ItemRange& range : kRanges) {
        if (item <= range.last) {
            return range;
        }
    }
    std::abort();
}

// Sections in the order of their first key; the INI reader takes the first of
// duplicate sections only, so each is written once.
class IniText {
public:
    void Add(const std::string& section, const std::string& key, const std::string& value) {
        for (auto& [name, lines] : sections_) {
            if (name == section) {
                lines += key + "=" + value + "\r\n";
                return;
            }
        }
        sections_.emplace_back(section, key + "=" + value + "\r\n");
    }
    std::string Text() const {
        std::string text;
        for (const auto& [name, lines] : sections_) {
            text += "[" + name + "]\r\n" + lines;
        }
        return text;
    }

private:
    std::vector<std::pair<std::string, std::string>> sections_;
};

std::string Key(int item) {
    return "Item" + std::to_string(item);
}

std::string ItemName(int item) {
    return std::string(RangeOf(item).name) + " " + std::to_string(item);
}

void AddKindSettings(IniText& ini, int item, Kind kind) {
    const std::string key = Key(item);
    const std::string own = "Item_" + std::to_string(item);
    switch (kind) {
        case Kind::Analog:
            ini.Add("LoLimit", key, "0");
            ini.Add("UpLimit", key, "10");
            break;
        case Kind::Flow:
            ini.Add("Integral", key, "1");
            ini.Add("IntegralBezug", key, "1000");
            ini.Add("SummenEinheiten", key, "m³");
            ini.Add(own, "M15_berechnen", item % 2 == 0 ? "1" : "0");
            break;
        case Kind::Meter:
            ini.Add("Differenz", key, "1");
            ini.Add(own, "M15_berechnen", "0");
            break;
        case Kind::Pump:
            ini.Add("Grafiktyp", key, "2");
            if (item % 2 == 0) {
                ini.Add("Integral", key, "1");
                ini.Add("IntegralBezug", key, "3600");
                ini.Add("MaxAusZeit_anzeigen", key, "1");
            }
            break;
        case Kind::Moving:
            ini.Add("Gleitend", key, "1");
            break;
        case Kind::Converted:
            ini.Add("Umrechnung", key, "1|Menge|l/s|1|3,6|0");
            break;
        case Kind::Framed:
            ini.Add("Zeitrahmen", key, "1|06:00:00|22:00:00");
            break;
        case Kind::Warned:
            ini.Add("UpWarn", key, "600");
            ini.Add("LoWarn", key, "0");
            break;
    }
}

std::string PlantIni(bool rawDataLog) {
    IniText ini;
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
             {"Itemcount", std::to_string(kPlantItems)},
             {"Intervall", "10"},
             {"Einheit", "0"},
             {"AutoStart", "1"},
             {"Server", "plantsim"},
             {"Topic", "Klaeranlage"},
             {"Tarveview", "1"},
             {"Tarveget", "1"},
             {"RohdatenSpeichern", rawDataLog ? "1" : "0"}}) {
        ini.Add("DDE", key, value);
    }
    ini.Add("Gleitend", "Puffer", "30");
    ini.Add("Gleitend", "Intervall", "10");
    for (int item = 1; item <= kPlantItems; ++item) {
        const ItemRange& range = RangeOf(item);
        ini.Add("Items", Key(item), ServerItem(item));
        ini.Add("Itemnames", Key(item), ItemName(item));
        ini.Add("Einheiten", Key(item), range.unit);
        AddKindSettings(ini, item, range.kind);
    }
    return ini.Text();
}

DiaryBinding Bound(int index, int item, int transferType) {
    DiaryBinding binding;
    binding.name = "Position " + std::to_string(index);
    binding.diaryIndex = index;
    binding.itemNumber = item;
    binding.itemAddress = ServerItem(item);
    binding.itemName = ItemName(item);
    binding.transferType = transferType;
    return binding;
}

// Ten flow sums, ten means, five maxima and five operating times.
std::vector<DiaryBinding> DiaryBindings() {
    std::vector<DiaryBinding> bindings;
    for (int k = 0; k < 10; ++k) {
        bindings.push_back(Bound(1 + k, 41 + k, 3));
        bindings.push_back(Bound(11 + k, 1 + k, 0));
    }
    for (int k = 0; k < 5; ++k) {
        bindings.push_back(Bound(21 + k, 11 + k, 2));
        bindings.push_back(Bound(26 + k, 101 + k, 3));
    }
    return bindings;
}

std::string OnlineList(const std::vector<DiaryBinding>& bindings) {
    std::string text = std::to_string(bindings.size()) + "\r\n";
    for (const DiaryBinding& binding : bindings) {
        text += std::to_string(binding.diaryIndex) + "\r\n" + binding.name + "\r\n";
    }
    return text;
}

// Hundredths as the server's text: -307 is "-3,07".
std::string Hundredths(std::int64_t value) {
    const std::int64_t magnitude = std::abs(value);
    const std::int64_t cents = magnitude % 100;
    std::string text = value < 0 ? "-" : "";
    text += std::to_string(magnitude / 100);
    text += cents < 10 ? ",0" : ",";
    return text + std::to_string(cents);
}

// -50..50 hundredths, scattered over items and cycles.
std::int64_t Noise(int item, std::int64_t cycle) {
    constexpr std::uint64_t kCycleMix = 0x9E3779B97F4A7C15;
    constexpr std::uint64_t kItemMix = 0xC2B2AE3D27D4EB4F;
    std::uint64_t h = static_cast<std::uint64_t>(cycle) * kCycleMix;
    h ^= static_cast<std::uint64_t>(item) * kItemMix;
    h ^= h >> 29;
    return static_cast<std::int64_t>(h % 101) - 50;
}

// A swing with a period of about six hours, shifted per item.
std::int64_t Wave(int item, std::int64_t cycle, std::int64_t mean, std::int64_t swing) {
    const std::int64_t period = 2160 + 17 * item;
    const double angle = 2.0 * std::numbers::pi *
                         static_cast<double>((cycle + 311 * item) % period) /
                         static_cast<double>(period);
    return mean + std::llround(static_cast<double>(swing) * std::sin(angle)) + Noise(item, cycle);
}

}  // namespace

Status WritePlant(FileSystem& files, const std::string& dir, bool rawDataLog) {
    const std::vector<DiaryBinding> bindings = DiaryBindings();
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"TARVEDDE.INI", Utf8ToCp1252(PlantIni(rawDataLog))},
             {kOnlineListFile, Utf8ToCp1252(OnlineList(bindings))},
             {kPermanentBindingFile, EncodeBindingFile(bindings)}}) {
        if (Status written = files.WriteAll(dir + name, bytes, false); !written) {
            return written;
        }
    }
    return {};
}

std::string ServerItem(int item) {
    return "LR_" + std::to_string(item);
}

std::string ValueText(int item, std::int64_t cycle) {
    switch (RangeOf(item).kind) {
        case Kind::Analog:
        case Kind::Moving:
            return Hundredths(Wave(item, cycle, 500, 300));
        case Kind::Flow:
            return Hundredths(Wave(item, cycle, 15'000, 8'000));
        case Kind::Meter:
            return Hundredths(1'000'000LL * item + cycle * (3 + item % 7));
        case Kind::Pump:
            return ((cycle + 53 * item) / (90 + item)) % 3 != 0 ? "1" : "0";
        case Kind::Converted:
            return Hundredths(Wave(item, cycle, 2'000, 1'000));
        case Kind::Framed:
            return Hundredths(Wave(item, cycle, 4'000, 2'000));
        case Kind::Warned:
            // Half a minute above the limit on every day, in the afternoon.
            return Hundredths(cycle % kCyclesPerDay / 3 == 5000 / 3 ? 65'000 : 50'000);
    }
    return "";
}

}  // namespace tarvedde::longrun
