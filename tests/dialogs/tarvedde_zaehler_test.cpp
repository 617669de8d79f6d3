#include "dialogs/tarvedde_zaehler.h"

#include <gtest/gtest.h>

#include "platform/operator_transcript.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde {
namespace {

class CounterDialogTest : public testing::EngineFixture {};

TEST_F(CounterDialogTest, SessionReachesTheEngineAndEveryItemsCounterKeys) {
    WriteIni(
        "[DDE]\nAutoStart=1\nItemcount=3\nIntervall=1\nEinheit=0\n[Items]\nItem1=Q\nItem2=P\n"
        "Item3=R\n[Itemnames]\nItem1=Zulauf\nItem2=Druck\n[Einheiten]\nItem1=l/s\n"
        "[Differenz]\nItem1=1\n");
    Write("TARVEDDE_VAR.INI", "[Item_1]\nZählerstand=100,000\nFortlaufend_summieren=1\n");
    TarveddeMain& main = Start();
    env_.Publish("Q", "1000");
    env_.Publish("P", "7");
    Advance(1000);
    env_.Publish("Q", "1005");
    env_.Publish("P", "3");
    Advance(1000);
    TFo_Zaehler form(main.Config(), main.Processor(), env_.host, main.Log(),
                     main.RegionalSettings());

    form.FormShow();
    EXPECT_EQ(form.lbEinheit, "Liter");
    EXPECT_EQ(form.eBasis, "100,00");
    EXPECT_EQ(form.eAktuell, "5,000");  // the day's difference, written by the cycle
    EXPECT_EQ(form.eGesamt, "105,00");
    EXPECT_EQ(form.eMax, "5,00");

    // The new base reading stays a working copy until it is handed over.
    form.eNeu = "250,5";
    form.btSetzenClick();
    EXPECT_EQ(form.eBasis, "250,50");
    EXPECT_EQ(Item(1).counterReading, 100.0);
    form.cbTag = false;
    form.btSpeichernClick();
    EXPECT_EQ(Item(1).counterReading, 250.5);
    EXPECT_FALSE(Item(1).Tagesmengen_protokollieren);
    // Written at once, so a kill with the dialog open keeps it. A day change moves it on;
    // a flag handed over later leaves the moved reading alone.
    EXPECT_EQ(IniValue("TARVEDDE_VAR.INI", "Item_1", "Zählerstand"), "250,500");
    EXPECT_EQ(IniValue("TARVEDDE_VAR.INI", "Item_1", "Tagesmengen_protokollieren"), "0");
    main.Config().LoadItemOptions();
    EXPECT_EQ(Item(1).counterReading, 250.5);
    main.Config().SetCounterReading(1, 600.0);
    form.cbTag = true;
    form.btSpeichernClick();
    EXPECT_EQ(Item(1).counterReading, 600.0);
    EXPECT_TRUE(Item(1).Tagesmengen_protokollieren);
    main.Config().SetCounterReading(1, 250.5);
    form.cbTag = false;
    form.btSpeichernClick();

    form.btMinClick();
    EXPECT_EQ(Stats(1).minimum, 5.0);
    EXPECT_TRUE(Logged("Minimum für Zulauf auf 5,00 gesetzt."));

    env_.person.QueueAnswer(Answer::No);
    form.Button1Click();
    EXPECT_EQ(Stats(2).minimum, 3.0);  // the start's cycle had no value yet, then 7 and 3
    env_.person.QueueAnswer(Answer::Yes);
    form.Button2Click();
    EXPECT_EQ(Transcript().back(),
              QuestionLine("Alle Maxima auf aktuelles Minimum zurücksetzen ?", Answer::Yes));
    EXPECT_EQ(Stats(2).maximum, 3.0);
    EXPECT_EQ(Stats(3).maximum, kMaximumReset);  // no value yet: no minimum to take

    // Closing writes the keys of every item, also of one the operator never touched.
    Write("TARVEDDE_VAR.INI", "");
    form.FormClose();
    EXPECT_EQ(IniValue("TARVEDDE_VAR.INI", "Item_1", "Zählerstand"), "250,500");
    EXPECT_EQ(IniValue("TARVEDDE_VAR.INI", "Item_1", "Tagesmengen_protokollieren"), "0");
    EXPECT_EQ(IniValue("TARVEDDE_VAR.INI", "Item_2", "Zählerstand"), "0,000");
    EXPECT_EQ(IniValue("TARVEDDE_VAR.INI", "Item_2", "Tagesmengen_protokollieren"), "1");

    env_.files.SetFailurePolicy([](FileOp, const std::string&) { return true; });
    form.FormClose();
    EXPECT_EQ(Transcript().back(),
              MessageLine("Zählerstände konnten nicht in >/plant/TARVEDDE_VAR.INI< gespeichert "
                          "werden !"));
    env_.files.SetFailurePolicy(nullptr);
}

}  // namespace
}  // namespace tarvedde
