#include "dialogs/tarvedde_summen.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/engine/engine_fixture.h"

namespace tarvedde {
namespace {

using ::testing::ElementsAre;

// Items: 1 an integral in m3 of 1000 l, 2 neither sum nor window, 3 moving averages.
class SummenTest : public testing::EngineFixture {
protected:
    SummenTest() {
        settings_.itemCount = 3;
        const char* names[][2] = {{"Zulauf", "l/s"}, {"Gebläse", ""}, {"O2", "mg/l"}};
        // Places beyond the count keep their defaults, fifteen-minute values on.
        for (int n = 1; n <= 3; ++n) {
            Item(n).M15_berechnen = false;
            Item(n).itemName = names[n - 1][0];
            Item(n).unit = names[n - 1][1];
        }
        Item(1).Integral = true;
        Item(1).sumUnit = "m3";
        Item(1).sumDivisor = 1000.0;
        Item(3).Gleitend = true;
        settings_.formatPrecision = 12;
        settings_.formatDecimals = 2;
    }

    // Captions and values of the window: sum | average | minimum | maximum | index.
    std::string Labels() const {
        return form_.lbSum + " | " + form_.lbMittel + " " + form_.lbMit + " | " + form_.lbMinimum +
               " " + form_.lbMin + " | " + form_.lbMaximum + " " + form_.lbMax + " | " +
               form_.lbInd;
    }

    CycleTimes cycle_;
    FifteenMinuteWindows fifteen_{config_, log_, GermanLocale(), cycle_};
    MovingAverageRings moving_{config_, env_.files, log_, GermanLocale()};
    PerItem<FifteenMinuteState>& M15() { return fifteen_.BuffersToStore().items; }
    PerItem<MovingAverageState>& Moving() { return moving_.BuffersToStore().items; }
    TFo_Summen form_{config_, env_.host, GermanLocale(), integrator_, fifteen_, moving_};
};

TEST_F(SummenTest, ListsItemsWithSumsOrWindowsAndShowsTheChosenOneEverySecond) {
    integrator_.StatesToRestore().SetSum(1, 12345.0);
    form_.FormShow();
    EXPECT_THAT(form_.lbNames, ElementsAre("Zulauf [l/s]", "O2 [mg/l]"));
    EXPECT_EQ(form_.SelectedItem(), 1);
    env_.loop.AdvanceBy(999);
    EXPECT_EQ(form_.lbSum, "");
    env_.loop.AdvanceBy(1);
    EXPECT_EQ(form_.lbSum, "12,35  [m3]");
    EXPECT_EQ(form_.lbMit, "");
    form_.Button1Click();
    env_.loop.AdvanceBy(1000);
    EXPECT_EQ(form_.lbSum, "0,00  [m3]");

    // The moving extremes show "n.v." until the buffer is full: the test is strict below.
    Moving()[3].movingAverage = 4.5;
    Moving()[3].movingMinimum = 999999.0;
    Moving()[3].movingMaximum = -999999.0;
    Moving()[3].ringIndex = 17;
    form_.lbNamesClick(1);
    EXPECT_EQ(form_.SelectedItem(), 3);
    env_.loop.AdvanceBy(1000);
    EXPECT_EQ(Labels(),
              "0,00  [] | Gleit.Mittelwert 4,50 | Gleit. Minimum n.v. | "
              "Gleit. Maximum -999999,00 | 17");
    EXPECT_TRUE(form_.BitBtn1Enabled);

    form_.BitBtn1Click();
    EXPECT_EQ(Moving()[3].movingMinimum, 99999.0);
    EXPECT_EQ(Moving()[3].movingMaximum, -99999.0);
    form_.Edit1 = "1";
    form_.Edit2 = "abc";
    form_.BitBtn1Click();
    EXPECT_EQ(Moving()[3].movingMinimum, 99999.0);
    EXPECT_THAT(env_.person.Transcript(),
                ElementsAre("MESSAGE 'abc' ist kein gültiger Gleitkommawert"));
    form_.FormClose();
    EXPECT_FALSE(form_.Timer1().Enabled());
}

TEST_F(SummenTest, FifteenMinuteItemsShowTheirExtremesAndWithoutItemsNothingShows) {
    Item(2).M15_berechnen = true;
    M15()[2].m15Minimum = 3.25;
    M15()[2].m15Index = 4;
    form_.FormShow();
    form_.lbNamesClick(1);
    form_.Timer1Timer();
    EXPECT_EQ(Labels(), "0,00  [] |   | 15-Min. Minimum 3,25 | 15-Min. Maximum n.a. | 4");
    EXPECT_FALSE(form_.BitBtn1Enabled);

    Item(1).Integral = false;
    Item(2).M15_berechnen = false;
    Item(3).Gleitend = false;
    form_.lbSum.clear();
    form_.FormShow();
    EXPECT_TRUE(form_.lbNames.empty());
    env_.loop.AdvanceBy(1000);
    EXPECT_EQ(form_.lbSum, "");
}

}  // namespace
}  // namespace tarvedde
