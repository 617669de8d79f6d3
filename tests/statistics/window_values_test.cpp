// Fifteen-minute windows and moving-average rings: window lengths, the window rule, rows
// shorter than a later window, partly filled rings, the switch-off after a failed sample
// and the moving-average export.
#include <gmock/gmock.h>

#include "engine/statistics/fifteen_minute_values.h"
#include "engine/statistics/moving_averages.h"
#include "tests/statistics/intermediate_statistics_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class WindowValuesTest : public IntermediateStatisticsTest {
protected:
    WindowValuesTest() {
        Settings().movingBufferSize = 4;
        Settings().itemCount = 4;
    }
    std::vector<std::string> SetupLines(int cycleSeconds) {
        (void)fs_.Remove(kDir + std::string(kLogAllFile));
        Settings().cycleIntervalMs = cycleSeconds * 1000;
        m15_.SetupWindowBuffers();
        return LogLines();
    }
    std::vector<double> M15(int item, const std::vector<double>& values) {
        for (double value : values) {
            times_.cycleTime += 10.0 / 86400.0;
            m15_.UpdateFifteenMinuteValues(item, value);
        }
        const FifteenMinuteState& state = m15_.States()[item];
        return {state.m15Minimum, state.m15Maximum};
    }
    // Moving-average ticks, one per newest text of the item.
    void Ticks(int item, std::initializer_list<const char*> texts) {
        for (const char* text : texts) {
            sources_[item].newestText = text;
            moving_.TimerGleitMTimer(sources_, clock_.Now());
        }
    }

    CycleTimes times_{};
    FifteenMinuteWindows m15_{config_, log_, GermanLocale(), times_};
    MovingAverageRings moving_{config_, fs_, log_, GermanLocale()};
    PerItem<ItemSource> sources_{};
};

// A 10-s cycle's lines are in the program start's golden log.
TEST_F(WindowValuesTest, WindowLengthFollowsTheCycleWithinFourAndSixteen) {
    EXPECT_THAT(SetupLines(60), ElementsAre("M15-Puffer = 16 Werte."));
    EXPECT_THAT(SetupLines(600),
                ElementsAre("M15-Puffer nur 2! Wird auf 4 gesetzt.", "M15-Puffer = 4 Werte."));
}

// 5, 7, 6, 8 gives maximum 5 (every sample reached it) and minimum 8 (none exceeded it).
// Another cycle interval starts the windows anew, longer or shorter; a window counts once
// all its slots are filled. An item switched on later gets a row of its own.
TEST_F(WindowValuesTest, FullWindowsGiveTheExtremesAndRowsGrowWithTheWindow) {
    Item(1).M15_berechnen = false;
    Item(3).M15_berechnen = true;
    SetupLines(600);
    EXPECT_EQ(m15_.States()[3].m15Row, 0);
    EXPECT_EQ(M15(3, {5.0, 7.0, 6.0}), (std::vector<double>{kMinimumReset, kMaximumReset}));
    EXPECT_FALSE(m15_.Extremes(3));  // no marks for the grid and the viewer meanwhile
    EXPECT_EQ(M15(3, {8.0}), (std::vector<double>{8.0, 5.0}));
    EXPECT_EQ(m15_.States()[3].m15MaximumTime, times_.cycleTime);
    EXPECT_EQ(M15(3, {4.0}), (std::vector<double>{8.0, 5.0}));  // 4, 7, 6, 8
    EXPECT_EQ(m15_.Extremes(3)->maximum, 5.0);
    Item(1).M15_berechnen = true;  // switched on after the rows were made
    EXPECT_EQ(M15(1, {5.0, 7.0, 6.0, 8.0}), (std::vector<double>{8.0, 5.0}));
    SetupLines(60);
    EXPECT_EQ(M15(3, std::vector<double>(15, 6.0)), (std::vector<double>{8.0, 5.0}));
    EXPECT_EQ(M15(3, {6.0, 7.0, 7.0, 7.0, 7.0, 7.0}), (std::vector<double>{6.0, 6.0}));
    EXPECT_EQ(m15_.States()[3].m15Index, 5);
    SetupLines(600);  // the first sample goes into the shorter window, no old one counts
    EXPECT_EQ(M15(3, {3.0, 3.0, 3.0}), (std::vector<double>{6.0, 6.0}));
    EXPECT_EQ(M15(3, {3.0}), (std::vector<double>{3.0, 6.0}));
    EXPECT_THAT(LogLines(), Not(Contains("Fehler(2) bei M15-Berechnung !")));
}

// A later start with a shorter window leaves the tail of the longer rows out of every
// window: the day's minimum falls to the new level.
TEST_F(WindowValuesTest, AShorterWindowOfALaterStartLeavesTheRowsTailOut) {
    Item(1).M15_berechnen = true;
    SetupLines(60);
    M15(1, {100.0, 100.0, 100.0, 100.0, 100.0, 100.0, 100.0, 100.0, 100.0, 100.0, 100.0, 100.0,
            100.0, 100.0, 100.0, 100.0});
    SetupLines(600);
    EXPECT_EQ(M15(1, {1.0, 1.0, 1.0, 1.0}), (std::vector<double>{1.0, 100.0}));
}

// Items 2 and 4 keep rings; the export of item 4 is named after its row, 1.
TEST_F(WindowValuesTest, APartlyFilledRingShowsTheMeanOfItsSamplesAndNoExtremes) {
    Item(2).Gleitend = Item(4).Gleitend = true;
    ItemLogFlagsArray flags{};
    flags[4].logMovingAverage = true;
    config_.SetLogFlags(flags, 4);
    ASSERT_TRUE(moving_.SetupWindowBuffers());
    Ticks(4, {"3,0", "5,0"});
    const auto current = moving_.Current(4);
    EXPECT_EQ(current->average, 4.0);
    EXPECT_EQ(current->minimum, kMinimumReset);
    EXPECT_EQ(current->maximum, kMaximumReset);
    EXPECT_FALSE(moving_.Current(1).has_value());
    Ticks(4, {"7,0", "9,0", "11,0"});
    EXPECT_EQ(File("20240305_GleitMit_1.txt"),
              "05.Mrz., 07:08:09 >  0 : 3,00  -->   3,00  ;  999999,90  ;  -999999,90\r\n"
              "05.Mrz., 07:08:09 >  1 : 5,00  -->   4,00  ;  999999,90  ;  -999999,90\r\n"
              "05.Mrz., 07:08:09 >  2 : 7,00  -->   5,00  ;  999999,90  ;  -999999,90\r\n"
              "05.Mrz., 07:08:09 >  3 : 9,00  -->   6,00  ;  6,00  ;  6,00\r\n"
              "05.Mrz., 07:08:09 >  0 : 11,00  -->   8,00  ;  6,00  ;  8,00\r\n");
}

// Samples past a limit or in maintenance are skipped. A ring made longer, or an item
// switched on, after the rings were made keeps averaging; a sample whose table conversion
// fails switches the item's average off.
TEST_F(WindowValuesTest, RingsFollowTheSettingsAndAFailedSampleSwitchesTheAverageOff) {
    Item(1).Gleitend = true;
    Item(1).effectiveUpLimit = 100.0;
    moving_.SetupWindowBuffers();
    Ticks(1, {"150"});
    EXPECT_THAT(LogLines(), ElementsAre("***** Achtung ! Gleitender Mittelwert evtl. fehlerhaft."));
    Settings().movingBufferSize = 5;
    Ticks(1, {"2", "2", "2", "2", "2"});
    EXPECT_EQ(moving_.Current(1)->minimum, 2.0);
    Item(2).Gleitend = true;
    Ticks(2, {"4"});
    EXPECT_EQ(moving_.Current(2)->average, 4.0);
    Item(2).Tabelle_benutzen = 3;  // no such table
    Ticks(2, {"4"});
    EXPECT_FALSE(moving_.Current(2).has_value());
    EXPECT_THAT(LogAll(), HasSubstr("Fehler beim Schreiben des gleit.Mittelwert-Puffers !\r\n"));
}

}  // namespace
}  // namespace tarvedde::testing
