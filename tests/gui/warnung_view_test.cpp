#include "gui/warnung_view.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>

#include "tests/gui/protocol_views_fixture.h"

namespace tarvedde::testing {
namespace {

TEST_F(ProtocolViewsTest, WarningWindowComesWithTheWarningAndTheAcknowledgeSilencesAll) {
    QWidget* window = catalog_.Window("TFo_Warnung");
    EXPECT_TRUE(window->isHidden());
    engine_->WarningWindow().lb1().Append("Zulauf = 5,00 [l/s]  um 07:00:00 Uhr");
    engine_->WarningWindow().Show();
    EXPECT_FALSE(window->isHidden());
    EXPECT_EQ(window->windowTitle(), " Prozessdaten - Grenzwertüberschreitung !");
    auto* lb1 = Find<QListWidget>("TFo_Warnung", "lb1");
    ASSERT_EQ(lb1->count(), 1);
    EXPECT_EQ(lb1->item(0)->text(), "Zulauf = 5,00 [l/s]  um 07:00:00 Uhr");
    EXPECT_TRUE(engine_->Config().Item(1).effectiveWarnung);

    Find<QCheckBox>("TFo_Warnung", "cb1")->setChecked(true);
    Find<QPushButton>("TFo_Warnung", "BitBtn1")->click();
    EXPECT_TRUE(window->isHidden());
    EXPECT_EQ(lb1->count(), 0);
    EXPECT_FALSE(engine_->Config().Item(1).effectiveWarnung);
    EXPECT_FALSE(warnung_->Timer1().Enabled());
}

}  // namespace
}  // namespace tarvedde::testing
