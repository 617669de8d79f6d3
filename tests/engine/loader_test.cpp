// The loaded model as text, against a golden dump per settings directory: every field the
// loader fills for every item and the general settings, with the log, the operator's
// messages and the settings files as the load leaves them. Then what the loader does beyond
// the model: the timer, the order of loads, guarded steps that fail, and files that break.
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

std::string ReadFileBytes(const fs::path& path) {
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
            Write(names.back(), ReadFileBytes(entry.path()));
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
    const std::string expected = ReadFileBytes(dir / golden);
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

using LoaderTest = EngineFixture;

TEST(Teilstring, FieldsOfABarSeparatedText) {
    EXPECT_EQ(Teilstring("1|a|b", 1), "1");
    EXPECT_EQ(Teilstring("1|a|b", 2), "a");
    EXPECT_EQ(Teilstring("1|a|b", 3), "b");
    EXPECT_EQ(Teilstring("1|a|b", 5), "b");
    EXPECT_EQ(Teilstring("1||b", 2), "?");
    EXPECT_EQ(Teilstring("|x", 1), "?");
    EXPECT_EQ(Teilstring("0", 1), "0");
    EXPECT_EQ(Teilstring("0", 2), "0");
    EXPECT_EQ(Teilstring("1|a|", 3), "");
    EXPECT_EQ(Teilstring("", 1), "");
    EXPECT_EQ(Teilstring("1|a", 0), "");
    EXPECT_EQ(Teilstring("1|a", 2147483647), "a");
}

TEST_F(LoaderTest, A180ItemListLoadsWithoutAMessage) {
    std::string ini = "[DDE]\nItemcount=180\nvarini-Skalierung=1\nTarveget=0\nPuffer=4\n[Items]\n";
    for (int n = 1; n <= 180; ++n) {
        ini += "Item" + std::to_string(n) + "=S" + std::to_string(n) + "\n";
    }
    WriteIni(ini);
    Load();
    EXPECT_TRUE(settings_.configValid);
    EXPECT_EQ(state_.window.it1.size(), 180u);
    EXPECT_EQ(state_.grid.RowCount(), 4 + 6);  // the buffered rows and six more
    EXPECT_EQ(Item(180).serverItem, "S180");
    EXPECT_EQ(Record(180).itemName, "undefiniert_180");
    EXPECT_EQ(IniValue(kMainIniFile, "GrafikEinheit", "Item180"), "");
    EXPECT_TRUE(Transcript().empty());

    settings_.itemCount = 181;
    config_.LoadItemOptions();
    EXPECT_EQ(settings_.itemCount, 180);
    EXPECT_EQ(IniValue(kCounterIniFile, "Item_180", "Zählerstand"), "0,000");
    EXPECT_EQ(IniValue(kCounterIniFile, "Item_181", "Zählerstand"), "<none>");
}

// Seconds and fewer than one are in the golden dumps; the other units and the top here.
TEST_F(LoaderTest, TheCycleIntervalComesFromCountAndUnit) {
    GeneralSettings& settings = settings_;
    settings.intervalCount = 2;
    settings.intervalUnit = 2;
    config::SetCycleInterval(settings);
    EXPECT_EQ(settings.cycleIntervalMs, 60000);

    settings.intervalCount = 59;
    settings.intervalUnit = 1;
    config::SetCycleInterval(settings);
    EXPECT_EQ(settings.cycleIntervalMs, 3540000);

    // More minutes than the timer can count: the longest interval it can run.
    settings.intervalCount = 40000;
    config::SetCycleInterval(settings);
    EXPECT_EQ(settings.cycleIntervalMs, 2147483647);
}

TEST_F(LoaderTest, ProtocolOrderUsesTheItemCountKnownBeforeTheLoad) {
    settings_.itemCount = 3;
    WriteIni("[DDE]\nItemcount=5\n");
    Load();
    EXPECT_EQ(ProtocolOrder(1), 1);
    EXPECT_EQ(ProtocolOrder(3), 3);
    EXPECT_EQ(ProtocolOrder(4), -1);
    EXPECT_EQ(ProtocolOrder(180), -1);

    // Entries that name no item, or one named before, take the items left out, once each.
    Write("ProtoReihe.TVW", "3\nx\n9\n3\n-2\n");
    Load();  // item count now 5 from the last load
    const int order[] = {3, 1, 2, 4, 5, -1};
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(ProtocolOrder(n), order[n - 1]) << n;
    }
    Write("ProtoReihe.TVW", "4\n");  // shorter than the item list
    Load();
    EXPECT_EQ((std::vector{ProtocolOrder(1), ProtocolOrder(2), ProtocolOrder(4)}),
              (std::vector{4, 2, 1}));
    EXPECT_THAT(LogAll(), HasSubstr("ProtoReihe.TVW: Stelle 4 druckt jetzt Item 1."));
}

// The permanent mode's state files are the caller's to create; an AQASYS installation has none.
TEST_F(LoaderTest, OnlyThePermanentModeAsksForItsStateFiles) {
    WriteIni("[DDE]\nItemcount=0\n");
    EXPECT_TRUE(Load());
    EXPECT_FALSE(Load(SourceKind::Aqasys));
    EXPECT_FALSE(Exists("TARVEDDE.COF"));
}

TEST_F(LoaderTest, UnwritableMainIniEndsTheItemPartWithAMessage) {
    WriteIni("[DDE]\nItemcount=1\nTarveget=0\n[Items]\nItem1=A\n");
    env_.files.SetFailurePolicy(
        [](FileOp op, const std::string&) { return op == FileOp::Write || op == FileOp::Rename; });
    Load();
    EXPECT_EQ(Transcript(), Lines{"MESSAGE Fehler beim Ausführen der .INI-Datei !"});
    EXPECT_TRUE(Logged("Fehler beim Speichern von TARVEDDE_VAR.INI !"));
    EXPECT_EQ(Item(1).serverItem, "A");
}

TEST_F(LoaderTest, UnreadableFilesGiveDefaults) {
    WriteIni("[DDE]\nItemcount=2\nTarveget=0\n[Items]\nItem1=A\nItem2=B\n");
    Write(kCalibrationIniFile, "[undefiniert_1]\nM=2\n");
    env_.files.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op == FileOp::Read && path.find("EICH") != std::string::npos;
    });
    Load();
    EXPECT_TRUE(settings_.configValid);
    EXPECT_EQ(Item(1).calibrationSlope, 1.0);
    EXPECT_TRUE(Transcript().empty());
}

// An editor's UTF-8, with or without a BOM, reads as the 1252 file would and goes back
// to 1252 at the next write.
TEST_F(LoaderTest, Utf8SettingsFilesReadAsTheyWereMeant) {
    ASSERT_TRUE(env_.files.WriteAll(env_.dir + kMainIniFile,
                                    "\xEF\xBB\xBF[DDE]\r\nItemcount=1\r\n[Items]\r\nItem1=A\r\n",
                                    false));
    ASSERT_TRUE(env_.files.WriteAll(env_.dir + kCounterIniFile,
                                    "[Item_1]\r\nZ\xC3\xA4hlerstand=1234,5\r\n", false));
    Load();
    EXPECT_EQ(Item(1).serverItem, "A");
    EXPECT_EQ(Item(1).counterReading, 1234.5);
    EXPECT_EQ(Read(kCounterIniFile).substr(0, 31), "[Item_1]\r\nZählerstand=1234,500");
    EXPECT_EQ(Read(kMainIniFile).substr(0, 5), "[DDE]");
    EXPECT_TRUE(Logged(std::string(kCounterIniFile) +
                       " als UTF-8 gelesen, wird beim nächsten Schreiben in Windows-1252 "
                       "gespeichert."));
}

// Whatever the settings files hold, the load ends and the model stays within its bounds.
TEST_F(LoaderTest, BrokenFilesNeverBreakTheLoad) {
    std::string garbage;
    for (int i = 0; i < 4000; ++i) {
        garbage += static_cast<char>((i * 7919 + 13) % 256);
    }
    const std::string contents[] = {"",
                                    garbage,
                                    std::string("\0\0\0\r\n\0", 6),
                                    "[DDE]\r\nItemcount=3\r\n[Items]\r\nItem1=A",
                                    "[DDE",
                                    "[DDE]\r\nItemcount=99999999999",
                                    "[Item_1]\r\nM=\r\nT=1e999\r\n1\t2\r\n3"};
    const std::string tableIni =
        "[DDE]\r\nItemcount=2\r\nvarini-Skalierung=1\r\n[Items]\r\nItem1=A\r\nItem2=B\r\n"
        "[Item_1]\r\nTabelle_benutzen=1\r\n[Tabelle_1]\r\nName=tab.txt\r\n";
    const char* others[] = {kCalibrationIniFile, kScalingIniFile, kCounterIniFile,
                            "ProtoReihe.TVW",    "prefix.txt",    "tab.txt"};
    const auto put = [&](const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(env_.files.WriteAll(env_.dir + name, bytes, false));
    };
    for (const std::string& bytes : contents) {
        put(kMainIniFile, bytes);
        Load(SourceKind::Opc);
        config_.LoadItemOptions();
        EXPECT_GE(settings_.itemCount, 0);
        EXPECT_LE(settings_.itemCount, 180);

        put(kMainIniFile, tableIni);
        for (const char* file : others) {
            put(file, bytes);
        }
        Load(SourceKind::Opc);
        config_.LoadItemOptions();
        EXPECT_EQ(settings_.itemCount, 2);
        EXPECT_LE(tables_[1].pointCount, 50);
    }
}

// A missing table or list file keeps what an earlier load read; a reload reads each
// conversion afresh, one switched off taking the item's unit again. A blank, a CR or an
// editor's BOM around a delimiter code is no part of it; a line that is no code is left
// out and logged, not taken as "0", which would cut values at zeros.
TEST_F(LoaderTest, AReloadKeepsWhatMissingFilesHeldAndReadsTheRestAfresh) {
    config_.BuildValueDelimiters();
    EXPECT_EQ(settings_.valuePrefix, "\r\n");
    EXPECT_EQ(settings_.valueSuffix, "\r\n");
    const std::string ini =
        "[DDE]\nItemcount=1\n[Items]\nItem1=A\n[Einheiten]\nItem1=l/s\n[Item_1]\n"
        "Tabelle_benutzen=1\n[Tabelle_1]\nName=tab.txt\n";
    WriteIni(ini + "[Umrechnung]\nItem1=1|X|m3|1|1|1\n");
    Write("tab.txt", "1\t1,5\n2\t2,5\n3\t3,5\n");
    ASSERT_TRUE(env_.files.WriteAll(env_.dir + "prefix.txt",
                                    "\xEF\xBB\xBF"
                                    "x\r\n34 \r\n10\r\r\n",
                                    false));
    Write("suffix.txt", "13\n\n");
    Load();
    ASSERT_EQ(Item(1).valueConversion.conversionUnit, "m3");
    config_.BuildValueDelimiters();
    EXPECT_EQ(settings_.valuePrefix, "\"\n");
    EXPECT_TRUE(
        Logged("Fehlerhafter Wert in prefix.txt, Zeile 1 = x ! Die Zeile wird übergangen."));
    EXPECT_TRUE(
        Logged("Fehlerhafter Wert in suffix.txt, Zeile 2 = (leer) ! Die Zeile wird übergangen."));
    Remove("tab.txt");
    Remove("prefix.txt");
    WriteIni(ini + "[Umrechnung]\nItem1=0|X|m3|1|1|1\n");
    Load();
    EXPECT_EQ(Item(1).valueConversion.conversionUnit, "l/s");
    EXPECT_EQ(Item(1).Tabelle_benutzen, 1);
    EXPECT_EQ(tables_[1].pointCount, 3);
    config_.BuildValueDelimiters();
    EXPECT_EQ(settings_.valuePrefix, "\"\n");
    const Lines log = LogLines();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Es wurden 3 Wertepaare gelesen."), 1);

    // A shorter table read later leaves nothing of the longer one behind.
    Write("tab.txt", "1\t1,5\n");
    Load();
    EXPECT_EQ(tables_[1].pointCount, 1);
    EXPECT_EQ(tables_[1].x[2], 0.0);
    EXPECT_EQ(tables_[1].y[2], 0.0);
}

}  // namespace
}  // namespace tarvedde::testing
