#include "dialogs/tarvedde_echtdaten.h"

#include <algorithm>

#include "engine/config/settings_schema.h"
#include "platform/ini_file.h"

namespace tarvedde {

TFo_Echtdaten::TFo_Echtdaten(Configuration& config, Host& host, ProgramLog& log, LiveGrid& grid)
    : config_(config), host_(host), log_(log), grid_(grid) {}

void TFo_Echtdaten::FormCreate() {
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    spPR = std::clamp(schema::ReadRaw(ini, schema::kFormatPR), 8, 18);
    spNK = std::clamp(schema::ReadRaw(ini, schema::kFormatNK), 0, 10);
}

void TFo_Echtdaten::FormShow() {
    std::vector<std::string> captions;
    for (int n = 1; n < grid_.ColumnCount(); ++n) {
        const ItemConfig& item = config_.Items()[static_cast<std::size_t>(n)];
        captions.push_back(item.itemName + "  [" + item.unit + "]");
    }
    grid_.WriteFixedLabels(captions);
}

void TFo_Echtdaten::spPRChange(int value) {
    spPR = std::clamp(value, 8, 18);
    config_.SetNumberFormat(spPR, config_.Settings().formatDecimals);
}

void TFo_Echtdaten::spNKChange(int value) {
    spNK = std::clamp(value, 0, 10);
    config_.SetNumberFormat(config_.Settings().formatPrecision, spNK);
}

void TFo_Echtdaten::FormClose() {
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    if (!schema::Write(ini, schema::kFormatPR, config_.Settings().formatPrecision).ok() ||
        !schema::Write(ini, schema::kFormatNK, config_.Settings().formatDecimals).ok()) {
        log_.WriteLog("Echtdatenfenster : Fehler beim Schreiben der .INI-Datei !");
    }
}

}  // namespace tarvedde
