#include <gmock/gmock.h>

#include <algorithm>
#include <iterator>
#include <tuple>

#include "engine/acquisition/sample_integrator.h"
#include "engine/statistics/time_table.h"
#include "platform/rtf_text.h"
#include "platform/scripted_operator.h"
#include "platform/text_file.h"
#include "tests/statistics/intermediate_statistics_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::_;
using ::testing::Contains;
using ::testing::ElementsAre;

double Time(int h) {
    return EncodeTime(h, 0, 0, 0);
}

// 06:00-22:00: the night's values are set aside at 06:00 (reached exactly) and return at
// 22:00, so between the two the item restarts and afterwards has its night back. A frame
// the wrong way round only reports itself; midnight never crosses 00:00; a gap over both
// times counts once.
TEST_F(IntermediateStatisticsTest, TimeFrameSetsTheNightAsideAndBringsItBack) {
    log_.Settings().logLevel = 3;
    Item(1).timeFrame = {true, Time(6), Time(22)};
    Item(2).timeFrame = {true, Time(22), Time(6)};
    Item(3).timeFrame = {true, Time(0), Time(6)};
    frames_.LoadTimeFrames(Time(5), op_);
    stats_[1] = {0, 1, 9, 10, 10, 100};
    Cycle(5, 59, 50);
    Cycle(6, 0, 0);
    frames_.CheckTimeFrame(1);
    frames_.CheckTimeFrame(2);
    EXPECT_THAT(LogLines(), ElementsAre("***** Zeitrahmen für Item1", "Item 1 : *** NTadd=0",
                                        "NT-Zähler (100,000) gespeichert.", "NTadd auf 1 gesetzt.",
                                        "***** Fehlerhafte Rahmeneinstellung ! Item Nr. 2"));
    EXPECT_THAT(Memo2(), ElementsAre("*** Zwischen-Statistik um 06:00:00 Uhr ***", "Item1", _));
    EXPECT_EQ(Day(1), (std::vector{0.0, 0.0, kMinimumReset, kMaximumReset}));
    EXPECT_EQ((std::vector{night_[1].ntSum, night_[1].ntCount, night_[1].ntMinimum}),
              (std::vector{100.0, 10.0, 1.0}));
    // A clock set back over the frame time crosses it no second time.
    Cycle(5, 59, 57);
    frames_.CheckTimeFrame(1);
    Cycle(6, 0, 1);
    frames_.CheckTimeFrame(1);
    EXPECT_EQ(night_[1].ntSum, 100.0);

    stats_[1] = {0, 3, 7, 10, 5, 50};
    Cycle(21, 59, 50);
    frames_.CheckTimeFrame(1);
    EXPECT_EQ(stats_[1].count, 5.0);
    Cycle(22, 0, 10);
    frames_.CheckTimeFrame(1);
    EXPECT_EQ((std::vector{night_[1].htSum, night_[1].htCount}), (std::vector{50.0, 5.0}));
    EXPECT_EQ(Day(1), (std::vector{10.0, 100.0, 1.0, 9.0}));
    EXPECT_FALSE(night_[1].NTadd);
    EXPECT_THAT(LogLines(), Contains("NT-Zähler auf 100,000 gesetzt."));
    // The day period the second time cleared still counts into the total counter.
    Item(1).Fortlaufend_summieren = true;
    day_.DayChangeStatistics(cycle_, cycle_ - 1.0, cycle_);
    EXPECT_EQ(IniFile(fs_, kDir + std::string("TARVEDDE_VAR.INI"))
                  .ReadString("Item_1", "Zählerstand", ""),
              "150,000");

    const std::size_t lines = memo2_.Paragraphs().size();
    Cycle(23, 59, 50);
    Cycle(0, 0, 10, 6);
    frames_.CheckTimeFrame(3);
    EXPECT_EQ(memo2_.Paragraphs().size(), lines);
    Cycle(5, 0, 0, 6);
    Cycle(23, 0, 0, 6);
    frames_.CheckTimeFrame(1);
    EXPECT_FALSE(night_[1].NTadd);
    // Set back over midnight, the clock crosses no frame time it checked before.
    const std::size_t reported = memo2_.Paragraphs().size();
    Cycle(0, 0, 5, 7);
    frames_.CheckTimeFrame(1);
    Cycle(23, 59, 56, 6);
    frames_.CheckTimeFrame(1);
    EXPECT_EQ(memo2_.Paragraphs().size(), reported);
}

// Started between the two times (or after a gap over one), the item takes the time crossed
// for what it is: 22:00 ends the day period and brings back no night, and the next day's
// night returns at its 22:00, mean included, not the zeros of the day change.
TEST_F(IntermediateStatisticsTest, AMissedFrameTimeCostsOnlyThatDaysNight) {
    Item(1).timeFrame = {true, Time(6), Time(22)};
    frames_.LoadTimeFrames(Time(10), op_);
    stats_[1] = {0, 20, 60, 40, 5, 200};
    Cycle(21, 59, 50);
    Cycle(22, 0, 10);
    frames_.CheckTimeFrame(1);
    EXPECT_EQ(night_[1].htCount, 5.0);
    EXPECT_EQ(Day(1), (std::vector{0.0, 0.0, kMinimumReset, kMaximumReset}));
    Cycle(0, 0, 5, 6);
    day_.DayChangeStatistics(cycle_, cycle_ - 1.0, DateOf(cycle_));
    stats_[1] = {0, 5, 50, 20, 10, 200};
    Cycle(5, 59, 50, 6);
    Cycle(6, 0, 10, 6);
    frames_.CheckTimeFrame(1);
    stats_[1] = {0, 3, 7, 5, 4, 20};
    Cycle(21, 59, 50, 6);
    Cycle(22, 0, 10, 6);
    frames_.CheckTimeFrame(1);
    EXPECT_EQ(Day(1), (std::vector{10.0, 200.0, 5.0, 50.0}));
    EXPECT_EQ(stats_[1].average, 20.0);
    EXPECT_FALSE(night_[1].NTadd);
}

// The integral since the last sample belongs to the period a frame time ends: the night
// set aside holds it, as the block printed it, and the new period starts from nothing.
TEST_F(IntermediateStatisticsTest, TheNightSetAsideHoldsTheIntegralUpToTheFrameTime) {
    Item(1).Integral = true;
    Item(1).IntegralBezug = 1;
    Item(1).timeFrame = {true, Time(6), Time(22)};
    frames_.LoadTimeFrames(Time(5), op_);
    SampleIntegrator integrator(config_.Items(), config_.Tables(), log_, GermanLocale());
    integrator.SetUpItem(1, config_.Items()[1]);
    clock_.SetLocalTime(EncodeDateTime(2024, 3, 5, 5, 59, 0, 0));
    integrator.Integrate(1, 10.0, clock_.Now(), clock_.ElapsedMs());
    clock_.AdvanceMs(30000);
    integrator.Integrate(1, 10.0, clock_.Now(), clock_.ElapsedMs());  // 300 since 05:59:00
    Cycle(5, 59, 30);
    clock_.AdvanceMs(40000);
    Cycle(6, 0, 10);
    integration_ = integrator.States();
    frames_.CheckTimeFrame(1);
    EXPECT_EQ(night_[1].ntSum, 300.0 + 40 * 10.0);
    EXPECT_EQ(integration_[1].runningSum, 0.0);

    // No block counts a framed item at the day change: the hours since its last sample up
    // to midnight go to the ended day all the same, and the new day's count from midnight.
    log_.Settings().debugLog = true;
    clock_.AdvanceMs((17 * 3600 + 59 * 60 + 55) * 1000LL);
    Cycle(0, 0, 5, 6);
    day_.DayChangeStatistics(cycle_, cycle_ - 1.0, DateOf(cycle_));
    EXPECT_THAT(LogLines(), Contains(::testing::HasSubstr("Summe=647900,0")));
    EXPECT_EQ(integration_[1].lastSampleTime, DateOf(cycle_));
}

// Three times a day: each reports the item and restarts it from the source's integral
// (what a report writes is the day-protocol scenario's); after the last the table waits
// for the new day. An item whose table file is missing, or holds no time, never reports,
// not even after midnight.
TEST_F(IntermediateStatisticsTest, TimeTableStepsThroughItsTimesAndWaitsForTheNextDay) {
    log_.Settings().logLevel = 4;
    Item(1).Integral = true;
    Settings().itemCount = 4;
    Item(4).itemName = "Item4";
    for (int n : {2, 3, 4}) {
        Item(n).mirror = {true, 1};
        Item(n).timeFrame.on = true;
        Item(n).serverItem = "M" + std::to_string(n);
    }
    ASSERT_TRUE(WriteLines(fs_, kDir + std::string("TT_M2_Item2.tvw"),
                           {"08:00:00", "12:00:00", "16:00:00"}, false));
    ASSERT_TRUE(WriteLines(fs_, kDir + std::string("TT_M4_Item4.tvw"), {"8 Uhr"}, false));
    frames_.LoadTimeFrames(Time(7), op_);
    frames_.SyncTimeFrames(Time(13));
    frames_.SyncTimeFrames(Time(17));
    integration_.SetSum(1, 5000);
    for (int h : {8, 12, 16}) {
        stats_[2] = {0, 1, 2, 1.5, 4, 1500};
        Cycle(h - 1, 59, 50);
        frames_.EvaluateTimeTable(2);
        EXPECT_EQ(stats_[2].count, 4.0);
        Cycle(h, 0, 0);
        frames_.EvaluateTimeTable(2);
        EXPECT_EQ((std::vector{stats_[2].count, stats_[2].sum, offsets_[2]}),
                  (std::vector{0.0, 0.0, 5000.0}));
    }
    frames_.EvaluateTimeTable(3);
    EXPECT_EQ(Memo2().size(), 3 * 4U);  // heading, name, figures, sum at each time
    EXPECT_THAT(
        LogLines(),
        ::testing::IsSupersetOf(std::vector<std::string>{
            "Zeitrahmen für gespiegeltes Item 2 = 08:00:00 / 16:00:00 (nächste Initialisierung)",
            "Zeitrahmen für gespiegeltes Item 2 = 08:00:00 / 12:00:00 (erst am nächsten Tag)",
            "Zeittabelle abgearbeitet. Nächster Zwischenwert nach 0 Uhr.",
            "*** Achtung: Fehlt die Datei \"TT_M3_Item3\" ?"}));
    frames_.ResetTimeTablesForNewDay();
    EXPECT_EQ((std::pair{frames_.Table(2).position, frames_.Table(2).finished}),
              (std::pair{1, false}));
    EXPECT_EQ(frames_.Table(3).position, 0);
    Cycle(0, 0, 10, 6);
    std::size_t lines = memo2_.Paragraphs().size();
    frames_.EvaluateTimeTable(2);
    frames_.EvaluateTimeTable(3);
    frames_.EvaluateTimeTable(4);
    EXPECT_EQ(memo2_.Paragraphs().size(), lines);
    // The first cycle after a gap over 08:00 and 12:00 reports once and waits for 16:00.
    for (int minute : {0, 1}) {
        Cycle(13, minute, 0, 6);
        frames_.EvaluateTimeTable(2);
    }
    EXPECT_EQ(memo2_.Paragraphs().size() - lines, 4U);
    EXPECT_EQ(frames_.Table(2).position, 3);
}

// Item 1 reports; item 2 reported at its frame times yesterday: the day change reports
// its night since 22:00 as they did and leaves it out of the day, but restarts it all the
// same; item 3 mirrors nothing and keeps its values. Items 4 (a frame the wrong way round)
// and 5 (a table file missing) never reported: the day carries them. What the report
// writes, and the total counter, are the day-protocol scenario's.
TEST_F(IntermediateStatisticsTest, DayChangeReportsTheEndedDayAndRestartsTheAccumulators) {
    log_.Settings().debugLog = true;
    Settings().printAtMidnight = true;
    Settings().itemCount = 5;
    Item(2).timeFrame = {true, Time(6), Time(22)};
    Item(3).mirror = {true, 0};
    Item(4).timeFrame = {true, Time(22), Time(6)};
    Item(5).timeFrame.on = true;
    Item(5).mirror = {true, 1};
    for (int n : {4, 5}) {
        Item(n).itemName = "Item" + std::to_string(n);
        ConfigurationTestAccess::Order(config_)[static_cast<std::size_t>(n)] = n;
    }
    frames_.LoadTimeFrames(Time(5), op_);
    stats_[1] = {0, 2, 6, 4, 3, 12.5};
    stats_[2] = {0, 1, 8, 5, 7, 35};
    stats_[3] = {0, 1, 8, 5, 9, 45};
    integration_.SetSum(2, 77);
    night_[1].ntSum = 40;
    Cycle(0, 0, 5, 6);
    day_.DayChangeStatistics(cycle_, cycle_ - 1.0, DateOf(cycle_));

    RichTextModel protocol;
    ReadRtf(File("20240305.RTF"), 10, protocol);
    std::vector<std::string> memo;
    for (const RichParagraph& paragraph : protocol.Paragraphs()) {
        memo.push_back(paragraph.text);
    }
    const auto day = std::ranges::find(memo, " ");
    EXPECT_THAT(std::vector(memo.begin(), day),
                ElementsAre("*** Zwischen-Statistik um 00:00:00 Uhr ***", "Item2",
                            "7 Meßwerte :    Mittel=5,00   Min.=1,00   Max.=8,00 []"));
    std::vector<std::string> reported;
    std::ranges::copy_if(day, memo.end(), std::back_inserter(reported),
                         [](const std::string& line) { return line.starts_with("Item"); });
    EXPECT_THAT(reported, ElementsAre("Item1", "Item4", "Item5"));
    for (int n : {1, 2}) {
        EXPECT_EQ(Day(n), (std::vector{0.0, 0.0, kMinimumReset, kMaximumReset}));
        EXPECT_EQ(stats_[n].average, 0.0);
        EXPECT_EQ(integration_[n].runningSum, 0.0);
    }
    EXPECT_EQ(Day(3), (std::vector{9.0, 45.0, 1.0, 8.0}));
    EXPECT_EQ(night_[1].ntSum, 0.0);
    EXPECT_THAT(LogLines(), Contains(">>>> Item1 >>>> Anzahl=3     Summe=12,500"));
    EXPECT_EQ(log_.StatisticsInfo().Lines().back(),
              "***************** Mittwoch, 6. März 2024*****************");
    EXPECT_EQ((std::pair{printed_, diaryCleared_}), (std::pair{1, 1}));
}

// A day whose counter reading cannot be written is carried by the next write, also over a
// reload of the item options (an acquisition start) in between.
TEST_F(IntermediateStatisticsTest, TheTotalCounterKeepsADayItCouldNotWrite) {
    ASSERT_TRUE(
        fs_.WriteAll(kDir + std::string("TARVEDDE.INI"), "[DDE]\r\nItemcount=1\r\n", false));
    ASSERT_TRUE(fs_.WriteAll(kDir + std::string("TARVEDDE_VAR.INI"),
                             "[Item_1]\r\nZ\xE4hlerstand=1000,000\r\n", false));
    config_.LoadItemOptions();
    ASSERT_EQ(Item(1).counterReading, 1000.0);
    Item(1).Fortlaufend_summieren = true;
    stats_[1].sum = 12.5;
    fs_.SetFailurePolicy([](FileOp, const std::string& path) {
        return path.find("TARVEDDE_VAR") != std::string::npos;
    });
    Cycle(0, 0, 5, 6);
    day_.DayChangeStatistics(cycle_, cycle_ - 1.0, DateOf(cycle_));
    EXPECT_THAT(LogLines(), Contains("Zählerstand von Item1 konnte nicht gespeichert werden !"));
    fs_.SetFailurePolicy(nullptr);
    config_.LoadItemOptions();
    stats_[1].sum = 10;
    Cycle(0, 0, 5, 7);
    day_.DayChangeStatistics(cycle_, cycle_ - 1.0, DateOf(cycle_));
    EXPECT_EQ(IniFile(fs_, kDir + std::string("TARVEDDE_VAR.INI"))
                  .ReadString("Item_1", "Zählerstand", ""),
              "1022,500");
}

TEST_F(IntermediateStatisticsTest, ClearingMeansAndSumsDocumentsWhatItDiscards) {
    Settings().itemCount = 2;
    Item(1).Integral = true;
    Item(2).Differenz = true;
    stats_[1] = {0, 2, 6, 4, 3, 10};
    stats_[2].sum = 7.5;
    // A value of 2 that holds since 10 s ago: the record counts it up to now.
    SampleIntegrator integrator(config_.Items(), config_.Tables(), log_, GermanLocale());
    integrator.SetUpItem(1, config_.Items()[1]);
    integrator.Integrate(1, 2.0, clock_.Now() - 10.0 / 86400.0, clock_.ElapsedMs() - 10000);
    integration_ = integrator.States();
    integration_.SetSum(1, 42);
    offsets_[2] = 5;
    day_.MittelwerteSummen1Click();
    day_.SummenOffsetgespiegelteWerte1Click();
    EXPECT_THAT(log_.StatisticsInfo().Lines(),
                ElementsAre("Summe/Mittelwert für Item1 um 07:08:09 neu initialisiert.",
                            "Anzahl=3  Mittel=4,000  Min.=2,000  Max.=6,000", "Integral=62,000",
                            "Summe/Mittelwert für Item2 um 07:08:09 neu initialisiert.",
                            "Anzahl=0  Mittel=0,000  Min.=999999,900  Max.=-999999,900",
                            "Zählerdifferenz/Verbrauch=7,500",
                            "Summen-Offset (gespiegelte Werte) neu initialisiert."));
    EXPECT_EQ((std::vector{stats_[1].count, stats_[1].sum, stats_[1].average, offsets_[2]}),
              (std::vector{0.0, 0.0, 4.0, 0.0}));
}

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
    const double march = EncodeDateTime(2024, 3, 5, 0, 0, 0, 0);
    ASSERT_TRUE(AppendLoadCurveLine(config_, statistics, EncodeDateTime(2024, 3, 5, 8, 0, 0, 0),
                                    march, files));
    statistics.sum = 0;
    ASSERT_TRUE(AppendLoadCurveLine(config_, statistics, EncodeDateTime(2024, 3, 5, 12, 0, 0, 0),
                                    march, files));
    // The month's last period, ended by a day change postponed to 06:00, is the ended
    // day's month's.
    ASSERT_TRUE(AppendLoadCurveLine(config_, statistics, EncodeDateTime(2024, 4, 1, 6, 0, 0, 0),
                                    EncodeDateTime(2024, 3, 31, 0, 0, 0, 0), files));
    EXPECT_EQ(File("Ganglinie_Zulauf-Nacht_202403.txt"),
              "Zulauf/Nacht\tSPS:DB1/W4\r\n"
              "Datum\tZeit\tSumme\tMinimum\tMaximum\tMittelwert\r\n"
              "d\th\tm³\tl/s\tl/s\tl/s\r\n"
              "2024.03.05\t08:00:00\t12,34\t1,50\t30,25\t12,13\r\n"
              "2024.03.05\t12:00:00\t0,00\t1,50\t30,25\t12,13\r\n"
              "2024.04.01\t06:00:00\t0,00\t1,50\t30,25\t12,13\r\n");

    fs_.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op == FileOp::Append && path.find("Ganglinie") != std::string::npos;
    });
    EXPECT_FALSE(AppendLoadCurveLine(config_, statistics, EncodeDateTime(2024, 4, 1, 0, 0, 0, 0),
                                     march, files));
    EXPECT_NE(LogAll().find("Fehler beim Schreiben der Ganglinie für Zulauf/Nacht"),
              std::string::npos);
}

}  // namespace
}  // namespace tarvedde::testing
