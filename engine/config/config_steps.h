// The steps of the configuration loader, shared by its source files, and the small
// helpers they read the settings files with. Not for use outside the loader.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/config/configuration.h"
#include "platform/ini_file.h"
#include "platform/result.h"

namespace tarvedde::config {

inline constexpr char kProtocolOrderFile[] = "ProtoReihe.TVW";
inline constexpr char kPrefixFile[] = "prefix.txt";
inline constexpr char kSuffixFile[] = "suffix.txt";
using tarvedde::kAqasysCodesFile;
using tarvedde::kAqasysNamesFile;

// The configuration's own fields as one load works on them, with the services it uses.
// Lives for one load only.
struct LoadScope {
    Host& host;
    ProgramLog& log;
    const Locale& locale;
    const std::string& programDir;
    GeneralSettings& settings;
    PerItem<ItemConfig>& items;
    ConversionTables& tables;
    ProtocolOrder& protocolOrder;
    ItemLogFlagsArray& logFlags;
    DialogItemLists& dialogLists;
    std::vector<std::string>& aqasysCodes;
    std::vector<std::string>& aqasysNames;
    int& analogViewerItems;
    int& digitalViewerItems;
    // A reload while the program runs. The day on record has its items until the restart: a
    // reload must not size it anew; and the run's pending day change stands, also where the
    // disk refused its flag.
    bool keepRunning = false;

    std::string PathOf(std::string_view name) const { return programDir + std::string(name); }
};

// "Item_3", the item's own section.
std::string ItemSection(int n);
// The first `maxChars` characters (not bytes) of a UTF-8 text.
std::string CutText(std::string_view utf8, std::size_t maxChars);
std::optional<double> ParseNumber(std::string_view text, const Locale& locale);
// Operators type either "." or ",": both count as the decimal separator.
std::optional<double> ParseNormalized(std::string_view text, const Locale& locale);
// The item's "Zählerstand" of VAR.INI.
double ReadCounterReading(LoadScope& load, const IniFile& var, int n);

// A delimiter line's code without the blanks, CR or BOM around it, and its character;
// nullopt when the line is no code 0..255.
std::string_view DelimiterCode(std::string_view line);
std::optional<char> DelimiterByte(std::string_view line);
void BuildValueDelimiters(LoadScope& load);
// Protocol order from ProtoReihe.TVW for the item count known before the load.
void LoadProtocolOrder(LoadScope& load);
// Takes `order` for the item count and writes it as LoadProtocolOrder reads it.
Status SaveProtocolOrder(LoadScope& load, const ProtocolOrder& order);
// The item's conversion table number and, when it names a file, the table's points.
void LoadItemTable(LoadScope& load, const IniFile& ini, int n);
// Points of a table file: "x<TAB>y" per line, up to the first bad line or 50 points.
void ReadConversionTable(const std::vector<std::string>& lines, const Locale& locale,
                         ConversionTable& table);

// The item list of the permanent mode (loader step "item list").
Status LoadItemList(LoadScope& load, const LoadTargets& out, IniFile& ini);
// Calibration constants from EICH.INI.
void LoadCalibration(LoadScope& load, const LoadTargets& out);
// Calibration constants from the scaling ranges; fails only when TARVEDDE.INI cannot be
// written.
Status LoadScaling(LoadScope& load, const LoadTargets& out, IniFile& ini);

// The AQASYS editor's lists (AQASYS mode) and the diary binding.
void LoadDiarySettings(LoadScope& load, DiaryInterface& diary);

}  // namespace tarvedde::config
