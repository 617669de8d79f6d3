#include "dialogs/tarvedde_kalibrierung.h"

#include <gtest/gtest.h>

#include "platform/operator_transcript.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde {
namespace {

class CalibrationDialogTest : public testing::EngineFixture {};

// Item 2 is a linked digital item: calibrated raw, with its EICH.INI constants shown and kept.
TEST_F(CalibrationDialogTest, WorkingCalibrationShowsLiveAndSavedTakesTheNextValue) {
    Write("EICH.INI", "[Pumpe]\nM=2\nT=0,5\n");
    WriteIni(
        "[DDE]\nAutoStart=1\nItemcount=2\nIntervall=1\nEinheit=0\n[Items]\nItem1=Q\nItem2=P\n"
        "[Itemnames]\nItem1=Zulauf\nItem2=Pumpe\n[Einheiten]\nItem1=m3/h\n[Grafiktyp]\nItem2=2\n");
    TarveddeMain& main = Start();
    env_.Publish("Q", "100");
    Advance(1000);
    TFo_Kalibrierung form(main.Config(), main.Dde().Sources(), main.Integrator(),
                          main.ItemSettings(), env_.host, main.RegionalSettings());

    form.FormShow();
    ASSERT_EQ(form.lbNames.size(), 2u);
    EXPECT_EQ(form.lbNames[0], "Zulauf [m3/h] << Q");
    EXPECT_EQ(form.lb_M, "1,00000000");
    Advance(1000);
    EXPECT_EQ(form.lbAkt, "100,000");
    EXPECT_EQ(form.lbSum, "0,000  [m3/h]");

    // Equal raw values carry no line: refused, and the slope stays.
    form.eMinforUser = "-2,5";
    form.eMaxforUser = "7.5";
    form.e_minforsps = 0;
    form.e_maxforsps = 0;
    form.setMinMaxClick();
    EXPECT_EQ(Transcript().back(), MessageLine("Fehler bei Einstellung von Min/MaxforUser !"));
    EXPECT_EQ(form.lb_M, "1,00000000");

    form.e_maxforsps = 1000;
    form.setMinMaxClick();
    EXPECT_EQ(form.lb_M, "0,01000000");
    Advance(1000);
    EXPECT_EQ(form.lbAkt, "-1,500");
    EXPECT_EQ(Item(1).calibrationSlope, 1.0);

    form.bt_SichernClick();
    EXPECT_EQ(Item(1).calibrationSlope, 0.01);
    EXPECT_EQ(IniValue("TARVEDDE.INI", "Item_1", "MaxForUser"), "7,5");
    // It outlasts a restart, reaches the flow integral's samples, and leaves item 2 alone.
    EXPECT_EQ(IniValue("EICH.INI", "Zulauf", "M"), "0,0100000000");
    EXPECT_EQ(IniValue("EICH.INI", "Zulauf", "T"), "-2,5000000000");
    EXPECT_DOUBLE_EQ(main.Integrator().Scaled(1, 300.0), 0.5);
    EXPECT_EQ(IniValue("TARVEDDE.INI", "Item_2", "MaxForSPS"), "<none>");

    // The save started the day files' version of the new calibration (a restart would take
    // the day for another configuration's); one that changed nothing leaves them as they were.
    EXPECT_FALSE(main.DayFileOutput().StartNextVersionIfChanged(main.RunningDay()));
    form.lbNamesItemIndex = 1;
    form.lbNamesClick();
    EXPECT_EQ(form.lb_M, "2,00000000");
    form.bt_SichernClick();
    EXPECT_EQ(Item(2).calibrationSlope, 1.0);
    EXPECT_FALSE(main.DayFileOutput().StartNextVersionIfChanged(main.RunningDay()));

    form.FormClose();
    EXPECT_FALSE(form.Timer1().Enabled());
}

}  // namespace
}  // namespace tarvedde
