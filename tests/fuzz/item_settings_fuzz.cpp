// The item settings of TARVEDDE.INI are typed by hand and by the settings dialog of older
// builds: limits, units, the field texts of the time frame, the value conversion and the
// mirroring ("on|...|..."). Each input line is the value of one key of item 1 or item 2
// (the keys in kKeys' order, item 1's first); the loader's item pass reads them. Every
// text the model keeps stays within its length, a time frame within the day, a mirror
// names no negative item; and a reload (as the general settings dialog's) on the file the
// first pass left behind (it writes some keys back) gives the same items.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/config/config_steps.h"
#include "engine/diary/diary_interface.h"
#include "platform/instance_locks.h"
#include "platform/memory_file_system.h"
#include "platform/recording_shell.h"
#include "platform/scripted_operator.h"
#include "platform/virtual_clock.h"
#include "platform/virtual_event_loop.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using namespace tarvedde;

constexpr char kDir[] = "/plant/";
constexpr int kItems = 2;
constexpr const char* kKeys[] = {
    "Zeitrahmen",   "Umrechnung",       "Spiegelung",      "UpWarn",        "LoWarn",
    "UpLimit",      "LoLimit",          "IntegralLimit",   "Einheiten",     "SummenEinheiten",
    "SummenTeiler", "GrafikSumEinheit", "GrafikSumTeiler", "Itemnames",     "Items",
    "Grafiktyp",    "GrafikRef",        "Integral",        "IntegralBezug", "Differenz",
    "Gleitend",     "Tagesauswahl",     "Warnung"};
constexpr std::size_t kKeyCount = std::size(kKeys);

using Sections = std::map<std::string, std::map<std::string, std::string>>;

// Two items the server knows; the input's lines replace their keys.
Sections SettingsOf(std::string_view input) {
    Sections ini;
    ini["DDE"] = {{"Itemcount", std::to_string(kItems)}, {"Server", "S"}, {"Topic", "T"}};
    ini["Items"] = {{"Item1", "A"}, {"Item2", "B"}};
    std::size_t line = 0;
    while (!input.empty() && line < kKeyCount * kItems) {
        const std::size_t end = input.find('\n');
        std::string value(input.substr(0, end));
        std::erase(value, '\r');
        ini[kKeys[line % kKeyCount]]["Item" + std::to_string(line / kKeyCount + 1)] = value;
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
        ++line;
    }
    return ini;
}

std::string IniText(const Sections& ini) {
    std::string text;
    for (const auto& [section, keys] : ini) {
        text += "[" + section + "]\r\n";
        for (const auto& [key, value] : keys) {
            text += key + "=" + value + "\r\n";
        }
    }
    return text;
}

std::size_t Characters(std::string_view utf8) {
    std::size_t count = 0;
    for (const char c : utf8) {
        count += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u ? 1 : 0;
    }
    return count;
}

std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g|", value);
    return text;
}

// What the load made of the items, with the records it wrote, as one text.
struct Loaded {
    std::string items;
    int count = 0;
};

// The loader's item pass as a program run holds its fields, run at the start and again
// as the general settings dialog does.
struct Run {
    explicit Run(MemoryFileSystem& files)
        : host{files, clock, loop, person, shell, locks},
          log(files, clock, GermanLocale()),
          diary(files, person, log) {
        log.SetProgramDir(kDir);
    }
    Loaded Load();

    VirtualClock clock;
    VirtualEventLoop loop{clock};
    ScriptedOperator person;
    RecordingShell shell;
    MemoryInstanceLocks locks;
    Host host;
    ProgramLog log;
    DiaryInterface diary;
    std::string programDir = kDir;
    GeneralSettings settings;
    PerItem<ItemConfig> items{};
    ConversionTables tables{};
    ProtocolOrder protocolOrder{};
    ItemLogFlagsArray logFlags{};
    DialogItemLists dialogLists;
    std::vector<std::string> aqasysCodes;
    std::vector<std::string> aqasysNames;
    int analogViewerItems = 0;
    int digitalViewerItems = 0;
    PerItem<ConfigRecord> records{};
    std::vector<ItemListRow> itemList;
    LiveGrid grid;
};

Loaded Run::Load() {
    config::LoadScope scope{
        host,        log,         GermanLocale(),    programDir,        settings,
        items,       tables,      protocolOrder,     logFlags,          dialogLists,
        aqasysCodes, aqasysNames, analogViewerItems, digitalViewerItems};
    IniFile ini(host.files, programDir + kMainIniFile);
    const IniReadBatch batch(ini);
    (void)config::LoadItemList(scope, {records, itemList, grid, diary}, ini);
    Loaded loaded;
    loaded.count = static_cast<int>(dialogLists.itemNames.size());
    FUZZ_CHECK(loaded.count <= kItems);
    for (int n = 1; n <= loaded.count; ++n) {
        const ItemConfig& item = items[n];
        const ValueConversion& conversion = item.valueConversion;
        const TimeFrame& frame = item.timeFrame;
        FUZZ_CHECK(Characters(item.unit) <= 10 && Characters(item.sumUnit) <= 10);
        FUZZ_CHECK(Characters(item.viewerSumUnit) <= 10);
        FUZZ_CHECK(Characters(conversion.conversionUnit) <= 10);
        FUZZ_CHECK(Characters(conversion.varName) <= 30);
        FUZZ_CHECK(Characters(records[n].itemName) <= 30);
        FUZZ_CHECK(Characters(records[n].serverItem) <= 100);
        FUZZ_CHECK(frame.on || (frame.frameStart == 0.0 && frame.frameEnd == 0.0));
        FUZZ_CHECK(frame.frameStart >= 0.0 && frame.frameStart <= 1.0);
        FUZZ_CHECK(frame.frameEnd >= 0.0 && frame.frameEnd <= 1.0);
        FUZZ_CHECK(!item.mirror.mirrorOn || item.mirror.sourceItem >= 0);
        FUZZ_CHECK(conversion.conversionOn || conversion.conversionUnit == item.unit);
        loaded.items +=
            item.serverItem + "|" + item.itemName + "|" + item.unit + "|" + item.sumUnit + "|" +
            item.viewerSumUnit + "|" + conversion.varName + "|" + conversion.conversionUnit + "|" +
            std::to_string(conversion.timeBase) + "|" + std::to_string(item.mirror.sourceItem) +
            "|" + std::to_string(item.mirror.mirrorOn) + std::to_string(frame.on) +
            std::to_string(conversion.conversionOn) + std::to_string(item.M15_berechnen) +
            std::to_string(item.Integral) + std::to_string(item.Differenz) +
            std::to_string(item.Gleitend) + std::to_string(item.effectiveWarnung) + "|" +
            std::to_string(item.Grafiktyp) + "|" + std::to_string(item.GrafikRef) + "|" +
            std::to_string(item.Tagesauswahl) + "|" + std::to_string(item.IntegralBezug) + "|";
        for (const double value :
             {item.UpWarn, item.LoWarn, item.effectiveUpLimit, item.effectiveLoLimit,
              item.IntegralLimit, item.sumDivisor, item.viewerSumDivisor, frame.frameStart,
              frame.frameEnd, conversion.conversionFactor, conversion.conversionDivisor}) {
            loaded.items += Number(value);
        }
        loaded.items += "\n";
    }
    return loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One host for all inputs: the parsed settings files are cached per file system.
    static MemoryFileSystem files;
    for (const std::string& name : files.List(kDir)) {
        (void)files.Remove(kDir + name);
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    (void)files.WriteAll(kDir + std::string(kMainIniFile), IniText(SettingsOf(input)), false);
    Run run(files);
    const Loaded first = run.Load();
    const Loaded again = run.Load();
    FUZZ_CHECK(again.count == first.count);
    FUZZ_CHECK(again.items == first.items);
    return 0;
}
