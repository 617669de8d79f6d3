#include "gui/operator_dialog_views.h"

#include <gtest/gtest.h>

#include <QTimer>

#include "platform/operator_transcript.h"
#include "tests/gui/dialog_view_fixture.h"

namespace tarvedde {
namespace {

class OperatorDialogViewsTest : public testing::DialogViewTest {};

TEST_F(OperatorDialogViewsTest, TheItemSettingsMenuChoosesItsWindowBySourceAndItemCount) {
    StartPlant();
    QString opened;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened = modal->objectName();
            modal->close();
        }
    });
    ASSERT_TRUE(catalog_.Open("Grafik1"));
    EXPECT_EQ(opened, "Fo_GrafEinstell");

    Settings().itemCount = 0;
    const std::size_t before = Transcript().size();
    catalog_.Open("Grafik1");
    ASSERT_EQ(Transcript().size(), before + 1);
    EXPECT_EQ(Transcript().back(), MessageLine("Die Anzahl Ihrer Items ist Null !"));

    catalog_.Add("TFo_Kestrom1", false,
                 [](QWidget* parent) { return new QWidget(parent, Qt::Window); });
    Settings().sourceKind = SourceKind::Aqasys;
    catalog_.Open("Grafik1");
    EXPECT_TRUE(catalog_.Window("TFo_Kestrom1")->isVisible());
    EXPECT_EQ(Transcript().size(), before + 1);
}

}  // namespace
}  // namespace tarvedde
