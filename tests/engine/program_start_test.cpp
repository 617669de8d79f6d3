#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/tarvedde_main.h"
#include "platform/instance_locks.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde {
namespace {

using ::testing::ElementsAre;
using testing::EngineTestHost;
using ::testing::HasSubstr;
using ::testing::Not;

const char kStamp[] = "05.Mrz.24, 07:00:00 > ";

class ProgramStartTest : public ::testing::Test {
protected:
    StartOptions Options() const {
        StartOptions options;
        options.programDir = "/plant";
        options.lockName = lockName_;
        return options;
    }

    // Another client holds the single-instance lock.
    std::unique_ptr<InstanceLockShare> HoldLock() { return env_.locks.Acquire(lockName_); }

    std::string LogAll() const { return env_.ReadText("_DDE_OPC_LOGALL.TXT"); }

    EngineTestHost env_;
    // The engine names the lock in lower case, as the executable's file name.
    std::string lockName_ = [] {
        std::string name =
            std::string("start-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return name;
    }();
};

TEST_F(ProgramStartTest, FirstStartLogsProgramDirectoryAndLockName) {
    TarveddeMain main(env_.host, Options());
    ASSERT_TRUE(main.FormCreate());
    EXPECT_EQ(LogAll(), std::string(kStamp) + "Programmstart in /plant/\r\n" + kStamp +
                            "Mutex = " + lockName_ + "\r\n");
    EXPECT_TRUE(env_.person.Transcript().empty());
    EXPECT_EQ(main.State().window.lb_StartDir, "/plant/");
}

TEST_F(ProgramStartTest, LockAndMarkerTogetherAbandonTheStartWithoutAsking) {
    const auto other = HoldLock();
    env_.WriteText("$dde_activ", "");
    env_.WriteText("TARVEDDE.INI", "[DDE]\nAutoStart=1\n");
    TarveddeMain main(env_.host, Options());
    EXPECT_FALSE(main.FormCreate());
    EXPECT_TRUE(main.StartAborted());
    EXPECT_TRUE(env_.shell.terminated());
    EXPECT_TRUE(env_.person.Transcript().empty());
    EXPECT_THAT(LogAll(), HasSubstr("Mutex und $dde_activ in /plant/ schon vorhanden. Start "
                                    "abgebrochen !\r\n"));
}

TEST_F(ProgramStartTest, LockOnlyWithAutoStartGoesOn) {
    const auto other = HoldLock();
    env_.WriteText("TARVEDDE.INI", "[DDE]\nAutoStart=1\n");
    TarveddeMain main(env_.host, Options());
    EXPECT_TRUE(main.FormCreate());
    EXPECT_THAT(LogAll(),
                HasSubstr("Mutex schon vorhanden. Autostart in /plant/ trotzdem durchgeführt !"));
    EXPECT_TRUE(env_.person.Transcript().empty());
}

TEST_F(ProgramStartTest, LockOnlyAsksAndYesAbandonsTheStart) {
    const auto other = HoldLock();
    env_.person.QueueAnswer(Answer::Yes);
    TarveddeMain main(env_.host, Options());
    EXPECT_FALSE(main.FormCreate());
    EXPECT_TRUE(env_.shell.terminated());
    EXPECT_THAT(
        env_.person.Transcript(),
        ElementsAre("MESSAGE Die Anwendung Tarvewater_DDE_CLient läuft bereits auf dem PC !",
                    "QUESTION Programmstart abbrechen ? -> Yes"));
}

TEST_F(ProgramStartTest, LockOnlyAnsweredNoStartsASecondClient) {
    const auto other = HoldLock();
    env_.person.QueueAnswer(Answer::No);
    TarveddeMain main(env_.host, Options());
    EXPECT_TRUE(main.FormCreate());
    EXPECT_FALSE(env_.shell.terminated());
    EXPECT_THAT(LogAll(), HasSubstr("Mutex schon vorhanden. Trotzdem startet der Anwender in "
                                    "/plant/ den Client !"));
}

TEST_F(ProgramStartTest, MarkerOnlyWithAutoStartAfterACrashGoesOn) {
    env_.WriteText("$dde_activ", "");
    env_.WriteText("TARVEDDE.INI", "[DDE]\nAutoStart=1\n");
    TarveddeMain main(env_.host, Options());
    EXPECT_TRUE(main.FormCreate());
    EXPECT_THAT(LogAll(), HasSubstr("$dde_activ in /plant/ noch vorhanden. Autostart trotzdem "
                                    "durchgeführt !"));
}

TEST_F(ProgramStartTest, MarkerOnlyAsksNamingTheDirectory) {
    env_.WriteText("$dde_activ", "");
    env_.person.QueueAnswer(Answer::No);
    TarveddeMain main(env_.host, Options());
    EXPECT_TRUE(main.FormCreate());
    EXPECT_THAT(env_.person.Transcript(),
                ElementsAre("MESSAGE Ein Tarvewater_DDE_CLient scheint bereits im\\r\\n "
                            "Verzeichnis /plant/ aktiv zu sein !",
                            "QUESTION Programmstart abbrechen ? -> No"));
    EXPECT_THAT(LogAll(), HasSubstr("$dde_activ in /plant/ schon vorhanden. Trotzdem startet der "
                                    "Anwender den Client !"));
}

TEST_F(ProgramStartTest, OpcInstallationNamesItselfInTheQuestion) {
    const auto other = HoldLock();
    env_.person.QueueAnswer(Answer::Yes);
    StartOptions options = Options();
    options.sourceKind = SourceKind::Opc;
    TarveddeMain main(env_.host, options);
    EXPECT_FALSE(main.FormCreate());
    ASSERT_FALSE(env_.person.Transcript().empty());
    EXPECT_EQ(env_.person.Transcript().front(),
              "MESSAGE Die Anwendung Tarvewater_OPC_CLient läuft bereits auf dem PC !");
}

TEST_F(ProgramStartTest, StaleLockFilesGoAndTheColdStartRequestActsOnce) {
    for (const char* name : {"$lock_SMP", "$lock_TVV", "$lock_TVI", "$lock_DAT"}) {
        env_.WriteText(name, "");
    }
    env_.WriteText("TARVEDDE.INI", "[DDE]\nNullstart=1\n");
    TarveddeMain main(env_.host, Options());
    ASSERT_TRUE(main.FormCreate());
    for (const char* name : {"$lock_SMP", "$lock_TVV", "$lock_TVI", "$lock_DAT"}) {
        EXPECT_FALSE(env_.Exists(name)) << name;
    }
    EXPECT_TRUE(main.State().settings.nullStart);
    EXPECT_THAT(env_.ReadText("TARVEDDE.INI"), HasSubstr("Nullstart=0\r\n"));
}

}  // namespace
}  // namespace tarvedde

namespace tarvedde {
namespace {

class StartSequenceTest : public ProgramStartTest {
protected:
    // Runs creation and the first showing on the files prepared so far.
    TarveddeMain& Start() {
        main_ = std::make_unique<TarveddeMain>(env_.host, Options());
        EXPECT_TRUE(main_->FormCreate());
        main_->FormShow();
        return *main_;
    }

    std::unique_ptr<TarveddeMain> main_;
};

constexpr char kTodayIni[] = "[DDE]\nAktuTag=05.03.2024\n";
constexpr char kSaveErrorLine[] =
    "Beim Speichern der Zwischendaten war ein Fehler \r\naufgetreten ! Bitte überprüfen Sie "
    "Ihre Messwerte.";

TEST_F(StartSequenceTest, CleanStateOfTodayIsTrusted) {
    env_.WriteText("TARVEDDE.INI", kTodayIni);
    env_.WriteText("$clean", "0\n");
    TarveddeMain& main = Start();
    EXPECT_TRUE(main.StateClean());
    EXPECT_EQ(main.StateFlags(), 0);
    EXPECT_TRUE(env_.Exists("$clean"));
    EXPECT_THAT(LogAll(), Not(HasSubstr("Kein Tageswechsel")));
    EXPECT_THAT(LogAll(), HasSubstr(std::string(kStamp) + "Neustart\r\n"));
}

TEST_F(StartSequenceTest, StateOfYesterdayIsNeverRestored) {
    env_.WriteText("TARVEDDE.INI", "[DDE]\nAktuTag=04.03.2024\n");
    env_.WriteText("$clean", "0\n");
    TarveddeMain& main = Start();
    EXPECT_FALSE(main.StateClean());
    EXPECT_FALSE(env_.Exists("$clean"));
    EXPECT_THAT(LogAll(), HasSubstr("Kein Tageswechsel registriert. Daten werden initialisiert."));
    EXPECT_THAT(env_.ReadText("TARVEDDE.INI"), HasSubstr("AktuTag=05.03.2024\r\n"));
}

TEST_F(StartSequenceTest, MissingSavedDayCountsAsAnotherDay) {
    env_.WriteText("$clean", "0\n");
    TarveddeMain& main = Start();
    EXPECT_FALSE(main.StateClean());
    EXPECT_THAT(env_.ReadText("TARVEDDE.INI"), HasSubstr("AktuTag=05.03.2024\r\n"));
}

TEST_F(StartSequenceTest, ErrorBitsAreReportedAndAConfigurationErrorNamed) {
    env_.WriteText("TARVEDDE.INI", kTodayIni);
    env_.WriteText("$clean", "20\n");
    TarveddeMain& main = Start();
    EXPECT_TRUE(main.StateClean());
    EXPECT_EQ(main.StateFlags(), 20);
    EXPECT_THAT(LogAll(), HasSubstr(kSaveErrorLine));
    EXPECT_THAT(LogAll(), HasSubstr("Ihre DDE-Konfiguration könnte fehlerhaft sein !"));
}

TEST_F(StartSequenceTest, ErrorBitsBelowTheConfigurationBitOnlyWarn) {
    env_.WriteText("TARVEDDE.INI", kTodayIni);
    env_.WriteText("$clean", "4\n");
    Start();
    EXPECT_THAT(LogAll(), HasSubstr(kSaveErrorLine));
    EXPECT_THAT(LogAll(), Not(HasSubstr("könnte fehlerhaft")));
}

TEST_F(StartSequenceTest, ColdStartDoesNotBlameTheConfiguration) {
    env_.WriteText("TARVEDDE.INI", "[DDE]\nAktuTag=05.03.2024\nNullstart=1\n");
    env_.WriteText("$clean", "20\n");
    Start();
    EXPECT_THAT(LogAll(),
                HasSubstr(std::string(kStamp) + "Neustart\r\n" + kStamp + "Nullstart\r\n"));
    EXPECT_THAT(LogAll(), Not(HasSubstr("könnte fehlerhaft")));
}

TEST_F(StartSequenceTest, FailedWholeSaveIsNotTrusted) {
    env_.WriteText("TARVEDDE.INI", kTodayIni);
    env_.WriteText("$clean", "-1\n");
    TarveddeMain& main = Start();
    EXPECT_FALSE(main.StateClean());
    EXPECT_EQ(main.StateFlags(), -1);
    EXPECT_THAT(LogAll(), Not(HasSubstr("Zwischendaten")));
}

TEST_F(StartSequenceTest, UnreadableCleanMarkerIsIgnored) {
    env_.WriteText("TARVEDDE.INI", kTodayIni);
    env_.WriteText("$clean", "\x01garbage\n");
    TarveddeMain& main = Start();
    EXPECT_FALSE(main.StateClean());
}

TEST_F(StartSequenceTest, CaptionsNameTheSourceKindAndTheMarkerLivesUntilClose) {
    TarveddeMain& main = Start();
    const MainWindowModel& window = main.State().window;
    EXPECT_EQ(window.caption, "Tarvewater Online DDE-Client - Version 7.26");
    EXPECT_EQ(window.btStartDDE, "DDE starten");
    EXPECT_EQ(window.btStoppen, "DDE stoppen");
    EXPECT_EQ(window.lbAus, "DDE nicht gestartet");
    EXPECT_FALSE(window.MenuEnabled("OPC1"));
    EXPECT_FALSE(window.MenuEnabled("AqasysAbrufen1"));
    EXPECT_TRUE(env_.Exists("$dde_activ"));
    ASSERT_FALSE(main.StatisticsText().Paragraphs().empty());
    const RichParagraph& heading = main.StatisticsText().Paragraphs().front();
    EXPECT_EQ(heading.text, "Neustart: Übersicht für Dienstag, 5. März 2024 (07:00)");
    EXPECT_TRUE(heading.attributes.bold);
    EXPECT_EQ(heading.attributes.alignment, TextAlignment::Center);
    main.FormClose();
    EXPECT_FALSE(env_.Exists("$dde_activ"));
    EXPECT_THAT(env_.ReadText("_TARVEDDE_LOG.TXT"), HasSubstr("Programmstart in /plant/"));
}

}  // namespace
}  // namespace tarvedde
