#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "engine/processing/per_value_processing.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr double kHuge = std::numeric_limits<double>::max();

// Item 1 is the source, item 2 mirrors it.
class MirroredItemsTest : public EngineFixture {
protected:
    MirroredItemsTest() {
        SetItemCount(2);
        log_.Settings().logLevel = 4;
        Mirror(2, 1);
    }

    void Mirror(int n, int source) {
        Item(n).mirror.mirrorOn = true;
        Item(n).mirror.sourceItem = source;
    }
};

// An offset above the source's sum is reset.
TEST_F(MirroredItemsTest, IntegralSourceGivesRunningSumLessOffset) {
    Item(1).Integral = true;
    Integrals().SetSum(1, 100.0);
    MirrorOffset(2) = 30.0;
    RunCycle({"7", "ignored"});
    const std::vector<std::string> column = {"7,000", "7,000", "7,000", "1", "70,000"};
    for (int row = 1; row <= 5; ++row) {
        EXPECT_EQ(Row(2, row), column[static_cast<std::size_t>(row - 1)]) << row;
    }
    EXPECT_EQ(Shown(2), "7,000");
    Integrals().SetSum(1, 29.0);  // 1.0 below the offset: still taken
    RunCycle({"7"});
    EXPECT_EQ(Row(2, 5), "-1,000");
    EXPECT_THAT(NewLogLines(), IsEmpty());
    Integrals().SetSum(1, 10.0);
    RunCycle({"7"});
    EXPECT_EQ(MirrorOffset(2), 0.0);
    EXPECT_EQ(Stats(2).sum, -1.0);
    EXPECT_EQ(Stats(2).count, 3.0);
    RunCycle({"7"});
    EXPECT_EQ(Stats(2).sum, 10.0);
    EXPECT_THAT(NewLogLines(), ElementsAre("Spiegelsummen-Offset zurückgesetzt."));
}

// Mirrored items are not read themselves.
TEST_F(MirroredItemsTest, OtherSourcesAreSummed) {
    Source(2).newestText = "99";
    settings_.saveRawData = true;
    RunCycle({"7"});
    EXPECT_EQ(Shown(2), "7,000");
    EXPECT_EQ(env_.ReadText("_ROH_LOG.TXT"), "55;\r\n");
    RunCycle({"5"});
    EXPECT_EQ(Stats(2).sum, 12.0);
    EXPECT_EQ(Row(2, 5), "");
    EXPECT_EQ(Row(2, 1), "6,000");
}

TEST_F(MirroredItemsTest, ASourceOutsideTheItemsIsSkipped) {
    for (int source : {0, -1, 3, maxItems + 1}) {
        Item(2).mirror.sourceItem = source;
        RunCycle({"7"});
    }
    EXPECT_EQ(Stats(2).count, 0.0);
    for (int row = 1; row < state_.grid.RowCount(); ++row) {
        EXPECT_EQ(Row(2, row), "") << row;
    }
    EXPECT_THAT(NewLogLines(), IsEmpty());
}

TEST_F(MirroredItemsTest, RateOverTheElapsedCycleTime) {
    Convert(2, 1.0, 1.0, 2);
    RunCycle({"36"}, 30000);
    EXPECT_EQ(Shown(2), "72,000");
    env_.clock.StepWallClock(-3600 * 1000);
    RunCycle({"36"}, 30000);
    EXPECT_EQ(Shown(2), "72,000");
    RunCycle({"36"}, 500);
    EXPECT_EQ(Shown(2), "0,000");
    Convert(2, 1.0, 1.0, 9);
    RunCycle({"36"});
    EXPECT_EQ(Shown(2), "8884,000");
}

// A counter source's rate spans its last two readings, on the elapsed clock.
TEST_F(MirroredItemsTest, RateOfACounterSourceOverItsReadings) {
    Item(1).Differenz = true;
    Convert(2, 1.0, 1.0, 3);
    RunCycle({"1000"});
    RunCycle({"1050"}, 3600 * 1000);
    EXPECT_NEAR(Stats(2).currentValue, 50.0, 1e-6);
    // Daylight saving ends: the rate spans the ten seconds that passed.
    env_.clock.StepWallClock(-3600 * 1000);
    RunCycle({"1100"});
    EXPECT_NEAR(Stats(2).currentValue, 18000.0, 1e-6);
    RunCycle({"1110"}, 400);
    EXPECT_EQ(Shown(2), "0,000");
    RunCycle({"1120"}, 600);
    EXPECT_NEAR(Stats(2).currentValue, 60000.0, 1.0);
    // A jump the next reading confirms: the step after it spans the time since the jump.
    SetLimits(1, 0.0, 100.0);
    RunCycle({"5000"}, 1000);
    RunCycle({"5010"}, 1000);
    EXPECT_NEAR(Stats(2).currentValue, 36000.0, 1.0);
}

TEST_F(MirroredItemsTest, CounterDifferenceOfTheMirror) {
    Item(2).Differenz = true;
    RunCycle({"100"});
    RunCycle({"130"});
    RunCycle({"4"});
    EXPECT_EQ(Stats(2).sum, 34.0);
    EXPECT_EQ(Row(2, 5), "34,000");
    EXPECT_EQ(Shown(2), "4,000");
    EXPECT_THAT(NewLogLines(), ElementsAre("Differenz für gespiegeltes Item 2 neu initialisiert.",
                                           "SPS : Differenz für gespiegeltes Item 2 neu "
                                           "initialisiert !"));
}

TEST_F(MirroredItemsTest, ADifferenceOfAnIntegralSourceIsAConfigurationError) {
    Item(1).Integral = true;
    Integrals().SetSum(1, 500.0);
    Item(2).Differenz = true;
    RunCycle({"5"});
    RunCycle({"8"});
    EXPECT_EQ(Stats(2).sum, 3.0);
    EXPECT_EQ(Row(2, 5), "3,000");
    const std::string error =
        "Konfigurationsfehler ! Spiegel-Quelle : Integralberechnung aktiviert.";
    EXPECT_THAT(NewLogLines(),
                ElementsAre(error, "Differenz für gespiegeltes Item 2 neu initialisiert.", error));
}

TEST_F(MirroredItemsTest, ValuesOutsideTheLimitsAreNotAccumulated) {
    SetLimits(2, 0.0, 10.0);
    RunCycle({"10"});
    RunCycle({"10,5"});
    EXPECT_EQ(Shown(2), "0,000");
    EXPECT_EQ(Stats(2).count, 1.0);
    EXPECT_EQ(Stats(2).currentValue, 10.0);
    EXPECT_EQ(Row(2, 4), "1");
    EXPECT_THAT(NewLogLines(), IsEmpty());
}

// A value its source did not count (in maintenance, refused after its table) is none of
// the mirror's either; a digital mirror counts operating hours, not values: the program's
// first cycle a whole interval, the next ones the 10 s since the one before.
TEST_F(MirroredItemsTest, TheMirrorCountsWhatItsSourceCounts) {
    Item(2).Grafiktyp = 2;
    processor_.SetOperatingHoursPerCycle(0.25);
    RunCycle({"1"});
    RunCycle({"1"});
    Item(1).maintenanceOn = true;  // holds its last value, 1
    RunCycle({"1"});
    Item(1).maintenanceOn = false;
    RunCycle({"0"});
    RunCycle({"1"});
    EXPECT_DOUBLE_EQ(Stats(2).count, 0.25 + 20.0 / 3600);
    EXPECT_DOUBLE_EQ(Stats(2).sum, Stats(2).count);
}

TEST_F(MirroredItemsTest, ConversionFailures) {
    Convert(2, 1.0, 0.0, 0);
    RunCycle({"7"});
    EXPECT_EQ(Shown(2), "7,000");
    SetLimits(1, -kHuge, kHuge);
    Convert(2, 1.0, 1.0, 1);
    RunCycle({"1E308"}, 501);
    EXPECT_EQ(Shown(2), "0,000");
    EXPECT_EQ(Stats(2).count, 1.0);
    EXPECT_THAT(NewLogLines(), ElementsAre("Fehler bei Umrechnung des gespiegelten Wertes !",
                                           "Main-Umrech : Fehler beim Spiegeln !"));
}

TEST_F(MirroredItemsTest, ArithmeticFailuresOfDifferenceAndStatistics) {
    SetLimits(1, -kHuge, kHuge);
    SetLimits(2, -kHuge, kHuge);
    Item(2).Differenz = true;
    Counter(2).lastReading = -1.7e308;
    Counter(2).lastReadingTime = 1.0;
    Stats(2).sum = 1.7e308;
    RunCycle({"1E308"});
    EXPECT_EQ(Counter(2).lastReading, -1.7e308);
    EXPECT_THAT(NewLogLines(), ElementsAre("Main-DiffBer : Fehler beim Spiegeln !",
                                           "Überlauf bei Summe (Spiegelung) ! Zurückgesetzt."));
    Item(2).Differenz = false;
    Item(1).Integral = true;
    Integrals().SetSum(1, 1.7e308);
    MirrorOffset(2) = -1.7e308;
    RunCycle({"1"});
    EXPECT_EQ(Stats(2).sum, 0.0);
    EXPECT_THAT(NewLogLines(), ElementsAre("Main-Statistik : Fehler beim Spiegeln !"));
}

TEST_F(MirroredItemsTest, EndOfCycleOrder) {
    SetItemCount(3);
    Item(1).timeFrame.on = true;
    Item(3).timeFrame.on = true;
    Mirror(3, 1);
    joins_.onTimeTable = [&](int item) { return " " + Shown(item); };
    Source(1).newestText = "7";
    processor_.BeginCycle();
    EXPECT_FALSE(processor_.ProcessNextItem(BareCycle()));
    EXPECT_FALSE(processor_.ProcessNextItem(BareCycle()));
    EXPECT_FALSE(processor_.ProcessNextItem(BareCycle()));
    EXPECT_THAT(joins_.calls, ElementsAre("frame 1"));
    EXPECT_TRUE(processor_.ProcessNextItem(BareCycle()));
    processor_.FinishItems(BareCycle());
    EXPECT_THAT(joins_.calls, ElementsAre("frame 1", "table 3 ", "tables"));
    EXPECT_EQ(Shown(3), "7,000");
}

TEST_F(MirroredItemsTest, AFailureAfterTheItemsIsLogged) {
    joins_.failTimeTables = true;
    RunCycle({"7"});
    EXPECT_THAT(NewLogLines(), ElementsAre("Main : Exception (2)"));
}

TEST_F(MirroredItemsTest, TheGridAdvancesWhenTheFirstItemComes) {
    SetItemCount(0);
    RunCycle({});
    EXPECT_EQ(state_.grid.CurrentRow(), 6);
    EXPECT_EQ(state_.grid.Cell(0, 6), ">>>>>>>>>>");
}

}  // namespace
}  // namespace tarvedde::testing
