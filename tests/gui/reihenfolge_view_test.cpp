#include "gui/reihenfolge_view.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

#include "tests/gui/protocol_views_fixture.h"

namespace tarvedde::testing {
namespace {

TEST_F(ProtocolViewsTest, OrderDialogMovesAnItemAndWritesTheOrderWhenClosed) {
    ASSERT_TRUE(catalog_.Modal("TFo_Reihenfolge"));
    QWidget* window = catalog_.Window("TFo_Reihenfolge");
    window->show();
    auto* lbnam = Find<QListWidget>("TFo_Reihenfolge", "lbnam");
    ASSERT_EQ(lbnam->count(), 2);
    EXPECT_EQ(lbnam->item(0)->text(), "Zulauf");
    lbnam->setCurrentRow(0);
    Find<QToolButton>("TFo_Reihenfolge", "btDown")->click();
    EXPECT_EQ(lbnam->item(0)->text(), "Pumpe");
    EXPECT_EQ(lbnam->currentRow(), 1);
    Find<QDialogButtonBox>("TFo_Reihenfolge", "")->button(QDialogButtonBox::Ok)->click();
    EXPECT_TRUE(window->isHidden());
    EXPECT_EQ(env_.ReadText("ProtoReihe.TVW"), "2\r\n1\r\n");
}

}  // namespace
}  // namespace tarvedde::testing
