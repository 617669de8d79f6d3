#include "tests/support/plant_generator.h"

#include <cstdlib>
#include <utility>
#include <vector>

#include "outputs/diary_files.h"
#include "platform/text_encoding.h"

namespace tarvedde::plantgen {
namespace {

constexpr int kKinds = 6;
constexpr int kWarnedItem = 180;

// Sections in the order of their first key; the INI reader takes the first of duplicate
// sections only, so each is written once.
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
    return "Messwert " + std::to_string(item);
}

struct Setting {
    const char* section;
    const char* value;
};

// By ItemKind; each a key Item<n> of its section.
const std::vector<Setting> kKindSettings[kKinds] = {
    {{"Einheiten", "mg/l"}},
    {{"Einheiten", "l/s"}, {"Integral", "1"}, {"IntegralBezug", "1000"}, {"SummenEinheiten", "m³"}},
    {{"Einheiten", "kWh"}, {"Differenz", "1"}, {"SummenEinheiten", "kWh"}},
    {{"Grafiktyp", "2"}, {"Integral", "1"}, {"IntegralBezug", "3600"}, {"SummenEinheiten", "h"}},
    {{"Einheiten", "m³/h"}, {"Umrechnung", "1|Menge|l/s|1|3,6|0"}},
    {{"Einheiten", "pH"}, {"LoLimit", "0"}, {"UpLimit", "14"}},
};

void AddKindSettings(IniText& ini, int item) {
    for (const Setting& setting : kKindSettings[static_cast<int>(KindOf(item))]) {
        ini.Add(setting.section, Key(item), setting.value);
    }
    // A meter's fifteen-minute values would be those of its reading.
    if (KindOf(item) == ItemKind::Meter) {
        ini.Add("Item_" + std::to_string(item), "M15_berechnen", "0");
    }
}

void AddRareSettings(IniText& ini, int item) {
    const std::string key = Key(item);
    if (KindOf(item) == ItemKind::Analog && item % 4 == 1) {
        ini.Add("Zeitrahmen", key, "1|06:00:00|22:00:00");
    }
    if (KindOf(item) == ItemKind::Pump && item % 4 == 0) {
        ini.Add("MaxAusZeit_anzeigen", key, "1");
    }
    if (item == kWarnedItem) {
        ini.Add("UpWarn", key, "8");
        ini.Add("LoWarn", key, "0");
    }
}

std::string PlantIni(const PlantOptions& options) {
    IniText ini;
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
             {"Itemcount", std::to_string(kPlantItems)},
             {"Intervall", std::to_string(options.cycleSeconds)},
             {"Einheit", "0"},
             {"AutoStart", "1"},
             {"Server", kPlantService},
             {"Topic", kPlantTopic},
             {"Tarveview", "1"},
             {"Tarveget", "1"},
             {"RohdatenSpeichern", options.rawDataLog ? "1" : "0"}}) {
        ini.Add("DDE", key, value);
    }
    ini.Add("Formate", "PR", "12");
    ini.Add("Formate", "NK", "3");
    ini.Add("Gleitend", "Puffer", std::to_string(kMovingRing));
    ini.Add("Gleitend", "Intervall", std::to_string(kMovingSeconds));
    for (int item = 1; item <= kPlantItems; ++item) {
        ini.Add("Items", Key(item), ServerItem(item));
        ini.Add("Itemnames", Key(item), ItemName(item));
        ini.Add("Gleitend", Key(item), "1");
        AddKindSettings(ini, item);
        if (options.rareSettings) {
            AddRareSettings(ini, item);
        }
    }
    return ini.Text();
}

// Every third item feeds a diary position: its maximum, mean or sum by turns.
std::vector<DiaryBinding> DiaryBindings() {
    constexpr int kTransferTypes[] = {2, 0, 3};
    std::vector<DiaryBinding> bindings;
    for (int item = 1; item <= kPlantItems; item += 3) {
        DiaryBinding binding;
        binding.diaryIndex = static_cast<int>(bindings.size()) + 1;
        binding.name = "Position " + std::to_string(binding.diaryIndex);
        binding.itemNumber = item;
        binding.itemAddress = ServerItem(item);
        binding.itemName = ItemName(item);
        binding.transferType = kTransferTypes[binding.diaryIndex % 3];
        bindings.push_back(binding);
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

// Hundredths as the server's text: 307 is "3,07".
std::string Hundredths(std::int64_t value) {
    const std::int64_t cents = value % 100;
    return std::to_string(value / 100) + (cents < 10 ? ",0" : ",") + std::to_string(cents);
}

// Half a minute every afternoon, from 13:53:20 on.
bool WarnedNow(std::int64_t cycle, const PlantOptions& options) {
    const std::int64_t second = cycle * options.cycleSeconds % 86'400;
    return second >= 50'000 && second < 50'030;
}

}  // namespace

ItemKind KindOf(int item) {
    return static_cast<ItemKind>((item - 1) % kKinds);
}

std::string ServerItem(int item) {
    return "Wert_" + std::to_string(item);
}

Status WritePlant(FileSystem& files, const std::string& dir, const PlantOptions& options) {
    const std::vector<DiaryBinding> bindings = DiaryBindings();
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"TARVEDDE.INI", Utf8ToCp1252(PlantIni(options))},
             {kOnlineListFile, Utf8ToCp1252(OnlineList(bindings))},
             {kPermanentBindingFile, EncodeBindingFile(bindings)}}) {
        if (Status written = files.WriteAll(dir + name, bytes, false); !written) {
            return written;
        }
    }
    return {};
}

std::string ValueText(int item, std::int64_t cycle, const PlantOptions& options) {
    const std::int64_t wave = (cycle * 7 + item * 131) % 2000;
    const std::int64_t triangle = wave < 1000 ? wave : 2000 - wave;
    switch (KindOf(item)) {
        case ItemKind::Meter:
            return Hundredths(100'000 + cycle * (item % 5 + 1));
        case ItemKind::Pump:
            return (cycle / 600 + item) % 2 == 0 ? "1" : "0";
        case ItemKind::Flow:
            return Hundredths(5000 + 10 * triangle);
        case ItemKind::Limited:
            if (item == kWarnedItem && options.rareSettings && WarnedNow(cycle, options)) {
                return "9,00";
            }
            return Hundredths(650 + triangle / 10);
        default:
            return Hundredths(200 + triangle);
    }
}

std::string PlantsimIni() {
    std::string ini = std::string("[Service]\r\nName=") + kPlantService +
                      "\r\nTopic=" + kPlantTopic +
                      "\r\n[Items]\r\nCount=" + std::to_string(kPlantItems) + "\r\n";
    for (int n = 1; n <= kPlantItems; ++n) {
        ini += "[Item" + std::to_string(n) + "]\r\nName=" + ServerItem(n) + "\r\n";
        switch (KindOf(n)) {
            case ItemKind::Meter:
                // Above any reading of the virtual-time run that prepared the state, so the
                // client does not count a replaced meter.
                ini += "Generator=counter\r\nValue=1000000\r\nStep=1\r\nMax=100000000\r\n";
                break;
            case ItemKind::Pump:
                ini += "Generator=digital\r\nPattern=0000011111\r\n";
                break;
            default:
                ini +=
                    "Generator=sine\r\nMin=2\r\nMax=12\r\nPeriodMs=" + std::to_string(60000 + n) +
                    "\r\n";
                break;
        }
    }
    return Utf8ToCp1252(ini);
}

}  // namespace tarvedde::plantgen
