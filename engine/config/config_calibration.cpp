// Calibration constants of the items: read from EICH.INI, or computed from the scaling
// ranges (engineering range MinForUser..MaxForUser over the controller's raw range
// MinForSPS..MaxForSPS) of TARVEDDE.INI and VAR.INI and written back to EICH.INI.
// One pass over at most 180 items. Guarantees: a bad entry costs only its own item (a
// message or a log line names it); the computed constants are written at once, so
// EICH.INI always holds what the engine calibrates with.
#include "engine/config/config_steps.h"
#include "engine/config/settings_schema.h"
#include "platform/number_format.h"

namespace tarvedde::config {
namespace {

// The range is not set in TARVEDDE.INI.
constexpr std::string_view kMissingText = schema::kMinForUser.key.fallback;
constexpr double kBadRangeMax = 99998.0;
constexpr double kMissingRangeMax = 99999.0;

// False at the first constant that is not a number; the ones before it are kept.
bool LoadItemCalibration(EngineState& state, const IniFile& eich, int n) {
    ItemConfig& item = state.items[n];
    const auto read = [&](const char* key, const char* defaultText) {
        return ParseNormalized(eich.ReadString(item.itemName, key, defaultText), state.locale);
    };
    const auto intercept = read("T", "0");
    if (!intercept) {
        return false;
    }
    item.calibrationIntercept = *intercept;
    const auto slope = read("M", "1");
    if (!slope) {
        return false;
    }
    item.calibrationSlope = *slope;
    const auto divisor = read("D", "1");
    if (!divisor) {
        return false;
    }
    item.calibrationDivisor = *divisor;
    state.configRecords[n].calibrationSlope = item.calibrationSlope;
    state.configRecords[n].calibrationIntercept = item.calibrationIntercept;
    return true;
}

bool IsAnalogNotMirrored(const ItemConfig& item) {
    return !item.IsDigital() && !item.mirror.mirrorOn;
}

struct UserRangeTexts {
    std::string min;
    std::string max;
};

// TARVEDDE.INI holds the range when the calibration dialog set it; otherwise VAR.INI,
// the controller's export, does.
UserRangeTexts ReadUserRange(EngineState& state, const IniFile& ini, const IniFile& var, int n) {
    const ItemConfig& item = state.items[n];
    UserRangeTexts range{schema::Read(ini, schema::kMinForUser, n),
                         schema::Read(ini, schema::kMaxForUser, n)};
    if (range.min == kMissingText || range.max == kMissingText) {
        return {var.ReadString(item.itemName, "MinForUser", "0"),
                var.ReadString(item.itemName, "MaxForUser", "99999")};
    }
    if (!(item.mirror.mirrorOn && item.mirror.sourceItem < 1)) {
        state.log.WriteLog(ItemSection(n) + " / " + item.itemName +
                           " : Min/MaxForUser = " + range.min + "/" + range.max);
    }
    return range;
}

// On OPC the controller's export also names the item's unit and its OPC identifier.
void TakeOpcNames(EngineState& state, const IniFile& var, int n) {
    ItemConfig& item = state.items[n];
    item.unit = CutText(var.ReadString(item.itemName, "SPSUserEinheit", item.unit), 10);
    item.serverItem = var.ReadString(item.itemName, "Komkey", item.serverItem);
    const auto row = static_cast<std::size_t>(n - 1);
    if (row < state.window.it1.size()) {
        state.window.it1[row].caption = item.serverItem;
    }
    state.configRecords[n].serverItem = CutText(item.serverItem, 100);
}

void ParseUserRange(EngineState& state, const UserRangeTexts& texts, int n) {
    ItemConfig& item = state.items[n];
    const auto min = ParseNormalized(texts.min, state.locale);
    const auto max = ParseNormalized(texts.max, state.locale);
    item.MinForUser = min && max ? *min : 0.0;
    item.MaxForUser = min && max ? *max : kBadRangeMax;
    if (!IsAnalogNotMirrored(item)) {
        return;
    }
    if (!min || !max) {
        state.log.WriteLog("***** var.ini : Fehler bei Parameter " + item.itemName);
    } else if (item.MaxForUser == kMissingRangeMax) {
        state.log.WriteLog("***** var.ini : Parameter fehlt : " + item.itemName);
    }
}

void ReadRawRange(EngineState& state, const IniFile& ini, const IniFile& var, int n) {
    ItemConfig& item = state.items[n];
    item.MinForSPS = schema::Read(ini, schema::kMinForSPS, n);
    item.MaxForSPS = schema::Read(ini, schema::kMaxForSPS, n);
    if (item.MinForSPS < -90000 || item.MaxForSPS < 0) {
        item.MinForSPS = var.ReadInteger(item.itemName, "MinForSPS", 0);
        item.MaxForSPS = var.ReadInteger(item.itemName, "MaxForSPS", 0);
    }
}

// A raw range of at most one step cannot carry a linear scale; the item keeps the
// constants of EICH.INI then.
void ComputeCalibration(EngineState& state, IniFile& eich, int n) {
    ItemConfig& item = state.items[n];
    if (item.MaxForSPS <= 1 || item.MaxForSPS <= item.MinForSPS) {
        return;
    }
    const double rawSpan = static_cast<double>(item.MaxForSPS) - item.MinForSPS;
    item.calibrationSlope = (item.MaxForUser - item.MinForUser) / rawSpan;
    item.calibrationIntercept = item.MinForUser - item.MinForSPS * item.calibrationSlope;
    state.configRecords[n].calibrationSlope = item.calibrationSlope;
    state.configRecords[n].calibrationIntercept = item.calibrationIntercept;
    (void)eich.WriteString(item.itemName, "M",
                           FormatFixed(item.calibrationSlope, 14, 10, state.locale));
    (void)eich.WriteString(item.itemName, "T",
                           FormatFixed(item.calibrationIntercept, 14, 10, state.locale));
}

Status ScaleItem(EngineState& state, IniFile& ini, const IniFile& var, IniFile& eich, int n) {
    ItemConfig& item = state.items[n];
    const bool opc = state.settings.sourceKind == SourceKind::Opc;
    const UserRangeTexts texts = ReadUserRange(state, ini, var, n);
    if (opc) {
        TakeOpcNames(state, var, n);
    }
    ParseUserRange(state, texts, n);
    if (opc) {
        item.effectiveLoLimit = state.configRecords[n].LoLimit = item.MinForUser;
        item.effectiveUpLimit = state.configRecords[n].UpLimit = item.MaxForUser;
    }
    if (item.sumUnit.empty()) {
        item.sumUnit = item.unit;
    }
    if (item.viewerSumUnit.empty()) {
        item.viewerSumUnit = item.unit;
    }
    ReadRawRange(state, ini, var, n);
    ComputeCalibration(state, eich, n);
    if (Status written = schema::Write(ini, schema::kItems, n, item.serverItem); !written) {
        return written;
    }
    if (Status written = schema::Write(ini, schema::kGrafikSumEinheit, n, item.viewerSumUnit);
        !written) {
        return written;
    }
    return schema::Write(ini, schema::kSummenEinheiten, n, item.sumUnit);
}

}  // namespace

void LoadCalibration(EngineState& state) {
    const IniFile eich(state.host.files, state.PathOf(kCalibrationIniFile));
    for (int n = 1; n <= state.settings.itemCount; ++n) {
        if (!LoadItemCalibration(state, eich, n)) {
            state.host.op.ShowMessage("Fehler bei Verarbeitung der EICH.INI ! Item : " +
                                      state.items[n].itemName);
        }
    }
}

Status LoadScaling(EngineState& state, IniFile& ini) {
    state.log.WriteLog(
        "Eichkonstanten werden aus Sektion [Item_x] MinForUser..MaxForSPS (bzw. var.ini) "
        "berechnet.");
    const IniFile var(state.host.files, state.PathOf(kScalingIniFile));
    IniFile eich(state.host.files, state.PathOf(kCalibrationIniFile));
    for (int n = 1; n <= state.settings.itemCount; ++n) {
        if (Status scaled = ScaleItem(state, ini, var, eich, n); !scaled) {
            return scaled;
        }
    }
    return {};
}

}  // namespace tarvedde::config
