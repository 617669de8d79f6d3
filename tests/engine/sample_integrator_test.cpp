// The sample integrator fed directly with (item, value, wall time, elapsed ms): integral
// sums, digital on/off times and their log lines, counter differences.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "engine/acquisition/sample_integrator.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::StartsWith;

constexpr std::int64_t kHourMs = 3600000;

class SampleIntegratorTest : public EngineFixture {
protected:
    SampleIntegratorTest() {
        SetItemCount(1);
        log_.Settings().debugLog = true;
    }

    // Item 1 as an integral item over `bezug` seconds; digital: an on/off item.
    void SetUpIntegral(int bezug, bool digital = false) {
        Item(1).Integral = true;
        Item(1).IntegralLimit = 0.0;
        Item(1).IntegralBezug = bezug;
        Item(1).Grafiktyp = digital ? 2 : 1;
        ASSERT_EQ(integrator_.SetUpItem(1, Item(1)), ItemSetUp::Acquire);
        NewLogLines();
    }

    // A sample `afterMs` after the previous one; `wallStepMs` also moves the wall clock.
    std::optional<double> Feed(double value, std::int64_t afterMs = 0,
                               std::int64_t wallStepMs = 0) {
        elapsedMs_ += afterMs;
        wall_ += static_cast<double>(afterMs + wallStepMs) / 86400000.0;
        return integrator_.Integrate(1, value, wall_, elapsedMs_);
    }
    void FeedDifference(double value) { integrator_.Difference(1, value, wall_, elapsedMs_); }
    const IntegrationState& S() { return integrator_.States()[1]; }

    double wall_ = 45356.5;
    std::int64_t elapsedMs_ = 5000;
};

TEST_F(SampleIntegratorTest, EachValueHoldsUntilTheNextSampleByElapsedTime) {
    SetUpIntegral(3600);
    Feed(36.0);
    Feed(72.0, kHourMs);
    EXPECT_DOUBLE_EQ(S().runningSum, 36.0);
    Feed(72.0, kHourMs / 2, kHourMs);  // clocks go forward: only half an hour passed
    Feed(0.0, kHourMs / 2, -2 * kHourMs);
    EXPECT_DOUBLE_EQ(S().runningSum, 36.0 + 36.0 + 36.0);
}

// A long cycle or a server away over midnight: the time past the day's end is the new
// day's, and its day change starts the new day's sum with it.
TEST_F(SampleIntegratorTest, ASpanOverTheDaysEndGivesThePartPastItToTheNewDay) {
    SetUpIntegral(3600);
    integrator_.SetDayEnd(wall_ + 1.0 / 24.0);
    Feed(36.0);
    Feed(72.0, 3 * kHourMs / 2);
    Feed(72.0, kHourMs);
    EXPECT_NEAR(S().runningSum, 36.0, 1e-6);
    EXPECT_NEAR(S().newDaySum, 18.0 + 72.0, 1e-6);
    integrator_.StatesToRestore().ClearForNewDay(1);
    EXPECT_NEAR(S().runningSum, 90.0, 1e-6);
    // 26 h without a sample: the day ends after one, the new day is the last hour's; the
    // day between has no record to take its part.
    integrator_.SetDayEnd(wall_ + 1.0 / 24.0);
    Feed(0.0, 26 * kHourMs);
    EXPECT_NEAR(S().runningSum, 90.0 + 72.0, 1e-6);
    EXPECT_NEAR(S().newDaySum, 72.0, 1e-6);
}

TEST_F(SampleIntegratorTest, ValueIsBoundedConvertedAndHeldInMaintenance) {
    SetUpIntegral(0);  // a time base below one second counts as seconds
    Item(1).IntegralLimit = 5.0;
    SetLimits(1, -1000.0, 50.0);
    ASSERT_EQ(integrator_.SetUpItem(1, Item(1)), ItemSetUp::Acquire);
    EXPECT_EQ(Feed(3.0), 5.0);
    EXPECT_EQ(Feed(81.0, 1000), 50.0);
    Item(1).maintenanceOn = true;
    EXPECT_EQ(Feed(10.0, 1000), 50.0);
    EXPECT_DOUBLE_EQ(S().runningSum, 5.0 + 50.0);
    Item(1).maintenanceOn = false;
    Item(1).Tabelle_benutzen = 1;
    tables_[1].pointCount = 4;
    tables_[1].x = {0, 0, 10, 20, 30};
    tables_[1].y = {0, 0, 100, 300, 400};
    log_.Settings().tabelLog = true;
    NewLogLines();
    EXPECT_EQ(Feed(15.0, 1000), 200.0);
    EXPECT_THAT(NewLogLines(), Contains(StartsWith("Integral Tab.: 1 --> Orig.=")));
    Item(1).Tabelle_benutzen = 3;  // a failing conversion leaves the sample out
    EXPECT_EQ(Feed(15.0, 1000), std::nullopt);
    EXPECT_DOUBLE_EQ(S().runningSum, 5.0 + 50.0 + 50.0);
}

TEST_F(SampleIntegratorTest, DigitalOnTimeIsSummedAndSwitchingLoggedPastExclusiveThresholds) {
    SetUpIntegral(1, true);
    Feed(0.0);  // first sample: time and value only
    Feed(0.55, 1000);
    Feed(0.56, 10000);
    Feed(1.0, 20000);
    EXPECT_DOUBLE_EQ(S().runningSum, 20.0);
    Feed(0.45, 10000);  // neither: nothing changes
    Feed(0.44, 5000);   // the 0,45 time counts as ON, the signal was ON before
    EXPECT_DOUBLE_EQ(S().runningSum, 35.0);
    EXPECT_EQ(S().switchOffTime, wall_);
    EXPECT_THAT(NewLogLines(), ElementsAre("Dig.Item 1 ein. = 0,56", "Dig.Item 1 aus. = 0,44"));
}

TEST_F(SampleIntegratorTest, FirstSampleOnAThresholdLeavesTheDigitalItemUndecided) {
    SetUpIntegral(1, true);
    for (const auto& [first, next] : {std::pair{0.45, 1.0}, {0.55, 0.0}}) {
        integrator_.ClearForStart(1);
        Feed(first);
        Feed(next, 1000);
        EXPECT_EQ(S().lastSampleValue, first);
    }
}

TEST_F(SampleIntegratorTest, LongestOffPeriodIsKeptAndLoggedOnlyWhenItGrows) {
    SetUpIntegral(1, true);
    Feed(0.0);
    Feed(1.0, 60000);  // the first OFF period has no switch-off time: not measured
    Feed(0.0, 1000);
    const double offAt = wall_;
    Feed(1.0, 90000, kHourMs);  // a clock step inside the OFF period does not count
    EXPECT_DOUBLE_EQ(S().lastOffDuration * 86400.0, 90.0);
    EXPECT_EQ(S().maxOffStart, offAt);
    EXPECT_EQ(S().maxOffEnd, wall_);
    Feed(0.0, 1000);
    Feed(1.0, 30000);  // shorter: no new maximum
    EXPECT_DOUBLE_EQ(S().maxOffDuration * 86400.0, 90.0);
    EXPECT_DOUBLE_EQ(S().lastOffDuration * 86400.0, 30.0);
    EXPECT_THAT(NewLogLines(),
                ElementsAre("Dig.Item 1 ein. = 1", "Dig.Item 1 aus. = 0", "Dig.Item 1 ein. = 1",
                            "Neue max. Auszeit für Item 1 :00:01:30", "Dig.Item 1 aus. = 0",
                            "Dig.Item 1 ein. = 1"));
    integrator_.StatesToRestore().ClearForNewDay(1);
    EXPECT_EQ((std::vector{S().maxOffDuration, S().maxOffStart, S().maxOffEnd}),
              (std::vector{0.0, 0.0, 0.0}));
}

TEST_F(SampleIntegratorTest, CounterRiseAddsFallRestartsAndOutOfRangeIsIgnored) {
    SetLimits(1, 0.0, 1000.0);
    integrator_.StatesToRestore().SetSum(1, 7.0);
    FeedDifference(-5.0);  // out of range: the counter does not start
    FeedDifference(100.0);
    EXPECT_EQ(S().runningSum, 0.0);
    FeedDifference(150.0);
    FeedDifference(120.0);  // reset: nothing added
    FeedDifference(130.0);
    FeedDifference(2000.0);
    FeedDifference(1000.0);
    EXPECT_EQ(S().runningSum, 50.0 + 10.0 + 870.0);
    FeedDifference(0.0);
    EXPECT_EQ(S().lastSampleValue, 0.0);
}

// The running-time and flow integrals across a start, with a server that sends each
// item's current value as its advise link starts (as plantsim and a plant's DDE server
// do): that value arrives while the start links the items, before the day's state is
// restored or created, and it begins the item's sample chain. A pump that stays ON sends
// nothing more, so losing that sample would lose its whole first ON period.
// Item 1 a pump's running time in hours, item 2 a flow in l/s integrated over seconds.
constexpr char kIni[] =
    "[DDE]\nItemcount=2\nIntervall=10\nEinheit=0\nAutoStart=1\n"
    "[Items]\nItem1=P\nItem2=Q\n[Itemnames]\nItem1=Pumpe\nItem2=Zulauf\n"
    "[Grafiktyp]\nItem1=2\n[Integral]\nItem1=1\nItem2=1\n[IntegralBezug]\nItem1=3600\nItem2=1\n";

class StartSampleChain : public EngineFixture {
protected:
    // A program life with its own DDE library; an earlier life died and left its
    // marker, so the start asks "Programmstart abbrechen ?".
    void StartLife() {
        if (main_) {
            main_.reset();
            env_.person.QueueAnswer(Answer::No);
        }
        // Without a loop the server's value arrives inside the advise start, as the socket
        // transport delivers an item's value while it links the next one.
        direct_ = std::make_unique<InMemoryDdeTransport>(env_.ddeServer);
        env_.host.dde = direct_.get();
        Start();
    }
    // The live grid's integral column after the next cycle.
    std::string IntegralShown(int item) {
        Advance(10'000);
        return Row(item, 5);
    }

    // The program goes before the transport it holds.
    void TearDown() override { main_.reset(); }

    std::unique_ptr<InMemoryDdeTransport> direct_;
};

TEST_F(StartSampleChain, TheValueSentAsTheLinkStartsBeginsTheIntegralOnFreshAndRestoredState) {
    WriteIni(kIni);
    env_.Publish("P", "1");
    env_.Publish("Q", "10");
    StartLife();  // no saved state: TARVEDDE.COF is created afresh
    Advance(3'600'000);
    env_.Publish("P", "0");
    env_.Publish("Q", "20");
    EXPECT_EQ(IntegralShown(1), "1,000");
    EXPECT_EQ(Row(2, 5), "36200,000");  // shown up to the cycle: 10 s at 20 l/s since

    env_.Publish("P", "1");
    env_.Publish("Q", "10");
    StartLife();  // the state saved by the last cycle is restored
    Advance(3'600'000);
    env_.Publish("P", "0");
    env_.Publish("Q", "0");
    EXPECT_EQ(IntegralShown(1), "2,000");
    // The earlier life's last cycle saved its 20 l/s up to then: 36000 + 200 + 36000, and
    // 10 s at the integral's least value of 0,01 l/s since the last sample.
    EXPECT_EQ(Row(2, 5), "72200,100");
    EXPECT_NE(Read("AKTDAT.TVV").find(";72200,100;"), std::string::npos);  // the viewer's too
}

}  // namespace
}  // namespace tarvedde::testing
