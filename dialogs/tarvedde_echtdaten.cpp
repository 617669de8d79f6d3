#include "dialogs/tarvedde_echtdaten.h"

#include <algorithm>

#include "engine/config/settings_schema.h"
#include "platform/ini_file.h"

namespace tarvedde {

TFo_Echtdaten::TFo_Echtdaten(EngineState& state) : state_(state) {}

void TFo_Echtdaten::FormCreate() {
    IniFile ini(state_.host.files, state_.PathOf(kMainIniFile));
    spPR = std::clamp(schema::ReadRaw(ini, schema::kFormatPR), 8, 18);
    spNK = std::clamp(schema::ReadRaw(ini, schema::kFormatNK), 0, 10);
}

void TFo_Echtdaten::FormShow() {
    std::vector<std::string> captions;
    for (int n = 1; n < state_.grid.ColumnCount(); ++n) {
        const ItemConfig& item = state_.items[static_cast<std::size_t>(n)];
        captions.push_back(item.itemName + "  [" + item.unit + "]");
    }
    state_.grid.WriteFixedLabels(captions);
}

void TFo_Echtdaten::spPRChange(int value) {
    spPR = std::clamp(value, 8, 18);
    state_.settings.formatPrecision = spPR;
}

void TFo_Echtdaten::spNKChange(int value) {
    spNK = std::clamp(value, 0, 10);
    state_.settings.formatDecimals = spNK;
}

void TFo_Echtdaten::FormClose() {
    IniFile ini(state_.host.files, state_.PathOf(kMainIniFile));
    if (!schema::Write(ini, schema::kFormatPR, state_.settings.formatPrecision).ok() ||
        !schema::Write(ini, schema::kFormatNK, state_.settings.formatDecimals).ok()) {
        state_.log.WriteLog("Echtdatenfenster : Fehler beim Schreiben der .INI-Datei !");
    }
}

}  // namespace tarvedde
