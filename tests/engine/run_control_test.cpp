// The running program: the acquisition cycle on its timer, the day change, time-outs and
// lost connections, and the operator's start, stop and close.
#include <algorithm>
#include <iterator>
#include <new>

#include "tests/engine/engine_fixture.h"
#include "tests/outputs/diary_binding_builder.h"

namespace tarvedde::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr char kTwoItems[] =
    "Itemcount=2\nIntervall=10\nEinheit=0\nAutoStart=1\nAktuTag=05.03.2024\nTarveget=0\n"
    "[Items]\nItem1=Q\nItem2=P\n[Itemnames]\nItem1=Zulauf\nItem2=Pumpe\n"
    "[Grafiktyp]\nItem2=2\n";
constexpr char kCycleRunning[] =
    "QUESTION DDE-Daten noch nicht vollständig. Wirklich stoppen ? -> ";
constexpr char kKeepRunning[] = "QUESTION Datenerfassung weiter arbeiten lassen ? -> ";

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

class RunControlTest : public EngineFixture {
protected:
    // `extra` keys of [DDE] come first and win over the two items' defaults.
    void Begin(const std::string& extra = "", int hour = 7, int minute = 0, int second = 0,
               SourceKind kind = SourceKind::Dde) {
        SetClock(hour, minute, second);
        WriteIni("[DDE]\n" + extra + kTwoItems);
        Start(kind);
    }
    // 21 items of a server that answers each advise start after 4 s, a second short of
    // its time-out.
    void StartSlow() {
        std::string ini = "[DDE]\nItemcount=21\nIntervall=10\nAutoStart=1\n[Items]\n";
        for (int n = 1; n <= 21; ++n) {
            ini += "Item" + std::to_string(n) + "=I" + std::to_string(n) + "\n";
        }
        WriteIni(ini);
        env_.ddeServer.DelayLinkAnswers(env_.clock, 4000);
        Start();
    }
    // The server goes down and up again, now answering each advise start after 4 s; the
    // retry starts at the loss and links Q until 5 s.
    void SlowReconnect() {
        env_.ddeServer.SetDown(true);
        env_.ddeServer.SetDown(false);
        env_.ddeServer.DelayLinkAnswers(env_.clock, 4000);
        env_.ddeCalls.clear();
        Advance(1000);
    }
    Lines Calls(const std::string& kind) const {
        Lines calls;
        std::copy_if(env_.ddeCalls.begin(), env_.ddeCalls.end(), std::back_inserter(calls),
                     [&](const std::string& call) { return call.starts_with(kind); });
        return calls;
    }
};

// The start knows the item count before the configuration load and the operating hours
// per cycle from whole seconds; server values reach the cycle through the notification.
// The max-off-time switch of digital items is not read every cycle: the item settings
// dialog's save takes it from the file. A tick during an unfinished cycle is a time-out.
TEST_F(RunControlTest, AutomaticStartRunsACycleAtOnceThenEveryIntervalWithTheServersValues) {
    Begin();
    EXPECT_THAT(LogAll(), HasSubstr("Datenerfassung gestartet."));
    EXPECT_EQ(Window().lbDT, "07:00:00");
    EXPECT_TRUE(TarveddeMainTestAccess::CycleComplete(Main()));
    EXPECT_FALSE(Window().btStartDDEEnabled);
    EXPECT_TRUE(Window().btStoppenEnabled);
    EXPECT_EQ(ProtocolOrder(2), 2);
    EXPECT_EQ(ProtocolOrder(3), -1);
    EXPECT_DOUBLE_EQ(Main().Processor().OperatingHoursPerCycle(), 10.0 / 3600.0);
    EXPECT_FALSE(Item(2).MaxAusZeit_anzeigen);
    WriteIni(std::string("[DDE]\n") + kTwoItems + "[MaxAusZeit_anzeigen]\nItem1=1\nItem2=1\n");
    EXPECT_EQ(env_.Publish("Q", "\r\n12,5\r\n"), 1);
    Advance(9999);
    EXPECT_EQ(Window().lbDT, "07:00:00");
    Advance(1);
    EXPECT_EQ(Window().lbDT, "07:00:10");
    EXPECT_EQ(Stats(1).currentValue, 12.5);
    // The "Initialisierung" menu's three resets reach the day figures.
    MirrorOffset(1) = 4.0;
    EXPECT_TRUE(Main().MenuClick("MinimaMaxima1"));
    EXPECT_EQ(Stats(1).minimum, 999999.9);
    EXPECT_GT(Stats(1).count, 0.0);
    EXPECT_TRUE(Main().MenuClick("MittelwerteSummen1"));
    EXPECT_EQ(Stats(1).count, 0.0);
    EXPECT_TRUE(Main().MenuClick("SummenOffsetgespiegelteWerte1"));
    EXPECT_EQ(MirrorOffset(1), 0.0);
    EXPECT_FALSE(Main().MenuClick("Unbekannt1"));
    EXPECT_FALSE(Item(2).MaxAusZeit_anzeigen);
    Config().SetItemSettings(1, Item(1));
    Config().SetItemSettings(2, Item(2));
    EXPECT_TRUE(Item(2).MaxAusZeit_anzeigen);
    EXPECT_FALSE(Item(1).MaxAusZeit_anzeigen);

    TarveddeMainTestAccess::CycleComplete(Main()) = false;
    Advance(10000);
    EXPECT_THAT(LogAll(), HasSubstr("07:00:20 > *** TimeOut\r\n"));
    EXPECT_TRUE(Window().lbTimeoutVisible);
    EXPECT_EQ(Window().lbDT, "07:00:10");
    TarveddeMainTestAccess::CycleComplete(Main()) = true;
    Advance(10000);
    EXPECT_THAT(LogAll(), HasSubstr("07:00:30 > *** Nächster Messwert.\r\n"));
    EXPECT_FALSE(Window().lbTimeoutVisible);
    EXPECT_EQ(Window().lbDT, "07:00:30");

    // An exception at the end of a cycle costs that cycle's row, not the next cycles.
    env_.files.SetFailurePolicy([](FileOp op, const std::string& path) -> bool {
        if (op == FileOp::Append && path.ends_with(".DAT")) {
            throw std::bad_alloc();
        }
        return false;
    });
    Advance(10000);
    env_.files.SetFailurePolicy({});
    Advance(10000);
    EXPECT_THAT(LogAll(), HasSubstr("07:00:40 > Main : Exception (2)\r\n"));
    EXPECT_EQ(Count(LogAll(), "*** TimeOut"), 1);
    EXPECT_EQ(Window().lbDT, "07:00:50");
}

TEST_F(RunControlTest, MidnightChangesTheDayOnceBeforeTheFirstCycleOfTheNewDay) {
    Begin("", 23, 59, 45);
    Advance(10000);  // 23:59:55
    EXPECT_THAT(LogAll(), Not(HasSubstr("Tageswechsel")));
    Advance(10000);  // 00:00:05
    const std::string log = LogAll();
    EXPECT_THAT(log, HasSubstr("06.Mrz.24, 00:00:05 > ****** Tageswechsel erkannt !\r\n"
                               "06.Mrz.24, 00:00:05 > Alle Zeittabellen auf Index 1 gesetzt. "
                               "Nächster Zwischenwert nach 0 Uhr.\r\n"
                               "06.Mrz.24, 00:00:05 > Tageswechselstatistik ausgegeben.\r\n"
                               "06.Mrz.24, 00:00:05 > Dateien für neuen Tag erzeugt.\r\n"));
    EXPECT_THAT(Read("TARVEDDE.INI"), HasSubstr("AktuTag=06.03.2024\r\n"));
    Advance(60000);
    EXPECT_EQ(Count(LogAll(), "Tageswechsel erkannt"), 1);
    EXPECT_EQ(Window().lbDT, "00:01:05");
    // The day's first cycle writes the new day's files, with the same header.
    EXPECT_THAT(Unstamped(Read("20240305.DAT")).back(), HasSubstr("2024.3.5;23:59:55;"));
    EXPECT_THAT(Unstamped(Read("20240306.DAT")).front(), HasSubstr("2024.3.6;00:00:05;"));
    EXPECT_EQ(Read("20240306.SMP"), Read("20240306.DAT"));
    EXPECT_EQ(Read("20240306.AQH"), Read("20240305.AQH"));
    EXPECT_EQ(Main().RunningDay(), (DateParts{2024, 3, 6}));
}

// A restart before the configured time still writes the statistics then.
TEST_F(RunControlTest, PostponedDayChangeWritesTheStatisticsAtTheConfiguredTimeAlsoAfterARestart) {
    Begin("CustomIni=1\nCustomTime=06:00:00\n", 23, 59, 50);
    Advance(10000);  // 00:00:00
    EXPECT_THAT(LogAll(), HasSubstr("Neuer Tag. Flag für späteren Wechsel (06:00:00) gesetzt."));
    EXPECT_THAT(Read("TARVEDDE.INI"), HasSubstr("CustomNewDay=1\r\n"));
    Main().StopAcquisition();
    Restart();
    EXPECT_TRUE(Settings().customNewDay);
    env_.loop.AdvanceTo(env_.clock.ElapsedMs() + (6 * 3600 - 10) * 1000);  // 05:59:50
    EXPECT_THAT(LogAll(), Not(HasSubstr("verspätetem")));
    Advance(10000);  // 06:00:00
    EXPECT_THAT(LogAll(), HasSubstr("06.Mrz.24, 06:00:00 > Statistik bei verspätetem "
                                    "Tageswechsel (06:00:00).\r\n"));
    EXPECT_THAT(Read("TARVEDDE.INI"), HasSubstr("CustomNewDay=0\r\n"));
    EXPECT_EQ(Count(LogAll(), "Neuer Tag. Flag"), 1);
    EXPECT_EQ(Count(LogAll(), "Tageswechsel erkannt"), 1);
}

// The disk refuses the pending flag at midnight: a reload of the settings keeps the run's
// flag, and the keys are written once the disk takes them, so a restart still knows.
TEST_F(RunControlTest, APendingFlagTheDiskRefusedStandsAndIsWrittenLater) {
    Begin("CustomIni=1\nCustomTime=06:00:00\n", 23, 59, 50);
    const std::string ini = env_.dir + kMainIniFile;
    const auto refuseIni = [&] {
        env_.files.SetFailurePolicy([ini](FileOp op, const std::string& path) {
            return (op == FileOp::Write || op == FileOp::Rename) && path.starts_with(ini);
        });
    };
    refuseIni();
    Advance(10000);  // 00:00:00
    EXPECT_THAT(LogAll(), HasSubstr("DDE-INI Schreiben : Fehler 3"));
    Main().ReloadConfiguration();
    EXPECT_TRUE(Settings().customNewDay);
    Advance(10000);
    EXPECT_NE(IniValue(kMainIniFile, "DDE", "CustomNewDay"), "1");
    // Closed before a cycle could write it: the program end does.
    env_.files.SetFailurePolicy({});
    Main().StopAcquisition();
    Restart();
    EXPECT_TRUE(Settings().customNewDay);
    EXPECT_EQ(IniValue(kMainIniFile, "DDE", "AktuTag"), "06.03.2024");
    // The flag's clearing refused at 06:00 is written by the next cycle.
    refuseIni();
    env_.loop.AdvanceTo(env_.clock.ElapsedMs() + 6 * 3600 * 1000);
    EXPECT_THAT(LogAll(), HasSubstr("DDE-INI Schreiben : Fehler 1"));
    env_.files.SetFailurePolicy({});
    Advance(10000);
    EXPECT_EQ(IniValue(kMainIniFile, "DDE", "CustomNewDay"), "0");
    EXPECT_EQ(Count(LogAll(), "AktuTag und CustomNewDay nachträglich geschrieben."), 2);
}

// Switched off while pending, the postponed day change brings its statistics at once.
TEST_F(RunControlTest, APendingDayChangeSwitchedOffBringsItsStatisticsAtTheNextStart) {
    Begin("CustomIni=1\nCustomTime=06:00:00\n", 23, 59, 50);
    Advance(10000);  // 00:00:00
    Main().StopAcquisition();
    ASSERT_TRUE(IniFile(env_.files, env_.dir + kMainIniFile).WriteBool("DDE", "CustomIni", false));
    Restart();
    Advance(10000);
    EXPECT_THAT(LogAll(), HasSubstr("06.Mrz.24, 00:00:00 > Statistik bei verspätetem"));
    EXPECT_EQ(IniValue(kMainIniFile, "DDE", "CustomNewDay"), "0");
}

// Item 2 mirrors the flow sum of item 1 and reports at the times of its table.
constexpr char kPostponedWithTable[] =
    "[DDE]\nItemcount=2\nIntervall=60\nAutoStart=1\nCustomIni=1\nCustomTime=06:00:00\n"
    "AktuTag=05.03.2024\n[Items]\nItem1=Q\nItem2=Q_h\n[Itemnames]\nItem1=Zulauf\n"
    "Item2=Stunde\n[Integral]\nItem1=1\n[Spiegelung]\nItem2=1|1\n"
    "[Zeitrahmen]\nItem2=1|00:00:00|23:59:00\n";

// The cycle that brings the postponed statistics acts on a table time after CustomTime as
// a cycle of the new day: its intermediate value goes to the new day's file, after the
// statistics closed the period open since the start in the ended day's.
TEST_F(RunControlTest, TheCycleOfThePostponedStatisticsWritesTheNewDaysIntermediateValue) {
    SetClock(23, 59, 50);
    WriteIni(kPostponedWithTable);
    Write("TT_Q_h_Stunde.tvw", "06:00:30\r\n");
    Start();
    env_.loop.AdvanceTo(env_.clock.ElapsedMs() + (6 * 3600 + 60) * 1000);  // 06:00:50
    EXPECT_THAT(LogAll(), HasSubstr("06:00:50 > Statistik bei verspätetem Tageswechsel"));
    EXPECT_EQ(Read("20240305.TVS"), "0,000\r\n");
    EXPECT_THAT(Read("20240306.TVS"), Not("<missing>"));
}

// Still pending at the next midnight (acquisition stood over the configured time), the
// statistics come with the first cycle, and the hours before the configured time are the
// next day's, again pending; the new date's tables start once, not at every cycle.
TEST_F(RunControlTest, APostponedDayChangePendingOverMidnightComesAtOnceAndPendsTheNextDay) {
    SetClock(23, 59, 50);
    WriteIni(kPostponedWithTable);
    Write("TT_Q_h_Stunde.tvw", "01:00:00\r\n");
    Start();
    Advance(60000);  // 00:00:50 of the 6th: pending
    Main().StopAcquisition();
    env_.loop.AdvanceTo(env_.clock.ElapsedMs() + (24 * 3600 + 30 * 60) * 1000);
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    env_.loop.AdvanceTo(env_.clock.ElapsedMs() + 3600 * 1000);  // 01:30:50 of the 7th
    // They are the 5th's, which the flag ended, not the day before the 7th's.
    EXPECT_THAT(Read("20240305.RTF"), HasSubstr("Statistik f\\'fcr Dienstag, 5. M"));
    EXPECT_EQ(Read("20240305.TVS"), "0,000\r\n");  // the period the statistics closed
    EXPECT_EQ(Read("20240306.TVS"), "0,000\r\n");  // 01:00 of the 7th
    EXPECT_NE(Read("20240307.DAT"), "<missing>");
    EXPECT_EQ(Count(LogAll(), "Tageswechsel erkannt"), 2);
    EXPECT_EQ(Count(LogAll(), "Neuer Tag. Flag"), 2);
    EXPECT_EQ(IniValue(kMainIniFile, "DDE", "AktuTag"), "07.03.2024");
    EXPECT_EQ(IniValue(kMainIniFile, "DDE", "CustomNewDay"), "1");
    env_.loop.AdvanceTo(env_.clock.ElapsedMs() + (4 * 3600 + 30 * 60) * 1000);
    EXPECT_THAT(Read("20240306.RTF"), HasSubstr("Statistik f\\'fcr Mittwoch, 6. M"));
    EXPECT_EQ(IniValue(kMainIniFile, "DDE", "CustomNewDay"), "0");
}

// A table time passed while acquisition stood, or since the last cycle when the editor
// reloads the table, is still crossed by the next cycle: else its line is missing and the
// next one holds two periods. A table written out of order is walked in the day's order.
TEST_F(RunControlTest, ATableTimePassedWhileAcquisitionStoodIsCrossedByTheNextCycle) {
    SetClock(9, 58, 30);
    std::string ini = kPostponedWithTable;
    WriteIni(ini.erase(ini.find("CustomIni=1\n"), 12));
    Write("TT_Q_h_Stunde.tvw", "11:00:00\n10:00:00\n");
    Start();
    env_.Publish("Q", "100");
    env_.Publish("Q_h", "1");
    Advance(60000);  // 09:59:30
    Main().StopAcquisition();
    env_.loop.AdvanceTo(env_.clock.ElapsedMs() + 40000);  // 10:00:10
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    Advance(60000);
    EXPECT_EQ(Window().lbDT, "10:01:10");
    EXPECT_EQ(Count(Read("20240305.TVS"), "\r\n"), 1);
    Advance((58 * 60 + 55) * 1000);  // 11:00:05, the last cycle at 10:59:10
    TimeFrameStatistics& frames = Main().TimeFrameStats();
    frames.LoadItemTimeTable(2, frames.TablePlacingTime(), env_.host.op, nullptr);
    Advance(10000);
    EXPECT_EQ(Count(Read("20240305.TVS"), "\r\n"), 2);
}

// A frame time passed while the server was lost is crossed by the first cycle after it.
TEST_F(RunControlTest, LostConnectionHandsOverToTheRetryTimer) {
    SetClock(7, 0, 0);
    WriteIni(std::string("[DDE]\n") + kTwoItems +
             "[Zeitrahmen]\nItem1=1|07:00:08|22:00:00\n[Gleitend]\nIntervall=10\nItem1=1\n");
    Start();
    env_.ddeServer.Publish("Anwendung", "Thema", "Q", "12,5");
    Advance(5000);
    env_.ddeServer.SetDown(true);
    EXPECT_TRUE(Main().Dde().ConnectionLost());
    const int sampled = Main().MovingAveragesOf().States()[1].ringIndex;
    Advance(5000);  // the retry starts at the loss, the cycle rests
    EXPECT_EQ(Window().lbDT, "07:00:00");
    Advance(3000);                                                        // eight quiet retries
    EXPECT_EQ(Main().MovingAveragesOf().States()[1].ringIndex, sampled);  // nor a lost value
    EXPECT_EQ(std::count(env_.ddeCalls.begin(), env_.ddeCalls.end(), "Connect Anwendung Thema"),
              1 + 8);
    EXPECT_THAT(LogAll(), Not(HasSubstr("07:00:11 > ")));
    env_.ddeServer.SetDown(false);
    Advance(1000);
    EXPECT_THAT(LogAll(), HasSubstr("07:00:14 > Verbindung zum Server \"Anwendung\" / Topic "
                                    "\"Thema\" aufgebaut.\r\n"));
    // The first cycle waits for the links' first values.
    EXPECT_EQ(Window().lbDT, "07:00:00");
    Advance(100);
    EXPECT_THAT(LogAll(), HasSubstr("07:00:14 > Verbindung zum Server hergestellt.\r\n"));
    EXPECT_EQ(Window().lbDT, "07:00:14");
    EXPECT_NE(Source(1).itemHandle, 0u);
    const auto& lines = Main().StatisticsText().Paragraphs();
    EXPECT_TRUE(std::ranges::any_of(lines, [](const RichParagraph& line) {
        return line.text == "*** Zwischen-Statistik um 07:00:14 Uhr ***";
    }));
}

// Without the automatic start nothing else links a server lost while acquisition stood:
// the operator's start tries once, and starts once linked.
TEST_F(RunControlTest, StartButtonLinksAServerLostWhileStopped) {
    Begin("AutoStart=0\n");
    env_.ddeServer.SetDown(true);
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    EXPECT_THAT(Transcript().back(), HasSubstr("<Automatisch starten>"));
    const std::size_t told = Transcript().size();
    env_.ddeServer.SetDown(false);
    const std::size_t logged = LogAll().size();
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));  // before the first values: one start
    Advance(100);
    EXPECT_FALSE(Main().Stopped());
    EXPECT_EQ(Transcript().size(), told);
    std::string started = LogAll().substr(logged);
    EXPECT_EQ(started.find("Datenerfassung gestartet."),
              started.rfind("Datenerfassung gestartet."));

    // A slow server: the second press comes while the links are set up.
    Main().StopAcquisition();
    env_.ddeServer.SetDown(true);
    env_.ddeServer.SetDown(false);
    env_.ddeServer.DelayLinkAnswers(env_.clock, 4000);
    const std::size_t stopped = LogAll().size();
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    Advance(20000);
    started = LogAll().substr(stopped);
    EXPECT_NE(started.find("Datenerfassung gestartet."), std::string::npos);
    EXPECT_EQ(started.find("Datenerfassung gestartet."),
              started.rfind("Datenerfassung gestartet."));
}

TEST_F(RunControlTest, IncompleteConfigurationRetriesQuietly) {
    Begin("Itemcount=3\n");  // item 3 is not defined: the first Itemcount wins
    ASSERT_EQ(Settings().itemCount, 3);
    EXPECT_FALSE(Settings().configValid);
    const std::string before = LogAll();
    Advance(60000);
    EXPECT_EQ(LogAll(), before);
    EXPECT_EQ(Window().lbDT, "00:00:00");
}

// The stop asks while a cycle runs and then whether to go on. Nothing on this thread can
// finish a cycle that the wait interrupted: the wait gives up. A forced stop does not wait,
// a stop once stopped asks nothing, and the menu starts and stops.
TEST_F(RunControlTest, StopAsksTwiceWhileACycleRunsAndOnceStoppedStopsOnlyAgain) {
    Begin();
    TarveddeMainTestAccess::CycleComplete(Main()) = false;
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(Main().ButtonClick("btStoppen"));
    TarveddeMainTestAccess::CycleComplete(Main()) = true;
    env_.person.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(Main().ButtonClick("btStoppen"));
    EXPECT_FALSE(Main().Stopped());
    Advance(10000);
    EXPECT_EQ(Window().lbDT, "07:00:10");
    EXPECT_THAT(LogAll(), Not(HasSubstr("Datenerfassung beendet.")));

    TarveddeMainTestAccess::CycleComplete(Main()) = false;
    Main().StopAcquisition();
    EXPECT_TRUE(Main().Stopped());
    EXPECT_EQ(Window().lbTimeout, "Gestoppt" + std::string(1000, '.'));
    EXPECT_FALSE(Main().TimerDDE().Enabled());
    TarveddeMainTestAccess::CycleComplete(Main()) = true;
    ASSERT_TRUE(Main().MenuClick("DDEOPCstoppen1"));
    EXPECT_FALSE(Main().Stopped());
    Advance(10000);

    TarveddeMainTestAccess::CycleComplete(Main()) = false;
    env_.person.QueueAnswer(Answer::Yes);
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(Main().ButtonClick("btStoppen"));
    EXPECT_THAT(Transcript(),
                ElementsAre(std::string(kCycleRunning) + "No", std::string(kKeepRunning) + "Yes",
                            std::string(kCycleRunning) + "Yes", std::string(kKeepRunning) + "No"));
    EXPECT_TRUE(Main().Stopped());
    EXPECT_FALSE(Main().AcquisitionStarted());
    EXPECT_EQ(Window().lbTimeout, "Gestoppt");
    EXPECT_THAT(LogAll(), HasSubstr("07:00:20 > Datenerfassung beendet.\r\n"));
    EXPECT_TRUE(Window().btStartDDEEnabled);
    EXPECT_FALSE(Window().btStoppenEnabled);
    EXPECT_FALSE(Main().TimerDDE().Enabled());
    Main().StopAcquisition();
    EXPECT_EQ(Transcript().size(), 4U);
    EXPECT_TRUE(Main().Stopped());
    Advance(60000);
    EXPECT_EQ(Window().lbDT, "07:00:20");

    TarveddeMainTestAccess::CycleComplete(Main()) = true;
    ASSERT_TRUE(Main().MenuClick("DDEOPCstoppen1"));
    EXPECT_FALSE(Main().Stopped());
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(Main().MenuClick("DDEOPCstoppen1"));
    EXPECT_TRUE(Main().Stopped());
}

// "Beenden" asks while acquisition runs; without a countdown window the close is refused
// and acquisition goes on (a close refused while the countdown runs is the stop dialog's
// test). Once stopped it closes at once, ending links and DDE; a later close writes nothing.
// Day data written blockwise warns at the stop when its buffer is not full.
TEST_F(RunControlTest, BeendenAsksWhileRunningAndClosesAtOnceWhileStopped) {
    Begin("Puffer=3\n");
    Main().DayFileOutput().SetDatEveryCycle(false);
    env_.person.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(Main().MenuClick("Beenden1"));
    EXPECT_THAT(Transcript(), ElementsAre("QUESTION Programm weiter arbeiten lassen ? -> Yes"));
    EXPECT_THAT(LogAll(), Not(HasSubstr("manuell beendet")));
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(Main().MenuClick("Beenden1"));
    EXPECT_THAT(LogAll(),
                HasSubstr("Programm wird manuell beendet !\r\n05.Mrz.24, 07:00:00 > "
                          "Stop-Aufforderung wird aktiviert, 10s für manuelles Eingreifen "
                          "....\r\n"));
    EXPECT_FALSE(Main().CloseRequested());
    Advance(10000);
    EXPECT_EQ(Window().lbDT, "07:00:10");

    Main().StopAcquisition();
    EXPECT_THAT(LogAll(),
                HasSubstr("Ihre zwischengespeicherten Daten wurden nicht automatisch gesichert !"));
    ASSERT_TRUE(Main().MenuClick("Beenden1"));
    EXPECT_EQ(Transcript().size(), 2U);
    EXPECT_TRUE(Main().CloseRequested());
    EXPECT_THAT(LogAll(), HasSubstr("> Manuelle Anforderung zum Beenden des Programms...\r\n"
                                    "05.Mrz.24, 07:00:10 > Programm wird manuell beendet !\r\n"));
    env_.clock.SetLocalTime(EncodeDateTime(2024, 3, 5, 7, 5, 0, 0));
    const auto stateBefore = env_.files.Stamp(env_.dir + "TARVEDDE.COF");
    ASSERT_TRUE(Main().FormClose());
    EXPECT_TRUE(Main().Closed());
    // The close saves the state the unlinked items acquired.
    const auto stateAfter = env_.files.Stamp(env_.dir + "TARVEDDE.COF");
    ASSERT_TRUE(stateBefore && stateAfter);
    EXPECT_NE(stateAfter.value(), stateBefore.value());
    EXPECT_EQ(env_.ddeServer.ConversationCount(), 0u);
    EXPECT_EQ(std::count(env_.ddeCalls.begin(), env_.ddeCalls.end(), "Uninitialize"), 1);
    EXPECT_EQ(Source(2).itemHandle, 0u);
    EXPECT_TRUE(Exists("ddeLogKonfig.tvw"));
    EXPECT_THAT(Read("DDE-Info.TXT"),
                HasSubstr("----------------- Programm wird beendet :  Dienstag, 5. März "
                          "2024,07:05:00  -----------------"));
    EXPECT_THAT(Read("DDE-Info.TXT"),
                HasSubstr("------------------------------ Programm beendet.  "));
    const std::string log = LogAll();
    EXPECT_TRUE(Main().FormClose());
    EXPECT_EQ(LogAll(), log);
}

// Switched off, the heartbeat stops after its first tick and leaves the file.
TEST_F(RunControlTest, HeartbeatDeletesTheWatchdogFileEveryTenSecondsUnlessSwitchedOff) {
    for (const bool on : {true, false}) {
        Begin(std::string("AutoStart=0\nCheck_tot=") + (on ? "1\n" : "0\n"));
        Write("$dde_client_tot", "");
        EXPECT_TRUE(Main().TimerTot().Enabled());
        Advance(9999);
        EXPECT_TRUE(Exists("$dde_client_tot"));
        Advance(1);
        EXPECT_EQ(Exists("$dde_client_tot"), !on);
        Write("$dde_client_tot", "");
        Advance(10000);
        EXPECT_EQ(Exists("$dde_client_tot"), !on);
        EXPECT_EQ(Main().TimerTot().Enabled(), on);
        ASSERT_TRUE(Main().FormClose());
    }
}

TEST_F(RunControlTest, AqasysStartChecksTheServerAndStopEndsTheConversation) {
    Begin("AutoStart=0\nServer=Kestrom\nTopic=AQASYS\n", 7, 0, 0, SourceKind::Aqasys);
    env_.ddeServer.SetDown(true);
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    EXPECT_THAT(Transcript().back(), HasSubstr("Kestrom / AQASYS sind nicht gestartet"));
    EXPECT_TRUE(Main().Stopped());
    EXPECT_FALSE(Main().TimerAqasys1().Enabled());

    env_.ddeServer.SetDown(false);
    // Today unread and a position bound, or the transfer would end at once.
    Main().Aqasys().piDate1CloseUp(Window().piDate1);
    Main().Diary().ReplaceBindings({BoundPosition("Regen", 1, 1, 0)});
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    EXPECT_FALSE(Main().Stopped());
    EXPECT_TRUE(Main().TimerAqasys1().Enabled());
    EXPECT_TRUE(Window().btStoppenEnabled);
    EXPECT_FALSE(Window().lbAusVisible);
    EXPECT_THAT(LogAll(), HasSubstr("07:00:00 > AQASYS-Daten werden übertragen....\r\n"));

    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(Main().ButtonClick("btStoppen"));
    EXPECT_FALSE(Main().Stopped());
    env_.person.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(Main().ButtonClick("btStoppen"));
    EXPECT_TRUE(Main().Stopped());
    EXPECT_FALSE(Main().TimerAqasys1().Enabled());
    EXPECT_EQ(env_.ddeServer.ConversationCount(), 0u);
    EXPECT_TRUE(Window().lbAusVisible);
}

// A signal quits the loop and the host closes the window, at once while nothing acquires.
TEST_F(RunControlTest, ASlowServerIsLinkedOneItemPerLoopTurnAndACloseEndsThatAtOnce) {
    std::unique_ptr<Timer> signal;
    signal = env_.loop.CreateTimer("SIGTERM", 10000, [&] {
        signal->SetEnabled(false);
        env_.loop.Quit();
    });
    signal->SetEnabled(true);
    StartSlow();
    EXPECT_EQ(env_.clock.ElapsedMs(), 4000);
    ASSERT_FALSE(env_.loop.AdvanceBy(100000));
    EXPECT_LT(env_.clock.ElapsedMs(), 10000 + 5000);
    NewLogLines();
    ASSERT_TRUE(Main().FormClose());
    Advance(100000);
    EXPECT_EQ(Calls("AdvStart").size(), 3u);
    EXPECT_THAT(Calls("AdvStop"),
                ElementsAre("AdvStop I1 1000", "AdvStop I2 1000", "AdvStop I3 1000"));
    EXPECT_EQ(env_.ddeServer.ConversationCount(), 0u);
    EXPECT_THAT(NewLogLines(),
                ElementsAre("Verbindung zum Server abgebaut.", "Statistik (.RTF) gesichert."));

    // Without a close every item is linked in order, and acquisition starts after the last.
    env_.ddeCalls.clear();
    Restart();
    EXPECT_FALSE(Main().AcquisitionStarted());
    Advance(100000);
    Lines all;
    for (int n = 1; n <= 21; ++n) {
        all.push_back("AdvStart I" + std::to_string(n) + " 5000");
    }
    EXPECT_EQ(Calls("AdvStart"), all);
    const Lines lines = NewLogLines();
    const auto summary = std::find(lines.begin(), lines.end(), "21 Werte werden übertragen.");
    ASSERT_NE(summary, lines.end());
    EXPECT_EQ(summary[-1], "undefiniert_21[] : Grenzwerte = -100000,00 / 100000,00");
    EXPECT_EQ(lines.back(), "Datenerfassung gestartet.");
    EXPECT_TRUE(Main().AcquisitionStarted());
}

// Acquisition stopped must stay stopped: the set-up must not link on and restart it.
TEST_F(RunControlTest, AStopDuringASlowReconnectEndsItsLinkSetUp) {
    Begin();
    SlowReconnect();
    EXPECT_THAT(Calls("AdvStart"), ElementsAre("AdvStart Q 5000"));
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(Main().ButtonClick("btStoppen"));
    Advance(60000);
    EXPECT_THAT(Calls("AdvStart"), ElementsAre("AdvStart Q 5000"));
    EXPECT_THAT(Calls("AdvStop"), ElementsAre("AdvStop Q 1000"));
    EXPECT_EQ(env_.ddeServer.ConversationCount(), 0u);
    EXPECT_FALSE(Main().AcquisitionStarted());
}

// A close ends the set-up at once too, so the countdown is not held between link turns;
// the countdown's "Nein" hands the reconnect back to the retry.
TEST_F(RunControlTest, ACloseDuringASlowReconnectEndsItsLinkSetUpUntilTheCountdownIsRefused) {
    Begin();
    int countdowns = 0;
    Main().SetStopCountdown([&] { ++countdowns; });
    SlowReconnect();
    Main().Close();
    EXPECT_EQ(countdowns, 1);
    EXPECT_THAT(Calls("AdvStop"), ElementsAre("AdvStop Q 1000"));
    Advance(20000);
    EXPECT_THAT(Calls("AdvStart"), ElementsAre("AdvStart Q 5000"));
    env_.ddeServer.DelayLinkAnswers(env_.clock, 0);
    Main().CloseRefused();
    Advance(5000);
    EXPECT_THAT(Calls("AdvStart"),
                ElementsAre("AdvStart Q 5000", "AdvStart Q 5000", "AdvStart P 5000"));
    EXPECT_THAT(LogAll(), HasSubstr("Verbindung zum Server hergestellt."));
}

}  // namespace
}  // namespace tarvedde::testing
