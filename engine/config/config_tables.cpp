// The loader's text helpers and its small tables: the protocol order (read here and, for
// its dialog, written here), the two conversion tables, the value delimiters and the
// field splitter Teilstring. Runs once per load on at most a few hundred short lines.
// Guarantees: any file content, however broken, gives a table within its fixed bounds
// (180 order entries, 50 points per conversion table).
#include <algorithm>

#include "engine/config/config_steps.h"
#include "engine/config/configuration_loader.h"
#include "engine/config/settings_schema.h"
#include "platform/number_format.h"
#include "platform/path_names.h"
#include "platform/text_encoding.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace config {

std::string ItemSection(int n) {
    return "Item_" + std::to_string(n);
}

std::string CutText(std::string_view utf8, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(utf8[i]) & 0xC0u) == 0x80u;
        if (!continuation && chars++ == maxChars) {
            return std::string(utf8.substr(0, i));
        }
    }
    return std::string(utf8);
}

std::optional<double> ParseNumber(std::string_view text, const Locale& locale) {
    const Result<double> value = StrToFloat(text, locale);
    if (!value) {
        return std::nullopt;
    }
    return value.value();
}

std::optional<double> ParseNormalized(std::string_view text, const Locale& locale) {
    return ParseNumber(NormalizeDecimal(text, locale), locale);
}

// The meter's total is written back at every load: a reading that is no number would
// become 0 without a trace, so its text goes to the log first.
double ReadCounterReading(LoadScope& load, const IniFile& var, int n) {
    const std::string text = var.ReadString(ItemSection(n), "Zählerstand", "0");
    if (const auto reading = ParseNormalized(text, load.locale)) {
        return reading.value();
    }
    load.log.WriteLog("Zählerstand von Item " + std::to_string(n) + " ist keine Zahl (" + text +
                      "), er beginnt bei 0.");
    return 0.0;
}

// Without ProtoReihe.TVW the items print in their own order. Every item prints once: an
// entry that names no item, or one named before (a file left from another item count, and
// the order dialog only swaps places), takes the first item the file leaves out.
void LoadProtocolOrder(LoadScope& load) {
    const int count = std::clamp(load.settings.itemCount, 0, maxItems);
    std::vector<std::string> lines;
    const std::string path = load.PathOf(kProtocolOrderFile);
    if (load.host.files.Exists(path)) {
        lines = ReadLines(load.host.files, path).value_or({});
    }
    std::vector<bool> listed(static_cast<std::size_t>(count) + 1, false);
    std::vector<int> holes;
    for (int i = 1; i <= maxItems; ++i) {
        int entry = -1;
        if (i <= count) {
            const auto line = static_cast<std::size_t>(i - 1);
            entry = line < lines.size() ? StrToIntDef(lines[line], 0) : i;
            if (entry < 1 || entry > count || listed[static_cast<std::size_t>(entry)]) {
                holes.push_back(i);
                entry = 0;
            } else {
                listed[static_cast<std::size_t>(entry)] = true;
            }
        }
        load.protocolOrder[static_cast<std::size_t>(i)] = entry;
    }
    auto hole = holes.begin();
    for (int item = 1; item <= count && hole != holes.end(); ++item) {
        if (!listed[static_cast<std::size_t>(item)]) {
            load.protocolOrder[static_cast<std::size_t>(*hole)] = item;
            load.log.WriteLog(std::string(kProtocolOrderFile) + ": Stelle " +
                              std::to_string(*hole) + " druckt jetzt Item " + std::to_string(item) +
                              ".");
            ++hole;
        }
    }
}

// One line per item number and nothing else, so a reload gives back exactly this order.
Status SaveProtocolOrder(LoadScope& load, const ProtocolOrder& order) {
    const int count = std::clamp(load.settings.itemCount, 0, maxItems);
    std::vector<std::string> lines;
    for (int i = 1; i <= maxItems; ++i) {
        const auto at = static_cast<std::size_t>(i);
        load.protocolOrder[at] = i <= count ? order[at] : -1;
        if (i <= count) {
            lines.push_back(std::to_string(order[at]));
        }
    }
    return WriteLines(load.host.files, load.PathOf(kProtocolOrderFile), lines, false);
}

void ReadConversionTable(const std::vector<std::string>& lines, const Locale& locale,
                         ConversionTable& table) {
    // Points an earlier load left beyond the new count would still steer the conversion,
    // which reads x[1] and y[2] of a table with fewer points.
    table = ConversionTable{};
    for (const std::string& line : lines) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || table.pointCount >= maxTablePoints) {
            return;
        }
        const auto x = ParseNumber(std::string_view(line).substr(0, tab), locale);
        const auto y = ParseNumber(std::string_view(line).substr(tab + 1), locale);
        if (!x || !y) {
            return;
        }
        ++table.pointCount;
        table.x[static_cast<std::size_t>(table.pointCount)] = *x;
        table.y[static_cast<std::size_t>(table.pointCount)] = *y;
    }
}

namespace {

// Table names are written by hand; a relative one means the program directory.
std::string TablePath(const LoadScope& load, const std::string& name) {
    return IsAbsolutePath(name) ? name : load.PathOf(name);
}

}  // namespace

void LoadItemTable(LoadScope& load, const IniFile& ini, int n) {
    ItemConfig& item = load.items[n];
    int k = schema::Read(ini, schema::kTabelleBenutzen, n);
    if (k > 2) {
        load.log.WriteLog("Tabellenberechnung für mehr als 2 Items ist nicht möglich!");
        k = 0;
    }
    item.Tabelle_benutzen = std::max(k, 0);
    if (item.Tabelle_benutzen == 0) {
        return;
    }
    const std::string name = ini.ReadString(schema::TableSection(k), schema::kTableName, "");
    if (name.empty()) {
        item.Tabelle_benutzen = 0;
        return;
    }
    const std::string path = TablePath(load, name);
    if (!load.host.files.Exists(path)) {
        return;
    }
    load.log.WriteLog("Tabellenberechnung für " + ItemSection(n) +
                      " aktiviert. Tabellendatei: " + name);
    ConversionTable& table = load.tables[static_cast<std::size_t>(k)];
    ReadConversionTable(ReadLines(load.host.files, path).value_or({}), load.locale, table);
    load.log.WriteLog("Es wurden " + std::to_string(table.pointCount) + " Wertepaare gelesen.");
}

}  // namespace config

namespace {

// A delimiter line is a character code; the file holds 1252 codes, memory holds UTF-8. A
// line that is no code is left out: taken as "0" it would cut every value at its zeros.
std::string DelimiterChars(const std::vector<std::string>& lines) {
    std::string chars;
    for (const std::string& line : lines) {
        if (const std::optional<char> byte = config::DelimiterByte(line)) {
            chars += Cp1252ToUtf8(std::string_view(&*byte, 1));
        }
    }
    return chars;
}

}  // namespace

Status Configuration::SetProtocolOrder(const ProtocolOrder& order) {
    config::LoadScope load = Scope();
    return config::SaveProtocolOrder(load, order);
}

void Configuration::BuildValueDelimiters() {
    config::LoadScope load = Scope();
    config::BuildValueDelimiters(load);
}

// An editor's BOM, as the file's 1252 bytes or as UTF-8, and blanks or a CR around the
// code are no part of it.
std::string_view config::DelimiterCode(std::string_view line) {
    for (const std::string_view bom : {"\xC3\xAF\xC2\xBB\xC2\xBF", "\xEF\xBB\xBF"}) {
        if (line.starts_with(bom)) {
            line.remove_prefix(bom.size());
        }
    }
    const std::size_t first = line.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    return line.substr(first, line.find_last_not_of(" \t\r\n") - first + 1);
}

std::optional<char> config::DelimiterByte(std::string_view line) {
    const Result<int> code = StrToInt(DelimiterCode(line));
    if (!code || code.value() < 0 || code.value() > 255) {
        return std::nullopt;
    }
    return static_cast<char>(code.value());
}

void config::BuildValueDelimiters(LoadScope& load) {
    load.settings.valuePrefix = DelimiterChars(load.settings.prefixCodes);
    load.settings.valueSuffix = DelimiterChars(load.settings.suffixCodes);
}

std::string Teilstring(std::string_view text, int k) {
    if (text.empty() || k < 1) {
        return "";
    }
    while (true) {
        const std::size_t bar = text.find('|');
        if (bar == std::string_view::npos) {
            return std::string(text);
        }
        const std::string_view field = bar == 0 ? std::string_view("?") : text.substr(0, bar);
        text.remove_prefix(bar + 1);
        if (--k == 0) {
            return std::string(field);
        }
    }
}

}  // namespace tarvedde
