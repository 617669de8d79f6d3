#include "dialogs/tarvedde_stop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/engine/engine_fixture.h"

namespace tarvedde {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kStopIni[] =
    "[DDE]\nAutoStart=1\nItemcount=1\nIntervall=1\nEinheit=0\nAktuTag=05.03.2024\n"
    "[Items]\nItem1=Q\n[Itemnames]\nItem1=Zulauf\n";

class StopCountdownTest : public testing::EngineFixture {
protected:
    void Start() {
        WriteIni(kStopIni);
        ASSERT_TRUE(Create());
        stop_ = std::make_unique<TFo_Stop>(*main_);
        // What the view shows at each notification: shown or hidden, and the bar.
        stop_->onChanged = [this] {
            seen_.push_back((stop_->Visible() ? "+" : "-") + std::to_string(stop_->p1Position));
        };
        main_->FormShow();
        ASSERT_FALSE(main_->Stopped());
    }

    std::unique_ptr<TFo_Stop> stop_;
    testing::Lines seen_;
};

// A second request while the countdown runs must not restart it: a watchdog that keeps
// asking would otherwise hold the program forever. Unanswered, it ends the program after
// eight seconds.
TEST_F(StopCountdownTest, ARepeatedRequestKeepsCountingNeinKeepsTheProgramSilenceEndsIt) {
    Start();
    ASSERT_FALSE(main_->FormClose());
    env_.loop.AdvanceBy(5000);
    ASSERT_FALSE(main_->FormClose());
    EXPECT_EQ(stop_->Counter(), 5);
    stop_->BitBtn1Click();
    EXPECT_THAT(LogAll(),
                HasSubstr("07:00:05 > Manueller Eingriff : Programm wird nicht beendet.\r\n"));
    EXPECT_EQ(seen_, (testing::Lines{"+0", "+1", "+2", "+3", "+4", "+5", "-5"}));
    env_.loop.AdvanceBy(20000);
    EXPECT_FALSE(main_->Stopped() || main_->CloseRequested());
    EXPECT_EQ(main_->Window().lbDT, "07:00:25");

    seen_.clear();
    ASSERT_FALSE(main_->FormClose());
    EXPECT_EQ(stop_->Counter(), 0);
    EXPECT_TRUE(env_.loop.AdvanceBy(7000));
    EXPECT_FALSE(main_->Stopped());
    EXPECT_THAT(LogAll(), Not(HasSubstr("unsauber")));
    // The engine quits the loop to have its window closed.
    EXPECT_FALSE(env_.loop.AdvanceBy(1000));
    EXPECT_TRUE(main_->CloseRequested() && main_->Stopped());
    EXPECT_FALSE(stop_->Visible() || stop_->Timer1().Enabled());
    EXPECT_EQ(seen_, (testing::Lines{"+0", "+1", "+2", "+3", "+4", "+5", "+6", "+7", "-8"}));
    EXPECT_THAT(LogAll(), HasSubstr("07:00:33 > Programm wird jetzt unsauber beendet.\r\n"
                                    "05.Mrz.24, 07:00:33 > Datenerfassung beendet.\r\n"));
    EXPECT_TRUE(main_->FormClose());
}

TEST_F(StopCountdownTest, TheRestartAfterTheDayChangeEndsThroughTheCountdown) {
    env_.clock.SetLocalTime(EncodeDateTime(2024, 3, 5, 23, 59, 58, 0));
    Start();
    TarveddeMainTestAccess::SetRestartAfterDayChange(*main_, true);
    EXPECT_TRUE(env_.loop.AdvanceBy(1000));
    EXPECT_EQ(IniValue(kMainIniFile, "DDE", "Nullstart"), "0");
    EXPECT_TRUE(env_.loop.AdvanceBy(1000));
    EXPECT_EQ(IniValue(kMainIniFile, "DDE", "Nullstart"), "1");
    EXPECT_THAT(LogAll(), HasSubstr("06.Mrz.24, 00:00:00 > Beenden für Neustart....\r\n"
                                    "06.Mrz.24, 00:00:00 > Stop-Aufforderung wird aktiviert"));
    // "Nein": the program stays, and an ordinary close later is no cold start.
    stop_->BitBtn1Click();
    EXPECT_EQ(IniValue(kMainIniFile, "DDE", "Nullstart"), "0");
    ASSERT_FALSE(main_->FormClose());
    EXPECT_FALSE(env_.loop.AdvanceBy(8000));
    EXPECT_EQ(IniValue(kMainIniFile, "DDE", "Nullstart"), "0");
    EXPECT_THAT(LogAll(), HasSubstr("06.Mrz.24, 00:00:08 > Programm wird jetzt unsauber beendet."));
    EXPECT_TRUE(main_->FormClose());
}

}  // namespace
}  // namespace tarvedde
