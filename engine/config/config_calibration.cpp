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
bool LoadItemCalibration(LoadScope& load, const LoadTargets& out, const IniFile& eich, int n) {
    ItemConfig& item = load.items[n];
    const auto read = [&](const char* key, const char* defaultText) {
        return ParseNormalized(eich.ReadString(item.itemName, key, defaultText), load.locale);
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
    item.fileCalibrationSlope = item.calibrationSlope;
    item.fileCalibrationIntercept = item.calibrationIntercept;
    out.records[n].calibrationSlope = item.calibrationSlope;
    out.records[n].calibrationIntercept = item.calibrationIntercept;
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
UserRangeTexts ReadUserRange(LoadScope& load, const IniFile& ini, const IniFile& var, int n) {
    const ItemConfig& item = load.items[n];
    UserRangeTexts range{schema::Read(ini, schema::kMinForUser, n),
                         schema::Read(ini, schema::kMaxForUser, n)};
    if (range.min == kMissingText || range.max == kMissingText) {
        return {var.ReadString(item.itemName, "MinForUser", "0"),
                var.ReadString(item.itemName, "MaxForUser", "99999")};
    }
    if (!(item.mirror.mirrorOn && item.mirror.sourceItem < 1)) {
        load.log.WriteLog(ItemSection(n) + " / " + item.itemName +
                          " : Min/MaxForUser = " + range.min + "/" + range.max);
    }
    return range;
}

// On OPC the controller's export also names the item's unit and its OPC identifier.
void TakeOpcNames(LoadScope& load, const LoadTargets& out, const IniFile& var, int n) {
    ItemConfig& item = load.items[n];
    item.unit = CutText(var.ReadString(item.itemName, "SPSUserEinheit", item.unit), 10);
    item.serverItem = var.ReadString(item.itemName, "Komkey", item.serverItem);
    const auto row = static_cast<std::size_t>(n - 1);
    if (row < out.itemList.size()) {
        out.itemList[row].caption = item.serverItem;
    }
    out.records[n].serverItem = CutText(item.serverItem, 100);
}

void ParseUserRange(LoadScope& load, const UserRangeTexts& texts, int n) {
    ItemConfig& item = load.items[n];
    const auto min = ParseNormalized(texts.min, load.locale);
    const auto max = ParseNormalized(texts.max, load.locale);
    item.MinForUser = min && max ? *min : 0.0;
    item.MaxForUser = min && max ? *max : kBadRangeMax;
    if (!IsAnalogNotMirrored(item)) {
        return;
    }
    if (!min || !max) {
        load.log.WriteLog("***** var.ini : Fehler bei Parameter " + item.itemName);
    } else if (item.MaxForUser == kMissingRangeMax) {
        load.log.WriteLog("***** var.ini : Parameter fehlt : " + item.itemName);
    }
}

void ReadRawRange(LoadScope& load, const IniFile& ini, const IniFile& var, int n) {
    ItemConfig& item = load.items[n];
    item.MinForSPS = schema::Read(ini, schema::kMinForSPS, n);
    item.MaxForSPS = schema::Read(ini, schema::kMaxForSPS, n);
    if (item.MinForSPS < -90000 || item.MaxForSPS < 0) {
        item.MinForSPS = var.ReadInteger(item.itemName, "MinForSPS", 0);
        item.MaxForSPS = var.ReadInteger(item.itemName, "MaxForSPS", 0);
    }
}

// A raw range of at most one step cannot carry a linear scale; the item keeps the
// constants of EICH.INI then.
void ComputeCalibration(LoadScope& load, const LoadTargets& out, IniFile& eich, int n) {
    ItemConfig& item = load.items[n];
    if (item.MaxForSPS <= 1 || item.MaxForSPS <= item.MinForSPS) {
        return;
    }
    const double rawSpan = static_cast<double>(item.MaxForSPS) - item.MinForSPS;
    item.calibrationSlope = (item.MaxForUser - item.MinForUser) / rawSpan;
    item.calibrationIntercept = item.MinForUser - item.MinForSPS * item.calibrationSlope;
    item.fileCalibrationSlope = item.calibrationSlope;
    item.fileCalibrationIntercept = item.calibrationIntercept;
    out.records[n].calibrationSlope = item.calibrationSlope;
    out.records[n].calibrationIntercept = item.calibrationIntercept;
    (void)eich.WriteString(item.itemName, "M",
                           FormatFixed(item.calibrationSlope, 14, 10, load.locale));
    (void)eich.WriteString(item.itemName, "T",
                           FormatFixed(item.calibrationIntercept, 14, 10, load.locale));
}

Status ScaleItem(LoadScope& load, const LoadTargets& out, IniFile& ini, const IniFile& var,
                 IniFile& eich, int n) {
    ItemConfig& item = load.items[n];
    const bool opc = load.settings.sourceKind == SourceKind::Opc;
    const UserRangeTexts texts = ReadUserRange(load, ini, var, n);
    if (opc) {
        TakeOpcNames(load, out, var, n);
    }
    ParseUserRange(load, texts, n);
    if (opc) {
        item.effectiveLoLimit = out.records[n].LoLimit = item.MinForUser;
        item.effectiveUpLimit = out.records[n].UpLimit = item.MaxForUser;
    }
    if (item.sumUnit.empty()) {
        item.sumUnit = item.unit;
    }
    if (item.viewerSumUnit.empty()) {
        item.viewerSumUnit = item.unit;
    }
    ReadRawRange(load, ini, var, n);
    ComputeCalibration(load, out, eich, n);
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

void LoadCalibration(LoadScope& load, const LoadTargets& out) {
    const IniFile eich(load.host.files, load.PathOf(kCalibrationIniFile));
    const IniReadBatch batch(eich);
    for (int n = 1; n <= load.settings.itemCount; ++n) {
        if (!LoadItemCalibration(load, out, eich, n)) {
            load.host.op.ShowMessage("Fehler bei Verarbeitung der EICH.INI ! Item : " +
                                     load.items[n].itemName);
        }
    }
}

Status LoadScaling(LoadScope& load, const LoadTargets& out, IniFile& ini) {
    load.log.WriteLog(
        "Eichkonstanten werden aus Sektion [Item_x] MinForUser..MaxForSPS (bzw. var.ini) "
        "berechnet.");
    const IniFile var(load.host.files, load.PathOf(kScalingIniFile));
    IniFile eich(load.host.files, load.PathOf(kCalibrationIniFile));
    const IniReadBatch varBatch(var);
    const IniReadBatch eichBatch(eich);
    for (int n = 1; n <= load.settings.itemCount; ++n) {
        if (Status scaled = ScaleItem(load, out, ini, var, eich, n); !scaled) {
            return scaled;
        }
    }
    return {};
}

}  // namespace tarvedde::config
