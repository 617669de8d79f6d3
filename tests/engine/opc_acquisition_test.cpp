// An OPC installation on an in-memory OPC server: the value texts the cycle gets and the
// watchdog that restarts a silent connection and ends the program after a series.
#include "platform/number_format.h"
#include "sources/in_memory_opc_server.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::AllOf;
using ::testing::AnyOf;
using ::testing::DoubleNear;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::SizeIs;

constexpr char kItems[] =
    "[DDE]\nItemcount=2\nIntervall=10\nAutoStart=1\nAktuTag=05.03.2024\nTarveget=0\n"
    "[Items]\nItem1=Plant.Pumpe\nItem2=Plant.Zulauf\n[Grafiktyp]\nItem1=2\n"
    "[OPC]\nServer=Plant.Sim.1\n";
constexpr char kRestart[] = "OPC_tot ! Neustart der OPC-Verbindung...";
constexpr char kLost[] = "*** OPC-Verbindung unterbrochen ! Keine Messwerte bis zum Neustart.";
constexpr char kBetween[] = "Zeit[s] zwischen zwei Ausfällen: ";

class OpcAcquisitionTest : public EngineFixture {
protected:
    ~OpcAcquisitionTest() override { main_.reset(); }  // the server outlives the client
    void Begin(const std::string& opcKeys = "") {
        env_.host.opc = &transport_;
        transport_.AddServer(server_);
        server_.SetValue("Plant.Pumpe", OpcValue{});
        server_.SetValue("Plant.Zulauf", OpcValue{});
        Write("DDE-Wache.exe", "");
        WriteIni(kItems + opcKeys);
        Start(SourceKind::Opc);
    }
    void Set(const std::string& item, OpcValue value) {
        server_.SetValue(item, std::move(value));
        server_.DeliverChanges();
    }
    std::string CloseCount() { return IniValue(kMainIniFile, "OPC", "OPC_Close_Count"); }
    // The seconds between failures the log names, in order.
    std::vector<double> Gaps() const {
        std::vector<double> gaps;
        for (const std::string& line : LogLines()) {
            if (line.starts_with(kBetween)) {
                gaps.push_back(StrToFloat(line.substr(std::string(kBetween).size())).value());
            }
        }
        return gaps;
    }

    InMemoryOpcServer server_{"Plant.Sim.1"};
    InMemoryOpcTransport transport_;
};

TEST_F(OpcAcquisitionTest, DigitalWordsBecomeOneOrZeroAndDecimalsTakeTheLocalesComma) {
    Begin();
    const std::pair<OpcValue, const char*> digital[] = {{true, "1"},
                                                        {std::string("On"), "1"},
                                                        {std::string("ein"), "1"},
                                                        {-1, "1"},
                                                        {std::string("WAHR"), "1"},
                                                        {std::string("AUS"), "0"},
                                                        {false, "0"},
                                                        {0, "0"},
                                                        {2, "0"}};
    for (const auto& [value, text] : digital) {
        Set("Plant.Pumpe", value);
        EXPECT_EQ(Source(1).newestText, text) << OpcValueText(value);
    }
    Set("Plant.Zulauf", 12.5);
    EXPECT_EQ(Source(2).newestText, "12,5");
    EXPECT_THAT(Window().it1[1].columns, ElementsAre("12,5", OpcQualityText(192), "07:00:00"));
    Advance(10000);  // the cycle reads the OPC texts as it reads DDE texts
    EXPECT_EQ(Stats(2).maximum, 12.5);
    // A communication failure's empty bad value is no value, nor is the last good one.
    server_.SetValue("Plant.Zulauf", OpcValue{}, 0x18);
    server_.DeliverChanges();
    Advance(10000);
    EXPECT_EQ(Source(2).newestText, "");
    EXPECT_THAT(Window().it1[1].columns[1], ::testing::StartsWith("Bad"));
    EXPECT_EQ(Stats(2).currentValue, 12.5);
    EXPECT_EQ(Stats(2).count, 1.0);
}

// An integral item flagged for the difference export integrates as any other: in
// maintenance the held value goes on, whatever the counter does.
TEST_F(OpcAcquisitionTest, AnIntegralFlaggedForTheDifferenceExportHoldsItsValueInMaintenance) {
    Begin("[Integral]\nItem2=1\n");
    Flags(2).logCounterDifference = true;
    Set("Plant.Zulauf", 10.0);
    Item(2).maintenanceOn = true;
    for (const double value : {20.0, 30.0}) {
        Advance(10000);
        Set("Plant.Zulauf", value);
    }
    EXPECT_EQ(Integration(2).runningSum, 200.0);
}

// A bad value ends the integral's sample chain: the time without a measurement adds
// nothing, and the next good value starts it again.
TEST_F(OpcAcquisitionTest, ABadValueStopsTheIntegralUntilAGoodOne) {
    Begin("[Integral]\nItem2=1\n");
    Set("Plant.Zulauf", 10.0);
    Advance(10000);
    server_.SetValue("Plant.Zulauf", OpcValue{}, 0x18);
    server_.DeliverChanges();
    Advance(20000);
    Set("Plant.Zulauf", 10.0);
    EXPECT_EQ(Integration(2).runningSum, 100.0);
}

// An item gone from the server after a reconnect has no value from then on, and its
// integral ends at the reconnect instead of holding the last value for good.
TEST_F(OpcAcquisitionTest, AnItemGoneAtAWatchdogRestartLosesItsValueAndItsIntegralEnds) {
    Begin("[Integral]\nItem2=1\n");
    Set("Plant.Zulauf", 10.0);
    server_.RemoveItem("Plant.Zulauf");
    Advance(180000);
    ASSERT_TRUE(Logged(kRestart));
    EXPECT_TRUE(Logged("Achtung ! Nur 1 von 2 Werten werden übertragen."));
    EXPECT_EQ(Source(2).newestText, "");
    Advance(600000);
    EXPECT_EQ(IntegralUpTo(Item(2), Integration(2), env_.clock.Now(), env_.clock.ElapsedMs()),
              1800.0);
}

// A data change restarts the countdown; silence for 180 s is one failure: the outside
// watchdog is started unless it runs, the operator is warned, acquisition starts again.
TEST_F(OpcAcquisitionTest, WatchdogFiresAfter180SilentSecondsAndRestartsTheConnection) {
    Begin();
    Advance(100000);
    Set("Plant.Zulauf", 3.0);
    Advance(179000);
    EXPECT_FALSE(Logged(kRestart));
    Advance(1000);
    EXPECT_TRUE(Logged(kRestart));
    EXPECT_THAT(env_.shell.Started(),
                ElementsAre(RecordingShell::StartedProgram{"/plant/DDE-Wache.exe", {}}));
    EXPECT_EQ(CloseCount(), "4");
    EXPECT_TRUE(Gaps().empty());
    EXPECT_FALSE(Main().Stopped());
    EXPECT_THAT(Main().WarningWindow().lb1().Lines(),
                ElementsAre("Achtung! Die Verbindung zum OPC-Server ist unterbrochen.",
                            "Beenden Sie dieses Programm und starten Sie es neu.",
                            AnyOf("** Zeit: 07:04:30 Uhr", "** Zeit: 07:04:40 Uhr"),
                            "Das Programm wird nach 3 Versuchen automatisch",
                            "beendet und über die DDE-Wache neu gestartet."));
    EXPECT_EQ(Main().WarningWindow().Caption(), " Fehler bei OPC-Datenübertragung !");
    Set("Plant.Zulauf", 4.5);  // over the new connection
    EXPECT_EQ(Source(2).newestText, "4,5");

    Write("$_wache", "");
    Advance(180000);
    EXPECT_EQ(env_.shell.Started().size(), 1u);
    EXPECT_EQ(CloseCount(), "3");

    // A stop the operator takes back leaves the watchdog on.
    env_.person.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(Main().ButtonClick("btStoppen"));
    EXPECT_FALSE(Main().Stopped());
    Advance(180000);
    EXPECT_EQ(CloseCount(), "2");
}

// Unchanged values make the watchdog restart every 180 s, each time with a cycle at once:
// a pump that runs counts the time that passed, not an interval more each restart.
TEST_F(OpcAcquisitionTest, OperatingHoursCountTheTimeThatPassedOverWatchdogRestarts) {
    Begin("OPC_tot-Sekunden=175\n");  // between two cycles of 10 s
    Set("Plant.Pumpe", true);
    Advance(400000);
    const Lines log = LogLines();
    ASSERT_EQ(std::count(log.begin(), log.end(), kRestart), 2);
    EXPECT_NEAR(Stats(1).count, 400.0 / 3600.0, 1e-9);  // the first cycle's interval
}

// The browse dialog's test takes the first 180 identifiers, as many as the tables hold.
TEST_F(OpcAcquisitionTest, ATestWithMoreIdentifiersThanItemsTakesTheFirst180) {
    Begin();
    std::vector<std::string> ids;
    for (int n = 1; n <= maxItems + 20; ++n) {
        ids.push_back("Plant.Item" + std::to_string(n));
    }
    Main().UseOpcItemsForTest(ids);
    EXPECT_EQ(Settings().itemCount, maxItems);
    EXPECT_EQ(Main().Window().it1.size(), static_cast<std::size_t>(maxItems));
    EXPECT_TRUE(Logged("Nur die ersten 180 von 200 Items werden getestet."));
}

// Each failure of a series logs the seconds since the previous; the fifth ends the
// program. A failure more than half an hour after the previous starts a new series.
TEST_F(OpcAcquisitionTest, FiveFailuresInASeriesEndTheProgramAndAPauseStartsTheSeriesAnew) {
    Begin("OPC_tot-Sekunden=10\n");
    Advance(40000);
    EXPECT_EQ(CloseCount(), "1");
    EXPECT_FALSE(Main().CloseRequested());
    Advance(10000);
    EXPECT_EQ(CloseCount(), "0");
    EXPECT_TRUE(Logged("OPC-Verbindung abgebrochen. Programm wird automatisch beendet."));
    EXPECT_TRUE(Main().CloseRequested());
    EXPECT_THAT(Gaps(), AllOf(SizeIs(4), Each(DoubleNear(10.0, 0.01))));

    WriteIni(std::string(kItems) + "OPC_tot-Sekunden=1860\n");
    Restart(SourceKind::Opc);
    Advance(2 * 1860 * 1000);
    EXPECT_NEAR(Gaps().back(), 1860.0, 0.01);
    EXPECT_EQ(CloseCount(), "4");

    WriteIni(std::string(kItems) + "OPC_tot-Sekunden=0\n");
    Restart(SourceKind::Opc);
    EXPECT_TRUE(Logged("OPC_tot-Sekunden=0 ungültig, es gilt 180."));
    Advance(170000);
    EXPECT_EQ(CloseCount(), "5");  // the series anew, no failure in it
}

// Without a server, or with one that refused the group, the last value is no measurement:
// no cycle counts it and no moving average samples it until the watchdog has connected
// again. The operator reads it once.
TEST_F(OpcAcquisitionTest, NoCycleRunsWhileTheServerIsGone) {
    Begin("[Gleitend]\nPuffer=100\nIntervall=10\nItem2=1\n");
    Set("Plant.Zulauf", 12.5);
    Advance(20000);
    const double counted = Stats(2).count;
    const int sampled = Main().MovingAveragesOf().States()[2].ringIndex;
    ASSERT_GT(counted, 0.0);
    server_.RequestShutdown("Wartung");
    server_.FailNext("AddGroup", kEFail);
    Advance(150000);
    EXPECT_EQ(Stats(2).count, counted);
    Advance(30000);  // the watchdog's restart, 180 s after the last data change: no group
    EXPECT_TRUE(Logged(kRestart));
    Advance(150000);
    EXPECT_EQ(Stats(2).count, counted);
    EXPECT_EQ(Main().MovingAveragesOf().States()[2].ringIndex, sampled);
    EXPECT_EQ(std::ranges::count(LogLines(), std::string(kLost)), 1);
    Advance(20000);  // the second restart gets its group
    EXPECT_GT(Stats(2).count, counted);
}

TEST_F(OpcAcquisitionTest, ProgramEndKeepsTheLoggingFlagsAndHeadsItsStatistics) {
    Begin();
    Advance(10000);
    Main().StopAcquisition();
    Main().FormClose();
    EXPECT_NE(Read("ddeLogKonfig.tvw"), "<missing>");
    EXPECT_THAT(Read("20240305.RTF"), HasSubstr("Programmende: Zwischen-Statistik"));
}

TEST_F(OpcAcquisitionTest, AnItemTheServerDoesNotKnowIsLoggedAsNotTransferred) {
    env_.host.opc = &transport_;
    transport_.AddServer(server_);
    server_.SetValue("Plant.Zulauf", OpcValue{});
    WriteIni(kItems);
    Start(SourceKind::Opc);
    EXPECT_TRUE(Logged("Achtung ! Nur 1 von 2 Werten werden übertragen."));
}

TEST_F(OpcAcquisitionTest, StartWithoutServerSaysSoAndAServerRefusalLeavesItToTheWatchdog) {
    WriteIni("[DDE]\nItemcount=1\nAutoStart=1\n[Items]\nItem1=X\n");
    Start(SourceKind::Opc);
    EXPECT_TRUE(Logged("**** Warnung : DDE-Wache.exe nicht vorhanden !"));
    EXPECT_TRUE(Logged("Kein OPC-Server gewählt !"));
    EXPECT_TRUE(Main().Stopped());

    WriteIni("[DDE]\nItemcount=1\nAutoStart=1\n[Items]\nItem1=X\n[OPC]\nServer=Other\n");
    Restart(SourceKind::Opc);
    EXPECT_TRUE(Logged("*** OPCclient.Connect/ConnectGroups : Fehler !"));
    EXPECT_FALSE(Main().Stopped());
    EXPECT_TRUE(Main().TimerOpcTot().Enabled());
}

}  // namespace
}  // namespace tarvedde::testing
