#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/tarvedde_main.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde {
namespace {

using testing::EngineTestHost;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kTwoItems[] =
    "Itemcount=2\nIntervall=10\nEinheit=0\nAutoStart=1\nAktuTag=05.03.2024\n"
    "[Items]\nItem1=Q\nItem2=P\n[Itemnames]\nItem1=Zulauf\nItem2=Pumpe\n"
    "[Grafiktyp]\nItem2=2\n";

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

class AcquisitionCycleTest : public ::testing::Test {
protected:
    void Start(int hour, int minute, int second, const std::string& extraIni = "") {
        env_.clock.SetLocalTime(EncodeDateTime(2024, 3, 5, hour, minute, second, 0));
        env_.WriteText("TARVEDDE.INI", "[DDE]\n" + extraIni + kTwoItems);
        StartOptions options;
        options.programDir = "/plant";
        options.lockName = "cycle-test";
        main_ = std::make_unique<TarveddeMain>(env_.host, options);
        ASSERT_TRUE(main_->FormCreate());
        main_->FormShow();
    }

    std::string LogAll() const { return env_.ReadText("_DDE_OPC_LOGALL.TXT"); }
    EngineState& State() { return main_->State(); }

    EngineTestHost env_;
    std::unique_ptr<TarveddeMain> main_;
};

TEST_F(AcquisitionCycleTest, AutomaticStartRunsTheFirstCycleAtOnceAndThenEveryInterval) {
    Start(7, 0, 0);
    EXPECT_THAT(LogAll(), HasSubstr("Datenerfassung gestartet."));
    EXPECT_EQ(State().window.lbDT, "07:00:00");
    EXPECT_TRUE(State().cycleComplete);
    env_.loop.AdvanceBy(9999);
    EXPECT_EQ(State().window.lbDT, "07:00:00");
    env_.loop.AdvanceBy(1);
    EXPECT_EQ(State().window.lbDT, "07:00:10");
    EXPECT_FALSE(State().window.btStartDDEEnabled);
    EXPECT_TRUE(State().window.btStoppenEnabled);
}

TEST_F(AcquisitionCycleTest, MidnightChangesTheDayOnceBeforeTheFirstCycleOfTheNewDay) {
    Start(23, 59, 45);
    env_.loop.AdvanceBy(10000);  // 23:59:55
    EXPECT_THAT(LogAll(), Not(HasSubstr("Tageswechsel")));
    env_.loop.AdvanceBy(10000);  // 00:00:05
    const std::string log = LogAll();
    EXPECT_THAT(log, HasSubstr("06.Mrz.24, 00:00:05 > ****** Tageswechsel erkannt !\r\n"
                               "06.Mrz.24, 00:00:05 > Alle Zeittabellen auf Index 1 gesetzt. "
                               "Nächster Zwischenwert nach 0 Uhr.\r\n"
                               "06.Mrz.24, 00:00:05 > Tageswechselstatistik ausgegeben.\r\n"
                               "06.Mrz.24, 00:00:05 > Dateien für neuen Tag erzeugt.\r\n"));
    EXPECT_THAT(env_.ReadText("TARVEDDE.INI"), HasSubstr("AktuTag=06.03.2024\r\n"));
    env_.loop.AdvanceBy(60000);
    EXPECT_EQ(Count(LogAll(), "Tageswechsel erkannt"), 1);
    EXPECT_EQ(State().window.lbDT, "00:01:05");
}

TEST_F(AcquisitionCycleTest, PostponedDayChangeWritesTheStatisticsAtTheConfiguredTime) {
    Start(23, 59, 50, "CustomIni=1\nCustomTime=06:00:00\n");
    env_.loop.AdvanceBy(10000);  // 00:00:00
    EXPECT_THAT(LogAll(), HasSubstr("Neuer Tag. Flag für späteren Wechsel (06:00:00) gesetzt."));
    EXPECT_THAT(env_.ReadText("TARVEDDE.INI"), HasSubstr("CustomNewDay=1\r\n"));
    env_.loop.AdvanceTo(env_.clock.ElapsedMs() + (6 * 3600 - 10) * 1000);  // 05:59:50
    EXPECT_THAT(LogAll(), Not(HasSubstr("verspätetem")));
    env_.loop.AdvanceBy(10000);  // 06:00:00
    EXPECT_THAT(LogAll(), HasSubstr("06.Mrz.24, 06:00:00 > Statistik bei verspätetem "
                                    "Tageswechsel (06:00:00).\r\n"));
    EXPECT_THAT(env_.ReadText("TARVEDDE.INI"), HasSubstr("CustomNewDay=0\r\n"));
    EXPECT_EQ(Count(LogAll(), "Neuer Tag. Flag"), 1);
    EXPECT_EQ(Count(LogAll(), "Tageswechsel erkannt"), 1);
}

TEST_F(AcquisitionCycleTest, RestartBeforeThePostponedTimeStillWritesTheStatistics) {
    env_.WriteText("$clean", "0\n");
    Start(3, 0, 0, "CustomIni=1\nCustomTime=06:00:00\nCustomNewDay=1\n");
    EXPECT_TRUE(State().settings.customNewDay);
    env_.loop.AdvanceBy(3 * 3600 * 1000 - 10000);  // 05:59:50
    EXPECT_THAT(LogAll(), Not(HasSubstr("verspätetem")));
    env_.loop.AdvanceBy(10000);
    EXPECT_THAT(LogAll(), HasSubstr("Statistik bei verspätetem Tageswechsel (06:00:00)."));
}

TEST_F(AcquisitionCycleTest, TickDuringAnUnfinishedCycleIsATimeout) {
    Start(7, 0, 0);
    State().cycleComplete = false;
    env_.loop.AdvanceBy(10000);
    EXPECT_THAT(LogAll(), HasSubstr("07:00:10 > *** TimeOut\r\n"));
    EXPECT_TRUE(State().window.lbTimeoutVisible);
    EXPECT_EQ(State().window.lbDT, "07:00:00");
    State().cycleComplete = true;
    env_.loop.AdvanceBy(10000);
    EXPECT_THAT(LogAll(), HasSubstr("07:00:20 > *** Nächster Messwert.\r\n"));
    EXPECT_FALSE(State().window.lbTimeoutVisible);
    EXPECT_EQ(State().window.lbDT, "07:00:20");
}

TEST_F(AcquisitionCycleTest, LostConnectionHandsOverToTheRetryTimer) {
    Start(7, 0, 0);
    env_.loop.AdvanceBy(5000);
    env_.ddeServer.SetDown(true);
    EXPECT_TRUE(State().connectionLost);
    EXPECT_THAT(LogAll(), HasSubstr("07:00:05 > Callback : Konversation abgebrochen !\r\n"
                                    "05.Mrz.24, 07:00:05 > Verbindung zum Server abgebaut.\r\n"
                                    "05.Mrz.24, 07:00:05 > Es wird versucht, die Verbindung "
                                    "wiederherzustellen...\r\n"));
    env_.loop.AdvanceBy(5000);  // the cycle hands over to the retry timer
    EXPECT_EQ(State().window.lbDT, "07:00:00");
    env_.loop.AdvanceBy(3000);  // three quiet retries
    EXPECT_EQ(std::count(env_.ddeCalls.begin(), env_.ddeCalls.end(), "Connect Anwendung Thema"),
              1 + 3);
    EXPECT_THAT(LogAll(), Not(HasSubstr("07:00:11 > ")));
    env_.ddeServer.SetDown(false);
    env_.loop.AdvanceBy(1000);
    EXPECT_THAT(LogAll(), HasSubstr("07:00:14 > Verbindung zum Server \"Anwendung\" / Topic "
                                    "\"Thema\" aufgebaut.\r\n"));
    EXPECT_THAT(LogAll(), HasSubstr("07:00:14 > Verbindung zum Server hergestellt.\r\n"));
    EXPECT_EQ(State().window.lbDT, "07:00:14");
    EXPECT_NE(State().runtime[1].itemHandle, 0);
}

TEST_F(AcquisitionCycleTest, ServerValuesReachTheCycleThroughTheDataNotification) {
    Start(7, 0, 0);
    EXPECT_EQ(env_.Publish("Q", "\r\n12,5\r\n"), 1);
    env_.loop.AdvanceBy(10000);
    EXPECT_EQ(State().statistics[1].currentValue, 12.5);
}

TEST_F(AcquisitionCycleTest, ClosingEndsLinksAndTheDdeInstance) {
    Start(7, 0, 0);
    main_->StopAcquisition();
    ASSERT_TRUE(main_->FormClose());
    EXPECT_EQ(env_.ddeServer.ConversationCount(), 0u);
    EXPECT_EQ(std::count(env_.ddeCalls.begin(), env_.ddeCalls.end(), "Uninitialize"), 1);
    EXPECT_EQ(State().runtime[2].itemHandle, 0);
}

}  // namespace
}  // namespace tarvedde

namespace tarvedde {
namespace {

TEST_F(AcquisitionCycleTest, IncompleteConfigurationRetriesQuietly) {
    Start(7, 0, 0, "Itemcount=3\n");  // item 3 is not defined: the first Itemcount wins
    ASSERT_EQ(State().settings.itemCount, 3);
    EXPECT_FALSE(State().settings.configValid);
    const std::string before = LogAll();
    env_.loop.AdvanceBy(60000);
    EXPECT_EQ(LogAll(), before);
    EXPECT_EQ(State().window.lbDT, "00:00:00");
}

TEST_F(AcquisitionCycleTest, StartKnowsTheItemCountBeforeTheConfigurationLoad) {
    Start(7, 0, 0);
    EXPECT_EQ(State().protocolOrder[1], 1);
    EXPECT_EQ(State().protocolOrder[2], 2);
    EXPECT_EQ(State().protocolOrder[3], -1);
}

}  // namespace
}  // namespace tarvedde
