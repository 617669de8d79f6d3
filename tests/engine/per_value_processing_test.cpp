#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/model/live_grid.h"
#include "engine/processing/per_value_processing.h"
#include "platform/ini_file.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr double kNoLimit = std::numeric_limits<double>::max();

class PerValueProcessingTest : public EngineFixture {
protected:
    PerValueProcessingTest() { SetItemCount(1); }
    // What item 1 shows after a cycle on each of the texts.
    Lines ShownAfter(const Lines& texts, std::int64_t stepMs = 10000) {
        Lines shown;
        for (const std::string& text : texts) {
            RunCycle({text}, stepMs);
            shown.push_back(Shown(1));
        }
        return shown;
    }
};

// An empty text (nothing came yet) or garbage is no value: shown as 0 as a value outside
// the limits is, and not counted; garbage is logged once. A reading outside the limits is
// clamped to them.
TEST_F(PerValueProcessingTest, EmptyTextOrGarbageIsNoValueAndReadingsAreClamped) {
    EXPECT_EQ(ShownAfter({""}), Lines{"0,000"});
    Item(1).calibrationSlope = 2.0;
    Item(1).calibrationIntercept = 1.0;
    EXPECT_THAT(ShownAfter({"abc", "abc", "12,5\r\n"}), ElementsAre("0,000", "0,000", "26,000"));
    Item(1).calibrationSlope = 1.0;
    Item(1).calibrationIntercept = 0.0;
    SetLimits(1, 0.0, 100.0);
    EXPECT_THAT(ShownAfter({"150", "-5"}), ElementsAre("100,000", "0,000"));
    EXPECT_EQ(Stats(1).count, 3.0);
    EXPECT_THAT(NewLogLines(), ElementsAre("Item 1 : kein gültiger Wert, nicht gezählt.",
                                           "Item 1 : wieder gültige Werte."));
}

// Only a conversion, a table or a difference can move a value past the limits.
TEST_F(PerValueProcessingTest, LimitsAreInclusiveOnBothSides) {
    SetItemCount(2);
    SetLimits(1, 0.0, 100.0);
    Convert(1, 2.0, 1.0, 0);
    SetLimits(2, 10.0, 100.0);
    Convert(2, 1.0, 2.0, 0);
    RunCycle({"50", "20"});
    EXPECT_EQ(Shown(1), "100,000");
    EXPECT_EQ(Shown(2), "10,000");
    RunCycle({"50,5", "19,98"});
    EXPECT_EQ(Shown(1), "0,000");
    EXPECT_EQ(Shown(2), "0,000");
    EXPECT_EQ(Stats(1).count, 1.0);
    EXPECT_EQ(Stats(2).count, 1.0);
    EXPECT_EQ(Stats(1).currentValue, 100.0);
    EXPECT_THAT(NewLogLines(), ElementsAre("****** Grenzwertüberschreitung: Item 1 = 101,00",
                                           "****** Grenzwertüberschreitung: Item 2 = 9,99"));
}

// A reading below the last one is a counter reset; zero or a negative reading leaves the
// counter as it was.
TEST_F(PerValueProcessingTest, CounterDifferences) {
    Item(1).Differenz = true;
    RunCycle({"1000"});
    const double first = state_.cycle.cycleTime;
    EXPECT_EQ(Counter(1).lastReading, 1000.0);
    EXPECT_EQ(Counter(1).previousReadingTime, -1.0);
    EXPECT_EQ(ShownAfter({"1005"}), Lines{"5,000"});
    EXPECT_EQ(Counter(1).previousReadingTime, first);
    EXPECT_EQ(Counter(1).lastReadingTime, state_.cycle.cycleTime);
    EXPECT_EQ(ShownAfter({"5"}), Lines{"5,000"});
    const CounterDifferenceState afterReset = Counter(1);
    EXPECT_THAT(ShownAfter({"0", "-3"}), ElementsAre("0,000", "-3,000"));
    EXPECT_EQ(Counter(1).lastReadingTime, afterReset.lastReadingTime);
    EXPECT_EQ(ShownAfter({"8"}), Lines{"3,000"});
    EXPECT_EQ(Row(1, 5), "10,000");
    // A new calibration puts the readings on another scale: counting starts from there. A
    // slope read back from the dialog's ten places is the same one.
    Item(1).calibrationSlope = 1.0 + 4e-11;
    EXPECT_EQ(ShownAfter({"9"}), Lines{"1,000"});
    Item(1).calibrationSlope = 2.0;
    EXPECT_THAT(ShownAfter({"9", "10"}), ElementsAre("0,000", "2,000"));
    EXPECT_THAT(NewLogLines(), ElementsAre("Differenz für Item 1 neu initialisiert.",
                                           "SPS : Differenz für Item 1 neu initialisiert !",
                                           "Kalibrierung von Item 1 geändert, Differenz neu "
                                           "initialisiert.",
                                           "Differenz für Item 1 neu initialisiert."));
}

// Past UpLimit the reading still counts, its difference meets the limits; a reading a
// little lower is no reset, and it and a spike the limits reject leave the last reading.
// A jump the next reading confirms is the new level, and what the meter ran since it counts.
TEST_F(PerValueProcessingTest, ACounterPastItsUpperLimitOrSetBackALittleCountsWhatItRan) {
    Item(1).Differenz = true;
    SetLimits(1, 0.0, 100.0);
    EXPECT_THAT(ShownAfter({"95", "105", "110", "108", "118", "500", "128", "700", "705", "710"}),
                ElementsAre("0,000", "10,000", "5,000", "0,000", "8,000", "0,000", "10,000",
                            "0,000", "5,000", "5,000"));
    EXPECT_EQ(Stats(1).sum, 43.0);
    EXPECT_THAT(NewLogLines(),
                ElementsAre("Differenz für Item 1 neu initialisiert.",
                            "Zählerstand von Item 1 gesunken, Differenz 0.",
                            "****** Grenzwertüberschreitung: Item 1 = 382,00",
                            "****** Grenzwertüberschreitung: Item 1 = 572,00",
                            "Zählerstand von Item 1 bestätigt, Differenz neu initialisiert."));
}

// The rate's time comes from the elapsed milliseconds, never from the wall clock; a
// divisor of zero leaves the value and the rate still applies.
TEST_F(PerValueProcessingTest, RatesForEachTimeBaseOverMoreThanHalfASecondOfElapsedTime) {
    SetLimits(1, -1e9, 1e9);
    const std::vector<std::pair<int, double>> cases = {{1, 5.0},      {2, 300.0},  {3, 18000.0},
                                                       {4, 432000.0}, {5, 8888.0}, {-1, 8888.0}};
    for (const auto& [timeBase, rate] : cases) {
        Convert(1, 1.0, 1.0, timeBase);
        RunCycle({"10"}, 2000);
        EXPECT_DOUBLE_EQ(Stats(1).currentValue, timeBase < 0 ? 10.0 : rate) << timeBase;
    }
    Convert(1, 3.0, 2.0, 0);
    EXPECT_EQ(ShownAfter({"10"}), Lines{"15,000"});
    Convert(1, 1.0, 1.0, 1);
    const double count = Stats(1).count;
    EXPECT_EQ(ShownAfter({"10"}, 500), Lines{"0,000"});
    EXPECT_EQ(Stats(1).count, count);  // a rate over no time span is no value
    EXPECT_EQ(ShownAfter({"10"}, 501), Lines{"19,960"});
    env_.clock.StepWallClock(-3600 * 1000);
    EXPECT_EQ(ShownAfter({"10"}, 2000), Lines{"5,000"});
    env_.clock.StepWallClock(86400 * 1000);
    Convert(1, 1.0, 0.0, 1);
    EXPECT_EQ(ShownAfter({"10"}, 4000), Lines{"2,500"});
    Convert(1, 1.0, 0.0, 0);
    EXPECT_EQ(ShownAfter({"10"}), Lines{"10,000"});
    EXPECT_THAT(NewLogLines(), ElementsAre("Fehler bei Umrechnung des Wertes !",
                                           "Fehler bei Umrechnung des Wertes !"));
}

// Up to 1.01 a digital value is taken as it is, above it counts as 1; the operating hours
// count the cycles of the day the item was on.
TEST_F(PerValueProcessingTest, DigitalValuesAndOperatingHours) {
    Item(1).Grafiktyp = 2;
    processor_.SetOperatingHoursPerCycle(10 / 3600.0);
    EXPECT_THAT(ShownAfter({"1,005", "1,01", "1,02"}), ElementsAre("1,005", "1,010", "1,000"));
    ShownAfter({"0,5", "0,51"});
    EXPECT_DOUBLE_EQ(Stats(1).count, 4 * 10 / 3600.0);
    EXPECT_EQ(Stats(1).sum, Stats(1).count);
    EXPECT_EQ(Stats(1).minimum, 0.5);
    EXPECT_EQ(Stats(1).maximum, 1.01);
    EXPECT_EQ(Row(1, 4), "0,011");
    EXPECT_EQ(Row(1, 5), "0,011");
    EXPECT_THAT(NewLogLines(), ElementsAre("Digitaler Neuwert (> 1 !) = 1,02"));
}

TEST_F(PerValueProcessingTest, AnItemInMaintenanceShowsItsPreviousValue) {
    ShownAfter({"7", "9"});
    NewLogLines();
    Item(1).maintenanceOn = true;
    EXPECT_THAT(ShownAfter({"12,5", "50"}), ElementsAre("7,000", "7,000"));
    EXPECT_EQ(Stats(1).currentValue, 7.0);
    EXPECT_EQ(Stats(1).count, 2.0);
    EXPECT_THAT(NewLogLines(), ElementsAre("****** Grenzwertüberschreitung: Item 1 = 12,50",
                                           "****** Grenzwertüberschreitung: Item 1 = 50,00"));
}

class WarningTest : public PerValueProcessingTest {
protected:
    WarningTest() {
        Item(1).UpWarn = 50.0;
        Item(1).LoWarn = 10.0;
    }
    // Which of the values raise a warning.
    std::vector<std::string> Warned(const std::vector<std::string>& texts) {
        joins_.warnings.clear();
        for (const std::string& text : texts) {
            RunCycle({text});
        }
        return joins_.warnings;
    }
};

// Outside the range only; an upper limit near zero switches the check off.
TEST_F(WarningTest, OutsideTheWarningRangeUnlessTheUpperLimitIsNearZero) {
    EXPECT_THAT(Warned({"60", "50", "30", "10", "5"}), ElementsAre("1:60.000000", "1:5.000000"));
    for (const auto& [upper, warned] :
         {std::pair{0.001, false}, {-0.001, false}, {0.0011, true}, {-0.0011, true}}) {
        Item(1).UpWarn = upper;
        EXPECT_EQ(Warned({"5"}), warned ? Lines{"1:5.000000"} : Lines{}) << upper;
    }
}

// A second item's value above (or below) its level lets the warning through; a rejected
// value never warns.
TEST_F(WarningTest, ASecondItemConditionsTheWarning) {
    struct Case {
        int item;
        bool above;
        double value;
        bool maintenance;
        bool warned;
    };
    Item(1).WarnLevel2 = 0.5;
    for (const Case& c :
         {Case{2, true, 0.6, false, true}, Case{2, true, 0.5, false, false},
          Case{2, false, 0.5, false, false}, Case{2, false, 0.4, false, true},
          Case{0, false, 0.5, false, true}, Case{maxItems + 1, false, 0.5, false, false},
          Case{1, false, 0.5, false, false}, Case{0, false, 0.5, true, false}}) {
        Item(1).WarnFlag2 = c.item;
        Item(1).WarnComp2 = c.above;
        Item(1).maintenanceOn = c.maintenance;
        Stats(2).currentValue = c.value;
        EXPECT_EQ(Warned({"60"}), c.warned ? Lines{"1:60.000000"} : Lines{})
            << c.item << c.above << c.value << c.maintenance;
    }
    // A digital second item: a pump's running state, read in the cycle before.
    SetItemCount(2);
    Item(2).Grafiktyp = 2;
    Item(1).WarnFlag2 = 2;
    Item(1).WarnComp2 = true;
    Item(1).maintenanceOn = false;
    joins_.warnings.clear();
    for (int cycle = 0; cycle < 3; ++cycle) {
        RunCycle({"60", cycle == 0 ? "1" : "0"});
    }
    EXPECT_THAT(joins_.warnings, ElementsAre("1:60.000000"));
}

// The first value after a restart keeps the restored minimum, but only when the count
// follows the restored one; after a reset in between, nothing brings it back later.
TEST_F(PerValueProcessingTest, TheFirstValueAfterARestartKeepsTheRestoredMinimum) {
    RunCycle({"12"});
    EXPECT_EQ(Stats(1).minimum, 12.0);
    ItemStatistics& stats = Stats(1);
    stats.count = stats.correctionCount = 10.0;
    stats.minimum = stats.correctionMinimum = 5.0;
    stats.maximum = 20.0;
    RunCycle({"3"});
    EXPECT_EQ(stats.minimum, 5.0);
    EXPECT_EQ(stats.correctionCount, -2.0);
    EXPECT_EQ(Row(1, 2), "5,000");
    RunCycle({"25"});
    EXPECT_EQ(stats.maximum, 25.0);
    RunCycle({"2"});
    EXPECT_EQ(stats.minimum, 2.0);
    EXPECT_THAT(NewLogLines(), ElementsAre("****** Korrektur: Item 1 .Min => 5,00(alt: 3,00)"));

    stats.correctionCount = 10.0;
    stats.count = 0.0;
    stats.minimum = 999999.9;
    stats.correctionMinimum = 5.0;
    RunCycle({"3"});
    stats.count = 10.0;
    RunCycle({"1"});
    EXPECT_EQ(stats.minimum, 1.0);
    EXPECT_THAT(NewLogLines(), IsEmpty());
}

TEST_F(PerValueProcessingTest, FifteenMinuteExtremesReplaceTheDaysInOrder) {
    joins_.fifteenMinute = WindowExtremes{0.0, 9.0, 3.0};
    RunCycle({"5"});
    EXPECT_EQ(Row(1, 2), "3,000");
    EXPECT_EQ(Row(1, 3), "9,000");
    joins_.fifteenMinute = WindowExtremes{0.0, 2.0, 4.0};
    RunCycle({"5"});
    EXPECT_EQ(Row(1, 2), "2,000");
    EXPECT_EQ(Row(1, 3), "4,000");
    Item(1).M15_berechnen = false;
    RunCycle({"5"});
    EXPECT_EQ(Row(1, 2), "5,000");
    EXPECT_EQ(Row(1, 3), "5,000");
    Item(1).M15_berechnen = true;
    joins_.fifteenMinute.reset();
    RunCycle({"6"});
    EXPECT_EQ(Row(1, 3), "6,000");
}

TEST_F(PerValueProcessingTest, MovingAverageWhileTheWindowFillsAndWhenFull) {
    Item(1).Gleitend = true;
    joins_.moving = WindowExtremes{4.0, 999999.1, -999999.0};
    RunCycle({"5"});
    EXPECT_EQ(Shown(1), "4,000");
    EXPECT_EQ(Row(1, 2), "0,000");
    EXPECT_EQ(Row(1, 3), "4,000");
    joins_.moving = WindowExtremes{4.0, 999999.0, 6.0};
    RunCycle({"5"});
    EXPECT_EQ(Row(1, 2), "999999,000");
    EXPECT_EQ(Row(1, 3), "6,000");
    EXPECT_EQ(Row(1, 1), "5,000");  // the day mean stays
}

TEST_F(PerValueProcessingTest, DayCountersGoToTheCounterFileInOneWriteWhenTheyMove) {
    SetItemCount(2);
    env_.WriteText("TARVEDDE_VAR.INI", "[Item_1]\nFortlaufend_summieren=1\n");
    int writes = 0;
    env_.files.SetFailurePolicy([&](FileOp op, const std::string& path) {
        writes += op == FileOp::Write && path.ends_with("TARVEDDE_VAR.INI.tmp");
        return false;
    });
    for (int n : {1, 2}) {
        Item(n).Differenz = true;
        Item(n).Fortlaufend_summieren = true;
    }
    RunCycle({"100", "7"});
    RunCycle({"130", "8"});
    EXPECT_EQ(env_.ReadText("TARVEDDE_VAR.INI"),
              "[Item_1]\r\nFortlaufend_summieren=1\r\nTageszähler=30,000\r\n\r\n"
              "[Item_2]\r\nTageszähler=1,000\r\n");
    EXPECT_EQ(writes, 2);
    RunCycle({"130", "8"});
    EXPECT_EQ(writes, 2);
    // The day change writes the counter reading between two cycles; it stays.
    IniFile counters(env_.files, env_.dir + "TARVEDDE_VAR.INI");
    ASSERT_TRUE(counters.WriteString("Item_1", "Zählerstand", "130,000"));
    RunCycle({"131,5", "8"});
    EXPECT_EQ(counters.ReadString("Item_1", "Tageszähler", ""), "31,500");
    EXPECT_EQ(counters.ReadString("Item_1", "Zählerstand", ""), "130,000");
    EXPECT_EQ(writes, 4);
}

TEST_F(PerValueProcessingTest, DebugLinesAndRawData) {
    SetItemCount(2);
    Item(1).itemName = "Zulauf";
    Item(2).itemName = "Pumpe";
    Item(2).Grafiktyp = 2;
    log_.Settings().debugLog = true;
    settings_.saveRawData = true;
    RunCycle({"12", "1"});
    EXPECT_THAT(NewLogLines(), ElementsAre("Item 1 : Anz = 1", "*** Zulauf  Anz=1   Wert=12,000",
                                           "*** Pumpe  Wert=1,000"));
    EXPECT_EQ(env_.ReadText("_ROH_LOG.TXT"), "49;50;\r\n49;\r\n");
}

TEST_F(PerValueProcessingTest, TimeFrameCheckOnlyOnMatchingDays) {
    Item(1).timeFrame.on = true;
    Item(1).Tagesauswahl = 4;  // Tuesday; the test clock stands on Tuesday 2024-03-05
    RunCycle({"1"});
    Item(1).Tagesauswahl = 127 - 4;
    RunCycle({"1"});
    EXPECT_THAT(joins_.calls, ElementsAre("frame 1", "tables", "tables"));
}

TEST_F(PerValueProcessingTest, BadTextsNeverStopTheCycleNorReachTheGrid) {
    SetItemCount(3);
    const std::vector<std::string> texts = {
        "",       "   ",      std::string(10000, 'x'), "1e309",    "nan",
        "--5",    "12,5,3",   std::string("4\0\0", 3), "\r\n\r\n", "1E308",
        "-1E308", "0,0000001"};
    for (const std::string& text : texts) {
        RunCycle({text, "Wert " + text, text + "\r\n"});
    }
    for (int item = 1; item <= 3; ++item) {
        for (int row = 1; row < state_.grid.RowCount(); ++row) {
            EXPECT_EQ(Row(item, row).find_first_of("NI"), std::string::npos) << Row(item, row);
        }
        EXPECT_TRUE(std::isfinite(Stats(item).sum));
        EXPECT_TRUE(std::isfinite(Stats(item).average));
    }
    EXPECT_EQ(Stats(1).count, 3.0);  // the numbers among the texts
}

TEST_F(PerValueProcessingTest, AFailingItemIsLoggedAndTheNextOneRuns) {
    SetItemCount(2);
    Item(1).calibrationSlope = 1e308;
    RunCycle({"10", "3"});
    EXPECT_EQ(Stats(1).count, 0.0);
    EXPECT_EQ(Shown(1), "");
    EXPECT_EQ(Shown(2), "3,000");
    Item(1).calibrationSlope = 1.0;
    joins_.failWarnings = true;
    Item(1).UpWarn = 1.0;
    RunCycle({"10", "4"});
    EXPECT_EQ(Shown(2), "4,000");
    // A table converts the value; one without points fails the item.
    joins_.failWarnings = false;
    Item(1).Tabelle_benutzen = 2;
    ConversionTable& table = tables_[2];
    table.pointCount = 3;
    table.x = {0, 0, 10, 20};
    table.y = {0, 0, 50, 80};
    RunCycle({"5", "4"});
    EXPECT_EQ(Shown(1), "25,000");
    const double count = Stats(1).count;
    Item(1).Tabelle_benutzen = 3;
    RunCycle({"5", "4"});
    EXPECT_EQ(Stats(1).count, count);
    EXPECT_THAT(NewLogLines(), ElementsAre("Main : Exception (2)", "Main : Exception (2)",
                                           "Main : Exception (2)"));
    // Back in the row that showed 25,000: a failed item shows no value of an earlier cycle.
    RunCycle({"5", "4"});
    RunCycle({"5", "4"});
    EXPECT_EQ(Shown(1), "");
}

TEST_F(PerValueProcessingTest, OverflowsResetTheSumAndTheMean) {
    SetLimits(1, -kNoLimit, kNoLimit);
    Stats(1).sum = 1.7e308;
    RunCycle({"1E308"});
    EXPECT_EQ(Stats(1).sum, 0.0);
    Stats(1).average = 1.7e308;
    RunCycle({"1E308"});
    EXPECT_EQ(Stats(1).average, 0.0);
    EXPECT_THAT(NewLogLines(), ElementsAre("Überlauf bei Summe ! Zurückgesetzt."));
    // An overflowing counter fails the item and keeps its state.
    Item(1).Differenz = true;
    Counter(1).lastReading = -1.7e308;
    Counter(1).lastReadingTime = 1.0;
    const double count = Stats(1).count;
    RunCycle({"1E308"});
    EXPECT_EQ(Counter(1).lastReading, -1.7e308);
    EXPECT_EQ(Stats(1).count, count);
    EXPECT_THAT(NewLogLines(), ElementsAre("Main : Exception (2)"));
}

// Four items of different kinds over five cycles with three rolling rows: the rows wrap
// in the fourth cycle, column 0 carries the times of the cycles before, and the integral
// item's sum row shows its running sum.
TEST_F(PerValueProcessingTest, FourItemsFiveCyclesCellByCell) {
    SetItemCount(4);
    Item(2).Grafiktyp = 2;
    Item(3).Differenz = true;
    Item(4).Integral = true;
    Integrals().SetSum(4, 123.4567);
    processor_.SetOperatingHoursPerCycle(10 / 3600.0);
    RunCycle({"10", "1", "1000", "1"});
    RunCycle({"20", "0", "1010", "2"});
    RunCycle({"30", "1", "1025", "3"});
    RunCycle({"40", "1,5", "1025", "4"});
    RunCycle({"abc", "0", "5", "5"});
    const std::vector<std::vector<std::string>> expected = {
        {"", "", "", "", ""},
        {"", "25,000", "0,000", "6,000", "3,000"},
        {"", "10,000", "0,000", "0,000", "1,000"},
        {"", "40,000", "1,000", "15,000", "5,000"},
        {"", "4", "0,008", "5", "5"},
        {"", "", "0,008", "30,000", "123,457"},
        {"07:00:40", "40,000", "1,000", "0,000", "4,000"},
        {">>>>>>>>>>", "0,000", "0,000", "5,000", "5,000"},
        {"07:00:30", "30,000", "1,000", "15,000", "3,000"}};
    ASSERT_EQ(state_.grid.RowCount(), 9);
    ASSERT_EQ(state_.grid.ColumnCount(), 5);
    for (int row = 0; row < 9; ++row) {
        for (int column = 0; column < 5; ++column) {
            EXPECT_EQ(state_.grid.Cell(column, row),
                      expected[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)])
                << "row " << row << " column " << column;
        }
    }
    EXPECT_EQ(state_.window.lbDT, "07:00:50");
    EXPECT_THAT(NewLogLines(), ElementsAre("Differenz für Item 3 neu initialisiert.",
                                           "Digitaler Neuwert (> 1 !) = 1,50",
                                           "Item 1 : kein gültiger Wert, nicht gezählt.",
                                           "SPS : Differenz für Item 3 neu initialisiert !"));
}

TEST(LiveGridTest, CellsOutsideTheGridReadEmptyAndResizeKeepsContent) {
    LiveGrid grid;
    grid.Resize(3, 7);
    grid.SetCell(2, 6, "1,5");
    grid.SetCell(3, 6, "lost");
    grid.SetCell(-1, 0, "lost");
    EXPECT_EQ(grid.Cell(3, 6), "");
    EXPECT_EQ(grid.Cell(2, 7), "");
    grid.Resize(4, 9);
    EXPECT_EQ(grid.Cell(2, 6), "1,5");
    EXPECT_EQ(grid.Cell(3, 6), "");
}

}  // namespace
}  // namespace tarvedde::testing
