#include "gui/drucker_view.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "platform/memory_printers.h"
#include "tests/gui/protocol_views_fixture.h"

namespace tarvedde::testing {
namespace {

TEST_F(ProtocolViewsTest, PrinterDialogListsThePrintersAndRefusesAFax) {
    MemoryPrinters printers{{"Laser", "Fax Büro"}, 0};
    TFo_Drucker form{engine_->Config(), env_.host, engine_->Log(), printers};
    DruckerView view{form};
    view.show();
    auto* list = view.findChild<QListWidget*>("lbDrucker");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), "Fax Büro");
    EXPECT_EQ(view.findChild<QLabel*>("Label2")->text(), "Laser");
    const auto choose = [&](int row) {
        view.show();
        list->setCurrentRow(row);
        view.findChild<QPushButton*>("btOK")->click();
    };
    choose(1);
    EXPECT_TRUE(view.isHidden());
    EXPECT_EQ(env_.person.Transcript().back(),
              "MESSAGE Das Fax ist als Drucker nicht zugelassen !");
    EXPECT_EQ(env_.ReadText("TARVEDDE.INI").find("Drucker"), std::string::npos);
    choose(0);
    EXPECT_NE(env_.ReadText("TARVEDDE.INI").find("Drucker=0\r\nDruckername=Laser\r\n"),
              std::string::npos);
}

}  // namespace
}  // namespace tarvedde::testing
