#include "gui/einstell1_view.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>

#include "platform/operator_transcript.h"
#include "tests/gui/dialog_view_fixture.h"

namespace tarvedde {
namespace {

class Einstell1ViewTest : public testing::DialogViewTest {};

TEST_F(Einstell1ViewTest, ShowsTheSettingsRefusesPrintingWithoutPrinterAndSaves) {
    StartPlant();
    const char* window = "Datenerfassung1";
    EXPECT_TRUE(catalog_.Modal(window));
    catalog_.Window(window)->show();
    EXPECT_EQ(Control<QSpinBox>(window, "spItems")->value(), 3);

    auto* cbDruck = Control<QCheckBox>(window, "cbDruck");
    cbDruck->click();
    EXPECT_EQ(Transcript().back(), MessageLine("Es ist kein Drucker vorhanden !"));
    EXPECT_FALSE(cbDruck->isChecked());

    Control<QSpinBox>(window, "spGleit")->setValue(120);
    Control<QComboBox>(window, "eTopic")->setEditText("MONAT");
    Control<QPushButton>(window, "btSpeichern")->click();
    EXPECT_EQ(IniValue("TARVEDDE.INI", "Gleitend", "Puffer"), "120");
    EXPECT_EQ(IniValue("TARVEDDE.INI", "DDE", "Topic"), "MONAT");
    EXPECT_FALSE(catalog_.Window(window)->isVisible());
}

}  // namespace
}  // namespace tarvedde
