#include "dialogs/tarvedde_drucker.h"

#include <gtest/gtest.h>

#include "platform/memory_printers.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde {
namespace {

using Strings = std::vector<std::string>;

TEST(PrinterDialogTest, SessionRefusesFaxesStoresTheChoiceAndFallsBackFromARefusedIndex) {
    testing::EngineTestHost env;
    ProgramLog log{env.files, env.clock, GermanLocale()};
    log.SetProgramDir(env.dir);
    Configuration config{env.host, log, GermanLocale()};
    config.SetProgramDir(env.dir);
    env.WriteText("TARVEDDE.INI", "[DDE]\nDrucker=2\n");
    MemoryPrinters none;
    TFo_Drucker empty{config, env.host, log, none};
    empty.FormShow();
    empty.btOKClick();
    EXPECT_EQ(empty.Label2, "Kein Drucker angeschlossen");
    EXPECT_EQ(empty.Drucker(), TFo_Drucker::kNoPrinter);

    MemoryPrinters printers{{"Laser", "HP FAX", "Fax Büro", "Telefax", "PDF"}, 0};
    TFo_Drucker form{config, env.host, log, printers};
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
    EXPECT_EQ(env.ReadText("TARVEDDE.INI"), "[DDE]\r\nDrucker=2\r\n");
    choose(3);  // "fax" in small letters is no fax
    EXPECT_EQ(env.ReadText("TARVEDDE.INI"), "[DDE]\r\nDrucker=3\r\nDruckername=Telefax\r\n");
    EXPECT_EQ(printers.Current(), 3);
    EXPECT_EQ(form.Label2, "Telefax");

    printers.Refuse(4);  // removed since the list was made: stored, but the default prints
    choose(4);
    EXPECT_EQ(env.ReadText("TARVEDDE.INI"), "[DDE]\r\nDrucker=4\r\nDruckername=PDF\r\n");
    EXPECT_EQ(form.Label2, "Laser");
    EXPECT_EQ(env.ReadText("_DDE_OPC_LOGALL.TXT"),
              "05.Mrz.24, 07:00:00 > ********  Drucker-Nr. falsch eingestellt !\r\n");
    const std::string fax = "MESSAGE Das Fax ist als Drucker nicht zugelassen !";
    EXPECT_EQ(env.person.Transcript(),
              (Strings{"MESSAGE Es ist kein Drucker vorhanden !", fax, fax}));
}

}  // namespace
}  // namespace tarvedde
