#include "bench/bench_plant.h"

#include <fstream>

#include "outputs/diary_files.h"
#include "platform/binary_records.h"
#include "platform/text_encoding.h"

namespace tarvedde::bench {
namespace {

constexpr int kKinds = 6;

std::string CrLf(const std::string& utf8) {
    std::string text;
    for (char c : utf8) {
        text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return Utf8ToCp1252(text);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out.flush());
}

// Hundredths as a text with a decimal comma, as the plant's server sends them.
std::string Hundredths(long value) {
    const long tail = value % 100;
    return std::to_string(value / 100) + (tail < 10 ? ",0" : ",") + std::to_string(tail);
}

std::string Key(const std::string& name, int item, const std::string& value) {
    return name + std::to_string(item) + "=" + value + "\n";
}

// Each per-item section of the INI, built in one pass over the items.
struct Sections {
    std::string items, names, units, integral, integralBase, sumUnits, graphType, difference,
        conversion, loLimit, upLimit, moving, perItem;

    void Add(int n) {
        items += Key("Item", n, ServerItem(n));
        names += Key("Item", n, "Messwert " + std::to_string(n));
        moving += Key("Item", n, "1");
        switch (KindOf(n)) {
            case ItemKind::Analog:
                units += Key("Item", n, "mg/l");
                break;
            case ItemKind::Flow:
                units += Key("Item", n, "l/s");
                integral += Key("Item", n, "1");
                integralBase += Key("Item", n, "1000");
                sumUnits += Key("Item", n, "m³");
                break;
            case ItemKind::Meter:
                units += Key("Item", n, "kWh");
                difference += Key("Item", n, "1");
                sumUnits += Key("Item", n, "kWh");
                perItem += "[Item_" + std::to_string(n) + "]\nM15_berechnen=0\n";
                break;
            case ItemKind::Pump:
                graphType += Key("Item", n, "2");
                integral += Key("Item", n, "1");
                integralBase += Key("Item", n, "3600");
                sumUnits += Key("Item", n, "h");
                break;
            case ItemKind::Converted:
                units += Key("Item", n, "m³/h");
                conversion += Key("Item", n, "1|Menge|l/s|1|3,6|0");
                break;
            case ItemKind::Limited:
                units += Key("Item", n, "pH");
                loLimit += Key("Item", n, "0");
                upLimit += Key("Item", n, "14");
                break;
        }
    }
};

std::string MainIni() {
    Sections s;
    for (int n = 1; n <= kBenchItems; ++n) {
        s.Add(n);
    }
    return "[DDE]\nItemcount=" + std::to_string(kBenchItems) +
           "\nIntervall=1\nEinheit=0\nAutoStart=1\nServer=" + kBenchService +
           "\nTopic=" + kBenchTopic +
           "\nTarveview=1\nTarveget=1\nRohdatenSpeichern=1\n[Formate]\nPR=12\nNK=3\n"
           "[Items]\n" +
           s.items + "[Itemnames]\n" + s.names + "[Einheiten]\n" + s.units + "[Integral]\n" +
           s.integral + "[IntegralBezug]\n" + s.integralBase + "[SummenEinheiten]\n" + s.sumUnits +
           "[Grafiktyp]\n" + s.graphType + "[Differenz]\n" + s.difference + "[Umrechnung]\n" +
           s.conversion + "[LoLimit]\n" + s.loLimit + "[UpLimit]\n" + s.upLimit +
           "[Gleitend]\nPuffer=" + std::to_string(kMovingRing) + "\nIntervall=1\n" + s.moving +
           s.perItem;
}

// Every third item feeds a diary position: its mean, maximum or sum.
std::string DiaryFiles(std::string& bindings) {
    std::string online;
    int positions = 0;
    BinaryWriter out;
    for (int n = 1; n <= kBenchItems; n += 3) {
        ++positions;
        const std::string name = "Position " + std::to_string(positions);
        online += std::to_string(positions) + "\n" + name + "\n";
        DiaryBinding binding;
        binding.name = name;
        binding.diaryIndex = positions;
        binding.itemNumber = n;
        binding.itemAddress = ServerItem(n);
        binding.itemName = "Messwert " + std::to_string(n);
        binding.transferType = positions % 3 == 0 ? 2 : (positions % 3 == 1 ? 0 : 3);
        EncodeDiaryBinding(out, binding);
    }
    bindings = out.Take();
    return std::to_string(positions) + "\n" + online;
}

}  // namespace

ItemKind KindOf(int item) {
    return static_cast<ItemKind>((item - 1) % kKinds);
}

std::string ServerItem(int item) {
    return "Wert_" + std::to_string(item);
}

bool WriteBenchPlant(const std::string& programDir) {
    std::string bindings;
    const std::string online = DiaryFiles(bindings);
    return WriteFile(programDir + "TARVEDDE.INI", CrLf(MainIni())) &&
           WriteFile(programDir + kOnlineListFile, CrLf(online)) &&
           WriteFile(programDir + kPermanentBindingFile, bindings);
}

std::string ValueText(int item, long cycle) {
    const long wave = (cycle * 7 + item * 131) % 2000;
    const long triangle = wave < 1000 ? wave : 2000 - wave;
    switch (KindOf(item)) {
        case ItemKind::Meter:
            return Hundredths(100000 + cycle * (item % 5 + 1));
        case ItemKind::Pump:
            return (cycle / 600 + item) % 2 == 0 ? "1" : "0";
        case ItemKind::Flow:
            return Hundredths(5000 + 10 * triangle);
        case ItemKind::Limited:
            return Hundredths(650 + triangle / 10);
        default:
            return Hundredths(200 + triangle);
    }
}

std::string PlantsimIni() {
    std::string ini = std::string("[Service]\nName=") + kBenchService + "\nTopic=" + kBenchTopic +
                      "\n[Items]\nCount=" + std::to_string(kBenchItems) + "\n";
    for (int n = 1; n <= kBenchItems; ++n) {
        ini += "[Item" + std::to_string(n) + "]\nName=" + ServerItem(n) + "\n";
        switch (KindOf(n)) {
            case ItemKind::Meter:
                // Above any reading of the virtual-time run that prepared the state, so the
                // client does not count a replaced meter.
                ini += "Generator=counter\nValue=1000000\nStep=1\nMax=100000000\n";
                break;
            case ItemKind::Pump:
                ini += "Generator=digital\nPattern=0000011111\n";
                break;
            default:
                ini +=
                    "Generator=sine\nMin=2\nMax=12\nPeriodMs=" + std::to_string(60000 + n) + "\n";
                break;
        }
    }
    return CrLf(ini);
}

}  // namespace tarvedde::bench
