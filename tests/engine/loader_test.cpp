// What the loader does beyond the model that the golden dumps show: the timer, the order of
// loads, guarded steps that fail, and files that break.
#include "engine/config/configuration_loader.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

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
    std::string ini = "[DDE]\nItemcount=180\nvarini-Skalierung=1\n[Items]\n";
    for (int n = 1; n <= 180; ++n) {
        ini += "Item" + std::to_string(n) + "=S" + std::to_string(n) + "\n";
    }
    WriteIni(ini);
    Load();
    EXPECT_TRUE(settings_.configValid);
    EXPECT_EQ(state_.window.it1.size(), 180u);
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

    Write("ProtoReihe.TVW", "3\nx\n9\n0\n-2\n");
    Load();  // item count now 5 from the last load
    const int order[] = {3, 2, 1, 0, 1, -1};
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(ProtocolOrder(n), order[n - 1]) << n;
    }
    Write("ProtoReihe.TVW", "4\n");  // shorter than the item list
    Load();
    EXPECT_EQ(ProtocolOrder(1), 4);
    EXPECT_EQ(ProtocolOrder(2), 2);
    EXPECT_EQ(ProtocolOrder(5), 5);
}

// The permanent mode's state files are the caller's to create; an AQASYS installation has none.
TEST_F(LoaderTest, OnlyThePermanentModeAsksForItsStateFiles) {
    WriteIni("[DDE]\nItemcount=0\n");
    EXPECT_TRUE(Load());
    EXPECT_FALSE(Load(SourceKind::Aqasys));
    EXPECT_FALSE(Exists("TARVEDDE.COF"));
}

TEST_F(LoaderTest, UnwritableMainIniEndsTheItemPartWithAMessage) {
    WriteIni("[DDE]\nItemcount=1\n[Items]\nItem1=A\n");
    env_.files.SetFailurePolicy(
        [](FileOp op, const std::string&) { return op == FileOp::Write || op == FileOp::Rename; });
    Load();
    EXPECT_EQ(Transcript(), Lines{"MESSAGE Fehler beim Ausführen der .INI-Datei !"});
    EXPECT_EQ(Item(1).serverItem, "A");
}

TEST_F(LoaderTest, UnreadableFilesGiveDefaults) {
    WriteIni("[DDE]\nItemcount=2\n[Items]\nItem1=A\nItem2=B\n");
    Write(kCalibrationIniFile, "[undefiniert_1]\nM=2\n");
    env_.files.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op == FileOp::Read && path.find("EICH") != std::string::npos;
    });
    Load();
    EXPECT_TRUE(settings_.configValid);
    EXPECT_EQ(Item(1).calibrationSlope, 1.0);
    EXPECT_TRUE(Transcript().empty());
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

// A reload reads each conversion afresh: one switched off takes the item's unit again.
TEST_F(LoaderTest, AReloadForgetsTheConversionUnit) {
    const std::string ini = "[DDE]\nItemcount=1\n[Items]\nItem1=A\n[Einheiten]\nItem1=l/s\n";
    WriteIni(ini + "[Umrechnung]\nItem1=1|X|m3|1|1|1\n");
    Load();
    ASSERT_EQ(Item(1).valueConversion.conversionUnit, "m3");
    WriteIni(ini + "[Umrechnung]\nItem1=0|X|m3|1|1|1\n");
    Load();
    EXPECT_EQ(Item(1).valueConversion.conversionUnit, "l/s");
}

// A missing table or list file keeps what an earlier load read.
TEST_F(LoaderTest, MissingTableAndListFilesKeepWhatWasRead) {
    config_.BuildValueDelimiters();
    EXPECT_EQ(settings_.valuePrefix, "\r\n");
    EXPECT_EQ(settings_.valueSuffix, "\r\n");
    WriteIni(
        "[DDE]\nItemcount=1\n[Items]\nItem1=A\n[Item_1]\nTabelle_benutzen=1\n"
        "[Tabelle_1]\nName=tab.txt\n");
    Write("tab.txt", "1\t1,5\n2\t2,5\n3\t3,5\n");
    Write("prefix.txt", "34\n");
    Load();
    Remove("tab.txt");
    Remove("prefix.txt");
    Load();
    EXPECT_EQ(Item(1).Tabelle_benutzen, 1);
    EXPECT_EQ(tables_[1].pointCount, 3);
    EXPECT_EQ(settings_.prefixCodes, Lines{"34"});
    const Lines log = LogLines();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Es wurden 3 Wertepaare gelesen."), 1);
}

}  // namespace
}  // namespace tarvedde::testing
