#include "gui/logging_view.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>

#include "tests/gui/protocol_views_fixture.h"

namespace tarvedde::testing {
namespace {

TEST_F(ProtocolViewsTest, LoggingDialogEditsTheItemSwitchesAndHandsThemOverOnClose) {
    ASSERT_TRUE(catalog_.Open("Logbucheinstellen1"));
    QWidget* window = catalog_.Window("Logbucheinstellen1");
    EXPECT_EQ(window->windowTitle(), " Logbuch einstellen");
    auto* lbDDE = Find<QListWidget>("Logbucheinstellen1", "lbDDE");
    ASSERT_EQ(lbDDE->count(), 2);
    EXPECT_EQ(lbDDE->item(1)->text(), "Pumpe");
    EXPECT_TRUE(Find<QLabel>("Logbucheinstellen1", "Label1")->isHidden());

    lbDDE->setCurrentRow(0);
    auto* cbEinzel = Find<QCheckBox>("Logbucheinstellen1", "cbEinzel");
    ASSERT_TRUE(cbEinzel->isEnabled());
    Find<QPushButton>("Logbucheinstellen1", "BitBtn1")->click();
    EXPECT_EQ(engine_->Log().MessageList().Lines().back(),
              "05.Mrz.24, 07:00:00 > Logging für alle abgeschaltet.");
    cbEinzel->click();
    EXPECT_FALSE(engine_->Config().LogFlags()[1].logSingleValues);  // not before the close
    window->close();
    EXPECT_TRUE(engine_->Config().LogFlags()[1].logSingleValues);
    EXPECT_EQ(engine_->Log().MessageList().Lines().back(),
              "05.Mrz.24, 07:00:00 > Zulauf : Logging eingeschaltet.");
}

}  // namespace
}  // namespace tarvedde::testing
