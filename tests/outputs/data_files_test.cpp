#include "outputs/data_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/date_time.h"
#include "tests/outputs/log_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The three rolling rows: the time, then the items' texts.
struct FakeGrid final : GridTexts {
    const std::string& Cell(int column, int row) const override {
        return rows.at(static_cast<std::size_t>(row - kFirstCycleRow))
            .at(static_cast<std::size_t>(column));
    }
    int CurrentRow() const override { return currentRow; }
    int LastRow() const override { return kFirstCycleRow + 2; }

    std::vector<std::vector<std::string>> rows{{"07:04:40", "12,345", "0,000", "Störung"},
                                               {"07:04:50", "12,400", "1,000", ""},
                                               {">>>>>>>>>>", "12,500", "1,000", "n.v."}};
    int currentRow = kFirstCycleRow;
};

ViewerItem Cells(std::string average, std::string minimum, std::string maximum, std::string sum) {
    return {.average = std::move(average),
            .minimum = std::move(minimum),
            .maximum = std::move(maximum),
            .count = "360",
            .sum = std::move(sum)};
}

// The five kinds of items the viewer tells apart, as the golden file holds them; the
// moving maximum is the value it has before the first average exists.
std::vector<std::string> FiveViewerLines() {
    ViewerItem integral = Cells("10,000", "5,000", "15,000", "999,000");
    integral.integral = true;
    integral.runningIntegral = 1234.5678;
    ViewerItem counter = Cells("2,000", "1,000", "3,000", "42,000");
    counter.counter = true;
    ViewerItem digital = Cells("0,500", "0,000", "1,000", "0,250");
    digital.Grafiktyp = 2;
    ViewerItem moving = Cells("7,500", "6,000", "9,000", "77,000");
    moving.movingAverages = true;
    moving.movingAverage = 11.25;
    moving.movingMinimum = 9.5;
    moving.movingMaximum = 999999.9;
    std::vector<std::string> lines;
    for (const ViewerItem& item :
         {integral, counter, digital, moving, Cells("1,250", "-0,500", "2,750", "5,000")}) {
        lines.push_back(ViewerLineText(item, 12, 3, GermanLocale()));
    }
    return lines;
}

// The last whole row's time; a row cut off, or one that is no row, gives none of its own.
TEST(LastRowTimeTest, TakesTheLastWholeRow) {
    const std::string rows = "2024.3.5;10:00:40;1,000\r\n2024.3.5;10:00:50;2,000\r\n";
    EXPECT_EQ(LastRowTime(rows), EncodeDateTime(2024, 3, 5, 10, 0, 50, 0));
    EXPECT_EQ(LastRowTime(rows + "2024.3.5;10:01:0"), EncodeDateTime(2024, 3, 5, 10, 0, 50, 0));
    for (const char* bad : {"", "2024.3.5;10:00:50", "x\r\n", "2024.2.30;10:00:50;1\r\n",
                            "2024.3.5;25:00:50;1\r\n", "2024.3;10:00:50;1\r\n"}) {
        EXPECT_EQ(LastRowTime(bad), std::nullopt) << bad;
    }
}

// A mirrored integral shows the grid's sum; a number that cannot be shown ends the line.
TEST(ViewerLineTest, MirroredIntegralAndNumbersThatCannotBeShown) {
    ViewerItem item = Cells("1,000", "0,000", "2,000", "88,000");
    item.integral = item.mirrored = true;
    item.runningIntegral = kNaN;
    EXPECT_EQ(ViewerLineText(item, 12, 3, GermanLocale()),
              "1,000;0,000;2,000;360;88,000;n.v.;n.v.;n.v.;");
    item.mirrored = false;
    EXPECT_EQ(ViewerLineText(item, 12, 3, GermanLocale()), "1,000;0,000;2,000;360;-999.0;");
    item.integral = false;
    item.movingAverages = true;
    item.movingAverage = 1.5;
    item.movingMinimum = -std::numeric_limits<double>::infinity();
    EXPECT_EQ(ViewerLineText(item, 12, 3, GermanLocale()),
              "1,000;0,000;2,000;360;n.v.;1,500;-999.0;");
}

class DataFilesTest : public DayFilesFixture {
protected:
    DataFilesTest() {
        files_.CreateTextFile('D', 0);
        cycle_.cycleTime = EncodeDateTime(2024, 3, 5, 7, 5, 0, 0);
        cycle_.itemCount = 3;
    }
    bool WriteRows() { return WriteSampleAndDayRows(files_, grid_, cycle_); }
    void WriteViewer() { WriteViewerDataFile(files_, FiveViewerLines(), cycle_.cycleTime); }

    FakeGrid grid_;
    CycleRecord cycle_;
};

// Block mode writes the rolling rows when the last is reached; the sample file gets the
// current row every cycle.
TEST_F(DataFilesTest, BlockModeWritesAtTheLastRowAndTheSampleFileEveryCycle) {
    grid_.currentRow = 7;
    cycle_.cycleTime = EncodeDateTime(2024, 3, 5, 7, 4, 50, 0);
    ASSERT_TRUE(WriteRows());
    EXPECT_EQ(File("20240305.DAT"), "");
    grid_.currentRow = 8;
    cycle_.cycleTime = EncodeDateTime(2024, 3, 5, 7, 5, 0, 0);
    ASSERT_TRUE(WriteRows());
    EXPECT_EQ(File("20240305.DAT"), GoldenBytes("day_rows_block.DAT"));
    EXPECT_EQ(File("20240305.SMP"), GoldenBytes("sample_rows.SMP"));
    EXPECT_EQ(File("$lock_DAT") + File("$lock_SMP"), "<missing><missing>");
    cycle_.viewerOutput = false;
    files_.SetRunningDay({2024, 3, 6});
    ASSERT_TRUE(WriteRows());
    EXPECT_EQ(File("20240306.SMP"), "<missing>");
}

// The viewer's sample lock skips only the sample row; a day data lock left by another
// program does not stop the row. Every-cycle mode writes only the current row, and a
// cycle without a date none at all.
TEST_F(DataFilesTest, LocksOfOtherProgramsOnlyEverSkipTheSampleRow) {
    cycle_.datEveryCycle = true;
    for (const double noDate : {kNaN, 1e9}) {
        cycle_.cycleTime = noDate;
        EXPECT_FALSE(WriteRows());
    }
    EXPECT_THAT(LogAll(), Logged("Fehler bei DecodeDate."));
    cycle_.cycleTime = EncodeDateTime(2024, 3, 5, 7, 5, 0, 0);
    Put("$lock_SMP", "");
    Put("$lock_DAT", "");
    ASSERT_TRUE(WriteRows());
    EXPECT_EQ(File("20240305.SMP"), "<missing>");
    EXPECT_EQ(File("$lock_SMP"), "");
    EXPECT_THAT(LogAll(), Logged("Main : TarveView liest gerade Sample-Daten."));
    EXPECT_THAT(LogAll(), Not(HasSubstr("Sperren")));
    grid_.currentRow = 7;
    ASSERT_TRUE(WriteRows());
    grid_.currentRow = 8;
    ASSERT_TRUE(WriteRows());
    EXPECT_EQ(Text("20240305.DAT"),
              "2024.3.5;07:05:00;12,345;0,000;Störung\r\n"
              "2024.3.5;07:05:00;12,400;1,000;\r\n"
              "2024.3.5;07:05:00;12,500;1,000;n.v.\r\n");
}

// The day data lock is only advisory: a lock that cannot be made costs no row. Rows that
// cannot be written go to the log; a file deleted during the day comes back.
TEST_F(DataFilesTest, DayDataFailuresAreLoggedWithTheirOwnTexts) {
    cycle_.datEveryCycle = true;
    FailOn(FileOp::Append, "$lock_DAT");
    ASSERT_TRUE(WriteRows());
    EXPECT_EQ(Text("20240305.DAT"), "2024.3.5;07:05:00;12,345;0,000;Störung\r\n");
    EXPECT_THAT(LogAll(), Logged("Main : Fehler bei Sperren von .DAT"));
    FailOn(FileOp::Remove, "$lock_DAT");
    ASSERT_TRUE(WriteRows());
    EXPECT_EQ(File("$lock_DAT"), "");

    ASSERT_TRUE(fs_.Remove("/prog/20240305.DAT"));
    FailOn(FileOp::Append, "20240305.DAT");
    ASSERT_TRUE(WriteRows());
    EXPECT_THAT(LogAll(), Logged("Main : Fehler bei Schreiben von .DAT (2i)"));
    EXPECT_THAT(LogAll(), Logged("Nicht gespeichert in 20240305.DAT : 2024.3.5;07:05:00;12,345;"
                                 "0,000;Störung"));
    cycle_.datEveryCycle = false;
    grid_.currentRow = 8;
    ASSERT_TRUE(WriteRows());
    EXPECT_THAT(LogAll(), Logged("Main : Fehler bei Schreiben von .DAT (4)"));
    ASSERT_TRUE(fs_.WriteAll("/prog/20240305.DAT", "", false));
    ASSERT_TRUE(WriteRows());
    EXPECT_THAT(LogAll(), Logged("Main : Fehler bei Schreiben von .DAT (3)"));
    EXPECT_THAT(LogAll(), Not(HasSubstr("wieder")));

    fs_.SetFailurePolicy(nullptr);
    ASSERT_TRUE(fs_.Remove("/prog/20240305.DAT"));
    ASSERT_TRUE(WriteRows());
    ASSERT_TRUE(WriteRows());
    EXPECT_EQ(File("20240305.DAT"),
              GoldenBytes("day_rows_block.DAT") + GoldenBytes("day_rows_block.DAT"));
    EXPECT_THAT(LogAll(), Logged("20240305.DAT wird wieder geschrieben."));
    EXPECT_EQ(LogAll().find("wieder"), LogAll().rfind("wieder"));
}

TEST_F(DataFilesTest, SampleFailuresAreLoggedWithTheirOwnTexts) {
    FailOn(FileOp::Append, "$lock_SMP");
    ASSERT_TRUE(WriteRows());
    EXPECT_EQ(File("20240305.SMP"), "<missing>");
    EXPECT_THAT(LogAll(), Logged("Main : Fehler bei Sperren von JJJJMMDD.SMP "));

    FailOn(FileOp::Append, "20240305.SMP");
    ASSERT_TRUE(WriteRows());
    EXPECT_THAT(LogAll(), Logged("CreateTextFile : Fehler (1) .SMP"));
    EXPECT_THAT(LogAll(), Logged("Fehler bei Append(samF) !"));
    ASSERT_TRUE(fs_.WriteAll("/prog/20240305.SMP", "", false));
    ASSERT_TRUE(WriteRows());
    EXPECT_THAT(LogAll(), Logged("Main : Fehler bei Write(samF) !"));

    FailOn(FileOp::Remove, "$lock_SMP");
    ASSERT_TRUE(WriteRows());
    EXPECT_THAT(LogAll(), Logged("Main : Fehler bei Entsperren von JJJJMMDD.SMP "));
    EXPECT_THAT(File("20240305.SMP"), HasSubstr("07:05:00"));

    // The lock left behind is our own: the next cycle removes it and writes its row.
    fs_.SetFailurePolicy(nullptr);
    const std::size_t written = File("20240305.SMP").size();
    ASSERT_TRUE(WriteRows());
    EXPECT_GT(File("20240305.SMP").size(), written);
    EXPECT_EQ(File("$lock_SMP"), "<missing>");
    EXPECT_THAT(LogAll(), Not(HasSubstr("Sample-Daten")));
}

// A reader that ignores the lock must still never see half a snapshot: at every file
// operation the viewer file is the old snapshot or the whole new one.
TEST_F(DataFilesTest, AViewerFileReaderSeesTheOldOrTheNewSnapshotNeverAMix) {
    const std::string oldSnapshot = "old 1\r\nold 2\r\nold 3\r\n";
    Put("AKTDAT.TVV", oldSnapshot);
    const std::string newSnapshot = GoldenBytes("viewer_lines.TVV");
    std::vector<std::string> seen;
    int directWrites = 0;  // on a real disk a direct rewrite is empty for a while
    fs_.SetFailurePolicy([&](FileOp op, const std::string& path) {
        if (op != FileOp::Read && op != FileOp::Stat) {
            seen.push_back(fs_.ReadAll("/prog/AKTDAT.TVV").value_or("<missing>"));
        }
        directWrites += (op == FileOp::Write || op == FileOp::Append) && path == "/prog/AKTDAT.TVV";
        return false;
    });
    WriteViewer();
    fs_.SetFailurePolicy(nullptr);
    seen.push_back(File("AKTDAT.TVV"));
    for (const std::string& content : seen) {
        EXPECT_TRUE(content == oldSnapshot || content == newSnapshot) << content;
    }
    EXPECT_EQ(seen.back(), newSnapshot);
    EXPECT_EQ(directWrites, 0);
    EXPECT_EQ(File("$lock_TVV") + File("AKTDAT.TVV.tmp"), "<missing><missing>");
}

// Every failure keeps the old snapshot and leaves no scratch file; the next cycle that
// can write puts the new one in place.
TEST_F(DataFilesTest, ViewerFileFailuresKeepTheOldSnapshotUntilACycleCanWrite) {
    Put("AKTDAT.TVV", "old\r\n");
    const auto keepsOld = [&](const char* logged) {
        WriteViewer();
        EXPECT_EQ(File("AKTDAT.TVV") + File("AKTDAT.TVV.tmp"), "old\r\n<missing>") << logged;
        EXPECT_THAT(LogAll(), Logged(logged));
    };
    FailOn(FileOp::Write, "AKTDAT.TVV.tmp");
    keepsOld("Main : Fehler bei Rewrite(ViewData) !");
    FailOn(FileOp::Rename, "AKTDAT.TVV.tmp");
    keepsOld("Main : Fehler beim Schreiben der Viewer-Daten !");
    EXPECT_EQ(File("$lock_TVV"), "<missing>");
    FailOn(FileOp::Append, "$lock_TVV");
    keepsOld("Main : Fehler bei Sperren von AKTDAT.TVV");
    // A full disk: the new snapshot (over 200 bytes) does not fit beside the old files.
    fs_.SetFailurePolicy(nullptr);
    fs_.SetCapacity(File(kLogAllFile).size() + 100);
    WriteViewer();
    EXPECT_EQ(File("AKTDAT.TVV") + File("AKTDAT.TVV.tmp"), "old\r\n<missing>");

    fs_.SetCapacity(static_cast<std::size_t>(-1));
    FailOn(FileOp::Remove, "$lock_TVV");
    WriteViewer();
    EXPECT_EQ(File("AKTDAT.TVV"), GoldenBytes("viewer_lines.TVV"));
    EXPECT_THAT(LogAll(), Logged("Main : Fehler bei Entsperren von AKTDAT.TVV"));
    // Our own lock left behind does not stop the next snapshot.
    fs_.SetFailurePolicy(nullptr);
    Put("AKTDAT.TVV", "old\r\n");
    WriteViewer();
    EXPECT_EQ(File("AKTDAT.TVV"), GoldenBytes("viewer_lines.TVV"));
    EXPECT_EQ(File("$lock_TVV"), "<missing>");
}

// Said once; a lock standing over a minute was left by a viewer that died with it.
TEST_F(DataFilesTest, TheViewersLockSkipsTheSnapshotUntilItIsOverAMinuteOld) {
    Put("AKTDAT.TVV", "old\r\n");
    Put("$lock_TVV", "");
    WriteViewer();
    cycle_.cycleTime += 59.0 / 86400.0;
    WriteViewer();
    EXPECT_EQ(File("AKTDAT.TVV") + File("$lock_TVV"), "old\r\n");
    EXPECT_THAT(LogAll(), Logged("Main : TarveView liest gerade Statistik-Daten."));
    cycle_.cycleTime += 2.0 / 86400.0;
    WriteViewer();
    EXPECT_EQ(File("AKTDAT.TVV"), GoldenBytes("viewer_lines.TVV"));
    EXPECT_EQ(LogAll().find("liest gerade"), LogAll().rfind("liest gerade"));
    EXPECT_THAT(LogAll(),
                Logged("Sperrdatei /prog/$lock_TVV seit über einer Minute vorhanden: gelöscht."));
}

}  // namespace
}  // namespace tarvedde::testing
