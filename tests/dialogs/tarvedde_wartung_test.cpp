#include "dialogs/tarvedde_wartung.h"

#include <gtest/gtest.h>

#include "platform/operator_transcript.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde {
namespace {

class MaintenanceDialogTest : public testing::EngineFixture {};

TEST_F(MaintenanceDialogTest, MaintenanceHoldsTheValueUntilTheRestartedTimerEndsIt) {
    WriteIni(
        "[DDE]\nAutoStart=1\nItemcount=2\nIntervall=1\nEinheit=0\n[Items]\nItem1=Q\nItem2=P\n"
        "[Itemnames]\nItem1=Zulauf\nItem2=Druck\n");
    TarveddeMain& main = Start();
    env_.Publish("Q", "10");
    Advance(1000);
    TFo_Wartung form(main.Config(), main.Processor(), env_.host, main.Log(),
                     main.RegionalSettings());
    const int minute = 60000;

    form.FormShow();
    form.cbWartung = true;
    form.cbWartungClick();
    EXPECT_FALSE(Item(1).maintenanceOn);
    form.btSpeichernClick();
    EXPECT_TRUE(Item(1).maintenanceOn);
    EXPECT_EQ(form.cbWartungCaption, "Wartung ist eingeschaltet");
    EXPECT_TRUE(form.Timer_Wartung().Enabled());

    env_.Publish("Q", "50");
    Advance(1000);
    EXPECT_EQ(Stats(1).count, 1.0);  // 10: the start's empty cycle has no value
    EXPECT_EQ(Stats(1).maximum, 10.0);

    // Four minutes in, five minutes from now: the first five minutes pass unnoticed.
    Advance(4 * minute);
    form.T_Wartung = 5;
    form.T_WartungChange();
    Advance(5 * minute - 1);
    EXPECT_TRUE(Item(1).maintenanceOn);
    Advance(1);
    EXPECT_FALSE(Item(1).maintenanceOn);
    EXPECT_FALSE(form.Timer_Wartung().Enabled());
    EXPECT_TRUE(Logged("Wartung für alle abgeschaltet."));
    env_.Publish("Q", "60");
    Advance(1000);
    EXPECT_EQ(Stats(1).maximum, 60.0);

    form.eMin = "2,5a";  // told, and nothing is set
    form.btMinClick();
    EXPECT_EQ(Transcript().back(), MessageLine("Ungültige Zahl > 2,5a < !"));
    EXPECT_EQ(Stats(1).minimum, 10.0);
    form.eMin = "2.5";
    form.btMinClick();
    EXPECT_EQ(Stats(1).minimum, 2.5);
    EXPECT_TRUE(Logged("Minimum für Zulauf auf 2.5 gesetzt."));
}

}  // namespace
}  // namespace tarvedde
