#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "app/scenario_runner.h"
#include "platform/date_time.h"
#include "platform/instance_lock.h"
#include "tests/app/scenario_test_files.h"

namespace tarvedde {
namespace {

using ::testing::Contains;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using testing::Steps;

const char kStamp[] = "05.Mrz.24, 07:00:00 > ";
const char kOneItem[] =
    "[DDE]\nAutoStart=0\nTarveget=0\nItemcount=1\n[Items]\nItem1=Q\n[Itemnames]\nItem1=Zulauf\n";
// Acquisition from the start, a cycle every 10 s.
const char kAcquiring[] =
    "[DDE]\nItemcount=1\nIntervall=10\nEinheit=0\nAutoStart=1\nTarveget=0\n"
    "[Items]\nItem1=Q\n[Itemnames]\nItem1=Zulauf\n";

class ScenarioRunnerTest : public testing::ScenarioFixture {
protected:
    void SetUp() override { Fresh(); }
    void Fresh(const char* ini = kOneItem) {
        dir_.Clear();
        dir_.WriteText("TARVEDDE.INI", ini);
    }

    int Run(ScenarioRunner& runner, const std::string& script) {
        errors_.str("");
        auto parsed = ParseScenarioScript(script);
        EXPECT_TRUE(parsed.ok()) << script;
        return parsed.ok() ? runner.Run(parsed.value(), errors_) : -1;
    }
    int Run(const std::string& script) {
        ScenarioRunner runner(Options());
        return Run(runner, script);
    }
    // The whole script on a fresh directory with `ini`; a refusal fails the test.
    void RunOn(const char* ini, const std::string& script) {
        Fresh(ini);
        EXPECT_EQ(Run(script), 0) << errors_.str();
    }

    std::vector<std::string> Log() const { return dir_.Lines("_DDE_OPC_LOGALL.TXT"); }
    std::vector<std::string> Transcript() const { return dir_.Lines("operator.txt"); }

    std::ostringstream errors_;
};

TEST_F(ScenarioRunnerTest, StartLogsWhereAndWhenAndTheEndClosesAsTheHostWould) {
    dir_.WriteText("operator.txt", "from an earlier run\n");
    ScenarioRunner runner(Options());
    ASSERT_EQ(Run(runner, "start\nadvance 1h\n"), 0) << errors_.str();
    EXPECT_EQ(runner.Clock().ElapsedMs(), 3'600'000);
    const auto log = Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], std::string(kStamp) + "Programmstart in " + dir_.Path());
    EXPECT_EQ(log[1], std::string(kStamp) + "Mutex = tarvedde");
    EXPECT_EQ(log[2], std::string(kStamp) + "Neustart");
    EXPECT_EQ(dir_.Bytes("operator.txt"), "");
    // FormClose: the message history is written and the marker is gone.
    EXPECT_TRUE(dir_.Exists("_TARVEDDE_LOG.TXT"));
    EXPECT_FALSE(dir_.Exists("$dde_activ"));
    EXPECT_EQ(errors_.str(), "");

    Fresh();
    ASSERT_EQ(Run("clock 2024-12-31 23:59:58.500\nsource opc\nstart\n"), 0) << errors_.str();
    EXPECT_THAT(Log(), Contains("31.Dez.24, 23:59:58 > Programmstart in " + dir_.Path()));
    EXPECT_THAT(Log(), Contains("31.Dez.24, 23:59:58 > OPC-Host : "));
    EXPECT_THAT(dir_.Bytes("TARVEDDE.INI"), HasSubstr("AktuTag=31.12.2024\r\n"));
}

// Timers fire up to and at the end of each advance in elapsed time; a clock step moves
// the wall clock only; `clock` and `timezone` mean the same in either order.
TEST_F(ScenarioRunnerTest, VirtualTimeFollowsAdvancesClockStepsAndTimeZones) {
    ScenarioRunner runner(Options());
    int fired = 0;
    auto timer = runner.Loop().CreateTimer("Test", 1000, [&fired] { ++fired; });
    timer->SetEnabled(true);
    for (const auto& [step, count] : {std::pair{"advance 10s", 10},
                                      {"advance 999ms", 10},
                                      {"advance 1ms", 11},
                                      {"advance-to 2024-03-05 07:00:15", 15}}) {
        Steps(runner, step);
        EXPECT_EQ(fired, count) << step;
    }
    // A moment in the past moves nothing.
    Steps(runner, "advance-to 2024-03-05 07:00:00\nclock-step -1h");
    EXPECT_EQ(runner.Clock().Now(), EncodeDateTime(2024, 3, 5, 6, 0, 15, 0));
    EXPECT_EQ(runner.Clock().ElapsedMs(), 15'000);
    Steps(runner, "advance-to 2024-03-05 06:30:15");
    EXPECT_EQ(runner.Clock().ElapsedMs(), 1'815'000);
    EXPECT_EQ(fired, 1815);

    // The POSIX rule is how a zone is given where there are no zone files (Windows).
    for (const char* script : {"timezone Europe/Berlin\nclock 2024-03-31 01:59:59\n",
                               "clock 2024-03-31 01:59:59\ntimezone Europe/Berlin\n",
                               "timezone CET-1CEST,M3.5.0,M10.5.0/3\nclock 2024-03-31 01:59:59\n",
                               "clock 2024-03-31 01:59:59\n"}) {
        ScenarioRunner zoned(Options());
        Steps(zoned, script);
        EXPECT_EQ(zoned.Clock().Now(), EncodeDateTime(2024, 3, 31, 1, 59, 59, 0)) << script;
        Steps(zoned, "advance 1s");
        // Berlin sets its clocks forward at 02:00 that night.
        const int hour = std::string(script).find("timezone") != std::string::npos ? 3 : 2;
        EXPECT_EQ(zoned.Clock().Now(), EncodeDateTime(2024, 3, 31, hour, 0, 0, 0)) << script;
        Steps(zoned, "advance-to 2024-03-31 04:00:00");
        EXPECT_EQ(zoned.Clock().ElapsedMs(), hour == 3 ? 3'601'000 : 7'201'000) << script;
    }
}

// A marker or a held lock makes the start ask: a queued answer goes on, an unanswered
// question takes its default and the program ends where it stands, without FormClose.
TEST_F(ScenarioRunnerTest, TheStartQuestionTakesTheQueuedAnswerOrEndsTheProgram) {
    dir_.WriteText("$dde_activ", "");
    ASSERT_EQ(Run("answer no\nstart\n"), 0) << errors_.str();
    // The texts are the engine's start test's; the answer is the runner's.
    EXPECT_THAT(Transcript(), ElementsAre(StartsWith("MESSAGE Ein Tarvewater_DDE_CLient"),
                                          "QUESTION Programmstart abbrechen ? -> No"));
    EXPECT_THAT(Log(), Contains(std::string(kStamp) + "Neustart"));
    EXPECT_FALSE(dir_.Exists("$dde_activ"));

    Fresh();
    dir_.WriteText("$dde_activ", "");
    ScenarioRunner unanswered(Options());
    ASSERT_EQ(Run(unanswered, "start\nadvance 1h\n"), 0) << errors_.str();
    EXPECT_THAT(Transcript(), ElementsAre(StartsWith("MESSAGE Ein Tarvewater_DDE_CLient"),
                                          "QUESTION Programmstart abbrechen ? -> Yes"));
    EXPECT_TRUE(unanswered.Ended());
    EXPECT_EQ(unanswered.Clock().ElapsedMs(), 0);
    EXPECT_THAT(Log(), Not(Contains(std::string(kStamp) + "Neustart")));
    EXPECT_TRUE(dir_.Exists("$dde_activ"));

    Fresh();
    ScenarioRunner locked(Options());
    const auto other = locked.Locks().Acquire("tarvedde");
    ASSERT_EQ(Run(locked, "answer yes\nstart\n"), 0) << errors_.str();
    EXPECT_EQ(dir_.Bytes("operator.txt"),
              "MESSAGE Die Anwendung Tarvewater_DDE_CLient l\xE4uft bereits auf dem PC !\r\n"
              "QUESTION Programmstart abbrechen ? -> Yes\r\n");
}

TEST_F(ScenarioRunnerTest, AProgramThatEndsItselfStopsTheAdvanceAtOnce) {
    ScenarioRunner ending(Options());
    Steps(ending, "start");
    int fired = 0;
    auto timer = ending.Loop().CreateTimer("Test", 1000, [&] {
        if (++fired == 3) {
            ending.EngineHost().shell.TerminateProcess(0);
        }
    });
    timer->SetEnabled(true);
    Steps(ending, "advance 10s");
    EXPECT_EQ(ending.Clock().ElapsedMs(), 3'000);
    EXPECT_TRUE(ending.Ended());
    EXPECT_TRUE(ending.Shell().terminated());
    ending.Finish();
    // No FormClose after the process ended: the marker stays.
    EXPECT_TRUE(dir_.Exists("$dde_activ"));
}

// The client hands a value to every item on the link (items 1 and 3 name one); the retry
// starts when the server is lost and links again a second after it is back. The first row
// after the relink has the value the server took meanwhile, not the old one.
TEST_F(ScenarioRunnerTest, SetReachesTheLinkedItemAndServerDownAndUpBreakAndRestoreTheLink) {
    dir_.WriteText("TARVEDDE.INI",
                   "[DDE]\nAutoStart=1\nIntervall=10\nEinheit=0\nItemcount=3\n[Items]\n"
                   "Item1=Zulauf Q\nItem2=C\nItem3=Zulauf Q\n[Itemnames]\nItem1=A\nItem2=B\n"
                   "Item3=C\n");
    ASSERT_EQ(Run("start\nset \"Zulauf Q\" \"12,5\"\nadvance 10s\nserver down\nadvance 5s\n"
                  "set \"Zulauf Q\" \"7,5\"\nserver up\nadvance 12s\n"),
              0)
        << errors_.str();
    const auto log = Log();
    EXPECT_THAT(log, Contains("05.Mrz.24, 07:00:10 > Callback : Konversation abgebrochen !"));
    EXPECT_THAT(log, Contains("05.Mrz.24, 07:00:16 > Verbindung zum Server hergestellt."));
    EXPECT_THAT(
        dir_.Lines("20240305.DAT"),
        ElementsAre("2024.3.5;07:00:00;0,000;0,000;0,000", "2024.3.5;07:00:10;12,500;0,000;12,500",
                    "2024.3.5;07:00:16;7,500;0,000;7,500", "2024.3.5;07:00:26;7,500;0,000;7,500"));
}

TEST_F(ScenarioRunnerTest, MenuBeendenEndsTheProgramAndTheScriptAnUnknownMenuStopsTheRun) {
    ScenarioRunner runner(Options());
    ASSERT_EQ(Run(runner, "start\nmenu Beenden1\nadvance 1h\n"), 0) << errors_.str();
    EXPECT_EQ(runner.Clock().ElapsedMs(), 0);
    EXPECT_TRUE(dir_.Exists("_TARVEDDE_LOG.TXT"));
    EXPECT_FALSE(dir_.Exists("$dde_activ"));

    ScenarioRunner unknown(Options());
    EXPECT_EQ(Run(unknown, "start\nmenu Datei1\nadvance 1h\n"), 2);
    EXPECT_EQ(errors_.str(), "line 2: 'menu Datei1' is not yet supported\n");
    EXPECT_EQ(unknown.Clock().ElapsedMs(), 0);
    EXPECT_FALSE(dir_.Exists("$dde_activ"));
    EXPECT_EQ(Run("start\nclick btNichts\n"), 2);
    EXPECT_EQ(errors_.str(), "line 2: 'click btNichts' is not yet supported\n");
}

TEST_F(ScenarioRunnerTest, WrongOrderAndUnsupportedVerbsChangeNothingOnDisk) {
    const std::pair<const char*, const char*> cases[] = {
        {"start\nclock 2024-03-05 08:00:00\n", "line 2: 'clock' must come before 'start'"},
        {"start\nsource opc\n", "line 2: 'source' must come before 'start'"},
        {"start\ntimezone UTC\n", "line 2: 'timezone' must come before 'start'"},
        {"timezone Mars/Olympus\nstart\n", "line 1: time zone 'Mars/Olympus': "},
        {"menu Beenden1\nstart\n", "line 1: 'menu' needs 'start' first"},
        {"click btStartDDE\n", "line 1: 'click' needs 'start' first"},
        {"set A \"1\"\nstart\n", "line 1: 'set' needs 'start' first"},
        {"start\n\nstart\n", "line 3: 'start' may come only once"},
        {"kill\nstart\n", "line 1: 'kill' needs 'start' first"},
        {"start\nkill\nkill\n", "line 3: 'kill' needs 'start' first"},
        {"start\nkill\nsource opc\nstart\n", "line 3: 'source' must come before 'start'"},
        {"start\nkill\nmenu Beenden1\n", "line 3: 'menu' needs 'start' first"},
        {"start\nset A 12.5\n", "line 2: 'set' with an OPC value or quality needs 'source opc'"},
        {"source opc\nstart\nset A \"1\" quality fine\n", "line 3: quality 'fine' is neither"},
        {"form TFo_Wartung show\n", "line 1: 'form' needs 'start' first\n"},
        {"start\n\nform TFo_Nichts show\n", "line 3: unknown form 'TFo_Nichts'\n"},
        {"start\nform TFo_Wartung set cbWartng checked\n",
         "line 2: TFo_Wartung has no control 'cbWartng'\n"},
        {"start\nform TFo_Einstell1 call Speichern\n",
         "line 2: TFo_Einstell1 has no handler 'Speichern'\n"},
    };
    for (const auto& [script, message] : cases) {
        EXPECT_EQ(Run(script), 2) << script;
        EXPECT_THAT(errors_.str(), StartsWith(message)) << script;
        EXPECT_EQ(dir_.Snapshot().size(), 1u) << script;
    }
    // Commands executed one by one, past the script check, refuse the same.
    ScenarioRunner direct(Options());
    for (const char* line : {"set A \"1\"", "menu Beenden1", "click btStartDDE", "kill"}) {
        const ScenarioCommand command = ParseScenarioScript(line).value().front();
        EXPECT_EQ(direct.Execute(command).error().message,
                  "line 1: '" + command.verb + "' needs 'start' first");
    }
    Steps(direct, "start");
    EXPECT_EQ(direct.Execute(ParseScenarioScript("start").value().front()).error().message,
              "line 1: 'start' may come only once");
}

TEST_F(ScenarioRunnerTest, TheSameDirectoryAndScriptGiveIdenticalFiles) {
    const std::string script =
        "timezone Europe/Berlin\nclock 2024-03-30 23:59:00\nanswer no\nstart\nadvance 90m\n"
        "clock-step -1h\nadvance-to 2024-03-31 04:00:00\nmenu Beenden1\n";
    auto runOnFreshDirectory = [&] {
        dir_.Clear();
        dir_.WriteText("TARVEDDE.INI", "[DDE]\nAktuTag=30.03.2024\n" + std::string(kOneItem + 6));
        dir_.WriteText("$dde_activ", "");
        EXPECT_EQ(Run(script), 0) << errors_.str();
        return dir_.Snapshot();
    };
    const auto first = runOnFreshDirectory();
    EXPECT_EQ(first, runOnFreshDirectory());
    EXPECT_GE(first.size(), 5u);
    EXPECT_EQ(first.count("$$log_20240330_235900_000.log"), 1u);
}

// That a start after a kill takes the day over is the restart scenario's test.
TEST_F(ScenarioRunnerTest, KillLeavesTheFilesAndTheDeadProgramDoesNothingMore) {
    Fresh(kAcquiring);
    ScenarioRunner runner(Options());
    Steps(runner, "start\nset Q \"1,5\"\nadvance 1m\n");
    const std::string logBefore = dir_.Bytes("_DDE_OPC_LOGALL.TXT");
    const std::string dayBefore = dir_.Bytes("20240305.DAT");
    Steps(runner, "kill");
    EXPECT_EQ(runner.Engine(), nullptr);
    EXPECT_FALSE(runner.Ended());
    EXPECT_TRUE(dir_.Exists("$dde_activ"));
    EXPECT_FALSE(dir_.Exists("_TARVEDDE_LOG.TXT"));
    // A kill ends its DDE conversations as the system ends a dead process's, so the
    // server's outage reaches nobody.
    Steps(runner, "advance 30s\nserver down\nadvance 5s\nserver up\nadvance 25s\n");
    EXPECT_EQ(dir_.Bytes("_DDE_OPC_LOGALL.TXT"), logBefore);
    EXPECT_EQ(dir_.Bytes("20240305.DAT"), dayBefore);

    // The end of the script closes a running program through the countdown.
    Steps(runner, "start\nadvance 1m\n");
    runner.Finish();
    EXPECT_THAT(Cp1252ToUtf8(dir_.Bytes("_DDE_OPC_LOGALL.TXT")),
                HasSubstr("05.Mrz.24, 07:03:08 > Programm wird jetzt unsauber beendet."));
    EXPECT_FALSE(dir_.Exists("$dde_activ"));
}

// A wall clock set back across midnight: the day only moves forward. The step back is
// logged once, the day change runs once, and the cycles before midnight on the set-back
// clock write their rows into the running day's files.
TEST_F(ScenarioRunnerTest, AClockSetBackAcrossMidnightChangesTheDayOnce) {
    RunOn(kAcquiring,
          "clock 2024-03-05 23:59:35\nstart\nset Q \"12,5\"\nadvance 50s\n"
          "clock-step -1m\nadvance 90s\n");
    const auto log = Log();
    EXPECT_THAT(log, Contains(HasSubstr("Tageswechsel erkannt")).Times(1));
    EXPECT_THAT(log, Contains(HasSubstr("Uhr zurückgestellt")).Times(1));
    EXPECT_THAT(log, Contains("05.Mrz.24, 23:59:35 > Uhr zurückgestellt: 05.03.2024 23:59:35 "
                              "liegt vor dem Tag 06.03.2024."));
    EXPECT_THAT(dir_.Bytes("TARVEDDE.INI"), HasSubstr("AktuTag=06.03.2024\r\n"));
    EXPECT_THAT(dir_.Lines("20240305.DAT"),
                ElementsAre("2024.3.5;23:59:35;0,000", "2024.3.5;23:59:45;12,500",
                            "2024.3.5;23:59:55;12,500"));
    // The set-back cycles keep the clock's time; 00:00:05 to 00:00:25 come twice, once
    // before and once after the step back.
    EXPECT_THAT(dir_.Lines("20240306.DAT"),
                ElementsAre("2024.3.6;00:00:05;12,500", "2024.3.6;00:00:15;12,500",
                            "2024.3.6;00:00:25;12,500", "2024.3.5;23:59:35;12,500",
                            "2024.3.5;23:59:45;12,500", "2024.3.5;23:59:55;12,500",
                            "2024.3.6;00:00:05;12,500", "2024.3.6;00:00:15;12,500",
                            "2024.3.6;00:00:25;12,500", "2024.3.6;00:00:35;12,500",
                            "2024.3.6;00:00:45;12,500", "2024.3.6;00:00:55;12,500"));
}

// A clock two days ahead for a minute: its day change cannot be undone, but the clock's
// date is taken back, and the real midnight changes the day again.
TEST_F(ScenarioRunnerTest, AClockSetBackByDaysTakesItsDateBack) {
    RunOn(kAcquiring,
          "clock 2024-03-05 10:00:00\nstart\nset Q \"12,5\"\nclock-step 48h\n"
          "advance 60s\nclock-step -48h\nadvance-to 2024-03-06 00:00:30\n");
    const auto log = Log();
    EXPECT_THAT(log, Contains(HasSubstr("Tageswechsel erkannt")).Times(2));
    EXPECT_THAT(log, Contains("05.Mrz.24, 10:01:10 > Uhr zurückgestellt: 05.03.2024 10:01:10, "
                              "der Tag 05.03.2024 gilt wieder."));
    EXPECT_THAT(dir_.Bytes("TARVEDDE.INI"), HasSubstr("AktuTag=06.03.2024\r\n"));
    EXPECT_THAT(dir_.Lines("20240306.DAT"), Contains("2024.3.6;00:00:20;12,500"));
    // The rest of the real day goes to that day's data file.
    EXPECT_THAT(dir_.Lines("20240305.DAT"), Contains("2024.3.5;23:59:50;12,500"));
    EXPECT_THAT(dir_.Lines("20240307.DAT"), Each(StartsWith("2024.3.7;")));
    // Closed again at the real midnight, the day adds to its protocol.
    const std::string protocol = dir_.Bytes("20240305.RTF");
    EXPECT_NE(protocol.find("Statistik f"), protocol.rfind("Statistik f"));
}

// A server down over Saturday: the first cycle on Sunday closes Friday, under Friday's
// name.
TEST_F(ScenarioRunnerTest, AfterDaysWithoutACycleTheDayChangeClosesTheRunningDay) {
    RunOn(kAcquiring,
          "clock 2024-03-08 22:00:00\nstart\nset Q \"12,5\"\nadvance 1h\n"
          "server down\nadvance-to 2024-03-10 00:30:00\nserver up\nadvance 30s\n");
    EXPECT_TRUE(dir_.Exists("20240308.RTF"));
    EXPECT_FALSE(dir_.Exists("20240309.RTF"));
}

// A start after a change of the calibration factor or of the items begins a new version
// of the day's files with a state created afresh: there is no restored minimum to keep, so
// the day's first value counts like any other, and no meter counts from another's reading.
TEST_F(ScenarioRunnerTest, TheNewVersionAfterAConfigChangeStartsItsStateAfresh) {
    Fresh(kAcquiring);
    dir_.WriteText("EICH.INI", "[Zulauf]\nM=1\nT=0\nD=1\n");
    ScenarioRunner runner(Options());
    // The server's value stands at 0 when the program is killed, so the next start's
    // first cycle shows 0 whether or not the server sends it as the link starts (then
    // it has no value yet and counts nothing).
    Steps(runner, "start\nset Q \"7\"\nadvance 20s\nset Q \"0\"\nadvance 5s\nkill\n");
    dir_.WriteText("EICH.INI", "[Zulauf]\nM=2\nT=0\nD=1\n");
    Steps(runner, "answer no\nstart\nadvance 5s\nset Q \"7\"\nadvance 10s\n");
    ASSERT_THAT(Log(), Contains("05.Mrz.24, 07:00:25 > Neustart : Neue Headerdatei erzeugt."));
    EXPECT_THAT(Log(), Not(Contains(HasSubstr("Korrektur"))));
    // count, sum, minimum, maximum
    EXPECT_THAT(testing::SavedDayFigures(dir_.Bytes("TARVEDDE.COF")),
                ElementsAre(ElementsAre(1.0, 14.0, 14.0, 14.0)));
    // The earlier version keeps its name with a suffix.
    EXPECT_THAT(dir_.Lines("20240305.DAT"),
                ElementsAre("2024.3.5;07:00:25;0,000", "2024.3.5;07:00:35;14,000"));
    EXPECT_THAT(dir_.Lines("20240305_1.DAT"), Contains("2024.3.5;07:00:20;7,000"));

    // Item 1 removed: the water meter, now item 1, must not count from the power meter's
    // last reading, which its first one lies far below.
    Fresh(
        "[DDE]\nItemcount=2\nIntervall=10\nEinheit=0\nAutoStart=1\nTarveget=0\n[Items]\n"
        "Item1=S\nItem2=W\n[Itemnames]\nItem1=Strom\nItem2=Wasser\n[Differenz]\nItem1=1\n"
        "Item2=1\n");
    ScenarioRunner meters(Options());
    Steps(meters, "start\nset S \"4821300\"\nset W \"12000\"\nadvance 20s\nkill\n");
    dir_.WriteText(
        "TARVEDDE.INI",
        "[DDE]\nAktuTag=05.03.2024\nItemcount=1\nIntervall=10\nEinheit=0\nAutoStart=1\n"
        "Tarveget=0\n[Items]\nItem1=W\n[Itemnames]\nItem1=Wasser\n[Differenz]\nItem1=1\n");
    Steps(meters, "answer no\nstart\nset W \"12010\"\nadvance 20s\n");
    EXPECT_THAT(testing::SavedDayFigures(dir_.Bytes("TARVEDDE.COF")).at(0).at(1), 0.0);
}

}  // namespace
}  // namespace tarvedde
