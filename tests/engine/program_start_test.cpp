// The program's start in one place: the single-instance guard, the warm, cold and
// outdated starts that $clean and the saved day decide, and the whole start's log.
#include <fstream>
#include <optional>
#include <sstream>

#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

const char kStamp[] = "05.Mrz.24, 07:00:00 > ";
const std::string kData = std::string(TARVEDDE_TEST_DATA) + "/engine/start_three_items/";

std::string ReadBinary(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

using ProgramStartTest = EngineFixture;

// Each text of a '|'-separated list.
Lines Split(const std::string& list) {
    Lines parts;
    for (std::size_t start = 0, end = 0; end != std::string::npos && !list.empty();
         start = end + 1) {
        end = list.find('|', start);
        parts.push_back(list.substr(start, end - start));
    }
    return parts;
}

struct GuardCase {
    const char* name;
    bool lockHeld, markerLeft, autoStart;  // markerLeft: $dde_activ of a client that died
    SourceKind kind;
    const char* message;  // shown before the question; nullptr: nothing asked
    Answer answer;
    bool starts;
    const char* logged;
};

class InstanceGuardTest : public EngineFixture, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(InstanceGuardTest, StartsOrAbandonsAsTheOperatorAndAutoStartSay) {
    const GuardCase& c = GetParam();
    if (c.lockHeld) {
        HoldLock();
    }
    if (c.markerLeft) {
        Write("$dde_activ", "");
    }
    WriteIni(c.autoStart ? "[DDE]\nAutoStart=1\n" : "[DDE]\nAutoStart=0\n");
    Lines asked;
    if (c.message != nullptr) {
        env_.person.QueueAnswer(c.answer);
        asked = {std::string("MESSAGE ") + c.message,
                 std::string("QUESTION Programmstart abbrechen ? -> ") +
                     (c.answer == Answer::Yes ? "Yes" : "No")};
    }
    EXPECT_EQ(Create(c.kind), c.starts);
    EXPECT_EQ(Main().StartAborted(), !c.starts);
    EXPECT_EQ(env_.shell.terminated(), !c.starts);
    EXPECT_EQ(Transcript(), asked);
    EXPECT_THAT(LogAll(), HasSubstr(c.logged));
}

const char kRunsOnThePc[] = "Die Anwendung Tarvewater_DDE_CLient läuft bereits auf dem PC !";
constexpr SourceKind kDde = SourceKind::Dde;
constexpr Answer kYes = Answer::Yes;
constexpr Answer kNo = Answer::No;

INSTANTIATE_TEST_SUITE_P(
    Start, InstanceGuardTest,
    ::testing::Values(
        GuardCase{"LockAndMarkerAbandonWithoutAsking", true, true, true, kDde, nullptr, kNo, false,
                  "Mutex und $dde_activ in /plant/ schon vorhanden. Start abgebrochen !"},
        GuardCase{"LockWithAutoStartGoesOn", true, false, true, kDde, nullptr, kNo, true,
                  "Mutex schon vorhanden. Autostart in /plant/ trotzdem durchgeführt !"},
        GuardCase{"LockAnsweredYesAbandons", true, false, false, kDde, kRunsOnThePc, kYes, false,
                  "Mutex = tarvedde"},
        GuardCase{"LockAnsweredNoStartsASecondClient", true, false, false, kDde, kRunsOnThePc, kNo,
                  true,
                  "Mutex schon vorhanden. Trotzdem startet der Anwender in /plant/ den Client !"},
        GuardCase{"OpcNamesItselfInTheQuestion", true, false, false, SourceKind::Opc,
                  "Die Anwendung Tarvewater_OPC_CLient läuft bereits auf dem PC !", kYes, false,
                  "Mutex = tarvedde"},
        GuardCase{"MarkerAsksNamingTheDirectory", false, true, false, kDde,
                  "Ein Tarvewater_DDE_CLient scheint bereits im\\r\\n Verzeichnis /plant/ aktiv "
                  "zu sein !",
                  kNo, true,
                  "$dde_activ in /plant/ schon vorhanden. Trotzdem startet der Anwender den "
                  "Client !"}),
    [](const auto& c) { return std::string(c.param.name); });

// The directory's lock held: a client runs here, whatever named lock it found; neither the
// automatic start nor an operator may add a second one.
TEST_F(ProgramStartTest, AClientHoldingTheDirectoryStopsEveryStart) {
    const auto running = env_.locks.HoldExclusive("/plant/$dde_activ.lock");
    Write("$dde_activ", "");
    EXPECT_FALSE(Create(SourceKind::Dde));
    EXPECT_TRUE(Main().StartAborted());
    EXPECT_TRUE(env_.shell.terminated());
    EXPECT_TRUE(Transcript().empty());
    EXPECT_THAT(LogAll(), HasSubstr("Ein Client läuft bereits in /plant/ ($dde_activ.lock "
                                    "gesperrt). Start abgebrochen !"));
}

// Without the key, acquisition starts by itself, so an unattended restart after a crash
// must not stop at the question.
TEST_F(ProgramStartTest, MissingAutoStartIsOnForTheGuardToo) {
    Write("$dde_activ", "");
    EXPECT_TRUE(Create(SourceKind::Dde));
    EXPECT_TRUE(Transcript().empty());
    EXPECT_THAT(LogAll(), HasSubstr("Autostart trotzdem durchgeführt !"));
}

// A first run on the three-item plant leaves a day's state behind, saved at close; the
// second start finds $clean, the saved day and the cold-start request as a case sets them.
class StateStartTest : public EngineFixture {
protected:
    StateStartTest() {
        EXPECT_TRUE(
            env_.files.WriteAll(env_.dir + kMainIniFile, ReadBinary(kData + kMainIniFile), false));
        // No cycle may run: the values at start are the restored ones.
        EXPECT_TRUE(Ini().WriteBool("DDE", "AutoStart", false));
        env_.ServeConfiguredItems();
        Start();
        Stats(1).count = 42.0;
        Stats(1).average = 3.5;
        Stats(1).minimum = 2.0;
        Night(1).ntSum = 7.5;
        Counter(3).lastReading = 12.5;
        MirrorOffset(2) = 0.25;
        EXPECT_EQ(
            Store().SaveIntermediateState(Config(), Values(), Integrator().States(), true, true),
            0);
        Main().FormClose();
        main_.reset();
    }
    IniFile Ini() { return IniFile(env_.files, env_.dir + kMainIniFile); }
};

struct StartCase {
    const char* name;
    const char* clean;     // $clean's text; nullptr: missing
    const char* savedDay;  // nullptr: no AktuTag key
    bool nullStart, trusted;
    int flags;
    bool accumulators, mirror, night;  // restored from the first run's save
    const char* logged;                // '|'-separated, as the two below
    const char* notLogged;
};

class WarmColdStartTest : public StateStartTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(WarmColdStartTest, RestoresWhatTheMarkerTrusts) {
    const StartCase& c = GetParam();
    if (c.clean != nullptr) {
        Write("$clean", c.clean);
    } else {
        Remove("$clean");
    }
    ASSERT_TRUE(c.savedDay != nullptr ? Ini().WriteString("DDE", "AktuTag", c.savedDay)
                                      : Ini().DeleteKey("DDE", "AktuTag"));
    ASSERT_TRUE(Ini().WriteBool("DDE", "Nullstart", c.nullStart));
    const std::size_t before = LogAll().size();
    Start();
    EXPECT_EQ(Main().StateClean(), c.trusted);
    EXPECT_EQ(Main().StateFlags(), c.flags);
    EXPECT_EQ(Stats(1).count, c.accumulators ? 42.0 : 0.0);
    EXPECT_EQ(Stats(1).average, c.accumulators ? 3.5 : 0.0);
    EXPECT_EQ(Stats(1).minimum == 2.0, c.accumulators);
    EXPECT_EQ(Night(1).ntSum, c.night ? 7.5 : 0.0);
    EXPECT_EQ(MirrorOffset(2), c.mirror ? 0.25 : 0.0);
    EXPECT_EQ(Counter(3).lastReading, c.trusted ? 12.5 : 0.0);
    // A state of another day is gone for good.
    const auto today = [](const char* text) {
        return text != nullptr && std::string(text).find("05.03.2024") != std::string::npos;
    };
    EXPECT_EQ(Exists("$clean"), c.clean != nullptr && (today(c.savedDay) || today(c.clean)));
    EXPECT_THAT(Read(kMainIniFile), HasSubstr("AktuTag=05.03.2024\r\n"));
    const std::string log = LogAll().substr(before);
    for (const std::string& text : Split(c.logged)) {
        EXPECT_THAT(log, HasSubstr(text));
    }
    for (const std::string& text : Split(c.notLogged)) {
        EXPECT_THAT(log, Not(HasSubstr(text)));
    }
    EXPECT_THAT(log, HasSubstr(std::string(kStamp) + "Neustart\r\n" +
                               (c.nullStart ? std::string(kStamp) + "Nullstart\r\n" : "")));
    Main().FormClose();
}

#define SAVE_ERROR                                                                              \
    "Beim Speichern der Zwischendaten war ein Fehler \r\naufgetreten ! Bitte überprüfen Sie " \
    "Ihre Messwerte."
#define CONFIG_BLAMED "Ihre DDE-Konfiguration könnte fehlerhaft sein !"
const char kToday[] = "05.03.2024";

INSTANTIATE_TEST_SUITE_P(
    Start, WarmColdStartTest,
    ::testing::Values(
        StartCase{"CleanStateOfTodayContinuesTheDay", "0\n", kToday, false, true, 0, true, true,
                  true, "",
                  "neu initialisiert|Differenzdatei initialisiert|Daten werden "
                  "initialisiert|neu erzeugt|Zwischendaten"},
        StartCase{"MissingMarkerStartsFromZero", nullptr, kToday, false, false, 0, false, false,
                  false, "Differenzdatei initialisiert.", "Zwischendaten"},
        StartCase{"StateOfALaterDayIsNeverRestored", "0\n", "06.03.2024", false, false, 0, false,
                  false, false, "Kein Tageswechsel registriert. Daten werden initialisiert.", ""},
        StartCase{"EndedDayWithoutTrustedAccumulatorsIsNotClosed", "16\n04.03.2024\n", "04.03.2024",
                  false, false, 0, false, false, false, "Kein Tageswechsel registriert.",
                  "Tageswechsel ohne laufenden Client"},
        StartCase{"StateOfTodayUnderAStaleSavedDayIsTodays", "0\n05.03.2024\n", "04.03.2024", false,
                  true, 0, true, true, true,
                  "AktuTag=04.03.2024 ist veraltet: die Zwischendaten gehören zum 05.03.2024.",
                  "Kein Tageswechsel|Tageswechsel ohne laufenden Client"},
        StartCase{"EmptySavedDayCountsAsAnotherDay", "0\n", "", false, false, 0, false, false,
                  false, "Kein Tageswechsel registriert.", ""},
        StartCase{"MissingSavedDayIsNotTakenForYesterday", "0\n", nullptr, false, false, 0, false,
                  false, false, "Kein Tageswechsel registriert.",
                  "Tageswechsel ohne laufenden Client"},
        StartCase{"ConfigurationBitIsNamed", "20\n", kToday, false, true, 20, false, false, true,
                  SAVE_ERROR "|" CONFIG_BLAMED "|TARVEDDE.COF wird neu erzeugt.", ""},
        StartCase{"LowerBitsOnlyWarn", "4\n", kToday, false, true, 4, true, false, true,
                  SAVE_ERROR "|Spiegelsummen-Offsets neu initialisiert.", CONFIG_BLAMED},
        StartCase{"ColdStartDoesNotBlameTheConfiguration", "20\n", kToday, true, true, 20, false,
                  false, false, SAVE_ERROR, CONFIG_BLAMED},
        StartCase{"FailedWholeSaveIsNotTrusted", "-1\n", kToday, false, false, -1, false, false,
                  false,
                  "Spiegelsummen-Offsets neu initialisiert.|Differenzdatei initialisiert.|"
                  "TARVEDDE.COF wird neu erzeugt.|TARVEDDE_NACHT.TVW wird neu erzeugt.",
                  "Zwischendaten"},
        StartCase{"UnreadableMarkerIsIgnored", "\x01garbage\n", kToday, false, false, 0, false,
                  false, false, "", ""}),
    [](const auto& c) { return std::string(c.param.name); });

#undef SAVE_ERROR
#undef CONFIG_BLAMED

// The request acts once: the next start restores the reset accumulators of the cold start.
TEST_F(StateStartTest, StaleLockFilesGoAndTheColdStartRequestActsOnce) {
    for (const char* name : {"$lock_SMP", "$lock_TVV", "$lock_TVI", "$lock_DAT"}) {
        Write(name, "");
    }
    ASSERT_TRUE(Ini().WriteBool("DDE", "Nullstart", true));
    Start();
    EXPECT_TRUE(Settings().nullStart);
    EXPECT_EQ(Stats(1).count, 0.0);
    const double resetMinimum = Stats(1).minimum;
    EXPECT_EQ(Counter(3).lastReading, 12.5);
    EXPECT_THAT(Read(kMainIniFile), HasSubstr("Nullstart=0\r\n"));
    for (const char* name : {"$lock_SMP", "$lock_TVV", "$lock_TVI", "$lock_DAT"}) {
        EXPECT_FALSE(Exists(name)) << name;
    }
    Restart();
    EXPECT_FALSE(Settings().nullStart);
    EXPECT_EQ(Stats(1).count, 0.0);
    EXPECT_EQ(Stats(1).minimum, resetMinimum);
    Main().FormClose();
}

TEST_F(StateStartTest, RestartMenuAsksAndLeavesTheColdStartToTheDayChange) {
    Start();
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(Main().MenuClick("Neustart1"));
    EXPECT_FALSE(Main().RestartAfterDayChange());
    EXPECT_EQ(IniValue(kMainIniFile, "DDE", "Nullstart"), "0");

    env_.person.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(Main().MenuClick("Neustart1"));
    EXPECT_TRUE(Main().RestartAfterDayChange());
    EXPECT_EQ(IniValue(kMainIniFile, "DDE", "Nullstart"), "0");  // written at the day change
    ASSERT_GE(Transcript().size(), 2U);
    EXPECT_THAT(Transcript()[Transcript().size() - 2],
                HasSubstr("Wirklich nach 00:00:00 beenden ?"));
    EXPECT_THAT(Transcript().back(), HasSubstr("DDE-WACHE.EXE muss gestartet sein !"));

    ASSERT_TRUE(Main().MenuClick("Neustart1"));
    EXPECT_FALSE(Main().RestartAfterDayChange());
    EXPECT_EQ(IniValue(kMainIniFile, "DDE", "Nullstart"), "0");
    Main().FormClose();
}

// The headless client's exit status hears of it.
TEST_F(StateStartTest, AFailedFinalSaveIsReported) {
    ASSERT_TRUE(Ini().WriteBool("DDE", "AutoStart", true));
    Start();
    Main().StopAcquisition();
    EXPECT_FALSE(Main().FinalSaveFailed());
    env_.files.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op != FileOp::Append && path.find("TARVEDDE.COF") != std::string::npos;
    });
    EXPECT_TRUE(Main().FormClose());
    EXPECT_TRUE(Main().FinalSaveFailed());
    EXPECT_THAT(Read("_DDE_OPC_LOGALL.TXT"), HasSubstr("Fehler beim Speichern von TARVEDDE.COF"));
}

// The marker's life is the scenario runner's kill and end.
TEST_F(ProgramStartTest, CaptionsNameTheSourceKindAndTheCloseKeepsTheStartInTheLog) {
    Start();
    const MainWindowModel& window = Window();
    EXPECT_EQ(window.lb_StartDir, "/plant/");
    EXPECT_EQ(window.caption, "Tarvewater Online DDE-Client - Version 7.26");
    EXPECT_EQ(window.btStartDDE, "DDE starten");
    EXPECT_EQ(window.btStoppen, "DDE stoppen");
    EXPECT_EQ(window.lbAus, "DDE nicht gestartet");
    EXPECT_FALSE(window.MenuEnabled("OPC1"));
    EXPECT_FALSE(window.MenuEnabled("AqasysAbrufen1"));
    ASSERT_FALSE(Main().StatisticsText().Paragraphs().empty());
    const RichParagraph& heading = Main().StatisticsText().Paragraphs().front();
    EXPECT_EQ(heading.text, "Neustart: Übersicht für Dienstag, 5. März 2024 (07:00)");
    EXPECT_TRUE(heading.attributes.bold);
    EXPECT_EQ(heading.attributes.alignment, TextAlignment::Center);
    Main().FormClose();
    EXPECT_THAT(Read("_TARVEDDE_LOG.TXT"), HasSubstr("Programmstart in /plant/"));
}

// A start that could not initialise its source read nothing of the day: the close must
// write nothing over it.
TEST_F(ProgramStartTest, ASourceThatCannotStartLeavesTheDaysFilesAlone) {
    WriteIni("[DDE]\nAutoStart=1\nProtoFontsize=14\nAktuTag=05.03.2024\n");
    Write("20240305.RTF", "{\\rtf1 bisher}");
    const std::string flags("\1\0\0\1", 4);
    ASSERT_TRUE(env_.files.WriteAll(env_.dir + "ddeLogKonfig.tvw", flags, false));
    env_.dde.FailInitialize(0x4002);
    Start();
    EXPECT_TRUE(Main().FormClose());
    EXPECT_EQ(Read("20240305.RTF"), "{\\rtf1 bisher}");
    EXPECT_EQ(IniValue(kMainIniFile, "DDE", "ProtoFontsize"), "14");
    EXPECT_EQ(env_.files.ReadAll(env_.dir + "ddeLogKonfig.tvw").value(), flags);
    EXPECT_THAT(Read("_DDE_OPC_LOGALL.TXT"), HasSubstr("Programmende ohne Speichern"));
}

// A negative item count is no items, also when the day's state files of a configuration
// with items are there: nothing of them is taken for damaged.
TEST_F(ProgramStartTest, ANegativeItemCountIsNoItems) {
    WriteIni("[DDE]\nItemcount=1\nAktuTag=05.03.2024\n[Items]\nItem1=Q\n");
    Start();
    Main().FormClose();
    ASSERT_EQ(Read("$clean"), "0\r\n05.03.2024\r\n");
    WriteIni("[DDE]\nItemcount=-5\nAktuTag=05.03.2024\n");
    Start();
    EXPECT_THAT(Transcript(), Contains("MESSAGE Keine Items definiert !"));
    EXPECT_THAT(LogAll(), Not(HasSubstr("Fehler beim Lesen")));
}

// The operator's record of a whole start, byte for byte.
TEST_F(ProgramStartTest, ThreeItemStartWritesTheGoldenLog) {
    ASSERT_TRUE(
        env_.files.WriteAll(env_.dir + kMainIniFile, ReadBinary(kData + kMainIniFile), false));
    env_.ServeConfiguredItems();
    Start();
    Advance(20000);
    const std::string actual = env_.files.ReadAll(env_.dir + kLogAllFile).value_or("");
    if (actual != ReadBinary(kData + kLogAllFile)) {
        std::ofstream(::testing::TempDir() + "start_three_items_LOGALL.TXT", std::ios::binary)
            << actual;
    }
    EXPECT_EQ(actual, ReadBinary(kData + kLogAllFile))
        << "actual log left in " << ::testing::TempDir();
}

}  // namespace
}  // namespace tarvedde::testing
