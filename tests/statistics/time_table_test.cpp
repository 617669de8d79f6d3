#include "engine/statistics/time_table.h"

#include <tuple>

#include "platform/scripted_operator.h"
#include "platform/text_file.h"
#include "tests/statistics/statistics_fixture.h"

namespace tarvedde::testing {
namespace {

class TimeTableTest : public StatisticsFixture {
protected:
    TimeTableTest() {
        config_.serverItem = "SPS:DB1/W4";
        config_.itemName = "Zulauf/Nacht";
    }
    void PutTable(const std::vector<std::string>& lines) {
        ASSERT_TRUE(
            WriteLines(fs_, kDir + std::string("TT_SPS-DB1-W4_Zulauf-Nacht.tvw"), lines, false));
    }
    std::string Load(double timeOfDay, std::vector<std::string>* editor = nullptr) {
        return LoadTimeTable(table_, config_, timeOfDay, {fs_, op_, GermanLocale(), kDir}, editor);
    }

    ItemConfig config_;
    TimeTable table_;
    ScriptedOperator op_;
};

// Loaded at 13:00, a table 08/12/16 starts at 16:00; loaded at 16:00 it waits for the
// next day. A line that is not a time ends the table there, with the message.
TEST_F(TimeTableTest, PositionIsTheFirstTimeAfterNowAndAnInvalidLineEndsTheTable) {
    EXPECT_EQ(Load(0.5), "");
    EXPECT_EQ(table_.position, 0);
    PutTable({"08:00:00", "12:00:00", "16:00:00"});
    std::vector<std::string> editor;
    EXPECT_EQ(Load(EncodeTime(13, 0, 0, 0), &editor), "Zulauf/Nacht");
    EXPECT_EQ(editor, (std::vector<std::string>{"08:00:00", "12:00:00", "16:00:00"}));
    EXPECT_EQ(table_.times[3], EncodeTime(16, 0, 0, 0));
    EXPECT_EQ((std::tuple{table_.entryCount, table_.position, table_.finished}),
              std::tuple(3, 3, false));
    Load(EncodeTime(16, 0, 0, 0));
    EXPECT_EQ((std::tuple{table_.position, table_.finished}), std::tuple(1, true));

    PutTable({"08:00:00", "12:60:00", "16:00:00"});
    Load(EncodeTime(7, 0, 0, 0));
    EXPECT_EQ((std::tuple{table_.entryCount, table_.position}), std::tuple(1, 1));
    EXPECT_EQ(op_.Transcript(), std::vector<std::string>{"MESSAGE Ungültige Zeitangabe in "
                                                         "TT_SPS-DB1-W4_Zulauf-Nacht.tvw !"});
    EXPECT_EQ(FileNamePart("..\\..\\C:/x..y"), "------C--x--y");
}

TEST_F(TimeTableTest, LoadCurveFileGetsItsHeaderOnceAndOneLinePerPoint) {
    config_.unit = "l/s";
    config_.sumUnit = "m³";
    config_.sumDivisor = 1000;
    ItemStatistics statistics{0, 1.5, 30.25, 12.125, 0, 12340};
    LoadCurveFiles files{fs_, log_, GermanLocale(), kDir, 12, 2};
    ASSERT_TRUE(
        AppendLoadCurveLine(config_, statistics, EncodeDateTime(2024, 3, 5, 8, 0, 0, 0), files));
    statistics.sum = 0;
    ASSERT_TRUE(
        AppendLoadCurveLine(config_, statistics, EncodeDateTime(2024, 3, 5, 12, 0, 0, 0), files));
    EXPECT_EQ(File("Ganglinie_Zulauf-Nacht_202403.txt"),
              "Zulauf/Nacht\tSPS:DB1/W4\r\n"
              "Datum\tZeit\tSumme\tMinimum\tMaximum\tMittelwert\r\n"
              "d\th\tm³\tl/s\tl/s\tl/s\r\n"
              "2024.03.05\t08:00:00\t12,34\t1,50\t30,25\t12,13\r\n"
              "2024.03.05\t12:00:00\t0,00\t1,50\t30,25\t12,13\r\n");

    fs_.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op == FileOp::Append && path.find("Ganglinie") != std::string::npos;
    });
    EXPECT_FALSE(
        AppendLoadCurveLine(config_, statistics, EncodeDateTime(2024, 4, 1, 0, 0, 0, 0), files));
    EXPECT_NE(LogAll().find("Fehler beim Schreiben der Ganglinie für Zulauf/Nacht"),
              std::string::npos);
}

}  // namespace
}  // namespace tarvedde::testing
