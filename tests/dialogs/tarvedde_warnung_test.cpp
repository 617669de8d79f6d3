#include "dialogs/tarvedde_warnung.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/frame/tarvedde_main.h"
#include "platform/operator_transcript.h"
#include "platform/rich_text_model.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Q warns with its window, P (converted to mbar) only in the statistics window; R's window
// is on but R never warns.
constexpr char kWarnungIni[] =
    "[DDE]\nAutoStart=1\nItemcount=3\nIntervall=1\nEinheit=0\nAktuTag=05.03.2024\n"
    "[Items]\nItem1=Q\nItem2=P\nItem3=R\n[Itemnames]\nItem1=Zulauf\nItem2=Druck\nItem3=Pegel\n"
    "[Einheiten]\nItem1=m3/h\nItem2=bar\n[Warnung]\nItem1=1\nItem2=0\nItem3=1\n"
    "[UpWarn]\nItem1=100\nItem2=5\nItem3=1000\n[LoWarn]\nItem1=-10\nItem2=-1\nItem3=-1000\n"
    "[Umrechnung]\nItem2=1|Druck|mbar|1000|1|0\n";

TEST(LimitWarningTest, WarningsReachBothWindowsBeepAndAreSilencedByTheAcknowledge) {
    testing::EngineTestHost env;
    env.WriteText("TARVEDDE.INI", kWarnungIni);
    TarveddeMain main(env.host, {"/plant", SourceKind::Dde, "limit-warning-test"});
    TFo_Warnung form(main.WarningWindow(), main.Config(), env.host);
    ASSERT_TRUE(main.FormCreate());
    main.FormShow();
    const auto& memo2 = main.StatisticsText().Paragraphs();
    std::size_t seen = memo2.size();
    const auto newStatistics = [&] {
        std::vector<std::string> lines;
        for (; seen < memo2.size(); ++seen) {
            const TextAttributes& a = memo2[seen].attributes;
            lines.push_back(memo2[seen].text + (a.bold ? "|bold " : "|") + a.color +
                            (a.alignment == TextAlignment::Center ? " center" : " left"));
        }
        return lines;
    };
    const auto beeps = [&] {
        return std::count(env.person.Transcript().begin(), env.person.Transcript().end(),
                          BeepLine());
    };

    env.Publish("Q", "150");
    env.Publish("P", "-2");
    env.loop.AdvanceBy(1000);
    EXPECT_THAT(newStatistics(),
                ElementsAre(" |black left",
                            "Grenzwert-Überschreitung !   Zulauf = 150,00 [m3/h]  um 07:00:01 "
                            "Uhr|bold red center",
                            " |black left",
                            "Grenzwert-Unterschreitung !   Druck = -2000,00 [mbar]  um 07:00:01 "
                            "Uhr|bold red center"));
    EXPECT_EQ(main.StatisticsText().Attributes(), TextAttributes{});
    EXPECT_EQ(form.Caption(), " Prozessdaten - Grenzwertüberschreitung !");
    EXPECT_THAT(form.lb1().Lines(), ElementsAre("Zulauf = 150,00 [m3/h]  um 07:00:01 Uhr"));
    env.Publish("P", "0");

    // Acknowledged without cb1: the window closes empty and the next warning shows it again.
    form.BitBtn1Click();
    EXPECT_FALSE(form.Visible());
    env.loop.AdvanceBy(1000);
    EXPECT_TRUE(form.Visible());
    EXPECT_THAT(form.lb1().Lines(), ElementsAre("Zulauf = 150,00 [m3/h]  um 07:00:02 Uhr"));

    // Three beeps 3 s after the showing; more than 200 lines are cleared at a tick.
    env.loop.AdvanceBy(2900);
    EXPECT_EQ(beeps(), 0);
    env.Publish("Q", "50");
    env.loop.AdvanceBy(100);
    EXPECT_EQ(beeps(), 3);
    LinesModel& list = main.WarningWindow().lb1();
    while (list.Count() < TFo_Warnung::kMaxLines) {
        list.Append("x");
    }
    env.loop.AdvanceBy(3000);
    EXPECT_EQ(list.Count(), 200u);
    list.Append("x");
    env.loop.AdvanceBy(3000);
    EXPECT_THAT(list.Lines(), IsEmpty());
    EXPECT_EQ(beeps(), 9);

    // Acknowledged with cb1: every item is silenced for the rest of the run, also R that never
    // warned.
    env.Publish("Q", "150");
    env.loop.AdvanceBy(1000);
    form.cb1 = true;
    form.BitBtn1Click();
    EXPECT_FALSE(form.cb1);
    EXPECT_FALSE(form.Timer1().Enabled());
    main.Config().LoadItemOptions();  // as a reconnect's acquisition start does
    for (int n = 1; n <= 3; ++n) {
        EXPECT_FALSE(main.Config().Item(n).effectiveWarnung) << n;
    }
    newStatistics();
    env.loop.AdvanceBy(6000);
    EXPECT_EQ(newStatistics().size(), 12u);  // the red lines go on, the window stays shut
    EXPECT_FALSE(form.Visible());
    EXPECT_THAT(list.Lines(), IsEmpty());
    EXPECT_EQ(beeps(), 9);
}

}  // namespace
}  // namespace tarvedde
