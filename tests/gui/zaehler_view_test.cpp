#include "gui/zaehler_view.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "tests/gui/dialog_view_fixture.h"

namespace tarvedde {
namespace {

class ZaehlerViewTest : public testing::DialogViewTest {};

TEST_F(ZaehlerViewTest, HandsTheNewBaseReadingOverAndWritesItWhenHidden) {
    StartPlant();
    ASSERT_TRUE(catalog_.Open("zaehler1"));
    const char* window = "zaehler1";
    EXPECT_EQ(Control<QLabel>(window, "lbEinheit")->text(), "Liter");

    Control<QLineEdit>(window, "eNeu")->setText("250,5");
    Control<QPushButton>(window, "btSetzen")->click();
    EXPECT_EQ(Control<QLineEdit>(window, "eBasis")->text(), "250,50");
    EXPECT_EQ(Item(1).counterReading, 0.0);
    Control<QPushButton>(window, "btSpeichern")->click();
    EXPECT_EQ(Item(1).counterReading, 250.5);

    catalog_.Window(window)->hide();
    EXPECT_EQ(IniValue("TARVEDDE_VAR.INI", "Item_1", "Zählerstand"), "250,500");
    EXPECT_EQ(IniValue("TARVEDDE_VAR.INI", "Item_3", "Zählerstand"), "0,000");
}

}  // namespace
}  // namespace tarvedde
