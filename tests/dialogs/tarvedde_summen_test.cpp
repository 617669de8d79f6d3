#include "dialogs/tarvedde_summen.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/engine/configuration_test_access.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde {
namespace {

using ::testing::ElementsAre;

class SummenTest : public ::testing::Test {
protected:
    SummenTest() {
        settings_.itemCount = 3;
        for (int n = 1; n <= maxItems; ++n) {
            items_[static_cast<std::size_t>(n)].M15_berechnen = false;
        }
        Item(1) = Config("Zulauf", "l/s");
        Item(2) = Config("Gebläse", "");
        Item(3) = Config("O2", "mg/l");
        Item(1).Integral = true;
        Item(1).sumUnit = "m3";
        Item(1).sumDivisor = 1000.0;
        Item(3).Gleitend = true;
        Item(2).M15_berechnen = false;
        settings_.formatPrecision = 12;
        settings_.formatDecimals = 2;
    }

    static ItemConfig Config(const std::string& name, const std::string& unit) {
        ItemConfig config;
        config.itemName = name;
        config.unit = unit;
        config.M15_berechnen = false;
        return config;
    }
    ItemConfig& Item(int n) { return items_[static_cast<std::size_t>(n)]; }

    testing::EngineTestHost env_;
    ProgramLog log_{env_.files, env_.clock, GermanLocale()};
    Configuration config_{env_.host, log_, GermanLocale()};
    GeneralSettings& settings_ = ConfigurationTestAccess::Settings(config_);
    PerItem<ItemConfig>& items_ = ConfigurationTestAccess::Items(config_);

    SampleIntegrator integrator_{config_.Items(), config_.Tables(), log_, GermanLocale()};
    CycleTimes cycle_;
    FifteenMinuteWindows fifteen_{config_, log_, GermanLocale(), cycle_};
    MovingAverageRings moving_{config_, env_.files, log_, GermanLocale()};
    PerItem<FifteenMinuteState>& M15() { return fifteen_.BuffersToStore().items; }
    PerItem<MovingAverageState>& Moving() { return moving_.BuffersToStore().items; }
    TFo_Summen form_{config_, env_.host, GermanLocale(), integrator_, fifteen_, moving_};
};

TEST_F(SummenTest, ListsItemsWithSumsOrWindowsAndSelectsTheFirst) {
    form_.FormShow();
    EXPECT_THAT(form_.lbNames, ElementsAre("Zulauf [l/s]", "O2 [mg/l]"));
    EXPECT_EQ(form_.SelectedItem(), 1);
    EXPECT_TRUE(form_.Timer1().Enabled());
    form_.lbNamesClick(1);
    EXPECT_EQ(form_.SelectedItem(), 3);
}

TEST_F(SummenTest, WithoutSuitableItemsNothingIsSelectedOrShown) {
    Item(1).Integral = false;
    Item(3).Gleitend = false;
    form_.FormShow();
    EXPECT_TRUE(form_.lbNames.empty());
    env_.loop.AdvanceBy(1000);
    EXPECT_EQ(form_.lbSum, "");
}

TEST_F(SummenTest, EverySecondShowsTheSumInItsUnit) {
    integrator_.StatesToRestore().SetSum(1, 12345.0);
    form_.FormShow();
    env_.loop.AdvanceBy(999);
    EXPECT_EQ(form_.lbSum, "");
    env_.loop.AdvanceBy(1);
    EXPECT_EQ(form_.lbSum, "12,35  [m3]");
    EXPECT_EQ(form_.lbMit, "");
    form_.Button1Click();
    env_.loop.AdvanceBy(1000);
    EXPECT_EQ(form_.lbSum, "0,00  [m3]");
    form_.FormClose();
    EXPECT_FALSE(form_.Timer1().Enabled());
}

TEST_F(SummenTest, MovingExtremesShowNotAvailableUntilTheBufferIsFull) {
    Moving()[3].movingAverage = 4.5;
    Moving()[3].movingMinimum = 999999.0;   // exactly the limit: not yet computed
    Moving()[3].movingMaximum = -999999.0;  // the test is strictly below
    Moving()[3].ringIndex = 17;
    form_.FormShow();
    form_.lbNamesClick(1);
    form_.Timer1Timer();
    EXPECT_EQ(form_.lbMit, "4,50");
    EXPECT_EQ(form_.lbMin, "n.v.");
    EXPECT_EQ(form_.lbMax, "-999999,00");
    EXPECT_EQ(form_.lbInd, "17");
    EXPECT_TRUE(form_.BitBtn1Enabled);
}

TEST_F(SummenTest, FifteenMinuteItemsShowTheirExtremesInstead) {
    Item(2).M15_berechnen = true;
    M15()[2].m15Minimum = 3.25;
    M15()[2].m15Index = 4;
    form_.FormShow();
    form_.lbNamesClick(1);
    form_.Timer1Timer();
    EXPECT_EQ(form_.lbMinimum, "15-Min. Minimum");
    EXPECT_EQ(form_.lbMaximum, "15-Min. Maximum");
    EXPECT_EQ(form_.lbMin, "3,25");
    EXPECT_EQ(form_.lbMax, "n.a.");
    EXPECT_EQ(form_.lbInd, "4");
    EXPECT_FALSE(form_.BitBtn1Enabled);
    EXPECT_EQ(form_.lbMittel, "");
}

TEST_F(SummenTest, SettingTheExtremesRestartsThemAndRefusesBadNumbers) {
    form_.FormShow();
    form_.lbNamesClick(1);
    form_.BitBtn1Click();
    EXPECT_EQ(Moving()[3].movingMinimum, 99999.0);
    EXPECT_EQ(Moving()[3].movingMaximum, -99999.0);
    form_.Edit1 = "abc";
    form_.BitBtn1Click();
    EXPECT_EQ(Moving()[3].movingMinimum, 99999.0);
    EXPECT_THAT(env_.person.Transcript(),
                ElementsAre("MESSAGE 'abc' ist kein gültiger Gleitkommawert"));
}

}  // namespace
}  // namespace tarvedde
