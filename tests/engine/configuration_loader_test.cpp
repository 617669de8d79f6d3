#include "engine/configuration_loader.h"

#include "tests/engine/loader_fixture.h"

namespace tarvedde {
namespace {

const Lines kThreeItemsWithGap = {"[DDE]",      "Itemcount=3",     "[Items]",     "Item1=AI.Zulauf",
                                  "Item2=0",    "Item3=AI.Ablauf", "[Itemnames]", "Item1=Zulauf",
                                  "Item2=Leer", "Item3=Ablauf"};

TEST_F(LoaderTest, GapInItemListStopsTheDdeLoadButNotTheOpcLoad) {
    PutIni(kThreeItemsWithGap);
    Load(SourceKind::Dde);
    EXPECT_FALSE(state_.settings.configValid);
    EXPECT_TRUE(Logged("DDE-Item Nr.2 fehlt !"));
    EXPECT_EQ(Item(1).serverItem, "AI.Zulauf");
    EXPECT_EQ(Record(1).itemName, "Zulauf");
    EXPECT_EQ(Item(3).serverItem, "0");
    EXPECT_EQ(Item(3).itemName, "");
    ASSERT_EQ(state_.window.it1.size(), 2u);
    EXPECT_EQ(state_.window.it1[1].caption, "0");
    EXPECT_EQ(state_.dialogLists.itemNames, Lines{"Zulauf"});
    EXPECT_EQ(state_.dialogLists.diaryItemChoice, (Lines{"undefiniert", "Zulauf"}));
    EXPECT_TRUE(Shown().empty());

    log_.MessageList().Clear();
    Load(SourceKind::Opc);
    EXPECT_TRUE(state_.settings.configValid);
    EXPECT_FALSE(Logged("DDE-Item Nr.2 fehlt !"));
    EXPECT_EQ(Item(2).serverItem, "0");
    EXPECT_EQ(Item(3).serverItem, "AI.Ablauf");
    EXPECT_EQ(state_.window.it1.size(), 3u);
    EXPECT_EQ(state_.dialogLists.itemNames, (Lines{"Zulauf", "Leer", "Ablauf"}));
}

TEST_F(LoaderTest, EmptyItemNameCountsAsMissingOnDde) {
    PutIni({"[DDE]", "Itemcount=2", "[Items]", "Item1=A", "Item2=B", "[Itemnames]", "Item1="});
    Load();
    EXPECT_TRUE(Logged("DDE-Item Nr.1 fehlt !"));
    EXPECT_FALSE(state_.settings.configValid);
    EXPECT_EQ(state_.window.it1.size(), 1u);
}

TEST_F(LoaderTest, ItemCountIsCutTo180WithAMessageOnlyAbove180) {
    PutIni({"[DDE]", "Itemcount=10000"});
    Load();
    EXPECT_EQ(state_.settings.itemCount, 180);
    EXPECT_EQ(state_.settingsForm.spItems, 180);
    EXPECT_EQ(Shown(), Lines{"MESSAGE Sie haben mehr als 180 Items definiert !"});
    // Item 1 is undefined, so the pass stops there.
    EXPECT_TRUE(Logged("DDE-Item Nr.1 fehlt !"));

    PutIni({"[DDE]", "Itemcount=180"});
    Load();
    EXPECT_EQ(state_.settings.itemCount, 180);
    EXPECT_EQ(Shown().size(), 1u);
}

TEST_F(LoaderTest, FullItemListLoadsEveryItem) {
    Lines ini = {"[DDE]", "Itemcount=180", "varini-Skalierung=1", "[Items]"};
    for (int n = 1; n <= 180; ++n) {
        ini.push_back("Item" + std::to_string(n) + "=S" + std::to_string(n));
    }
    PutIni(ini);
    Load();
    EXPECT_TRUE(state_.settings.configValid);
    EXPECT_EQ(state_.window.it1.size(), 180u);
    EXPECT_EQ(Item(180).serverItem, "S180");
    EXPECT_EQ(Record(180).itemName, "undefiniert_180");
    EXPECT_EQ(Read(kMainIniFile, "GrafikEinheit", "Item180"), "");
    EXPECT_TRUE(Shown().empty());
}

TEST_F(LoaderTest, NoItemsIsReportedAndSwitchesAutoStartOff) {
    PutIni({"[DDE]", "Itemcount=0", "AutoStart=1"});
    Load();
    EXPECT_EQ(Shown(), Lines{"MESSAGE Keine Items definiert !"});
    EXPECT_FALSE(state_.settings.configValid);
    EXPECT_FALSE(state_.settings.autoStart);

    PutIni({"[DDE]", "Itemcount=1", "AutoStart=1", "[Items]", "Item1=A"});
    Load();
    EXPECT_EQ(Shown().size(), 1u);
    EXPECT_TRUE(state_.settings.configValid);
    EXPECT_TRUE(state_.settings.autoStart);
}

TEST_F(LoaderTest, UnknownSourceKindEndsTheLoad) {
    PutIni({"[DDE]", "Itemcount=1", "Tarveget=0", "[Items]", "Item1=A"});
    Load(static_cast<SourceKind>(5));
    EXPECT_EQ(LogTexts().back(), "Fehler. DDE-Typ = 5 !");
    EXPECT_EQ(state_.settings.itemCount, 0);
    EXPECT_TRUE(state_.settings.diaryOutput);
    EXPECT_FALSE(state_.settings.configValid);
    EXPECT_TRUE(state_.window.it1.empty());
}

TEST_F(LoaderTest, CustomDayChangeTime) {
    PutIni({"[DDE]", "CustomIni=1", "CustomNewDay=1", "CustomTime=05:30"});
    Load();
    EXPECT_TRUE(state_.settings.customDayChange);
    EXPECT_TRUE(state_.settings.customNewDay);
    EXPECT_DOUBLE_EQ(state_.settings.customDayChangeTime, 5.5 / 24);
    EXPECT_EQ(state_.settingsForm.eTini, "05:30");
    EXPECT_TRUE(state_.settingsForm.cbIni);

    PutIni({"[DDE]", "CustomIni=1", "CustomTime=halb sechs"});
    Load();
    EXPECT_FALSE(state_.settings.customDayChange);
    EXPECT_FALSE(state_.settingsForm.cbIni);
    EXPECT_EQ(state_.settingsForm.eTini, "00:00:00");

    PutIni({"[DDE]", "CustomIni=0", "CustomTime=05:30"});
    Load();
    EXPECT_FALSE(state_.settings.customDayChange);
    EXPECT_EQ(state_.settingsForm.eTini, "00:00:00");
}

TEST_F(LoaderTest, IntervalSettingsAndTheCycleTimer) {
    timer_->SetEnabled(true);
    PutIni({"[DDE]", "Intervall=5", "Einheit=2", "Puffer=8", "[Gleitend]", "Puffer=500",
            "Intervall=30"});
    Load();
    EXPECT_EQ(state_.settings.intervalUnit, 0);
    EXPECT_EQ(state_.settingsForm.coIntervall, 0);
    EXPECT_EQ(state_.settings.cycleIntervalMs, 5000);
    EXPECT_EQ(timer_->Interval(), 5000);
    EXPECT_TRUE(timer_->Enabled());
    EXPECT_EQ(state_.settings.movingBufferSize, 360);
    EXPECT_EQ(state_.settingsForm.spGleit, 360);
    EXPECT_EQ(state_.settings.movingIntervalMs, 30000);
    EXPECT_EQ(state_.settingsForm.spGleitIntervall, 30);
    EXPECT_EQ(state_.settings.bufferSize, 8);
    EXPECT_EQ(state_.settingsForm.spPuffer, 8);

    PutIni({"[DDE]", "Intervall=0", "Einheit=1", "[Gleitend]", "Puffer=359"});
    Load();
    EXPECT_EQ(state_.settings.intervalCount, 0);
    EXPECT_EQ(state_.settingsForm.spIntervall, 1);
    EXPECT_EQ(state_.settings.cycleIntervalMs, 60000);
    EXPECT_EQ(state_.settings.movingBufferSize, 359);
}

TEST_F(LoaderTest, MovingIntervalFallsBackWhenTheMillisecondsOverflow) {
    PutIni({"[Gleitend]", "Intervall=2147483"});
    Load();
    EXPECT_EQ(state_.settings.movingIntervalMs, 2147483000);
    PutIni({"[Gleitend]", "Intervall=2147484"});
    Load();
    EXPECT_EQ(state_.settings.movingIntervalMs, 10000);
    PutIni({"[Gleitend]", "Intervall=-2147484"});
    Load();
    EXPECT_EQ(state_.settings.movingIntervalMs, 10000);
}

TEST_F(LoaderTest, ApplyCycleIntervalStopsTheTimerAndRunsHoursEveryMinute) {
    timer_->SetEnabled(true);
    state_.settingsForm.spIntervall = 2;
    state_.settingsForm.coIntervall = 2;
    ApplyCycleInterval(state_);
    EXPECT_FALSE(timer_->Enabled());
    EXPECT_EQ(state_.settings.cycleIntervalMs, 60000);
    EXPECT_EQ(timer_->Interval(), 60000);

    state_.settingsForm.spIntervall = -3;
    state_.settingsForm.coIntervall = 0;
    ApplyCycleInterval(state_);
    EXPECT_EQ(state_.settingsForm.spIntervall, 1);
    EXPECT_EQ(state_.settings.cycleIntervalMs, 1000);

    state_.settingsForm.spIntervall = 59;
    state_.settingsForm.coIntervall = 1;
    ApplyCycleInterval(state_);
    EXPECT_EQ(state_.settings.cycleIntervalMs, 3540000);

    // More minutes than the timer can count: the longest interval it can run.
    state_.settingsForm.spIntervall = 40000;
    ApplyCycleInterval(state_);
    EXPECT_EQ(state_.settings.cycleIntervalMs, 2147483647);
}

TEST_F(LoaderTest, CounterStateIsReadAndWrittenBackWithThreeDecimals) {
    PutIni({"[DDE]", "Itemcount=3"});
    Put(kCounterIniFile, {"[Item_1]", "Zählerstand=1234,5", "Fortlaufend_summieren=1", "[Item_2]",
                          "Zählerstand=12.5", "Tagesmengen_protokollieren=0"});
    Load();
    EXPECT_DOUBLE_EQ(Item(1).counterReading, 1234.5);
    EXPECT_TRUE(Item(1).Fortlaufend_summieren);
    EXPECT_TRUE(Item(1).Tagesmengen_protokollieren);
    EXPECT_EQ(Read(kCounterIniFile, "Item_1", "Zählerstand"), "1234,500");
    EXPECT_EQ(Read(kCounterIniFile, "Item_1", "Fortlaufend_summieren"), "1");
    EXPECT_EQ(Read(kCounterIniFile, "Item_1", "Tagesmengen_protokollieren"), "1");
    EXPECT_EQ(Item(2).counterReading, 0.0);
    EXPECT_EQ(Read(kCounterIniFile, "Item_2", "Zählerstand"), "0,000");
    EXPECT_EQ(Read(kCounterIniFile, "Item_2", "Tagesmengen_protokollieren"), "0");
    EXPECT_EQ(Read(kCounterIniFile, "Item_3", "Fortlaufend_summieren"), "0");
    EXPECT_EQ(Read(kCounterIniFile, "Item_4", "Zählerstand"), "<none>");
}

TEST_F(LoaderTest, ExtraneousWaterKeysAreLoggedAndWrittenBack) {
    PutIni({"[Fremdwasser]", "ZulaufMin_ls_index=4", "Zulauf_EwInd_ls=2.125"});
    Load();
    EXPECT_EQ(state_.settings.extraneousWater.ZulaufMin_ls_index, 4);
    EXPECT_DOUBLE_EQ(state_.settings.extraneousWater.Zulauf_EwInd_ls, 2.125);
    EXPECT_EQ(LogTexts().front(),
              "Fremdwasserberechnung: Geschätzter Nachtzulauf EW+Ind in l/s = 2,13");
    EXPECT_EQ(Read(kMainIniFile, "Fremdwasser", "Zulauf_EwInd_ls"), "2,125");
    EXPECT_EQ(Read(kMainIniFile, "Fremdwasser", "ZulaufSumme_qbm_index"), "0");

    log_.MessageList().Clear();
    PutIni({"[Fremdwasser]", "Zulauf_EwInd_ls=viel"});
    Load();
    EXPECT_DOUBLE_EQ(state_.settings.extraneousWater.Zulauf_EwInd_ls, 1.0);
    EXPECT_EQ(LogTexts().front(), "Fehlerhafter Wert für [Fremdwasser] Zulauf_EwInd_ls  !");
    EXPECT_EQ(Read(kMainIniFile, "Fremdwasser", "Zulauf_EwInd_ls"), "1");
}

TEST_F(LoaderTest, ProtocolOrderUsesTheItemCountKnownBeforeTheLoad) {
    state_.settings.itemCount = 3;
    PutIni({"[DDE]", "Itemcount=5"});
    Load();
    EXPECT_EQ(state_.protocolOrder[1], 1);
    EXPECT_EQ(state_.protocolOrder[3], 3);
    EXPECT_EQ(state_.protocolOrder[4], -1);
    EXPECT_EQ(state_.protocolOrder[180], -1);

    Put("ProtoReihe.TVW", {"3", "x", "9", "0", "-2"});
    Load();  // item count now 5 from the last load
    EXPECT_EQ(state_.protocolOrder[1], 3);
    EXPECT_EQ(state_.protocolOrder[2], 2);
    EXPECT_EQ(state_.protocolOrder[3], 1);
    EXPECT_EQ(state_.protocolOrder[4], 0);
    EXPECT_EQ(state_.protocolOrder[5], 1);
    EXPECT_EQ(state_.protocolOrder[6], -1);

    Put("ProtoReihe.TVW", {"4"});  // shorter than the item list
    Load();
    EXPECT_EQ(state_.protocolOrder[1], 4);
    EXPECT_EQ(state_.protocolOrder[2], 2);
    EXPECT_EQ(state_.protocolOrder[5], 5);
}

TEST_F(LoaderTest, StartAndOutputKeys) {
    PutIni({"[DDE]", "Itemcount=1", "Server=PLS", "Topic=Werte", "RohdatenSpeichern=1",
            "Tarveview=0", "Drucker=-1", "Drucken=1", "[OPC]", "Server=Plant.OPC.1", "[Items]",
            "Item1=A"});
    Load();
    EXPECT_TRUE(state_.settings.autoStart);
    EXPECT_TRUE(state_.settingsForm.cbAutoStart);
    EXPECT_EQ(state_.settingsForm.eService, "PLS");
    EXPECT_EQ(state_.settings.ddeTopic, "Werte");
    EXPECT_EQ(state_.settings.opcServer, "Plant.OPC.1");
    EXPECT_TRUE(state_.settingsForm.cbRohSpeichern);
    EXPECT_FALSE(state_.settings.viewerOutput);
    EXPECT_FALSE(state_.settings.printAtMidnight);
    EXPECT_FALSE(state_.settingsForm.cbDruck);

    PutIni({"[DDE]", "Drucker=0", "Drucken=1"});
    Load();
    EXPECT_TRUE(state_.settings.printAtMidnight);
    EXPECT_TRUE(state_.settingsForm.cbDruck);
}

TEST_F(LoaderTest, AqasysModeTakesItsItemsFromTheParameterLists) {
    PutIni({"[DDE]", "Itemcount=2", "AutoStart=1", "Drucker=0", "Drucken=1"});
    Load(SourceKind::Aqasys);
    EXPECT_FALSE(Exists(kCounterIniFile));  // counter state is not touched
    EXPECT_EQ(Shown(), Lines{"MESSAGE Keine AQASYS DDE-Items definiert !"});
    EXPECT_FALSE(state_.settings.configValid);
    EXPECT_FALSE(state_.settings.autoStart);
    EXPECT_FALSE(state_.settings.permanentMode);
    EXPECT_FALSE(state_.settingsForm.spItemsEnabled);
    EXPECT_FALSE(state_.settingsForm.cbTarveViewEnabled);
    EXPECT_FALSE(state_.settingsForm.cbDruck);
    EXPECT_FALSE(state_.settings.printAtMidnight);

    Put("AQASYSITEMS.TXT", {"P101", "", "P205"});
    Put("AQASYSNAMES.TXT", {"Zulauf", "-", "Säure"});
    Load(SourceKind::Aqasys);
    EXPECT_EQ(Shown().size(), 1u);
    EXPECT_TRUE(state_.settings.configValid);
    EXPECT_EQ(state_.aqasysCodes, (Lines{"P101", "P205"}));
    EXPECT_EQ(state_.aqasysNames, (Lines{"Zulauf", "Säure"}));
    EXPECT_EQ(state_.dialogLists.diaryItemChoice, (Lines{"undefiniert", "Zulauf", "Säure"}));
}

TEST_F(LoaderTest, MissingStateFilesAreCreatedOnlyWhenMissing) {
    int configFiles = 0;
    int nightFiles = 0;
    state_.stateFileHooks.createConfigFile = [&] { ++configFiles; };
    state_.stateFileHooks.createNightFile = [&] { ++nightFiles; };
    PutIni({"[DDE]", "Itemcount=0"});
    Load();
    EXPECT_EQ(configFiles, 1);
    EXPECT_EQ(nightFiles, 1);

    PutBytes("TARVEDDE.COF", "x");
    PutBytes("TARVEDDE_NACHT.TVW", "x");
    Load();
    EXPECT_EQ(configFiles, 1);
    EXPECT_EQ(nightFiles, 1);

    Load(SourceKind::Aqasys);
    EXPECT_EQ(configFiles, 1);
}

TEST_F(LoaderTest, BadLimitEndsTheItemPartWithAMessage) {
    PutIni({"[DDE]", "Itemcount=2", "[Items]", "Item1=A", "Item2=B", "[UpLimit]", "Item1=1.5e3",
            "Item2=hoch"});
    Load();
    EXPECT_DOUBLE_EQ(Item(1).UpLimit, 1500.0);
    EXPECT_EQ(Shown(), Lines{"MESSAGE Fehler beim Ausführen der .INI-Datei !"});
    EXPECT_EQ(state_.dialogLists.itemNames, Lines{"undefiniert_1"});
    // Nothing is rolled back: the item part had set configValid before the failure.
    EXPECT_TRUE(state_.settings.configValid);
}

TEST_F(LoaderTest, UnwritableMainIniEndsTheItemPartWithAMessage) {
    PutIni({"[DDE]", "Itemcount=1", "[Items]", "Item1=A"});
    files_.SetFailurePolicy(
        [](FileOp op, const std::string&) { return op == FileOp::Write || op == FileOp::Rename; });
    Load();
    EXPECT_EQ(Shown(), Lines{"MESSAGE Fehler beim Ausführen der .INI-Datei !"});
    EXPECT_EQ(Item(1).serverItem, "A");
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
    for (const std::string& bytes : contents) {
        PutBytes(kMainIniFile, bytes);
        Load(SourceKind::Opc);
        LoadItemOptions(state_);
        EXPECT_GE(state_.settings.itemCount, 0);
        EXPECT_LE(state_.settings.itemCount, 180);

        PutBytes(kMainIniFile, tableIni);
        for (const char* file : others) {
            PutBytes(file, bytes);
        }
        Load(SourceKind::Opc);
        LoadItemOptions(state_);
        EXPECT_EQ(state_.settings.itemCount, 2);
        EXPECT_LE(state_.tables[1].pointCount, 50);
    }
}

TEST_F(LoaderTest, UnreadableFilesGiveDefaults) {
    PutIni({"[DDE]", "Itemcount=2", "[Items]", "Item1=A", "Item2=B"});
    Put(kCalibrationIniFile, {"[undefiniert_1]", "M=2"});
    files_.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op == FileOp::Read && path.find("EICH") != std::string::npos;
    });
    Load();
    EXPECT_TRUE(state_.settings.configValid);
    EXPECT_EQ(Item(1).calibrationSlope, 1.0);
    EXPECT_TRUE(Shown().empty());
}

}  // namespace
}  // namespace tarvedde
