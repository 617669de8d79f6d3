// The AQASYS retrieval as the headless program wires it (real clock, poll loop, socket DDE
// transport) against plantsim's AQASYS face as a real process: the retrieval dialog marks
// ten days of last year, the transfer fetches them into ten .TVI files with the bound
// diary indexes and the logger's values, and an unknown code only costs a log line.
#include <gmock/gmock.h>

#include "dialogs/tarvedde_aqasys_abruf.h"
#include "outputs/diary_files.h"
#include "platform/date_time.h"
#include "platform/number_format.h"
#include "tests/e2e/plantsim_fixture.h"

namespace tarvedde::testing {
namespace {

std::string Date(double day, const char* pattern) {
    return FormatDateTime(pattern, day, GermanLocale());
}

using AqasysPlantsimE2e = PlantsimClientTest;

TEST_F(AqasysPlantsimE2e, TenDaysOfLastYearReachTheirDiaryFiles) {
    CreateClient(SourceKind::Aqasys);
    const int year = DecodeDate(client_->Engine().GetHost().clock.Now()).year - 1;
    const double first = EncodeDate(year, 1, 10);

    // A12 from the logger's data file, A13 generated, B9 unknown to it.
    std::string days;
    for (int d = 0; d < 10; ++d) {
        days += "A12;" + Date(first + d, "dd.mm.yyyy") + ";" + std::to_string(d) + ".5\n";
    }
    root_.WriteText("days.txt", days);
    root_.WriteText("plant.ini",
                    "[Service]\nName=Kestrom\nTopic=AQASYS\n[Aqasys]\nCodes=A13\n"
                    "DelayMs=5\nDataFile=" +
                        root_.Path() + "days.txt\n");
    StartPlantsim();
    ASSERT_TRUE(WaitForDdeSocket(ddeDir_, "Kestrom"));
    root_.WriteText("plant/TARVEDDE.INI",
                    "[DDE]\nAutoStart=0\nFirstRun=0\nServer=Kestrom\nTopic=AQASYS\n");
    root_.WriteText("plant/AQASYSITEMS.TXT", "A12;\nB9;\nA13;\n");
    root_.WriteText("plant/AQASYSNAMES.TXT", "Regen\nFehlt\nTemperatur\n");
    root_.WriteText("plant/ONLINE.TVW", "2\n4\nRegen\n11\nTemperatur\n");
    std::vector<DiaryBinding> records(kDiaryValueCount);
    for (const auto& [index, parameter] : {std::pair{4, 1}, std::pair{11, 3}}) {
        records[static_cast<std::size_t>(index - 1)].diaryIndex = index;
        records[static_cast<std::size_t>(index - 1)].itemNumber = parameter;
    }
    std::ofstream(plantDir_ + "AQABIND.TVW", std::ios::binary) << EncodeBindingFile(records);

    TarveddeMain& engine = client_->Engine();
    ASSERT_TRUE(engine.FormCreate());
    engine.FormShow();
    TFo_AqasysAbruf dialog(engine.Aqasys(), engine.Config(), engine.GetHost(), engine.Log(),
                           GermanLocale());
    dialog.FormShow();
    dialog.dtVom = first;
    dialog.dtBis = first + 9;
    dialog.cbGelesen = true;
    dialog.btMarkierenClick();
    dialog.btAbrufenClick();
    ASSERT_TRUE(dialog.StartsTransfer());
    ASSERT_TRUE(engine.ButtonClick("btStartDDE"));
    ASSERT_TRUE(PumpUntil([&] { return engine.Stopped(); }, 30000)) << LogText();

    for (int d = 0; d < 10; ++d) {
        const std::string tvi = root_.Bytes("plant/" + Date(first + d, "yyyymmdd") + ".TVI");
        EXPECT_TRUE(tvi.starts_with("4\r\n" + std::to_string(d) + ",5\r\n")) << d << ": " << tvi;
        EXPECT_THAT(tvi.substr(tvi.find("\r\n11\r\n") + 2),
                    ::testing::MatchesRegex("11\r\n[0-9]{1,2},[0-9]{2}\r\n"));
        EXPECT_NE(LogText().find("B9;" + Date(first + d, "mm.yy;dd") + " : Nicht definiert !"),
                  std::string::npos);
    }
    EXPECT_EQ(root_.Bytes("plant/" + Date(first + 10, "yyyymmdd") + ".TVI"), "<missing>");
    EXPECT_EQ(engine.Aqasys().ContainerYearOverride(), "");
}

}  // namespace
}  // namespace tarvedde::testing
