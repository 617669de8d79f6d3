// The loaded model as text, against a golden dump per settings directory: every field the
// loader fills for every item and the general settings, with the log, the operator's
// messages and the settings files as the load leaves them.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/config/configuration_loader.h"
#include "platform/number_format.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

namespace fs = std::filesystem;

std::string Text(const std::string& s) {
    std::string out;
    for (char c : s) {
        out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out;
}
std::string Text(double v) {
    return FormatGeneral(v);
}
std::string Text(bool v) {
    return v ? "1" : "0";
}
std::string Text(int v) {
    return std::to_string(v);
}
std::string Text(const Lines& lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += (out.empty() ? "" : "|") + Text(line);
    }
    return out;
}

#define FIELD(record, name) out << "  " #name "=" << Text(record.name) << "\n"
#define VALUE(label, value) out << "  " label "=" << Text(value) << "\n"

std::string DumpModel(const Configuration& c, const StateStore& store, const BareFrame& s,
                      const ProcessedValues& values) {
    std::ostringstream out;
    const GeneralSettings& g = c.Settings();
    out << "settings\n  sourceKind=" << static_cast<int>(g.sourceKind) << "\n";
    FIELD(g, permanentMode), FIELD(g, itemCount), FIELD(g, intervalCount);
    FIELD(g, intervalUnit), FIELD(g, cycleIntervalMs), FIELD(g, bufferSize);
    FIELD(g, movingBufferSize), FIELD(g, movingIntervalMs), FIELD(g, autoStart);
    FIELD(g, opcHost), FIELD(g, opcServer), FIELD(g, ddeService), FIELD(g, ddeTopic);
    FIELD(g, saveRawData), FIELD(g, viewerOutput), FIELD(g, diaryOutput), FIELD(g, printerIndex);
    FIELD(g, printAtMidnight), FIELD(g, customDayChange), FIELD(g, customNewDay);
    FIELD(g, customDayChangeTime), FIELD(g, varIniScaling), FIELD(g, formatPrecision);
    FIELD(g, formatDecimals), FIELD(g, firstRun), FIELD(g, nullStart), FIELD(g, checkDead);
    FIELD(g, fifteenMinuteSpan), FIELD(g, maxReportSize), FIELD(g, reportFontSize);
    FIELD(g, savedDay), FIELD(g, opcDeadSeconds), FIELD(g, opcCloseCount), FIELD(g, valuePrefix);
    FIELD(g, valueSuffix), FIELD(g, prefixCodes), FIELD(g, suffixCodes);
    FIELD(g, extraneousWater.ZulaufMin_ls_index);
    FIELD(g, extraneousWater.ZulaufSumme_qbm_index), FIELD(g, extraneousWater.Zulauf_EwInd_ls);
    FIELD(g, configValid);
    out << "lists\n";
    VALUE("dialogLists.itemNames", c.DialogLists().itemNames);
    VALUE("dialogLists.diaryItemChoice", c.DialogLists().diaryItemChoice);
    VALUE("aqasysCodes", c.AqasysCodes()), VALUE("aqasysNames", c.AqasysNames());
    VALUE("analogViewerItems", c.AnalogViewerItems());
    VALUE("digitalViewerItems", c.DigitalViewerItems());
    out << "  it1=";
    for (const ItemListRow& row : s.window.it1) {
        out << Text(row.caption) << "|";
    }
    out << "\n  protocolOrder=";
    for (int n = 1; n <= std::min(g.itemCount + 1, maxItems); ++n) {
        out << c.ItemProtocolOrder()[static_cast<std::size_t>(n)] << " ";
    }
    out << "\n";
    for (int t = 1; t <= 2; ++t) {
        const ConversionTable& table = c.Tables()[static_cast<std::size_t>(t)];
        out << "table " << t << "\n  points=" << table.pointCount << "\n ";
        for (int p = 1; p <= maxTablePoints; ++p) {
            const auto i = static_cast<std::size_t>(p);
            out << " " << Text(table.x[i]) << "/" << Text(table.y[i]);
        }
        out << "\n";
    }
    // A long list repeats itself: the first eight items and the last stand for it.
    for (int n = 1; n <= g.itemCount; ++n) {
        if (n > 8 && n < g.itemCount) {
            continue;
        }
        const ItemConfig& i = c.Item(n);
        out << "item " << n << "\n";
        FIELD(i, serverItem), FIELD(i, itemName), FIELD(i, unit);
        FIELD(i, UpWarn), FIELD(i, LoWarn), FIELD(i, effectiveUpLimit), FIELD(i, effectiveLoLimit);
        FIELD(i, IntegralLimit), FIELD(i, IntegralBezug), FIELD(i, WarnFlag2), FIELD(i, WarnComp2);
        FIELD(i, WarnLevel2), FIELD(i, M15_berechnen), FIELD(i, Tabelle_benutzen);
        FIELD(i, timeFrame.on), FIELD(i, timeFrame.frameStart), FIELD(i, timeFrame.frameEnd);
        FIELD(i, valueConversion.conversionOn), FIELD(i, valueConversion.varName);
        FIELD(i, valueConversion.conversionUnit), FIELD(i, valueConversion.conversionFactor);
        FIELD(i, valueConversion.conversionDivisor), FIELD(i, valueConversion.timeBase);
        FIELD(i, mirror.mirrorOn), FIELD(i, mirror.sourceItem),
            VALUE("mirror.mirrorSumOffset", values.mirrorSumOffsets[n]);
        FIELD(i, Gleitend), FIELD(i, Differenz), FIELD(i, Grafikanzeige), FIELD(i, GrafikRef);
        FIELD(i, Grafiktyp), FIELD(i, Integral), FIELD(i, Tagesauswahl);
        FIELD(i, MaxAusZeit_anzeigen), FIELD(i, Ganglinie), FIELD(i, sumUnit);
        FIELD(i, sumDivisor), FIELD(i, viewerSumUnit), FIELD(i, viewerSumDivisor);
        FIELD(i, calibrationSlope), FIELD(i, calibrationDivisor), FIELD(i, calibrationIntercept);
        FIELD(i, MinForUser), FIELD(i, MaxForUser), FIELD(i, MinForSPS), FIELD(i, MaxForSPS);
        FIELD(i, Fortlaufend_summieren), FIELD(i, Tagesmengen_protokollieren);
        FIELD(i, counterReading), FIELD(i, maintenanceOn);
        out << " statistics\n";
        FIELD(i, effectiveWarnung);
        const ConfigRecord& r = store.ConfigRecords()[n];
        out << " record\n";
        FIELD(r, serverItem), FIELD(r, itemName), FIELD(r, unit), FIELD(r, GrafikRef);
        FIELD(r, Grafiktyp), FIELD(r, Integral), FIELD(r, Tagesauswahl), FIELD(r, UpLimit);
        FIELD(r, LoLimit), FIELD(r, calibrationSlope), FIELD(r, calibrationIntercept);
    }
    return out.str();
}

#undef FIELD
#undef VALUE

std::string ReadBinary(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct DumpCase {
    const char* name;
    SourceKind kind;
};

class LoaderDumpTest : public EngineFixture, public ::testing::WithParamInterface<DumpCase> {};

// Each directory under loader/ holds the settings files (UTF-8 text) and <name>.dump.
TEST_P(LoaderDumpTest, LoadedModelMatchesTheGoldenDump) {
    const fs::path dir = fs::path(TARVEDDE_TEST_DATA) / "engine" / "loader" / GetParam().name;
    const std::string golden = std::string(GetParam().name) + ".dump";
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().filename() != golden) {
            names.push_back(entry.path().filename().string());
            Write(names.back(), ReadBinary(entry.path()));
        }
    }
    std::sort(names.begin(), names.end());
    Load(GetParam().kind);
    config_.LoadItemOptions();
    config_.BuildValueDelimiters();

    std::string dump = DumpModel(config_, bare_.store, state_, Values());
    dump += "log\n";
    for (const std::string& line : LogLines()) {
        dump += "  " + line + "\n";
    }
    dump += "operator\n";
    for (const std::string& line : Transcript()) {
        dump += "  " + line + "\n";
    }
    for (const std::string& name : names) {
        if (name.ends_with(".INI")) {
            std::string text = Read(name);
            for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) {
                text.replace(at, 2, "\n  ");
            }
            dump += "file " + name + "\n  " + text + "\n";
        }
    }
    const std::string expected = ReadBinary(dir / golden);
    if (dump != expected) {
        std::ofstream(::testing::TempDir() + golden, std::ios::binary) << dump;
    }
    EXPECT_EQ(dump, expected) << "actual dump left in " << ::testing::TempDir() << golden;
}

INSTANTIATE_TEST_SUITE_P(Loader, LoaderDumpTest,
                         ::testing::Values(DumpCase{"every_key", SourceKind::Dde},
                                           DumpCase{"bad_values", SourceKind::Dde},
                                           DumpCase{"bad_limit", SourceKind::Dde},
                                           DumpCase{"gap", SourceKind::Dde},
                                           DumpCase{"empty_name", SourceKind::Dde},
                                           DumpCase{"too_many_items", SourceKind::Dde},
                                           DumpCase{"gap_on_opc", SourceKind::Opc},
                                           DumpCase{"opc_scaling", SourceKind::Opc},
                                           DumpCase{"aqasys", SourceKind::Aqasys},
                                           DumpCase{"aqasys_without_items", SourceKind::Aqasys},
                                           DumpCase{"no_items", SourceKind::Dde},
                                           DumpCase{"unknown_kind", static_cast<SourceKind>(5)}),
                         [](const auto& c) { return std::string(c.param.name); });

}  // namespace
}  // namespace tarvedde::testing
