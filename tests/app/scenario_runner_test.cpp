#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "app/scenario_runner.h"
#include "platform/date_time.h"
#include "platform/instance_lock.h"
#include "tests/app/scenario_test_files.h"

namespace tarvedde {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using testing::TempDir;

const char kStamp[] = "05.Mrz.24, 07:00:00 > ";
const char kOneItem[] =
    "[DDE]\nAutoStart=0\nItemcount=1\n[Items]\nItem1=Q\n[Itemnames]\nItem1=Zulauf\n";

std::vector<ScenarioCommand> Parse(const std::string& script) {
    auto parsed = ParseScenarioScript(script);
    EXPECT_TRUE(parsed.ok()) << (parsed.ok() ? "" : parsed.error().message);
    return parsed.ok() ? parsed.value() : std::vector<ScenarioCommand>{};
}

ScenarioCommand Command(const std::string& line) {
    auto commands = Parse(line);
    return commands.empty() ? ScenarioCommand{0, "kill", KillCommand{}} : commands.front();
}

class ScenarioRunnerTest : public testing::ScenarioFixture {
protected:
    void SetUp() override { dir_.WriteText("TARVEDDE.INI", kOneItem); }

    int Run(ScenarioRunner& runner, const std::string& script) {
        return runner.Run(Parse(script), errors_);
    }
    int Run(const std::string& script) {
        ScenarioRunner runner(Options());
        return Run(runner, script);
    }

    std::vector<std::string> Log() const { return dir_.Lines("_DDE_OPC_LOGALL.TXT"); }
    std::vector<std::string> Transcript() const { return dir_.Lines("operator.txt"); }

    std::ostringstream errors_;
};

TEST_F(ScenarioRunnerTest, StartLogsTheProgramDirectoryAndTheEndClosesAsTheHostWould) {
    dir_.WriteText("operator.txt", "from an earlier run\n");
    ASSERT_EQ(Run("start\n"), 0) << errors_.str();
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
}

TEST_F(ScenarioRunnerTest, ClockAndSourceShapeTheStart) {
    ASSERT_EQ(Run("clock 2024-12-31 23:59:58.500\nsource opc\nstart\n"), 0) << errors_.str();
    const auto log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "31.Dez.24, 23:59:58 > Programmstart in " + dir_.Path());
    EXPECT_THAT(log, ::testing::Contains("31.Dez.24, 23:59:58 > OPC-Host : "));
    EXPECT_THAT(dir_.Bytes("TARVEDDE.INI"), HasSubstr("AktuTag=31.12.2024\r\n"));
}

TEST_F(ScenarioRunnerTest, ClockAndTimeZoneMeanTheSameInEitherOrder) {
    const double beforeChange = EncodeDateTime(2024, 3, 31, 1, 59, 59, 0);
    for (const char* script : {"timezone Europe/Berlin\nclock 2024-03-31 01:59:59\n",
                               "clock 2024-03-31 01:59:59\ntimezone Europe/Berlin\n"}) {
        ScenarioRunner runner(Options());
        for (const ScenarioCommand& command : Parse(script)) {
            ASSERT_TRUE(runner.Execute(command).ok()) << script;
        }
        EXPECT_EQ(runner.Clock().Now(), beforeChange) << script;
        ASSERT_TRUE(runner.Execute(Command("advance 1s")).ok());
        // Berlin sets its clocks forward at 02:00 that night.
        EXPECT_EQ(runner.Clock().Now(), EncodeDateTime(2024, 3, 31, 3, 0, 0, 0)) << script;
        ASSERT_TRUE(runner.Execute(Command("advance-to 2024-03-31 04:00:00")).ok());
        EXPECT_EQ(runner.Clock().ElapsedMs(), 3'601'000) << script;
    }
    ScenarioRunner noZone(Options());
    ASSERT_TRUE(noZone.Execute(Command("clock 2024-03-31 01:59:59")).ok());
    ASSERT_TRUE(noZone.Execute(Command("advance 1s")).ok());
    EXPECT_EQ(noZone.Clock().Now(), EncodeDateTime(2024, 3, 31, 2, 0, 0, 0));
}

TEST_F(ScenarioRunnerTest, AnUnknownTimeZoneStopsBeforeTheStart) {
    EXPECT_EQ(Run("timezone Mars/Olympus\nstart\n"), 2);
    EXPECT_THAT(errors_.str(), StartsWith("line 1: time zone 'Mars/Olympus': "));
    EXPECT_FALSE(dir_.Exists("_DDE_OPC_LOGALL.TXT"));
}

TEST_F(ScenarioRunnerTest, TimersFireUpToAndAtTheEndOfEachAdvanceInElapsedTime) {
    ScenarioRunner runner(Options());
    int fired = 0;
    auto timer = runner.Loop().CreateTimer("Test", 1000, [&fired] { ++fired; });
    timer->SetEnabled(true);
    ASSERT_TRUE(runner.Execute(Command("advance 10s")).ok());
    EXPECT_EQ(fired, 10);
    ASSERT_TRUE(runner.Execute(Command("advance 999ms")).ok());
    EXPECT_EQ(fired, 10);
    ASSERT_TRUE(runner.Execute(Command("advance 1ms")).ok());
    EXPECT_EQ(fired, 11);
    ASSERT_TRUE(runner.Execute(Command("advance-to 2024-03-05 07:00:15")).ok());
    EXPECT_EQ(fired, 15);
    EXPECT_EQ(runner.Clock().ElapsedMs(), 15'000);
    // A moment in the past moves nothing; a clock step moves the wall clock only.
    ASSERT_TRUE(runner.Execute(Command("advance-to 2024-03-05 07:00:00")).ok());
    EXPECT_EQ(fired, 15);
    EXPECT_EQ(runner.Clock().ElapsedMs(), 15'000);
    ASSERT_TRUE(runner.Execute(Command("clock-step -1h")).ok());
    EXPECT_EQ(runner.Clock().Now(), EncodeDateTime(2024, 3, 5, 6, 0, 15, 0));
    EXPECT_EQ(runner.Clock().ElapsedMs(), 15'000);
    ASSERT_TRUE(runner.Execute(Command("advance-to 2024-03-05 06:30:15")).ok());
    EXPECT_EQ(runner.Clock().ElapsedMs(), 1'815'000);
    EXPECT_EQ(fired, 1815);
}

TEST_F(ScenarioRunnerTest, AQueuedAnswerGoesOnAndIsTranscribed) {
    dir_.WriteText("$dde_activ", "");
    ASSERT_EQ(Run("answer no\nstart\n"), 0) << errors_.str();
    EXPECT_THAT(Transcript(),
                ElementsAre("MESSAGE Ein Tarvewater_DDE_CLient scheint bereits im\\r\\n "
                            "Verzeichnis " +
                                dir_.Path() + " aktiv zu sein !",
                            "QUESTION Programmstart abbrechen ? -> No"));
    EXPECT_THAT(Log(), ::testing::Contains(std::string(kStamp) + "Neustart"));
    EXPECT_FALSE(dir_.Exists("$dde_activ"));
}

TEST_F(ScenarioRunnerTest, AnUnansweredStartQuestionEndsTheProgramWhereItStands) {
    dir_.WriteText("$dde_activ", "");
    ScenarioRunner runner(Options());
    ASSERT_EQ(Run(runner, "start\nadvance 1h\n"), 0) << errors_.str();
    EXPECT_THAT(Transcript(), ElementsAre(StartsWith("MESSAGE Ein Tarvewater_DDE_CLient"),
                                          "QUESTION Programmstart abbrechen ? -> Yes"));
    EXPECT_TRUE(runner.Ended());
    EXPECT_TRUE(runner.Shell().terminated());
    EXPECT_EQ(runner.Clock().ElapsedMs(), 0);
    EXPECT_THAT(Log(), Not(::testing::Contains(std::string(kStamp) + "Neustart")));
    // The process ended without FormClose: its marker stays, as after a real exit.
    EXPECT_TRUE(dir_.Exists("$dde_activ"));
}

TEST_F(ScenarioRunnerTest, AProgramThatEndsItselfStopsTheAdvanceAtOnce) {
    ScenarioRunner ending(Options());
    ASSERT_TRUE(ending.Execute(Command("start")).ok());
    int fired = 0;
    auto timer = ending.Loop().CreateTimer("Test", 1000, [&] {
        if (++fired == 3) {
            ending.EngineHost().shell.TerminateProcess(0);
        }
    });
    timer->SetEnabled(true);
    ASSERT_TRUE(ending.Execute(Command("advance 10s")).ok());
    EXPECT_EQ(fired, 3);
    EXPECT_EQ(ending.Clock().ElapsedMs(), 3'000);
    EXPECT_TRUE(ending.Ended());
    EXPECT_TRUE(ending.Shell().terminated());
    ending.Finish();
    // No FormClose after the process ended: the marker stays.
    EXPECT_TRUE(dir_.Exists("$dde_activ"));
}

TEST_F(ScenarioRunnerTest, AHeldLockAsksAndTheTranscriptIsWindows1252WithCrLf) {
    ScenarioRunner runner(Options());
    const auto other = runner.Locks().Acquire("tarvedde");
    ASSERT_EQ(Run(runner, "answer yes\nstart\n"), 0) << errors_.str();
    EXPECT_EQ(dir_.Bytes("operator.txt"),
              "MESSAGE Die Anwendung Tarvewater_DDE_CLient l\xE4uft bereits auf dem PC !\r\n"
              "QUESTION Programmstart abbrechen ? -> Yes\r\n");
}

TEST_F(ScenarioRunnerTest, SetReachesTheItemLinkedToThatServerItem) {
    dir_.WriteText("TARVEDDE.INI",
                   "[DDE]\nAutoStart=0\nItemcount=3\n[Items]\nItem1=Zulauf Q\nItem2=C\n"
                   "Item3=Zulauf Q\n[Itemnames]\nItem1=A\nItem2=B\nItem3=C\n");
    ScenarioRunner runner(Options());
    ASSERT_TRUE(runner.Execute(Command("start")).ok());
    EngineState& state = runner.Engine()->State();
    ASSERT_TRUE(runner.Execute(Command("set \"Zulauf Q\" \"12,5\\xB0\"")).ok());
    EXPECT_EQ(state.sources[1].newestText, "12,5°");
    EXPECT_EQ(state.sources[2].newestText, "");
    // The client hands a value to the first item that holds the link, as DDE does.
    EXPECT_EQ(state.sources[3].newestText, "");
    EXPECT_EQ(runner.Execute(Command("start")).error().message,
              "line 1: 'start' may come only once");
}

TEST_F(ScenarioRunnerTest, ServerDownLosesTheConnectionAndServerUpRestoresIt) {
    dir_.WriteText("TARVEDDE.INI",
                   "[DDE]\nAutoStart=1\nItemcount=1\n[Items]\nItem1=Q\n"
                   "[Itemnames]\nItem1=Zulauf\n");
    ASSERT_EQ(Run("start\nadvance 10s\nserver down\nadvance 5s\nserver up\nadvance 2s\n"
                  "set Q \"7,5\"\nadvance 10s\n"),
              0)
        << errors_.str();
    const std::string log = dir_.Bytes("_DDE_OPC_LOGALL.TXT");
    EXPECT_NE(log.find("05.Mrz.24, 07:00:10 > Callback : Konversation abgebrochen !"),
              std::string::npos);
    // The next cycle hands over to the retry timer, which links again a second later.
    EXPECT_NE(log.find("05.Mrz.24, 07:00:21 > Verbindung zum Server hergestellt."),
              std::string::npos)
        << log;
}

TEST_F(ScenarioRunnerTest, MenuBeendenEndsTheProgramAndTheScript) {
    ScenarioRunner runner(Options());
    ASSERT_EQ(Run(runner, "start\nmenu Beenden1\nadvance 1h\n"), 0) << errors_.str();
    EXPECT_EQ(runner.Clock().ElapsedMs(), 0);
    EXPECT_TRUE(dir_.Exists("_TARVEDDE_LOG.TXT"));
    EXPECT_FALSE(dir_.Exists("$dde_activ"));

    ScenarioRunner goesOn(Options());
    ASSERT_EQ(Run(goesOn, "start\nadvance 1h\n"), 0) << errors_.str();
    EXPECT_EQ(goesOn.Clock().ElapsedMs(), 3'600'000);
}

TEST_F(ScenarioRunnerTest, AnUnknownMenuStopsTheRunAndClosesTheProgram) {
    ScenarioRunner runner(Options());
    EXPECT_EQ(Run(runner, "start\nmenu Datei1\nadvance 1h\n"), 2);
    EXPECT_EQ(errors_.str(), "line 2: 'menu Datei1' is not yet supported\n");
    EXPECT_EQ(runner.Clock().ElapsedMs(), 0);
    EXPECT_FALSE(dir_.Exists("$dde_activ"));
    EXPECT_EQ(Run("start\nclick btNichts\n"), 2);
    EXPECT_THAT(errors_.str(), HasSubstr("line 2: 'click btNichts' is not yet supported\n"));
}

TEST_F(ScenarioRunnerTest, WrongOrderAndUnsupportedVerbsChangeNothingOnDisk) {
    const std::pair<const char*, const char*> cases[] = {
        {"start\nclock 2024-03-05 08:00:00\n", "line 2: 'clock' must come before 'start'"},
        {"start\nsource opc\n", "line 2: 'source' must come before 'start'"},
        {"start\ntimezone UTC\n", "line 2: 'timezone' must come before 'start'"},
        {"menu Beenden1\nstart\n", "line 1: 'menu' needs 'start' first"},
        {"click btStartDDE\n", "line 1: 'click' needs 'start' first"},
        {"set A \"1\"\nstart\n", "line 1: 'set' needs 'start' first"},
        {"start\n\nstart\n", "line 3: 'start' may come only once"},
        {"kill\nstart\n", "line 1: 'kill' needs 'start' first"},
        {"start\nkill\nkill\n", "line 3: 'kill' needs 'start' first"},
        {"start\nkill\nsource opc\nstart\n", "line 3: 'source' must come before 'start'"},
        {"start\nkill\nmenu Beenden1\n", "line 3: 'menu' needs 'start' first"},
        {"start\nset A 12.5\n", "line 2: 'set' with an OPC value or quality is not yet supported"},
        {"start\nset A \"1\" quality good\n",
         "line 2: 'set' with an OPC value or quality is not yet supported"},
    };
    for (const auto& [script, message] : cases) {
        errors_.str("");
        EXPECT_EQ(Run(script), 2) << script;
        EXPECT_EQ(errors_.str(), std::string(message) + "\n") << script;
        EXPECT_EQ(dir_.Snapshot().size(), 1u) << script;
    }
}

TEST_F(ScenarioRunnerTest, TheSameDirectoryAndScriptGiveIdenticalFiles) {
    const std::string script =
        "timezone Europe/Berlin\n"
        "clock 2024-03-30 23:59:00\n"
        "answer no\n"
        "start\n"
        "advance 90m\n"
        "clock-step -1h\n"
        "advance-to 2024-03-31 04:00:00\n"
        "menu Beenden1\n";
    auto runOnFreshDirectory = [&] {
        dir_.Clear();
        dir_.WriteText("TARVEDDE.INI", "[DDE]\nAktuTag=30.03.2024\n" + std::string(kOneItem + 6));
        dir_.WriteText("$dde_activ", "");
        EXPECT_EQ(Run(script), 0) << errors_.str();
        return dir_.Snapshot();
    };
    const auto first = runOnFreshDirectory();
    const auto second = runOnFreshDirectory();
    EXPECT_EQ(first, second);
    EXPECT_GE(first.size(), 5u);
    EXPECT_EQ(first.count("$$log_20240330_235900_000.log"), 1u);
}

TEST_F(ScenarioRunnerTest, KillLeavesTheFilesAndAStartGoesOnWithTheDay) {
    dir_.WriteText("TARVEDDE.INI",
                   "[DDE]\nAutoStart=1\nIntervall=10\nEinheit=0\n" + std::string(kOneItem + 6));
    ScenarioRunner runner(Options());
    for (const char* line : {"start", "set Q \"1,5\"", "advance 1m"}) {
        ASSERT_TRUE(runner.Execute(Command(line)).ok()) << line;
    }
    ASSERT_FALSE(runner.Ended());
    const std::string logBefore = dir_.Bytes("_DDE_OPC_LOGALL.TXT");
    const std::string dayBefore = dir_.Bytes("20240305.DAT");
    ASSERT_TRUE(runner.Execute(Command("kill")).ok());
    EXPECT_EQ(runner.Engine(), nullptr);
    EXPECT_FALSE(runner.Ended());
    EXPECT_EQ(dir_.Bytes("_DDE_OPC_LOGALL.TXT"), logBefore);
    EXPECT_EQ(dir_.Bytes("20240305.DAT"), dayBefore);
    EXPECT_TRUE(dir_.Exists("$dde_activ"));
    EXPECT_FALSE(dir_.Exists("_TARVEDDE_LOG.TXT"));
    // Nothing of the dead program runs on: a kill ends its DDE conversations as the system
    // ends a dead process's, so the server's outage reaches nobody.
    for (const char* line :
         {"advance 30s", "server down", "advance 5s", "server up", "advance 25s"}) {
        ASSERT_TRUE(runner.Execute(Command(line)).ok()) << line;
    }
    EXPECT_EQ(dir_.Bytes("_DDE_OPC_LOGALL.TXT"), logBefore);

    ASSERT_TRUE(runner.Execute(Command("start")).ok());
    ASSERT_TRUE(runner.Execute(Command("set Q \"2,5\"")).ok());
    EXPECT_EQ(runner.Engine()->State().sources[1].newestText, "2,5");
    ASSERT_TRUE(runner.Execute(Command("advance 1m")).ok());
    runner.Finish();
    const std::string log = dir_.Bytes("_DDE_OPC_LOGALL.TXT");
    const std::string text = Cp1252ToUtf8(log);
    EXPECT_EQ(log.substr(0, logBefore.size()), logBefore);
    // The lock went with the process, the marker stayed.
    EXPECT_THAT(text, HasSubstr("05.Mrz.24, 07:02:00 > $dde_activ in " + dir_.Path() +
                                " noch vorhanden. Autostart trotzdem durchgeführt !"));
    EXPECT_THAT(text, Not(HasSubstr("Mutex schon vorhanden")));
    const auto rows = dir_.Lines("20240305.DAT");
    EXPECT_EQ(dir_.Bytes("20240305.DAT").substr(0, dayBefore.size()), dayBefore);
    EXPECT_THAT(rows, ::testing::Contains(StartsWith("2024.3.5;07:01:00;")));
    EXPECT_THAT(rows, ::testing::Contains(StartsWith("2024.3.5;07:02:00;")));
    EXPECT_THAT(rows, Not(::testing::Contains(StartsWith("2024.3.5;07:01:30;"))));
    EXPECT_FALSE(dir_.Exists("20240305_1.DAT"));
    // The end of the script closes the running program through the countdown.
    EXPECT_THAT(text, HasSubstr("05.Mrz.24, 07:03:08 > Programm wird jetzt unsauber beendet."));
    EXPECT_FALSE(dir_.Exists("$dde_activ"));
}

TEST(ScenarioFile, RunsWithAPrivateLockDirectoryAndRemovesIt) {
    TempDir temporary;
    TempDir dir;
    const char* saved = std::getenv("TMPDIR");
    const std::string savedValue = saved != nullptr ? saved : "";
    ::setenv("TMPDIR", temporary.Path().c_str(), 1);
    dir.WriteText("run.scn", "start\nadvance 1s\n");
    std::ostringstream errors;
    const int status = RunScenarioFile(dir.Path(), dir.Path() + "run.scn", errors);
    const bool leftOver = !std::filesystem::is_empty(temporary.Path());
    if (saved != nullptr) {
        ::setenv("TMPDIR", savedValue.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
    EXPECT_EQ(status, 0) << errors.str();
    EXPECT_FALSE(leftOver);
    EXPECT_THAT(dir.Lines("_DDE_OPC_LOGALL.TXT"),
                ::testing::Contains(HasSubstr("Mutex = tarvedde")));
}

TEST(ScenarioFile, ReportsWhatCannotBeUsed) {
    TempDir dir;
    std::ostringstream errors;
    dir.WriteText("bad.scn", "start\nadvance soon\n");
    EXPECT_EQ(RunScenarioFile(dir.Path(), dir.Path() + "bad.scn", errors), 2);
    EXPECT_EQ(errors.str(), "line 2: bad duration 'soon' (a whole number with ms, s, m, h or d)\n");
    EXPECT_EQ(RunScenarioFile(dir.Path(), dir.Path() + "missing.scn", errors), 1);
    EXPECT_EQ(RunScenarioFile(dir.Path() + "nowhere/", dir.Path() + "bad.scn", errors), 1);
    EXPECT_FALSE(dir.Exists("_DDE_OPC_LOGALL.TXT"));
}

}  // namespace
}  // namespace tarvedde
