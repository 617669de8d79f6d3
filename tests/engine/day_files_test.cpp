// The day files as the running engine leaves them: one row per cycle in the right day's
// files, a header that describes the configuration, a new version of the day's files
// when the configuration changed, and a cycle that goes on whatever the files do.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/tarvedde_main.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde {
namespace {

using ::testing::ElementsAre;
using testing::EngineTestHost;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr char kFiveItems[] =
    "Itemcount=5\nIntervall=10\nEinheit=0\nAutoStart=1\nPuffer=8\nAktuTag=05.03.2024\n"
    "[Items]\nItem1=Q\nItem2=P\nItem3=T\nItem4=L\nItem5=S\n"
    "[Itemnames]\nItem1=Zulauf\nItem2=Pumpe\nItem3=Temperatur\nItem4=Leitfähigkeit\n"
    "Item5=Sauerstoff\n[Grafiktyp]\nItem2=2\n";
constexpr char kHeaderStart[] = "5\r\nQ\r\nP\r\nT\r\nL\r\nS\r\n\r\n10000\r\n\r\n";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string TimeText(int secondsOfDay) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", secondsOfDay / 3600, secondsOfDay / 60 % 60,
                  secondsOfDay % 60);
    return text;
}

class DayFilesEngineTest : public ::testing::Test {
protected:
    // `extraDde`: more keys of [DDE].
    void Create(int hour, int minute, int second, const std::string& extraDde = "") {
        env_.clock.SetLocalTime(EncodeDateTime(2024, 3, 5, hour, minute, second, 0));
        env_.WriteText("TARVEDDE.INI", "[DDE]\n" + extraDde + kFiveItems);
        StartOptions options;
        options.programDir = "/plant";
        options.lockName = "day-files-test";
        main_ = std::make_unique<TarveddeMain>(env_.host, options);
        ASSERT_TRUE(main_->FormCreate());
        SetValues(0);
    }
    void Start(int hour, int minute, int second) {
        Create(hour, minute, second);
        main_->FormShow();
    }
    // Values that differ per item and cycle, so a row in the wrong place shows. Item 1's
    // cell starts with "<cycle>,1" however many decimals the grid shows.
    void SetValues(int cycle) {
        for (int n = 1; n <= 5; ++n) {
            State().runtime[static_cast<std::size_t>(n)].newestText =
                std::to_string(cycle) + "," + std::to_string(n);
        }
    }
    // Runs `cycles` further cycles, each with its own values.
    void RunCycles(int cycles) {
        for (int i = 0; i < cycles; ++i) {
            SetValues(++cycle_);
            env_.loop.AdvanceBy(10000);
        }
    }
    std::string CurrentGridRow(const std::string& date, const std::string& time) {
        std::string row = date + ";" + time;
        for (int n = 1; n <= 5; ++n) {
            row += ";" + State().grid.Cell(n, State().grid.CurrentRow());
        }
        return row;
    }
    std::string LogAll() const { return env_.ReadText("_DDE_OPC_LOGALL.TXT"); }
    EngineState& State() { return main_->State(); }

    EngineTestHost env_;
    std::unique_ptr<TarveddeMain> main_;
    int cycle_ = 0;
};

TEST_F(DayFilesEngineTest, AnHourOfCyclesLeavesOneRowPerCycleAndAMatchingHeader) {
    Start(7, 0, 0);
    RunCycles(360);
    const std::vector<std::string> rows = Lines(env_.ReadText("20240305.DAT"));
    ASSERT_EQ(rows.size(), 361u);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const std::string expected = "2024.3.5;" + TimeText(7 * 3600 + 10 * static_cast<int>(k)) +
                                     ";" + std::to_string(k) + ",1";
        ASSERT_EQ(rows[k].substr(0, expected.size()), expected) << k;
    }
    EXPECT_EQ(rows.back(), CurrentGridRow("2024.3.5", "08:00:00"));
    EXPECT_EQ(env_.ReadText("20240305.SMP"), env_.ReadText("20240305.DAT"));
    EXPECT_EQ(Lines(env_.ReadText("AKTDAT.TVV")).size(), 5u);
    EXPECT_FALSE(env_.Exists("AKTDAT.TVV.tmp"));
    for (const char* lock : {"$lock_TVV", "$lock_SMP", "$lock_DAT"}) {
        EXPECT_FALSE(env_.Exists(lock)) << lock;
    }

    const std::string header = env_.ReadText("20240305.AQH");
    EXPECT_EQ(header.substr(0, sizeof kHeaderStart - 1), kHeaderStart);
    EXPECT_THAT(header, HasSubstr("\r\nLeitfähigkeit\r\n1\r\n"));
    // A restart with the same configuration goes on with the same files.
    main_->FormClose();
    main_.reset();
    Start(8, 0, 5);
    EXPECT_THAT(LogAll(), Not(HasSubstr("Geänderte Konfiguration")));
    EXPECT_EQ(env_.ReadText("20240305.AQH"), header);
    EXPECT_EQ(Lines(env_.ReadText("20240305.DAT")).size(), 362u);
    EXPECT_FALSE(env_.Exists("20240305_1.DAT"));
}

TEST_F(DayFilesEngineTest, RowsAfterMidnightGoToTheNewDaysFiles) {
    Start(23, 59, 30);
    RunCycles(6);  // up to 00:00:30
    EXPECT_THAT(Lines(env_.ReadText("20240305.DAT")),
                ElementsAre(HasSubstr("2024.3.5;23:59:30;0,1"), HasSubstr("2024.3.5;23:59:40;1,1"),
                            HasSubstr("2024.3.5;23:59:50;2,1")));
    EXPECT_THAT(
        Lines(env_.ReadText("20240306.DAT")),
        ElementsAre(HasSubstr("2024.3.6;00:00:00;3,1"), HasSubstr("2024.3.6;00:00:10;4,1"),
                    HasSubstr("2024.3.6;00:00:20;5,1"), HasSubstr("2024.3.6;00:00:30;6,1")));
    EXPECT_EQ(env_.ReadText("20240305.SMP"), env_.ReadText("20240305.DAT"));
    EXPECT_EQ(env_.ReadText("20240306.SMP"), env_.ReadText("20240306.DAT"));
    EXPECT_EQ(env_.ReadText("20240306.AQH"), env_.ReadText("20240305.AQH"));
    EXPECT_EQ((State().currentDay), (DateParts{2024, 3, 6}));
}

TEST_F(DayFilesEngineTest, WithoutTheViewerOptionOnlyTheDayFilesAreWritten) {
    Create(7, 0, 0, "Tarveview=0\n");
    main_->FormShow();
    RunCycles(2);
    EXPECT_EQ(Lines(env_.ReadText("20240305.DAT")).size(), 3u);
    EXPECT_FALSE(env_.Exists("20240305.SMP"));
    EXPECT_FALSE(env_.Exists("AKTDAT.TVV"));
}

TEST_F(DayFilesEngineTest, ChangedConfigurationStartsTheNextVersionOfTheDaysFiles) {
    env_.WriteText("20240305.AQH", "5\nQ\nP\nT\nL\nS\n\n60000\n\n");
    env_.WriteText("20240305.DAT", "2024.3.5;06:00:00;1;2;3;4;5\n");
    env_.WriteText("20240305_1.AQH", "");
    env_.WriteText("20240305_3.AQH", "");
    env_.WriteText("TARVEDDE.COF", "");
    env_.WriteText("TARVEDDE_NACHT.TVW", "");
    Create(7, 0, 0);
    int configFiles = 0;
    int nightFiles = 0;
    State().stateFileHooks.createConfigFile = [&] { ++configFiles; };
    State().stateFileHooks.createNightFile = [&] { ++nightFiles; };
    main_->FormShow();

    const std::string log = LogAll();
    EXPECT_THAT(log, HasSubstr("05.Mrz.24, 07:00:00 > Konfiguration : Intervall (alt) 60000 <> "
                               "10000\r\n"
                               "05.Mrz.24, 07:00:00 > ****** Neustart : Geänderte Konfiguration "
                               "festgestellt !\r\n"
                               "05.Mrz.24, 07:00:00 > 20240305.AQH in 20240305_4.AQH umbenannt.\r\n"
                               "05.Mrz.24, 07:00:00 > 20240305.DAT in 20240305_4.DAT umbenannt.\r\n"
                               "05.Mrz.24, 07:00:00 > Neustart : Neue Headerdatei erzeugt.\r\n"));
    EXPECT_EQ(env_.ReadText("20240305_4.AQH"), "5\r\nQ\r\nP\r\nT\r\nL\r\nS\r\n\r\n60000\r\n\r\n");
    EXPECT_EQ(env_.ReadText("20240305_4.DAT"), "2024.3.5;06:00:00;1;2;3;4;5\r\n");
    EXPECT_EQ(env_.ReadText("20240305.AQH").substr(0, sizeof kHeaderStart - 1), kHeaderStart);
    EXPECT_THAT(Lines(env_.ReadText("20240305.DAT")), ElementsAre(HasSubstr("2024.3.5;07:00:00;")));
    EXPECT_EQ(configFiles, 1);
    EXPECT_EQ(nightFiles, 1);
}

// A header created but never written (the program died in between) keeps the day's data
// and state: it is written, not taken for another configuration.
TEST_F(DayFilesEngineTest, AnEmptyHeaderIsWrittenWithoutANewVersion) {
    env_.WriteText("20240305.AQH", "");
    env_.WriteText("20240305.DAT", "2024.3.5;06:00:00;1;2;3;4;5\n");
    env_.WriteText("TARVEDDE.COF", "");
    env_.WriteText("TARVEDDE_NACHT.TVW", "");
    Create(7, 0, 0);
    int configFiles = 0;
    State().stateFileHooks.createConfigFile = [&] { ++configFiles; };
    main_->FormShow();
    EXPECT_THAT(LogAll(), Not(HasSubstr("Geänderte Konfiguration")));
    EXPECT_EQ(env_.ReadText("20240305.AQH").substr(0, sizeof kHeaderStart - 1), kHeaderStart);
    EXPECT_THAT(Lines(env_.ReadText("20240305.DAT")).front(), HasSubstr("06:00:00"));
    EXPECT_FALSE(env_.Exists("20240305_1.AQH"));
    EXPECT_EQ(configFiles, 0);
}

TEST_F(DayFilesEngineTest, BlockModeWritesTheEightRollingRowsOnEveryEighthCycle) {
    Start(7, 0, 0);  // the first cycle went out at once, in every-cycle mode
    State().datEveryCycle = false;
    State().writeOutputsEveryCycle = false;
    ASSERT_TRUE(env_.files.Remove("/plant/AKTDAT.TVV"));
    RunCycles(6);  // 07:01:00, rolling row 12 of 6..13
    EXPECT_EQ(Lines(env_.ReadText("20240305.DAT")).size(), 1u);
    EXPECT_FALSE(env_.Exists("AKTDAT.TVV"));
    RunCycles(1);  // 07:01:10, the last rolling row
    std::vector<std::string> rows = Lines(env_.ReadText("20240305.DAT"));
    ASSERT_EQ(rows.size(), 9u);
    for (int k = 0; k < 8; ++k) {
        EXPECT_THAT(
            rows[static_cast<std::size_t>(k + 1)],
            HasSubstr("2024.3.5;" + TimeText(7 * 3600 + 10 * k) + ";" + std::to_string(k) + ",1"));
    }
    EXPECT_EQ(rows.back(), CurrentGridRow("2024.3.5", "07:01:10"));
    EXPECT_TRUE(env_.Exists("AKTDAT.TVV"));
    RunCycles(7);
    EXPECT_EQ(Lines(env_.ReadText("20240305.DAT")).size(), 9u);
    RunCycles(1);  // 07:02:30
    rows = Lines(env_.ReadText("20240305.DAT"));
    ASSERT_EQ(rows.size(), 17u);
    EXPECT_THAT(rows[9], HasSubstr("2024.3.5;07:01:20;8,1"));
    EXPECT_THAT(rows[16], HasSubstr("2024.3.5;07:02:30;15,1"));
    // The sample file gets its row every cycle.
    EXPECT_EQ(Lines(env_.ReadText("20240305.SMP")).size(), 16u);
}

TEST_F(DayFilesEngineTest, TheViewersLockSuppressesOnlyTheViewerFile) {
    Start(7, 0, 0);
    const FileStamp snapshot = env_.files.Stamp("/plant/AKTDAT.TVV").value();
    env_.WriteText("$lock_TVV", "");
    RunCycles(1);
    EXPECT_EQ(env_.files.Stamp("/plant/AKTDAT.TVV").value(), snapshot);
    EXPECT_THAT(LogAll(), HasSubstr("07:00:10 > Main : TarveView liest gerade Statistik-Daten."));
    EXPECT_EQ(Lines(env_.ReadText("20240305.DAT")).size(), 2u);
    EXPECT_EQ(Lines(env_.ReadText("20240305.SMP")).size(), 2u);
    ASSERT_TRUE(env_.files.Remove("/plant/$lock_TVV"));
    RunCycles(1);
    EXPECT_NE(env_.files.Stamp("/plant/AKTDAT.TVV").value(), snapshot);
    const LiveGrid& grid = State().grid;
    EXPECT_THAT(Lines(env_.ReadText("AKTDAT.TVV")).front(),
                StartsWith(grid.Cell(1, 1) + ";" + grid.Cell(1, 2) + ";" + grid.Cell(1, 3) + ";" +
                           grid.Cell(1, 4) + ";"));
}

TEST_F(DayFilesEngineTest, AFailingDayFileIsLoggedAndTheNextCycleWritesAgain) {
    Start(7, 0, 0);
    env_.files.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op == FileOp::Append && path == "/plant/20240305.DAT";
    });
    RunCycles(1);
    EXPECT_THAT(LogAll(), HasSubstr("07:00:10 > Main : Fehler bei Schreiben von .DAT (1i)\r\n"));
    EXPECT_EQ(State().window.lbDT, "07:00:10");
    EXPECT_TRUE(State().cycleComplete);
    env_.files.SetFailurePolicy(nullptr);
    RunCycles(1);
    EXPECT_THAT(Lines(env_.ReadText("20240305.DAT")),
                ElementsAre(HasSubstr("07:00:00;0,1"), HasSubstr("07:00:20;2,1")));
}

TEST_F(DayFilesEngineTest, DeletingAllDayDataStartsTheNextVersionOnYesOnly) {
    env_.WriteText("GLEITBUF.TVW", "x");
    env_.WriteText("DIFFBUF.TVW", "x");
    Start(7, 0, 0);
    int configFiles = 0;
    State().stateFileHooks.createConfigFile = [&] { ++configFiles; };
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(main_->MenuClick("Tagesdatenloeschen1"));
    EXPECT_FALSE(env_.Exists("20240305_1.AQH"));
    EXPECT_TRUE(env_.Exists("GLEITBUF.TVW"));

    env_.person.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(main_->MenuClick("Tagesdatenloeschen1"));
    EXPECT_EQ(env_.person.Transcript().back(),
              "QUESTION Neue Dateien erzeugen und Statistik initialisieren ? -> Yes");
    EXPECT_THAT(Lines(env_.ReadText("20240305_1.DAT")), ElementsAre(HasSubstr("07:00:00")));
    EXPECT_EQ(env_.ReadText("20240305_1.AQH").substr(0, sizeof kHeaderStart - 1), kHeaderStart);
    EXPECT_EQ(env_.ReadText("20240305.AQH").substr(0, sizeof kHeaderStart - 1), kHeaderStart);
    EXPECT_EQ(env_.ReadText("20240305.DAT"), "");
    EXPECT_FALSE(env_.Exists("GLEITBUF.TVW"));
    EXPECT_FALSE(env_.Exists("DIFFBUF.TVW"));
    EXPECT_EQ(configFiles, 1);
    RunCycles(1);
    EXPECT_THAT(Lines(env_.ReadText("20240305.DAT")), ElementsAre(HasSubstr("07:00:10")));

    env_.WriteText("SPIEGELDATEN.TVW", "x");
    env_.files.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op == FileOp::Remove && path == "/plant/SPIEGELDATEN.TVW";
    });
    env_.person.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(main_->MenuClick("Tagesdatenloeschen1"));
    EXPECT_EQ(env_.person.Transcript().back(),
              "MESSAGE Fehler beim Löschen von Zwischenspeicher-Dateien !");
    EXPECT_TRUE(env_.Exists("20240305_2.AQH"));
}

}  // namespace
}  // namespace tarvedde
