#include "tests/engine/loader_fixture.h"

namespace tarvedde {
namespace {

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

TEST_F(LoaderTest, DelimitersAreCharacterCodesFromTheListFiles) {
    BuildValueDelimiters(state_);
    EXPECT_EQ(state_.settings.valuePrefix, "\r\n");
    EXPECT_EQ(state_.settings.valueSuffix, "\r\n");

    Put("prefix.txt", {"34", "x", "176"});
    PutBytes("suffix.txt", "");
    Load();
    EXPECT_EQ(state_.settingsForm.M1, (Lines{"34", "x", "176"}));
    BuildValueDelimiters(state_);
    EXPECT_EQ(state_.settings.valuePrefix, "\"0°");
    EXPECT_EQ(state_.settings.valueSuffix, "");

    // A missing list file keeps the list as it was.
    ASSERT_TRUE(files_.Remove("/p/prefix.txt"));
    Load();
    EXPECT_EQ(state_.settingsForm.M1, (Lines{"34", "x", "176"}));
}

class ItemOptionsTest : public LoaderTest {
protected:
    void SetUp() override { state_.settings.itemCount = 2; }
};

TEST_F(ItemOptionsTest, WarningsAndFifteenMinuteSwitch) {
    PutIni({"[Warnung]", "Item1=1", "Item2=0", "[Item1]", "WarnFlag2=3", "WarnComp2=0",
            "WarnLevel2=2,5", "[Item2]", "WarnFlag2=4", "[Item_2]", "M15_berechnen=0"});
    LoadItemOptions(state_);
    EXPECT_TRUE(Statistics(1).Warnung);
    EXPECT_EQ(Statistics(1).WarnFlag2, 3);
    EXPECT_FALSE(Statistics(1).WarnComp2);
    EXPECT_EQ(Statistics(1).WarnLevel2, 2.5);
    EXPECT_EQ(Item(2).WarnFlag2, 0);
    EXPECT_TRUE(Item(1).M15_berechnen);
    EXPECT_FALSE(Item(2).M15_berechnen);

    PutIni({"[Warnung]", "Item1=1", "[Item1]", "WarnLevel2=hoch"});
    LoadItemOptions(state_);
    EXPECT_EQ(Item(1).WarnLevel2, 0.5);
    EXPECT_EQ(Item(1).WarnFlag2, 0);
}

TEST_F(ItemOptionsTest, CounterReadingsAndLogLines) {
    Put(kCounterIniFile, {"[Item_1]", "Zählerstand=99,25", "[Item_2]", "Zählerstand=7.5"});
    state_.settings.printAtMidnight = true;
    LoadItemOptions(state_);
    EXPECT_EQ(Item(1).counterReading, 99.25);
    EXPECT_EQ(Item(2).counterReading, 0.0);
    EXPECT_EQ(Read(kCounterIniFile, "Item_1", "Zählerstand"), "99,250");
    EXPECT_EQ(Read(kCounterIniFile, "Item_2", "Zählerstand"), "0,000");
    const Lines logSettings{"[DDE] DetailLog=0 (ausgeschaltet).",
                            "[DDE] DebugLog=0 (ausgeschaltet).",
                            "[DDE] TabelLog=0 (ausgeschaltet).", "[DDE] LogLevel=0"};
    Lines expected = logSettings;
    expected.push_back("Protokollausdruck eingeschaltet");
    EXPECT_EQ(LogTexts(), expected);

    log_.MessageList().Clear();
    state_.settings.printAtMidnight = false;
    state_.settings.sourceKind = SourceKind::Opc;
    PutIni({"[OPC]", "OPC_tot-Sekunden=60"});
    LoadItemOptions(state_);
    expected = logSettings;
    expected.push_back("OPC_tot-Zeit in Sekunden: 60");
    expected.push_back("Protokollausdruck ausgeschaltet.");
    EXPECT_EQ(LogTexts(), expected);
    EXPECT_EQ(state_.settings.opcCloseCount, 4);
    PutIni({});
    LoadItemOptions(state_);
    EXPECT_EQ(Read(kMainIniFile, "OPC", "OPC_tot-Sekunden"), "180");
}

TEST_F(ItemOptionsTest, ItemCountIsCutTo180) {
    state_.settings.itemCount = 181;
    LoadItemOptions(state_);
    EXPECT_EQ(state_.settings.itemCount, 180);
    EXPECT_EQ(Read(kCounterIniFile, "Item_180", "Zählerstand"), "0,000");
    EXPECT_EQ(Read(kCounterIniFile, "Item_181", "Zählerstand"), "<none>");
}

}  // namespace
}  // namespace tarvedde
