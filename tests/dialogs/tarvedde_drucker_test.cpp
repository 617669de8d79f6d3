#include "dialogs/tarvedde_drucker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory_printers.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde {
namespace {

using Strings = std::vector<std::string>;

constexpr char kStamp[] = "05.Mrz.24, 07:00:00 > ";

class PrinterDialogTest : public ::testing::Test {
protected:
    PrinterDialogTest() {
        config_.SetProgramDir(env_.dir);
        log_.SetProgramDir(env_.dir);
    }

    // Shows the form over `printers` and chooses list position `position`.
    TFo_Drucker Choose(MemoryPrinters& printers, int position) {
        TFo_Drucker form{config_, env_.host, log_, printers};
        form.FormShow();
        form.lbDruckerItemIndex = position;
        form.btOKClick();
        return form;
    }

    std::string Ini() const { return env_.ReadText("TARVEDDE.INI"); }
    const Strings& Messages() const { return env_.person.Transcript(); }

    testing::EngineTestHost env_;
    ProgramLog log_{env_.files, env_.clock, GermanLocale()};
    Configuration config_{env_.host, log_, GermanLocale()};
};

TEST_F(PrinterDialogTest, SessionRefusesTheFaxThenStoresAndSelectsThePrinter) {
    env_.WriteText("TARVEDDE.INI", "[DDE]\nDrucker=1\nDruckername=Fax Büro\n");
    MemoryPrinters printers({"Laser Büro", "Fax Büro", "PDF"}, 0);
    TFo_Drucker form{config_, env_.host, log_, printers};

    form.FormShow();
    EXPECT_TRUE(form.visible);
    EXPECT_EQ(form.lbDrucker, (Strings{"Laser Büro", "Fax Büro", "PDF"}));
    EXPECT_EQ(form.lbDruckerItemIndex, 1);
    EXPECT_EQ(form.Label2, "Laser Büro");  // the default prints until one is selected
    EXPECT_EQ(form.Drucker(), 1);

    form.btOKClick();
    EXPECT_FALSE(form.visible);
    EXPECT_EQ(Messages(), Strings{"MESSAGE Das Fax ist als Drucker nicht zugelassen !"});
    EXPECT_EQ(Ini(), "[DDE]\r\nDrucker=1\r\nDruckername=Fax Büro\r\n");
    EXPECT_EQ(printers.Current(), 0);

    form.FormShow();
    form.lbDruckerItemIndex = 2;
    form.btAbbrechenClick();
    EXPECT_FALSE(form.visible);
    EXPECT_EQ(Ini(), "[DDE]\r\nDrucker=1\r\nDruckername=Fax Büro\r\n");

    form.FormShow();
    form.lbDruckerItemIndex = 2;
    form.btOKClick();
    EXPECT_EQ(Ini(), "[DDE]\r\nDrucker=2\r\nDruckername=PDF\r\n");
    EXPECT_EQ(printers.Current(), 2);
    EXPECT_EQ(form.Drucker(), 2);
    EXPECT_EQ(form.Label2, "PDF");
    EXPECT_EQ(Messages().size(), 1U);
    EXPECT_EQ(env_.ReadText("_DDE_OPC_LOGALL.TXT"), "<missing>");

    form.FormShow();
    EXPECT_EQ(form.lbDruckerItemIndex, 2);
    EXPECT_EQ(form.Label2, "PDF");
}

// Only the spellings "Fax" and "FAX" mark a fax; OK without a choice changes nothing.
TEST_F(PrinterDialogTest, FaxIsRecognisedByItsTwoSpellingsOnly) {
    MemoryPrinters printers({"HP FAX 2", "Telefax-Drucker", "FaX"}, 0);
    Choose(printers, 0);
    EXPECT_EQ(Ini(), "<missing>");
    Choose(printers, -1);
    EXPECT_EQ(Ini(), "<missing>");
    Choose(printers, 1);
    EXPECT_EQ(Ini(), "[DDE]\r\nDrucker=1\r\nDruckername=Telefax-Drucker\r\n");
    Choose(printers, 2);
    EXPECT_EQ(Ini(), "[DDE]\r\nDrucker=2\r\nDruckername=FaX\r\n");
    EXPECT_EQ(Messages(), Strings{"MESSAGE Das Fax ist als Drucker nicht zugelassen !"});
}

TEST_F(PrinterDialogTest, WithoutPrintersTheFormSaysSoAndUsesNoPrinter) {
    env_.WriteText("TARVEDDE.INI", "[DDE]\nDrucker=0\n");
    MemoryPrinters none;
    TFo_Drucker form = Choose(none, 0);
    EXPECT_TRUE(form.lbDrucker.empty());
    EXPECT_EQ(form.Label2, "Kein Drucker angeschlossen");
    EXPECT_EQ(form.Drucker(), TFo_Drucker::kNoPrinter);
    EXPECT_EQ(Messages(), Strings{"MESSAGE Es ist kein Drucker vorhanden !"});
    EXPECT_EQ(Ini(), "[DDE]\r\nDrucker=0\r\n");
}

// A printer removed since the list was made: the choice is stored, the default prints.
TEST_F(PrinterDialogTest, RefusedIndexFallsBackToTheDefaultPrinterAndLogsIt) {
    MemoryPrinters printers({"Laser", "Tinte"}, 1);
    ASSERT_TRUE(printers.Select(0));
    printers.Refuse(0);
    TFo_Drucker form = Choose(printers, 0);
    EXPECT_EQ(Ini(), "[DDE]\r\nDrucker=0\r\nDruckername=Laser\r\n");
    EXPECT_EQ(printers.Current(), 1);
    EXPECT_EQ(form.Label2, "Tinte");
    EXPECT_EQ(env_.ReadText("_DDE_OPC_LOGALL.TXT"),
              std::string(kStamp) + "********  Drucker-Nr. falsch eingestellt !\r\n");
}

}  // namespace
}  // namespace tarvedde
