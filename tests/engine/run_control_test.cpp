#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/tarvedde_main.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde {
namespace {

using ::testing::ElementsAre;
using testing::EngineTestHost;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr char kTwoItems[] =
    "Itemcount=2\nIntervall=10\nEinheit=0\nAktuTag=05.03.2024\n"
    "[Items]\nItem1=Q\nItem2=P\n[Itemnames]\nItem1=Zulauf\nItem2=Pumpe\n";

constexpr char kCycleRunning[] =
    "QUESTION DDE-Daten noch nicht vollständig. Wirklich stoppen ? -> ";
constexpr char kKeepRunning[] = "QUESTION Datenerfassung weiter arbeiten lassen ? -> ";

class RunControlTest : public ::testing::Test {
protected:
    void Start(const std::string& extraIni = "AutoStart=1\n", SourceKind kind = SourceKind::Dde) {
        env_.WriteText("TARVEDDE.INI", "[DDE]\n" + extraIni + kTwoItems);
        StartOptions options;
        options.sourceKind = kind;
        options.programDir = "/plant";
        options.lockName = "run-control-test";
        main_ = std::make_unique<TarveddeMain>(env_.host, options);
        ASSERT_TRUE(main_->FormCreate());
        main_->FormShow();
    }

    std::string LogAll() const { return env_.ReadText("_DDE_OPC_LOGALL.TXT"); }
    EngineState& State() { return main_->State(); }
    const std::vector<std::string>& Transcript() const { return env_.person.Transcript(); }

    EngineTestHost env_;
    std::unique_ptr<TarveddeMain> main_;
};

TEST_F(RunControlTest, StopDuringARunningCycleAsksTwiceAndStopsWithoutWaiting) {
    Start();
    State().cycleComplete = false;
    env_.person.QueueAnswer(Answer::Yes);
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(main_->ButtonClick("btStoppen"));
    EXPECT_THAT(Transcript(),
                ElementsAre(std::string(kCycleRunning) + "Yes", std::string(kKeepRunning) + "No"));
    EXPECT_TRUE(main_->Stopped());
    EXPECT_FALSE(main_->AcquisitionStarted());
    // A forced stop does not wait: the label shows no pass of the wait.
    EXPECT_EQ(State().window.lbTimeout, "Gestoppt");
    EXPECT_THAT(LogAll(), HasSubstr("07:00:00 > Datenerfassung beendet.\r\n"));
    EXPECT_TRUE(State().window.btStartDDEEnabled);
    EXPECT_FALSE(State().window.btStoppenEnabled);
    EXPECT_FALSE(State().timerDDE->Enabled());
}

TEST_F(RunControlTest, StopAnsweredToGoOnKeepsAcquisitionRunning) {
    Start();
    State().cycleComplete = false;
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(main_->ButtonClick("btStoppen"));
    EXPECT_THAT(Transcript(), ElementsAre(std::string(kCycleRunning) + "No"));
    State().cycleComplete = true;
    env_.person.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(main_->ButtonClick("btStoppen"));
    EXPECT_EQ(Transcript().back(), std::string(kKeepRunning) + "Yes");
    EXPECT_FALSE(main_->Stopped());
    EXPECT_THAT(LogAll(), Not(HasSubstr("Datenerfassung beendet.")));
    env_.loop.AdvanceBy(10000);
    EXPECT_EQ(State().window.lbDT, "07:00:10");
}

TEST_F(RunControlTest, AStopAfterTheStopOnlyStopsAgain) {
    Start();
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(main_->MenuClick("DDEOPCstoppen1"));
    ASSERT_TRUE(main_->Stopped());
    // The menu now starts again; the stop button would be disabled.
    ASSERT_TRUE(main_->MenuClick("DDEOPCstoppen1"));
    EXPECT_FALSE(main_->Stopped());
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(main_->ButtonClick("btStoppen"));
    const std::size_t questions = Transcript().size();
    main_->StopAcquisition();
    EXPECT_EQ(Transcript().size(), questions);
    EXPECT_TRUE(main_->Stopped());
    env_.loop.AdvanceBy(60000);
    EXPECT_EQ(State().window.lbDT, "07:00:00");
}

// Nothing on this thread can finish a cycle that the wait interrupted: the wait gives up.
TEST_F(RunControlTest, TheWaitForAnUnfinishedCycleIsBounded) {
    Start();
    State().cycleComplete = false;
    main_->StopAcquisition();
    EXPECT_TRUE(main_->Stopped());
    EXPECT_EQ(State().window.lbTimeout, "Gestoppt" + std::string(1000, '.'));
    EXPECT_FALSE(State().timerDDE->Enabled());
}

TEST_F(RunControlTest, BlockwiseDayDataWarnsWhenTheBufferIsNotFull) {
    Start("AutoStart=1\nPuffer=3\n");
    State().datEveryCycle = false;
    main_->StopAcquisition();
    EXPECT_THAT(LogAll(),
                HasSubstr("Ihre zwischengespeicherten Daten wurden nicht automatisch gesichert !"));
}

TEST_F(RunControlTest, BeendenWhileStoppedClosesWithoutAQuestion) {
    Start("AutoStart=0\n");
    ASSERT_TRUE(main_->MenuClick("Beenden1"));
    EXPECT_THAT(Transcript(), IsEmpty());
    EXPECT_TRUE(main_->CloseRequested());
    EXPECT_THAT(LogAll(), HasSubstr("> Manuelle Anforderung zum Beenden des Programms...\r\n"
                                    "05.Mrz.24, 07:00:00 > Programm wird manuell beendet !\r\n"));
    ASSERT_TRUE(main_->FormClose());
    EXPECT_TRUE(main_->Closed());
    EXPECT_FALSE(env_.Exists("$dde_activ"));
    EXPECT_TRUE(env_.Exists("_TARVEDDE_LOG.TXT"));
    EXPECT_TRUE(env_.Exists("ddeLogKonfig.tvw"));
    EXPECT_THAT(env_.ReadText("DDE-Info.TXT"),
                HasSubstr("------------------------------ Programm beendet.  "));
    // Closed once: a later close writes nothing more.
    const std::string log = LogAll();
    EXPECT_TRUE(main_->FormClose());
    EXPECT_EQ(LogAll(), log);
}

TEST_F(RunControlTest, BeendenWhileRunningAsksAndACloseIsRefused) {
    Start();
    env_.person.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(main_->MenuClick("Beenden1"));
    EXPECT_THAT(Transcript(), ElementsAre("QUESTION Programm weiter arbeiten lassen ? -> Yes"));
    EXPECT_THAT(LogAll(), Not(HasSubstr("manuell beendet")));
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(main_->MenuClick("Beenden1"));
    EXPECT_THAT(LogAll(),
                HasSubstr("Programm wird manuell beendet !\r\n05.Mrz.24, 07:00:00 > "
                          "Stop-Aufforderung wird aktiviert, 10s für manuelles Eingreifen "
                          "....\r\n"));
    EXPECT_FALSE(main_->CloseRequested());
    EXPECT_FALSE(main_->FormClose());
    EXPECT_FALSE(main_->Closed());
    EXPECT_TRUE(env_.Exists("$dde_activ"));
    env_.loop.AdvanceBy(10000);
    EXPECT_EQ(State().window.lbDT, "07:00:10");
}

TEST_F(RunControlTest, ProgramEndWritesTheEndStatisticsHeading) {
    Start();
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(main_->ButtonClick("btStoppen"));
    env_.clock.SetLocalTime(EncodeDateTime(2024, 3, 5, 7, 5, 0, 0));
    ASSERT_TRUE(main_->FormClose());
    EXPECT_THAT(env_.ReadText("DDE-Info.TXT"),
                HasSubstr("----------------- Programm wird beendet :  Dienstag, 5. März "
                          "2024,07:05:00  -----------------"));
    const auto& lines = main_->StatisticsText().Paragraphs();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().text,
              "Programmende: Zwischen-Statistik für Dienstag, 5. März 2024 "
              "(07:00)");
    EXPECT_TRUE(lines.back().attributes.bold);
    EXPECT_EQ(lines.back().attributes.alignment, TextAlignment::Center);
}

TEST_F(RunControlTest, HeartbeatDeletesTheWatchdogFileEveryTenSeconds) {
    Start("AutoStart=0\nCheck_tot=1\n");
    env_.WriteText("$dde_client_tot", "");
    env_.loop.AdvanceBy(9999);
    EXPECT_TRUE(env_.Exists("$dde_client_tot"));
    env_.loop.AdvanceBy(1);
    EXPECT_FALSE(env_.Exists("$dde_client_tot"));
    env_.WriteText("$dde_client_tot", "");
    env_.loop.AdvanceBy(10000);
    EXPECT_FALSE(env_.Exists("$dde_client_tot"));
    EXPECT_TRUE(main_->TimerTot().Enabled());
}

TEST_F(RunControlTest, HeartbeatOffStopsAfterItsFirstTick) {
    Start("AutoStart=0\nCheck_tot=0\n");
    env_.WriteText("$dde_client_tot", "");
    EXPECT_TRUE(main_->TimerTot().Enabled());
    env_.loop.AdvanceBy(10000);
    EXPECT_FALSE(main_->TimerTot().Enabled());
    EXPECT_TRUE(env_.Exists("$dde_client_tot"));
}

TEST_F(RunControlTest, OperatingHoursPerCycleComeFromWholeSeconds) {
    Start();
    EXPECT_DOUBLE_EQ(State().operatingHoursPerCycle, 10.0 / 3600.0);
}

// A process that dies runs no close path: destroying the engine writes nothing.
TEST_F(RunControlTest, DestroyingTheEngineLeavesEveryFileAsItIs) {
    Start();
    const std::string log = LogAll();
    main_.reset();
    EXPECT_TRUE(env_.Exists("$dde_activ"));
    EXPECT_FALSE(env_.Exists("_TARVEDDE_LOG.TXT"));
    EXPECT_EQ(LogAll(), log);
    EXPECT_FALSE(env_.loop.NextDeadline().has_value());
}

TEST_F(RunControlTest, AqasysStartChecksTheServerAndStopEndsTheConversation) {
    Start("Server=Kestrom\nTopic=AQASYS\n", SourceKind::Aqasys);
    env_.ddeServer.SetDown(true);
    ASSERT_TRUE(main_->ButtonClick("btStartDDE"));
    EXPECT_THAT(Transcript().back(), HasSubstr("Kestrom / AQASYS sind nicht gestartet"));
    EXPECT_TRUE(main_->Stopped());
    EXPECT_FALSE(main_->TimerAqasys1().Enabled());

    env_.ddeServer.SetDown(false);
    ASSERT_TRUE(main_->ButtonClick("btStartDDE"));
    EXPECT_FALSE(main_->Stopped());
    EXPECT_TRUE(main_->TimerAqasys1().Enabled());
    EXPECT_TRUE(State().window.btStoppenEnabled);
    EXPECT_FALSE(State().window.lbAusVisible);
    EXPECT_THAT(LogAll(), HasSubstr("07:00:00 > AQASYS-Daten werden übertragen....\r\n"));

    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(main_->ButtonClick("btStoppen"));
    EXPECT_FALSE(main_->Stopped());
    env_.person.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(main_->ButtonClick("btStoppen"));
    EXPECT_TRUE(main_->Stopped());
    EXPECT_FALSE(main_->TimerAqasys1().Enabled());
    EXPECT_EQ(env_.ddeServer.ConversationCount(), 0u);
    EXPECT_TRUE(State().window.lbAusVisible);
}

}  // namespace
}  // namespace tarvedde
