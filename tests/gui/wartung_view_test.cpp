#include "gui/wartung_view.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>

#include "tests/gui/dialog_view_fixture.h"

namespace tarvedde {
namespace {

class WartungViewTest : public testing::DialogViewTest {};

TEST_F(WartungViewTest, MaintenanceOfTheChosenItemEndsWithTheTimerWhileOpen) {
    StartPlant();
    ASSERT_TRUE(catalog_.Open("Wartung1"));
    const char* window = "Wartung1";
    auto* cbWartung = Control<QCheckBox>(window, "cbWartung");
    EXPECT_EQ(cbWartung->text(), "Wartung einschalten");

    Control<QListWidget>(window, "lbDDE")->setCurrentRow(1);
    cbWartung->click();
    Control<QPushButton>(window, "btSpeichern")->click();
    EXPECT_TRUE(Item(2).maintenanceOn);
    EXPECT_FALSE(Item(1).maintenanceOn);
    EXPECT_TRUE(Logged("Temperatur : Wartung eingeschaltet."));
    EXPECT_EQ(cbWartung->text(), "Wartung ist eingeschaltet");

    Advance(30 * 60000);
    EXPECT_FALSE(Item(2).maintenanceOn);
    EXPECT_FALSE(cbWartung->isChecked());
    EXPECT_EQ(cbWartung->text(), "Wartung einschalten");
}

}  // namespace
}  // namespace tarvedde
