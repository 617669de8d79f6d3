// The steps of the configuration loader, shared by its source files, and the small
// helpers they read the settings files with. Not for use outside the loader.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/model/engine_state.h"
#include "platform/ini_file.h"
#include "platform/result.h"

namespace tarvedde::config {

inline constexpr char kProtocolOrderFile[] = "ProtoReihe.TVW";

// "Item_3", the item's own section.
std::string ItemSection(int n);
// The first `maxChars` characters (not bytes) of a UTF-8 text.
std::string CutText(std::string_view utf8, std::size_t maxChars);
std::optional<double> ParseNumber(std::string_view text, const Locale& locale);
// Operators type either "." or ",": both count as the decimal separator.
std::optional<double> ParseNormalized(std::string_view text, const Locale& locale);

// Protocol order from ProtoReihe.TVW for the item count known before the load.
void LoadProtocolOrder(EngineState& state);
// The item's conversion table number and, when it names a file, the table's points.
void LoadItemTable(EngineState& state, const IniFile& ini, int n);
// Points of a table file: "x<TAB>y" per line, up to the first bad line or 50 points.
void ReadConversionTable(const std::vector<std::string>& lines, const Locale& locale,
                         ConversionTable& table);

// The item list of the permanent mode (loader step "item list").
Status LoadItemList(EngineState& state, IniFile& ini);
// Calibration constants from EICH.INI.
void LoadCalibration(EngineState& state);
// Calibration constants from the scaling ranges; fails only when TARVEDDE.INI cannot be
// written.
Status LoadScaling(EngineState& state, IniFile& ini);

// Steps whose work belongs to parts of the program that are not built yet; each is
// called where that work must happen and does nothing so far.
void LoadDiarySettings(EngineState& state);
void SelectPrinter(EngineState& state);
// True when the item has a time table and it was loaded.
bool LoadTimeTable(EngineState& state, int n);
void ClearWarningState(EngineState& state, int n);

}  // namespace tarvedde::config
