#include "dialogs/tarvedde_drucker.h"

#include <gtest/gtest.h>

#include "platform/memory_printers.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde {
namespace {

using Strings = std::vector<std::string>;

using PrinterDialogTest = testing::EngineFixture;

TEST_F(PrinterDialogTest, SessionRefusesFaxesStoresTheChoiceAndFallsBackFromARefusedIndex) {
    WriteIni("[DDE]\nDrucker=2\n");
    MemoryPrinters none;
    TFo_Drucker empty{config_, env_.host, log_, none};
    empty.FormShow();
    empty.btOKClick();
    EXPECT_EQ(empty.Label2, "Kein Drucker angeschlossen");
    EXPECT_EQ(empty.Drucker(), TFo_Drucker::kNoPrinter);

    MemoryPrinters printers{{"Laser", "HP FAX", "Fax Büro", "Telefax", "PDF"}, 0};
    TFo_Drucker form{config_, env_.host, log_, printers};
    form.FormShow();
    EXPECT_EQ(form.lbDrucker, (Strings{"Laser", "HP FAX", "Fax Büro", "Telefax", "PDF"}));
    EXPECT_EQ(form.lbDruckerItemIndex, 2);
    EXPECT_EQ(form.Label2, "Laser");  // the default prints until one is selected
    const auto choose = [&form](int position) {
        form.FormShow();
        form.lbDruckerItemIndex = position;
        form.btOKClick();
    };
    form.btOKClick();
    choose(1);
    EXPECT_EQ(Read("TARVEDDE.INI"), "[DDE]\r\nDrucker=2\r\n");
    choose(3);  // "fax" in small letters is no fax
    EXPECT_EQ(Read("TARVEDDE.INI"), "[DDE]\r\nDrucker=3\r\nDruckername=Telefax\r\n");
    EXPECT_EQ(printers.Current(), 3);
    EXPECT_EQ(form.Label2, "Telefax");

    printers.Refuse(4);  // removed since the list was made: stored, but the default prints
    choose(4);
    EXPECT_EQ(Read("TARVEDDE.INI"), "[DDE]\r\nDrucker=4\r\nDruckername=PDF\r\n");
    EXPECT_EQ(form.Label2, "Laser");
    EXPECT_EQ(Read("_DDE_OPC_LOGALL.TXT"),
              "05.Mrz.24, 07:00:00 > ********  Drucker-Nr. falsch eingestellt !\r\n");
    const std::string fax = "MESSAGE Das Fax ist als Drucker nicht zugelassen !";
    EXPECT_EQ(Transcript(), (Strings{"MESSAGE Es ist kein Drucker vorhanden !", fax, fax}));
}

}  // namespace
}  // namespace tarvedde
