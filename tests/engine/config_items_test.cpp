#include <string>

#include "tests/engine/loader_fixture.h"

namespace tarvedde {
namespace {

class ItemListTest : public LoaderTest {
protected:
    // One item "A" / "Name" with the given extra lines, loaded on DDE.
    void LoadOneItem(const Lines& more) {
        Lines ini = {"[DDE]", "Itemcount=1", "[Items]", "Item1=A", "[Itemnames]", "Item1=Name"};
        ini.insert(ini.end(), more.begin(), more.end());
        PutIni(ini);
        Load();
    }
    void PutTable(int lines, const std::string& badLine = "", int badAt = 0) {
        Lines table;
        for (int i = 1; i <= lines; ++i) {
            table.push_back(i == badAt ? badLine
                                       : std::to_string(i) + "\t" + std::to_string(i) + ",5");
        }
        Put("tab.txt", table);
    }
    void LoadTableItem() {
        log_.MessageList().Clear();
        LoadOneItem({"[Item_1]", "Tabelle_benutzen=1", "[Tabelle_1]", "Name=tab.txt"});
    }
};

TEST_F(ItemListTest, ConversionWithABadNumberFallsBackToOne) {
    LoadOneItem({"[Umrechnung]", "Item1=1|FLOW|m3|2,5|abc|3"});
    const ValueConversion& conv = Item(1).valueConversion;
    EXPECT_TRUE(conv.conversionOn);
    EXPECT_EQ(conv.varName, "FLOW");
    EXPECT_EQ(conv.conversionUnit, "m3");
    EXPECT_EQ(conv.timeBase, 3);
    EXPECT_EQ(conv.conversionFactor, 1.0);
    EXPECT_EQ(conv.conversionDivisor, 1.0);
    const Lines texts = LogTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Fehler im Umrechnungs-String !"), 1);
}

TEST_F(ItemListTest, ConversionFieldsAreCutAndTheUnitDefaultsToTheItemUnit) {
    LoadOneItem({"[Umrechnung]", "Item1=1|ABCDEFGHIJKLMNOPQRSTUVWXYZäöüß1234|Kubikmeter/h|2,5|4|x",
                 "[Einheiten]", "Item1=l/s"});
    const ValueConversion& conv = Item(1).valueConversion;
    EXPECT_EQ(conv.varName, "ABCDEFGHIJKLMNOPQRSTUVWXYZäöüß");
    EXPECT_EQ(conv.conversionUnit, "Kubikmeter");
    EXPECT_EQ(conv.conversionFactor, 2.5);
    EXPECT_EQ(conv.conversionDivisor, 4.0);
    EXPECT_EQ(conv.timeBase, 0);
    EXPECT_FALSE(Logged("Fehler im Umrechnungs-String !"));

    LoadOneItem({"[Umrechnung]", "Item1=0|X|m3|1|1|1", "[Einheiten]", "Item1=l/s"});
    EXPECT_FALSE(Item(1).valueConversion.conversionOn);
    EXPECT_EQ(Item(1).valueConversion.conversionUnit, "l/s");
    EXPECT_EQ(Read(kMainIniFile, "GrafikEinheit", "Item1"), "l/s");
}

TEST_F(ItemListTest, MirrorSetting) {
    LoadOneItem({"[Spiegelung]", "Item1=1|x"});
    EXPECT_FALSE(Item(1).mirror.mirrorOn);
    EXPECT_EQ(Item(1).mirror.sourceItem, -1);
    LoadOneItem({"[Spiegelung]", "Item1=1|0"});
    EXPECT_TRUE(Item(1).mirror.mirrorOn);
    EXPECT_EQ(Item(1).mirror.sourceItem, 0);
    LoadOneItem({"[Spiegelung]", "Item1=1|-1"});
    EXPECT_FALSE(Item(1).mirror.mirrorOn);
    LoadOneItem({"[Spiegelung]", "Item1=0|4"});
    EXPECT_FALSE(Item(1).mirror.mirrorOn);
}

TEST_F(ItemListTest, TimeFrame) {
    LoadOneItem({"[Zeitrahmen]", "Item1=1|06:00"});
    EXPECT_TRUE(Item(1).timeFrame.on);
    EXPECT_DOUBLE_EQ(Item(1).timeFrame.frameStart, 0.25);
    EXPECT_DOUBLE_EQ(Item(1).timeFrame.frameEnd, 0.25);
    LoadOneItem({"[Zeitrahmen]", "Item1=1|früh|18:00"});
    EXPECT_EQ(Item(1).timeFrame.frameStart, 0.0);
    EXPECT_DOUBLE_EQ(Item(1).timeFrame.frameEnd, 0.75);
    LoadOneItem({"[Zeitrahmen]", "Item1=0|06:00|18:00"});
    EXPECT_FALSE(Item(1).timeFrame.on);
    EXPECT_EQ(Item(1).timeFrame.frameEnd, 0.0);
}

TEST_F(ItemListTest, LimitsReachStatisticsAndTheConfigRecord) {
    LoadOneItem({"[Warnung]", "Item1=1", "[UpWarn]", "Item1=80,5", "[LoWarn]", "Item1=1.5",
                 "[UpLimit]", "Item1=200", "[Einheiten]", "Item1=mg/l", "[Tagesauswahl]",
                 "Item1=62", "[Integral]", "Item1=1"});
    EXPECT_TRUE(Statistics(1).Warnung);
    EXPECT_DOUBLE_EQ(Statistics(1).UpWarn, 80.5);
    EXPECT_DOUBLE_EQ(Statistics(1).LoWarn, 1.5);
    EXPECT_EQ(Statistics(1).UpLimit, 200.0);
    EXPECT_EQ(Statistics(1).LoLimit, -100000.0);
    EXPECT_EQ(Item(1).IntegralLimit, 0.01);
    EXPECT_EQ(Record(1).UpLimit, 200.0);
    EXPECT_EQ(Record(1).unit, "mg/l");
    EXPECT_EQ(Record(1).Tagesauswahl, 62);
    EXPECT_TRUE(Record(1).Integral);
    EXPECT_EQ(Record(1).serverItem, "A");
}

TEST_F(ItemListTest, RecordCutsLongNamesByCharacters) {
    const std::string longName = std::string(28, 'x') + "äöü";
    PutIni({"[DDE]", "Itemcount=1", "[Items]", "Item1=" + std::string(120, 'S'), "[Itemnames]",
            "Item1=" + longName});
    Load();
    EXPECT_EQ(Item(1).itemName, longName);
    EXPECT_EQ(Record(1).itemName, std::string(28, 'x') + "äö");
    EXPECT_EQ(Record(1).serverItem, std::string(100, 'S'));
    EXPECT_EQ(state_.window.it1[0].caption, std::string(120, 'S'));
}

TEST_F(ItemListTest, DigitalAndMirroredItemsKeepTheirOwnKeys) {
    PutIni({"[DDE]", "Itemcount=3", "[Items]", "Item1=A", "Item2=B", "Item3=C", "[Grafiktyp]",
            "Item1=2", "Item2=1", "Item3=1", "[Grafikanzeige]", "Item3=0", "[MaxAusZeit_anzeigen]",
            "Item1=1", "[Spiegelung]", "Item2=1|1", "[Ganglinie]", "Item2=3", "Item3=5"});
    Load();
    EXPECT_FALSE(Item(1).M15_berechnen);
    EXPECT_EQ(Read(kMainIniFile, "Item_1", "M15_berechnen"), "0");
    EXPECT_EQ(Read(kMainIniFile, "Item_2", "M15_berechnen"), "1");
    EXPECT_TRUE(Statistics(1).MaxAusZeit_anzeigen);
    EXPECT_EQ(Read(kMainIniFile, "MaxAusZeit_anzeigen", "Item1"), "1");
    EXPECT_EQ(Statistics(2).Ganglinie, 3);
    EXPECT_EQ(Item(3).Ganglinie, 0);  // not mirrored: not read
    EXPECT_EQ(Read(kMainIniFile, "MaxAusZeit_anzeigen", "Item2"), "<none>");
    EXPECT_EQ(state_.digitalViewerItems, 1);
    EXPECT_EQ(state_.analogViewerItems, 1);
}

TEST_F(ItemListTest, SumUnitsDefaultToTheUnit) {
    LoadOneItem({"[Einheiten]", "Item1=m3", "[SummenTeiler]", "Item1=1000", "[GrafikSumEinheit]",
                 "Item1=Tm3", "[GrafikSumTeiler]", "Item1=tausend"});
    EXPECT_EQ(Item(1).sumUnit, "m3");
    EXPECT_EQ(Item(1).sumDivisor, 1000.0);
    EXPECT_EQ(Item(1).viewerSumUnit, "Tm3");
    EXPECT_EQ(Item(1).viewerSumDivisor, 1.0);
}

TEST_F(ItemListTest, TableStopsAtFiftyPoints) {
    for (const int lines : {49, 50, 51, 60, 10000}) {
        PutTable(lines);
        LoadTableItem();
        const int expected = std::min(lines, 50);
        EXPECT_EQ(state_.tables[1].pointCount, expected) << lines;
        EXPECT_EQ(LogTexts(),
                  (Lines{"Fremdwasserberechnung: Geschätzter Nachtzulauf EW+Ind in l/s = 3,00",
                         "Tabellenberechnung für Item_1 aktiviert. Tabellendatei: tab.txt",
                         "Es wurden " + std::to_string(expected) + " Wertepaare gelesen."}));
    }
    EXPECT_EQ(state_.tables[1].x[50], 50.0);
    EXPECT_EQ(state_.tables[1].y[50], 50.5);
    EXPECT_EQ(Item(1).Tabelle_benutzen, 1);
}

TEST_F(ItemListTest, TableStopsAtTheFirstBadLine) {
    for (const std::string bad : {"7", "7\tsieben", "", "x\t1"}) {
        PutTable(20, bad, 5);
        LoadTableItem();
        EXPECT_EQ(state_.tables[1].pointCount, 4) << bad;
        EXPECT_TRUE(Logged("Es wurden 4 Wertepaare gelesen.")) << bad;
    }
}

TEST_F(ItemListTest, TableNumberAboveTwoOrWithoutNameSwitchesTheTableOff) {
    LoadOneItem({"[Item_1]", "Tabelle_benutzen=3", "[Tabelle_3]", "Name=tab.txt"});
    EXPECT_EQ(Item(1).Tabelle_benutzen, 0);
    EXPECT_TRUE(Logged("Tabellenberechnung für mehr als 2 Items ist nicht möglich!"));

    LoadOneItem({"[Item_1]", "Tabelle_benutzen=2"});
    EXPECT_EQ(Item(1).Tabelle_benutzen, 0);

    // A missing file keeps the table number and the points read before.
    PutTable(3);
    LoadTableItem();
    ASSERT_TRUE(files_.Remove("/p/tab.txt"));
    LoadTableItem();
    EXPECT_EQ(Item(1).Tabelle_benutzen, 1);
    EXPECT_EQ(state_.tables[1].pointCount, 3);
    EXPECT_FALSE(Logged("Es wurden 3 Wertepaare gelesen."));
}

}  // namespace
}  // namespace tarvedde
