// An OPC installation on an in-memory OPC server: the value texts the cycle gets, the
// start's checks, and the watchdog that restarts a silent connection and ends the program
// after a series of failures.
#include "platform/number_format.h"
#include "sources/in_memory_opc_server.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::AnyOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kItems[] =
    "[DDE]\nItemcount=2\nIntervall=10\nAutoStart=1\nAktuTag=05.03.2024\nTarveget=0\n"
    "[Items]\nItem1=Plant.Pumpe\nItem2=Plant.Zulauf\n[Itemnames]\nItem1=Pumpe\nItem2=Zulauf\n"
    "[Grafiktyp]\nItem1=2\n";
constexpr char kRestart[] = "OPC_tot ! Neustart der OPC-Verbindung...";
constexpr char kBetween[] = "Zeit[s] zwischen zwei Ausfällen: ";

class OpcAcquisitionTest : public EngineFixture {
protected:
    OpcAcquisitionTest() {
        env_.host.opc = &transport_;
        transport_.AddServer(server_);
        server_.SetValue("Plant.Pumpe", OpcValue{});
        server_.SetValue("Plant.Zulauf", OpcValue{});
    }
    // The server outlives the program's client.
    ~OpcAcquisitionTest() override { main_.reset(); }
    // `opc` is the [OPC] section's body.
    void Begin(const std::string& opc = "Server=Plant.Sim.1\n", bool watchdogProgram = true) {
        if (watchdogProgram) {
            Write("DDE-Wache.exe", "");
        }
        WriteIni(std::string(kItems) + "[OPC]\n" + opc);
        Start(SourceKind::Opc);
    }
    void Set(const std::string& item, OpcValue value) {
        server_.SetValue(item, std::move(value));
        server_.DeliverChanges();
    }
    int Count(const std::string& line) const {
        const Lines all = LogLines();
        return static_cast<int>(std::count(all.begin(), all.end(), line));
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
    ASSERT_TRUE(Logged("OPC-Datenerfassung gestartet."));
    struct Case {
        const char* item;
        OpcValue value;
        const char* text;
    };
    const Case cases[] = {
        {"Plant.Pumpe", true, "1"},
        {"Plant.Pumpe", std::string("On"), "1"},
        {"Plant.Pumpe", std::string("ein"), "1"},
        {"Plant.Pumpe", std::int32_t{-1}, "1"},
        {"Plant.Pumpe", std::string("WAHR"), "1"},
        {"Plant.Pumpe", std::string("AUS"), "0"},
        {"Plant.Pumpe", false, "0"},
        {"Plant.Pumpe", std::int32_t{0}, "0"},
        {"Plant.Pumpe", std::int32_t{2}, "0"},
        {"Plant.Zulauf", 12.5, "12,5"},
        {"Plant.Zulauf", std::string("on"), "on"},
    };
    for (const Case& c : cases) {
        Set(c.item, c.value);
        const int item = std::string(c.item) == "Plant.Pumpe" ? 1 : 2;
        EXPECT_EQ(Source(item).newestText, c.text) << c.item << " " << OpcValueText(c.value);
    }
    // The list shows what the server sent, with the quality's text and the local time.
    Set("Plant.Zulauf", 7.25);
    Set("Plant.Pumpe", true);
    EXPECT_EQ(Window().it1[1].columns[0], "7,25");
    EXPECT_EQ(Window().it1[1].columns[1], OpcQualityText(kOpcQualityGood));
    EXPECT_EQ(Window().it1[1].columns[2], "07:00:00");
    EXPECT_EQ(Window().it1[0].columns[0], "True");
    // The cycle reads the OPC texts as it reads DDE texts.
    Advance(10000);
    EXPECT_EQ(Stats(2).maximum, 7.25);
}

// A data change restarts the countdown; silence for the configured time is one failure:
// the outside watchdog is started unless it runs, acquisition starts again and the
// warning window tells the operator. A first failure has no time since the previous one.
TEST_F(OpcAcquisitionTest, WatchdogFiresAfter180SilentSecondsAndRestartsTheConnection) {
    Begin();
    Advance(100000);
    Set("Plant.Zulauf", 3.0);
    Advance(179000);
    EXPECT_FALSE(Logged(kRestart));
    Advance(1000);
    EXPECT_EQ(Count(kRestart), 1);
    EXPECT_THAT(env_.shell.Started(),
                ElementsAre(RecordingShell::StartedProgram{"/plant/DDE-Wache.exe", {}}));
    EXPECT_EQ(CloseCount(), "4");
    EXPECT_THAT(LogAll(), Not(HasSubstr(kBetween)));
    EXPECT_EQ(Count("OPC-Datenerfassung gestartet."), 2);
    EXPECT_FALSE(Main().Stopped());
    EXPECT_TRUE(Main().TimerOpcTot().Enabled());
    const WarningWindowModel& warning = Main().WarningWindow();
    EXPECT_TRUE(warning.Visible());
    EXPECT_EQ(warning.Caption(), " Fehler bei OPC-Datenübertragung !");
    EXPECT_THAT(warning.lb1().Lines(),
                ElementsAre("Achtung! Die Verbindung zum OPC-Server ist unterbrochen.",
                            "Beenden Sie dieses Programm und starten Sie es neu.",
                            AnyOf("** Zeit: 07:04:30 Uhr", "** Zeit: 07:04:40 Uhr"),
                            "Das Programm wird nach 3 Versuchen automatisch",
                            "beendet und über die DDE-Wache neu gestartet."));
    // The new connection delivers again.
    Set("Plant.Zulauf", 4.5);
    EXPECT_EQ(Source(2).newestText, "4,5");

    // While the outside watchdog runs it is not started again.
    Write("$_wache", "");
    Advance(180000);
    EXPECT_EQ(Count(kRestart), 2);
    EXPECT_EQ(env_.shell.Started().size(), 1u);
    EXPECT_EQ(CloseCount(), "3");
}

// Failures in a series end the program at the fifth, each logging the seconds since the
// previous; one more than half an hour after the previous starts the series anew.
TEST_F(OpcAcquisitionTest, FiveFailuresInASeriesEndTheProgramAndAPauseStartsTheSeriesAnew) {
    Begin("Server=Plant.Sim.1\nOPC_tot-Sekunden=10\n");
    for (int failure = 1; failure <= 4; ++failure) {
        Advance(10000);
        EXPECT_EQ(CloseCount(), std::to_string(5 - failure));
        EXPECT_FALSE(Main().CloseRequested());
    }
    const std::vector<double> gaps = Gaps();
    ASSERT_EQ(gaps.size(), 3u);
    for (double gap : gaps) {
        EXPECT_NEAR(gap, 10.0, 0.01);
    }
    Advance(10000);
    EXPECT_EQ(CloseCount(), "0");
    EXPECT_TRUE(Logged("OPC-Verbindung abgebrochen. Programm wird automatisch beendet."));
    EXPECT_TRUE(Main().CloseRequested());
    EXPECT_TRUE(Main().FormClose());

    WriteIni(std::string(kItems) + "[OPC]\nServer=Plant.Sim.1\nOPC_tot-Sekunden=1860\n");
    Restart(SourceKind::Opc);
    Advance(31 * 60 * 1000);
    EXPECT_EQ(CloseCount(), "4");
    Advance(31 * 60 * 1000);
    ASSERT_EQ(Gaps().size(), 5u);  // one more for the fifth failure above
    EXPECT_NEAR(Gaps().back(), 1860.0, 0.01);
    EXPECT_EQ(CloseCount(), "4");
    EXPECT_FALSE(Main().CloseRequested());
}

TEST_F(OpcAcquisitionTest, StartWithoutServerOrWatchdogProgramSaysSo) {
    Begin("", false);
    EXPECT_TRUE(Logged("**** Warnung : DDE-Wache.exe nicht vorhanden !"));
    EXPECT_TRUE(Logged("Kein OPC-Server gewählt !"));
    EXPECT_THAT(Transcript(), Contains(HasSubstr("Kein OPC-Server gewählt !")));
    EXPECT_TRUE(server_.Groups().empty());
    EXPECT_TRUE(Main().Stopped());

    // A server the host does not have: the start goes on without data and the watchdog
    // takes over.
    WriteIni(std::string(kItems) + "[OPC]\nServer=Other.Sim\n");
    Restart(SourceKind::Opc);
    EXPECT_TRUE(Logged("*** OPCclient.Connect/ConnectGroups : Fehler !"));
    EXPECT_FALSE(Main().Stopped());
    EXPECT_TRUE(Main().TimerOpcTot().Enabled());
}

// The operator's stop disconnects the group and the client; the server keeps nothing.
TEST_F(OpcAcquisitionTest, StopDisconnectsAndTheWatchdogRestsUntilTheNextStart) {
    Begin();
    ASSERT_EQ(server_.Groups().size(), 1u);
    EXPECT_EQ(server_.GroupItems(server_.Groups()[0].serverGroup),
              (std::vector<std::string>{"Plant.Pumpe", "Plant.Zulauf"}));
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(Main().ButtonClick("btStoppen"));
    EXPECT_TRUE(Main().Stopped());
    EXPECT_TRUE(server_.Groups().empty());
    EXPECT_FALSE(Main().Opc().Client().Active());
    EXPECT_FALSE(Main().TimerOpcTot().Enabled());
    Advance(400000);
    EXPECT_FALSE(Logged(kRestart));
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    EXPECT_EQ(server_.Groups().size(), 1u);
    EXPECT_TRUE(Main().TimerOpcTot().Enabled());
}

}  // namespace
}  // namespace tarvedde::testing
