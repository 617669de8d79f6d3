#include "dialogs/tarvedde_drucker.h"

#include <gtest/gtest.h>

#include "platform/memory_printers.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde {
namespace {

using Strings = std::vector<std::string>;

struct PrinterDialogTest : ::testing::Test {
    PrinterDialogTest() {
        config.SetProgramDir(env.dir);
        log.SetProgramDir(env.dir);
    }
    void Choose(int position) {
        form.FormShow();
        form.lbDruckerItemIndex = position;
        form.btOKClick();
    }

    testing::EngineTestHost env;
    ProgramLog log{env.files, env.clock, GermanLocale()};
    Configuration config{env.host, log, GermanLocale()};
    MemoryPrinters printers{{"Laser", "HP FAX", "Fax Büro", "Telefax", "PDF"}, 0};
    TFo_Drucker form{config, env.host, log, printers};
};

TEST_F(PrinterDialogTest, SessionRefusesFaxesStoresTheChoiceAndFallsBackFromARefusedIndex) {
    env.WriteText("TARVEDDE.INI", "[DDE]\nDrucker=2\n");
    form.FormShow();
    EXPECT_EQ(form.lbDrucker, (Strings{"Laser", "HP FAX", "Fax Büro", "Telefax", "PDF"}));
    EXPECT_EQ(form.lbDruckerItemIndex, 2);
    EXPECT_EQ(form.Label2, "Laser");  // the default prints until one is selected

    form.btOKClick();
    Choose(1);
    EXPECT_EQ(env.ReadText("TARVEDDE.INI"), "[DDE]\r\nDrucker=2\r\n");
    Choose(3);  // "fax" in small letters is no fax
    EXPECT_EQ(env.ReadText("TARVEDDE.INI"), "[DDE]\r\nDrucker=3\r\nDruckername=Telefax\r\n");
    EXPECT_EQ(printers.Current(), 3);
    EXPECT_EQ(form.Label2, "Telefax");

    printers.Refuse(4);  // removed since the list was made: stored, but the default prints
    Choose(4);
    EXPECT_EQ(env.ReadText("TARVEDDE.INI"), "[DDE]\r\nDrucker=4\r\nDruckername=PDF\r\n");
    EXPECT_EQ(form.Label2, "Laser");
    EXPECT_EQ(env.ReadText("_DDE_OPC_LOGALL.TXT"),
              "05.Mrz.24, 07:00:00 > ********  Drucker-Nr. falsch eingestellt !\r\n");
    EXPECT_EQ(env.person.Transcript(),
              Strings(2, "MESSAGE Das Fax ist als Drucker nicht zugelassen !"));
}

TEST_F(PrinterDialogTest, WithoutPrintersTheFormSaysSoAndUsesNoPrinter) {
    env.WriteText("TARVEDDE.INI", "[DDE]\nDrucker=0\n");
    MemoryPrinters none;
    TFo_Drucker empty{config, env.host, log, none};
    empty.FormShow();
    empty.btOKClick();
    EXPECT_EQ(empty.Label2, "Kein Drucker angeschlossen");
    EXPECT_EQ(empty.Drucker(), TFo_Drucker::kNoPrinter);
    EXPECT_EQ(env.person.Transcript(), Strings{"MESSAGE Es ist kein Drucker vorhanden !"});
    EXPECT_EQ(env.ReadText("TARVEDDE.INI"), "[DDE]\r\nDrucker=0\r\n");
}

}  // namespace
}  // namespace tarvedde
