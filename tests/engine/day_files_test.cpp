// The day files as the running engine leaves them: one row per cycle in the right day's
// files, a header that describes the configuration, a new version of the day's files
// when the configuration changed, and a cycle that goes on whatever the files do.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <algorithm>

#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kFiveItems[] =
    "Itemcount=5\nIntervall=10\nEinheit=0\nAutoStart=1\nPuffer=8\nAktuTag=05.03.2024\n"
    "[Items]\nItem1=Q\nItem2=P\nItem3=T\nItem4=L\nItem5=S\n"
    "[Itemnames]\nItem1=Zulauf\nItem2=Pumpe\nItem3=Temperatur\nItem4=Leitfähigkeit\n"
    "Item5=Sauerstoff\n[Grafiktyp]\nItem2=2\n";
constexpr char kHeaderStart[] = "5\r\nQ\r\nP\r\nT\r\nL\r\nS\r\n\r\n10000\r\n\r\n";

std::string TimeText(int secondsOfDay) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", secondsOfDay / 3600, secondsOfDay / 60 % 60,
                  secondsOfDay % 60);
    return text;
}

class DayFilesEngineTest : public EngineFixture {
protected:
    // `extraDde`: more keys of [DDE]; values as SetValues(0) gives them.
    void Create(int hour, int minute, int second, const std::string& extraDde = "") {
        SetClock(hour, minute, second);
        WriteIni("[DDE]\n" + extraDde + kFiveItems);
        ASSERT_TRUE(EngineFixture::Create());
        SetValues(0);
    }
    void Begin(int hour, int minute, int second) {
        Create(hour, minute, second);
        Main().FormShow();
    }
    // Values that differ per item and cycle, so a row in the wrong place shows. Item 1's
    // cell starts with "<cycle>,1" however many decimals the grid shows.
    void SetValues(int cycle) {
        for (int n = 1; n <= 5; ++n) {
            Source(n).newestText = std::to_string(cycle) + "," + std::to_string(n);
        }
    }
    // Runs `cycles` further cycles, each with its own values.
    void RunCycles(int cycles) {
        for (int i = 0; i < cycles; ++i) {
            SetValues(++cycle_);
            Advance(10000);
        }
    }
    std::string CurrentGridRow(const std::string& date, const std::string& time) {
        std::string row = date + ";" + time;
        for (int n = 1; n <= 5; ++n) {
            row += ";" + Shown(n);
        }
        return row;
    }
    int cycle_ = 0;
};

// The digital pump's calibration is not applied once it is linked, but the header states
// EICH.INI's: a settings save and a restart find the same configuration.
TEST_F(DayFilesEngineTest, AnHourOfCyclesLeavesOneRowPerCycleAndAMatchingHeader) {
    Write("EICH.INI", "[Pumpe]\nM=2\nT=0,5\n");
    Begin(7, 0, 0);
    RunCycles(360);
    const std::vector<std::string> rows = Unstamped(Read("20240305.DAT"));
    ASSERT_EQ(rows.size(), 361u);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const std::string expected = "2024.3.5;" + TimeText(7 * 3600 + 10 * static_cast<int>(k)) +
                                     ";" + std::to_string(k) + ",1";
        ASSERT_EQ(rows[k].substr(0, expected.size()), expected) << k;
    }
    EXPECT_EQ(rows.back(), CurrentGridRow("2024.3.5", "08:00:00"));
    EXPECT_EQ(Read("20240305.SMP"), Read("20240305.DAT"));
    EXPECT_EQ(Unstamped(Read("AKTDAT.TVV")).size(), 5u);
    EXPECT_FALSE(Exists("AKTDAT.TVV.tmp"));
    for (const char* lock : {"$lock_TVV", "$lock_SMP", "$lock_DAT"}) {
        EXPECT_FALSE(Exists(lock)) << lock;
    }

    const std::string header = Read("20240305.AQH");
    EXPECT_EQ(header.substr(0, sizeof kHeaderStart - 1), kHeaderStart);
    EXPECT_THAT(header, HasSubstr("\r\nLeitfähigkeit\r\n1\r\n"));
    EXPECT_THAT(header, HasSubstr("     2.0000000000\r\n     0.5000000000\r\n"));
    EXPECT_FALSE(Main().DayFileOutput().StartNextVersionIfChanged(Main().RunningDay()));
    // A restart with the same configuration goes on with the same files.
    Main().FormClose();
    main_.reset();
    Begin(8, 0, 5);
    EXPECT_THAT(LogAll(), Not(HasSubstr("Geänderte Konfiguration")));
    EXPECT_EQ(Read("20240305.AQH"), header);
    EXPECT_EQ(Unstamped(Read("20240305.DAT")).size(), 362u);
    EXPECT_FALSE(Exists("20240305_1.DAT"));
}

// The automatic print at the day change: the protocol just saved, titled with its file's
// name; a failed print and a program without a printer are logged.
TEST_F(DayFilesEngineTest, WithPrintingOnTheDayChangePrintsTheSavedProtocol) {
    for (const bool withPrinter : {true, false}) {
        Create(23, 59, 40, "Drucker=0\nDrucken=1\n");
        std::vector<std::string> printed;
        if (withPrinter) {
            Main().SetDayProtocolPrint([&](const RichTextModel& text, const std::string& title,
                                           int fontSize) {
                const bool named = std::any_of(
                    text.Paragraphs().begin(), text.Paragraphs().end(), [](const RichParagraph& p) {
                        return p.text.find("Zulauf") != std::string::npos;
                    });
                printed.push_back(title + " " + std::to_string(fontSize) +
                                  (named ? " Zulauf" : ""));
                return false;
            });
        }
        Main().FormShow();
        RunCycles(4);
        EXPECT_NE(Read("20240305.RTF"), "<missing>");
        if (withPrinter) {
            EXPECT_THAT(printed, ElementsAre("20240305.RTF 10 Zulauf"));
            EXPECT_THAT(LogAll(), HasSubstr("Fehler beim Drucken von 20240305.RTF !"));
        } else {
            EXPECT_THAT(LogAll(), HasSubstr("Kein Drucker : 20240305.RTF wurde nicht gedruckt."));
        }
        Main().FormClose();
    }
}

TEST_F(DayFilesEngineTest, WithoutTheViewerOptionOnlyTheDayFilesAreWritten) {
    Create(7, 0, 0, "Tarveview=0\n");
    Main().FormShow();
    RunCycles(2);
    EXPECT_EQ(Unstamped(Read("20240305.DAT")).size(), 3u);
    EXPECT_FALSE(Exists("20240305.SMP"));
    EXPECT_FALSE(Exists("AKTDAT.TVV"));
}

// Which differences count and how versions are numbered are the day files' own tests; the
// start acts on them and creates the day's state afresh.
TEST_F(DayFilesEngineTest, ChangedConfigurationStartsTheNextVersionOfTheDaysFiles) {
    Write("20240305.AQH", "5\nQ\nP\nT\nL\nS\n\n60000\n\n");
    Write("20240305.DAT", "2024.3.5;06:00:00;1;2;3;4;5\n");
    Write("TARVEDDE.COF", "");
    Write("TARVEDDE_NACHT.TVW", "");
    Create(7, 0, 0);
    Main().FormShow();
    EXPECT_THAT(LogAll(), HasSubstr("07:00:00 > ****** Neustart : Geänderte Konfiguration "
                                    "festgestellt !\r\n"));
    EXPECT_EQ(Read("20240305_1.AQH"), "5\r\nQ\r\nP\r\nT\r\nL\r\nS\r\n\r\n60000\r\n\r\n");
    EXPECT_EQ(Read("20240305_1.DAT"), "2024.3.5;06:00:00;1;2;3;4;5\r\n");
    EXPECT_EQ(Read("20240305.AQH").substr(0, sizeof kHeaderStart - 1), kHeaderStart);
    EXPECT_THAT(Unstamped(Read("20240305.DAT")), ElementsAre(HasSubstr("2024.3.5;07:00:00;")));
    EXPECT_EQ(Record(1).minimum, 99999.0) << "TARVEDDE.COF not created anew";
    EXPECT_EQ(Night(1).ntMinimum, 99999.0) << "TARVEDDE_NACHT.TVW not created anew";
}

// A header created but never written (the program died in between) keeps the day's data
// and state: it is written, not taken for another configuration.
TEST_F(DayFilesEngineTest, AnEmptyHeaderIsWrittenWithoutANewVersion) {
    Write("20240305.AQH", "");
    Write("20240305.DAT", "2024.3.5;06:00:00;1;2;3;4;5\n");
    Write("TARVEDDE.COF", "");
    Write("TARVEDDE_NACHT.TVW", "");
    Create(7, 0, 0);
    Main().FormShow();
    EXPECT_THAT(LogAll(), Not(HasSubstr("Geänderte Konfiguration")));
    EXPECT_EQ(Read("20240305.AQH").substr(0, sizeof kHeaderStart - 1), kHeaderStart);
    EXPECT_THAT(Unstamped(Read("20240305.DAT")).front(), HasSubstr("06:00:00"));
    EXPECT_FALSE(Exists("20240305_1.AQH"));
}

// A disk full over midnight: the new day's header follows as soon as the disk takes it.
TEST_F(DayFilesEngineTest, AHeaderTheDiskRefusedIsWrittenWithALaterCycle) {
    Begin(23, 59, 50);
    env_.files.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op == FileOp::Write && path.find(".AQH") != std::string::npos;
    });
    RunCycles(2);
    EXPECT_THAT(Read("20240306.AQH"), Not(HasSubstr("Zulauf")));
    env_.files.SetFailurePolicy(nullptr);
    RunCycles(1);
    EXPECT_EQ(Read("20240306.AQH").substr(0, sizeof kHeaderStart - 1), kHeaderStart);
    EXPECT_THAT(LogAll(), HasSubstr("Kopfdatei (.AQH) des Tages nachträglich geschrieben."));
    // Still empty at an acquisition start, it describes no other configuration.
    Write("20240306.AQH", "");
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(Main().ButtonClick("btStoppen"));
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    EXPECT_EQ(Read("20240306.AQH").substr(0, sizeof kHeaderStart - 1), kHeaderStart);
    EXPECT_FALSE(Exists("20240306_1.DAT"));
}

TEST_F(DayFilesEngineTest, DeletingAllDayDataStartsTheNextVersionOnYesOnly) {
    Write("GLEITBUF.TVW", "x");
    Write("DIFFBUF.TVW", "x");
    Begin(7, 0, 0);
    Record(1).minimum = 5.0;
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(Main().MenuClick("Tagesdatenloeschen1"));
    EXPECT_FALSE(Exists("20240305_1.AQH"));
    EXPECT_TRUE(Exists("GLEITBUF.TVW"));
    EXPECT_EQ(Record(1).minimum, 5.0);

    env_.person.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(Main().MenuClick("Tagesdatenloeschen1"));
    EXPECT_EQ(Transcript().back(),
              "QUESTION Neue Dateien erzeugen und Statistik initialisieren ? -> Yes");
    EXPECT_THAT(Unstamped(Read("20240305_1.DAT")), ElementsAre(HasSubstr("07:00:00")));
    EXPECT_EQ(Read("20240305_1.AQH").substr(0, sizeof kHeaderStart - 1), kHeaderStart);
    EXPECT_EQ(Read("20240305.AQH").substr(0, sizeof kHeaderStart - 1), kHeaderStart);
    EXPECT_EQ(Read("20240305.DAT"), "");
    EXPECT_FALSE(Exists("GLEITBUF.TVW"));
    EXPECT_FALSE(Exists("DIFFBUF.TVW"));
    EXPECT_EQ(Record(1).minimum, 99999.0) << "TARVEDDE.COF not created anew";
    RunCycles(1);
    EXPECT_THAT(Unstamped(Read("20240305.DAT")), ElementsAre(HasSubstr("07:00:10")));

    Write("SPIEGELDATEN.TVW", "x");
    env_.files.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op == FileOp::Remove && path == "/plant/SPIEGELDATEN.TVW";
    });
    env_.person.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(Main().MenuClick("Tagesdatenloeschen1"));
    EXPECT_EQ(Transcript().back(), "MESSAGE Fehler beim Löschen von Zwischenspeicher-Dateien !");
    EXPECT_TRUE(Exists("20240305_2.AQH"));
}

}  // namespace
}  // namespace tarvedde::testing
