#include "gui/kalibrierung_view.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

#include "tests/gui/dialog_view_fixture.h"

namespace tarvedde {
namespace {

class KalibrierungViewTest : public testing::DialogViewTest {};

TEST_F(KalibrierungViewTest, FollowsTheLiveValueAndSavesTheCalibration) {
    StartPlant();
    env_.Publish("Q", "100");
    Advance(1000);
    ASSERT_TRUE(catalog_.Open("Kalibrierung1"));
    const char* window = "Kalibrierung1";
    EXPECT_TRUE(catalog_.Window(window)->isVisible());
    EXPECT_EQ(Control<QListWidget>(window, "lbNames")->item(0)->text(), "Zulauf [l/s] << Q");
    Advance(1000);
    EXPECT_EQ(Control<QLabel>(window, "lbAkt")->text(), "100,000");

    Control<QLineEdit>(window, "eMinforUser")->setText("0");
    Control<QLineEdit>(window, "eMaxforUser")->setText("10");
    Control<QSpinBox>(window, "e_minforsps")->setValue(0);
    Control<QSpinBox>(window, "e_maxforsps")->setValue(1000);
    Control<QPushButton>(window, "setMinMax")->click();
    EXPECT_EQ(Control<QLabel>(window, "lb_M")->text(), "0,01000000");
    Control<QPushButton>(window, "bt_Sichern")->click();
    EXPECT_EQ(Item(1).calibrationSlope, 0.01);
    EXPECT_EQ(IniValue("TARVEDDE.INI", "Item_1", "MaxForSPS"), "1000");
}

}  // namespace
}  // namespace tarvedde
