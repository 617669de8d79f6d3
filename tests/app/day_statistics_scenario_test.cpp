// Plants over midnight. One with a time frame item over 22:00: its day sums survive a
// kill, the day change reports the framed item's night apart from the ended day's
// statistics and both items start the new day from nothing. One with the extraneous-water
// calculation, restarted in the morning: the day protocol keeps what the first run wrote, the day
// change reports the share once and the operator's menus recompute it.
#include <gmock/gmock.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/scenario_runner.h"
#include "platform/text_encoding.h"
#include "tests/app/scenario_test_files.h"

namespace tarvedde {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kFrameIni[] =
    "[DDE]\r\nItemcount=2\r\nIntervall=10\r\nEinheit=0\r\nAutoStart=1\r\nAktuTag=05.03.2024\r\n"
    "[Items]\r\nItem1=Q\r\nItem2=P\r\n[Itemnames]\r\nItem1=Zulauf\r\nItem2=Druck\r\n"
    "[Zeitrahmen]\r\nItem1=1|06:00:00|22:00:00\r\n[Integral]\r\nItem2=1\r\n"
    "[Fremdwasser]\r\nZulaufMin_ls_index=1\r\nZulaufSumme_qbm_index=2\r\n";

TEST(DayStatisticsScenario, FrameSumsSurviveARestartAndTheDayChangeReportsAndResets) {
    testing::MemoryPlant plant(kFrameIni);
    auto runner = std::make_unique<ScenarioRunner>(plant.Options());
    // The protocol file refused up to 22:00:05: the next cycle saves the 22:00 block.
    plant.files.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op != FileOp::Read && path.find(".RTF") != std::string::npos;
    });
    testing::Steps(*runner,
                   "clock 2024-03-05 21:59:35\nstart\nset Q \"12,5\"\nset P \"4\"\n"
                   "advance 30s");
    plant.files.SetFailurePolicy(nullptr);
    testing::Steps(*runner, "advance 10s");
    const NightSumRecord night = runner->Engine()->Store().NightSums()[1];
    // 22:00 ended the day period, whose figures are kept as the day's; no night was set
    // aside before it.
    EXPECT_FALSE(night.NTadd);
    EXPECT_GT(night.htCount, 0.0);
    EXPECT_EQ(night.htSum, 12.5 * night.htCount);  // a start's first cycle has no value

    testing::Steps(*runner, "kill\nanswer no\nstart\nset Q \"12,5\"\nset P \"4\"\nadvance 15s");
    ASSERT_NE(runner->Engine(), nullptr);
    const NightSumRecord restored = runner->Engine()->Store().NightSums()[1];
    EXPECT_FALSE(restored.NTadd);
    EXPECT_EQ(restored.htSum, night.htSum);
    EXPECT_EQ(restored.htCount, night.htCount);
    const double countBefore = runner->Engine()->Processor().Values().statistics[2].count;

    testing::Steps(*runner, "advance 2h");  // 00:00:xx on the 6th
    const TarveddeMain& main = *runner->Engine();
    EXPECT_GT(countBefore, 0.0);
    for (int item : {1, 2}) {
        const ItemStatistics& day = main.Processor().Values().statistics[item];
        EXPECT_LT(day.count, 10.0) << "item " << item << " carried the ended day over";
        EXPECT_EQ(day.sum, (item == 1 ? 12.5 : 4.0) * day.count);
    }
    // The framed item reported at 22:00 and its night since then at the day change; the
    // ended day's statistics have only the other.
    const std::string protocol = plant.Bytes("20240305.RTF");
    const std::size_t day = protocol.find("Statistik f");
    ASSERT_NE(day, std::string::npos);
    // The 22:00 block, written to the window before the kill, was saved with its cycle.
    EXPECT_THAT(protocol.substr(0, day), HasSubstr("Zwischen-Statistik um 22:00:05 Uhr"));
    const std::vector<std::string> log = plant.Lines("_DDE_OPC_LOGALL.TXT");
    EXPECT_EQ(std::count_if(
                  log.begin(), log.end(),
                  [](const std::string& line) { return line.ends_with("Sie wird wiederholt."); }),
              1);
    EXPECT_THAT(protocol.substr(0, day), HasSubstr("Zwischen-Statistik um 00:00:00 Uhr"));
    EXPECT_THAT(protocol.substr(0, day), HasSubstr("Zulauf"));
    EXPECT_THAT(protocol.substr(day), HasSubstr("Druck"));
    EXPECT_THAT(protocol.substr(day), Not(HasSubstr("Zulauf")));
    EXPECT_THAT(runner->Engine()->Log().StatisticsSnapshot().Lines(), Contains(HasSubstr("Druck")));
    // A framed inflow has a period's figures, never the day's: no share from them.
    EXPECT_THAT(protocol, Not(HasSubstr("Fremdwasser")));
    EXPECT_EQ(plant.Bytes("Fremdwasser.txt"), "<missing>");
    EXPECT_THAT(log, Contains(HasSubstr(
                         "Fremdwasser: Item 1 hatte einen Zeitrahmen, kein Tageswert berechnet.")));
}

// Q_Nacht never reads below its limit of 50 l/s (a start's first cycle has no value);
// Q_Menge is a flow in m³/h whose integral is the day's volume.
constexpr char kWaterIni[] =
    "[DDE]\r\nItemcount=3\r\nIntervall=1\r\nEinheit=1\r\nAutoStart=1\r\nAktuTag=05.03.2024\r\n"
    "[Items]\r\nItem1=Q_Nacht\r\nItem2=Q_Menge\r\nItem3=T\r\n"
    "[Itemnames]\r\nItem1=Zulauf\r\nItem2=Zulaufmenge\r\nItem3=Temperatur\r\n"
    "[LoLimit]\r\nItem1=50\r\n[Integral]\r\nItem2=1\r\n[IntegralBezug]\r\nItem2=3600\r\n"
    "[Item_1]\r\nM15_berechnen=0\r\n"
    "[Fremdwasser]\r\nZulaufMin_ls_index=1\r\nZulaufSumme_qbm_index=2\r\n";

TEST(ExtraneousWaterScenario, DayChangeAndMenuComputeTheShareAndARestartKeepsTheProtocol) {
    testing::MemoryPlant plant(kWaterIni);
    {
        ScenarioRunner morning(plant.Options());
        testing::Steps(
            morning,
            "clock 2024-03-05 05:59:30\nstart\nset Q_Nacht \"62,5\"\nset Q_Menge \"1\"\n"
            "advance-to 2024-03-05 06:30:00\nset Q_Menge \"0\"\nadvance-to 2024-03-05 07:00:00");
        morning.Finish();
    }
    ScenarioRunner runner(plant.Options());
    // The morning's half hour (and half a minute) at 1 m³/h and 10 h at 1000 m³/h, and a night
    // minimum of 50 l/s: (50 - 3) x 8640 / 10000,6 = 40.606. The morning's program end computes no
    // share from its half day.
    testing::Steps(runner,
                   "clock 2024-03-05 07:05:00\nstart\nset Q_Nacht \"62,5\"\nset Q_Menge \"0\"\n"
                   "advance-to 2024-03-05 08:00:00\nset Q_Menge \"1000\"\n"
                   "advance-to 2024-03-05 18:00:00");
    // The operator's calculation offers the volume up to now, though the flow sent no
    // sample since 08:00 (its line is dated the day before, as each is).
    testing::Steps(runner, "answer yes\nanswer yes\nanswer yes\nmenu Fremdwasser1");
    EXPECT_EQ(plant.Text("Fremdwasser_Manuell.txt"),
              "04.03.2024 : Fremdwasser = 51,4 %, Min.Zulauf = 62,5 l/s, EW+Ind = 3,0 l/s, "
              "Gesamtzulauf = 10000,5 m³\r\n");
    testing::Steps(runner,
                   "set Q_Menge \"0\"\nset Q_Nacht \"50\"\n"
                   "advance 1h\nset Q_Nacht \"55\"\nadvance-to 2024-03-06 00:01:00");
    EXPECT_EQ(plant.Text("Fremdwasser.txt"),
              "05.03.2024 : Fremdwasser = 40,6 %, Min.Zulauf = 50,0 l/s, EW+Ind = 3,0 l/s, "
              "Gesamtzulauf = 10000,6 m³\r\n");
    std::vector<std::string> marks;  // the ended day's headings and extraneous-water lines
    for (const std::string& line : plant.Protocol("20240305.RTF")) {
        if (line.find("für") != std::string::npos || line.starts_with("Fremdwasser")) {
            marks.push_back(line);
        }
    }
    EXPECT_THAT(marks,
                ElementsAre("Neustart: Übersicht für Dienstag, 5. März 2024 (05:59)",
                            "Programmende: Zwischen-Statistik für Dienstag, 5. März 2024 (06:59)",
                            "Neustart: Übersicht für Dienstag, 5. März 2024 (07:05)",
                            "Statistik für Dienstag, 5. März 2024 (00:00)",
                            "Fremdwasser bei 3,00 l/s EW+Ind: 40,61 %"));

    testing::Steps(runner, "answer \"2.5\"\nmenu NachtzulaufEWIndeingeben1");
    EXPECT_THAT(plant.Text("TARVEDDE.INI"), HasSubstr("Zulauf_EwInd_ls=2.5\r\n"));
    // The operator lowers the minimum, keeps the estimate the calculation read back and
    // enters the volume: (47 - 2.5) x 8640 / 9000 = 42.72.
    testing::Steps(runner, "answer \"47\"\nanswer yes\nanswer \"9000\"\nmenu Fremdwasser1");
    EXPECT_THAT(plant.Lines("Fremdwasser_Manuell.txt"),
                Contains("05.03.2024 : Fremdwasser = 42,7 %, Min.Zulauf = 47,0 l/s, "
                         "EW+Ind = 2,5 l/s, Gesamtzulauf = 9000,0 m³"));
    EXPECT_EQ(runner.Engine()->Processor().Values().statistics[1].minimum, 47.0);

    // Minima just cleared: no minimum to offer, and accepted as offered, no share (the line
    // keeps the last one's, as the calculation always writes one).
    testing::Steps(runner,
                   "answer yes\nmenu MinimaMaxima1\n"
                   "answer yes\nanswer yes\nanswer yes\nmenu Fremdwasser1");
    EXPECT_THAT(plant.Lines("Fremdwasser_Manuell.txt").back(),
                HasSubstr("Fremdwasser = 42,7 %, Min.Zulauf = -1,0 l/s"));
    EXPECT_GT(runner.Engine()->Processor().Values().statistics[1].minimum, 999999.0);
}

// A flow of 1 l/s whose samples stop at 22:00 (a DDE server sends only changes), read
// every 59 minutes: the ended day's volume ends at its end, not at the day change's cycle.
// With the postponed day change that end is CustomTime.
constexpr char kLongCycleIni[] =
    "[DDE]\r\nItemcount=1\r\nIntervall=59\r\nEinheit=1\r\nAutoStart=1\r\n"
    "AktuTag=05.03.2024\r\nCustomIni=1\r\nCustomTime=06:00:00\r\n"
    "[Items]\r\nItem1=Q\r\n[Itemnames]\r\nItem1=Zulauf\r\n[Integral]\r\nItem1=1\r\n";

// The first words of the protocol's lines that contain `part`, in order.
std::vector<std::string> ProtocolLines(const testing::MemoryPlant& plant, const std::string& name,
                                       const std::string& part) {
    std::vector<std::string> lines;
    for (const std::string& line : plant.Protocol(name)) {
        if (line.find(part) != std::string::npos) {
            lines.push_back(line.substr(0, line.find(' ')));
        }
    }
    return lines;
}

// The long-cycle plant with `from` in its INI replaced by `to`.
std::string LongCycleIni(const std::string& from = "", const std::string& to = "") {
    std::string ini = kLongCycleIni;
    return from.empty() ? ini : ini.replace(ini.find(from), from.size(), to);
}

// A program life on the plant; `close` ends it as the operator does, else it just stops.
void RunLife(testing::MemoryPlant& plant, const std::string& script, bool close = false) {
    ScenarioRunner runner(plant.Options());
    testing::Steps(runner, script);
    if (close) {
        runner.Finish();
    }
}

TEST(DayStatisticsScenario, TheEndedDaysFlowEndsAtItsEnd) {
    testing::MemoryPlant plant(kLongCycleIni);
    RunLife(plant, "clock 2024-03-05 22:00:00\nstart\nset Q \"1\"\nadvance-to 2024-03-06 07:00:00");
    EXPECT_THAT(ProtocolLines(plant, "20240305.RTF", "Tagesmenge"),
                ElementsAre("Tagesmenge=28800,00"));

    // A server down from Friday 22:00 to Monday 03:00 (15-min cycle): Friday ends at
    // Saturday 06:00, Monday begins at Monday 06:00, and the days between have no record.
    testing::MemoryPlant weekend(LongCycleIni("Intervall=59", "Intervall=15"));
    RunLife(weekend,
            "clock 2024-03-08 20:00:00\nstart\nset Q \"1\"\nadvance-to 2024-03-08 22:00:00\n"
            "server down\nadvance-to 2024-03-11 03:00:00\nserver up\nset Q \"1\"\n"
            "advance-to 2024-03-12 07:00:00");
    EXPECT_THAT(ProtocolLines(weekend, "20240308.RTF", "Tagesmenge"),
                ElementsAre("Tagesmenge=36000,00"));
    EXPECT_THAT(ProtocolLines(weekend, "20240311.RTF", "Tagesmenge"),
                ElementsAre("Tagesmenge=86400,00"));

    // Closed at 00:02:38 (after the stop countdown), before the new day's first cycle:
    // nothing gained since midnight is lost; the ended day keeps it (600 + 158 l), as the
    // restart's day change finds it saved.
    testing::MemoryPlant closed(
        LongCycleIni("Intervall=59\r\nEinheit=1\r\nAutoStart=1\r\nAktuTag=05.03.2024\r\n"
                     "CustomIni=1\r\nCustomTime=06:00:00\r\n",
                     "Intervall=15\r\nEinheit=1\r\nAutoStart=1\r\nAktuTag=05.03.2024\r\n"));
    RunLife(closed,
            "clock 2024-03-05 23:50:00\nstart\nset Q \"1\"\nadvance 5m\nset Q \"1,0\"\n"
            "advance-to 2024-03-06 00:02:00\nset Q \"1\"\nadvance 30s",
            true);
    RunLife(closed, "clock 2024-03-06 00:03:00\nstart\nset Q \"1\"\nadvance 1m");
    EXPECT_THAT(ProtocolLines(closed, "20240305.RTF", "Tagesmenge"),
                ElementsAre("Tagesmenge=758,00", "Tagesmenge=758,00"));  // program end, day

    // Closed while the server is away since 20:31: the end's statistics count the flow up to
    // the close, as a reconnect would, and the restart goes on from there; closed the next
    // morning, up to the day's end at 06:00, which the restart's day change closes, also
    // after a stop.
    const auto closedWhileHeld = [](const char* hold, const std::string& closeAt,
                                    const std::string& nextLife) {
        testing::MemoryPlant away(LongCycleIni("Intervall=59", "Intervall=15"));
        RunLife(away,
                "clock 2024-03-05 20:00:00\nstart\nset Q \"1\"\nadvance 31m\n" + std::string(hold) +
                    "\nadvance-to " + closeAt,
                true);
        RunLife(away, nextLife);
        return ProtocolLines(away, "20240305.RTF", "Tagesmenge");
    };
    const std::string nextMorning = "clock 2024-03-06 08:05:00\nstart\nset Q \"1\"\nadvance 30m";
    EXPECT_THAT(closedWhileHeld("server down", "2024-03-05 22:00:00",
                                "clock 2024-03-05 23:00:00\nstart\nset Q "
                                "\"1\"\nadvance-to 2024-03-06 07:00:00"),
                ElementsAre("Tagesmenge=7208,00", "Tagesmenge=32408,00"));  // with the countdown
    for (const char* hold : {"server down", "answer no\nclick btStoppen"}) {
        EXPECT_THAT(closedWhileHeld(hold, "2024-03-06 08:00:00", nextMorning),
                    ElementsAre("Tagesmenge=36000,00", "Tagesmenge=36000,00"))
            << hold;
    }
    // Summer time begins in the night after the stop: the day still ends at its midnight,
    // or with the day change at 06:00 after 9 hours, not 10.
    for (const auto& [customIni, volume] :
         {std::pair{"CustomIni=0", "14400,00"}, std::pair{"CustomIni=1", "32400,00"}}) {
        testing::MemoryPlant spring(LongCycleIni("CustomIni=1", customIni));
        RunLife(spring,
                "timezone Europe/Berlin\nclock 2024-03-30 20:00:00\nstart\nset Q \"1\"\n"
                "advance-to 2024-03-30 23:55:00\nanswer no\nclick btStoppen\n"
                "advance-to 2024-03-31 08:00:00",
                true);
        RunLife(spring,
                "timezone Europe/Berlin\nclock 2024-03-31 08:05:00\nstart\nset Q "
                "\"1\"\nadvance 30m");
        EXPECT_THAT(
            ProtocolLines(spring, "20240330.RTF", "Tagesmenge"),
            ElementsAre(std::string("Tagesmenge=") + volume, std::string("Tagesmenge=") + volume))
            << customIni;
    }
}

// A constant 12,5 l/s from 20:00 (a DDE server sends it once), read every minute, killed at
// 23:00 and started again at once: the state saved by the last cycle holds the volume up to
// that cycle, for the flow and for its mirrors (the second marked as an integral too), and
// the day's volume loses at most a cycle.
TEST(DayStatisticsScenario, AKillLosesAtMostACycleOfAConstantFlow) {
    testing::MemoryPlant plant(
        "[DDE]\r\nItemcount=3\r\nIntervall=1\r\nEinheit=1\r\nAutoStart=1\r\n"
        "AktuTag=05.03.2024\r\n[Items]\r\nItem1=Q\r\nItem2=Q2\r\nItem3=Q3\r\n[Itemnames]\r\n"
        "Item1=Zulauf\r\nItem2=Kopie\r\nItem3=Kopie2\r\n[Integral]\r\nItem1=1\r\nItem3=1\r\n"
        "[Spiegelung]\r\nItem2=1|1\r\nItem3=1|1\r\n");
    constexpr double kCycleVolume = 12.5 * 60.0;
    ScenarioRunner runner(plant.Options());
    testing::Steps(runner,
                   "clock 2024-03-05 20:00:00\nstart\nset Q \"12,5\"\n"
                   "advance-to 2024-03-05 23:00:00\nkill");
    const auto saved = testing::SavedDayFigures(plant.Bytes("TARVEDDE.COF"));
    ASSERT_EQ(saved.size(), 3u);
    for (std::size_t item = 0; item < saved.size(); ++item) {
        EXPECT_GE(saved[item].at(1), 12.5 * 3 * 3600 - kCycleVolume) << "item " << item + 1;
        EXPECT_LE(saved[item].at(1), 12.5 * 3 * 3600) << "item " << item + 1;
    }
    testing::Steps(runner, "answer no\nstart\nadvance-to 2024-03-06 00:01:00");
    const std::vector<std::string> day = ProtocolLines(plant, "20240305.RTF", "Tagesmenge");
    ASSERT_EQ(day.size(), 1u);
    std::string text = day[0].substr(day[0].find('=') + 1);
    text[text.find(',')] = '.';
    const double volume = std::stod(text);
    EXPECT_GE(volume, 12.5 * 4 * 3600 - kCycleVolume);
    EXPECT_LE(volume, 12.5 * 4 * 3600);
}

// Taken back to the pending day while the postponed day change was pending, the day was
// never closed: its statistics are left to that day's own end, not printed at once under
// another day, and its protocol, which the window still holds, is not loaded a second time.
TEST(DayStatisticsScenario, AClockTakenBackWhileTheDayChangeIsPendingKeepsOneProtocol) {
    testing::MemoryPlant plant(
        LongCycleIni("Intervall=59\r\nEinheit=1", "Intervall=10\r\nEinheit=0"));
    RunLife(plant, "clock 2024-03-05 20:00:00\nstart\nset Q \"12,5\"\nadvance 1m", true);
    ScenarioRunner runner(plant.Options());
    testing::Steps(runner,
                   "clock 2024-03-05 20:05:00\nstart\nset Q \"12,5\"\n"
                   "advance-to 2024-03-06 00:01:00\nclock-step -3h\nadvance 1m");
    EXPECT_THAT(plant.Text("TARVEDDE.INI"), HasSubstr("CustomNewDay=0\r\n"));
    EXPECT_THAT(plant.Text("_DDE_OPC_LOGALL.TXT"), Not(HasSubstr("verspätetem")));
    testing::Steps(runner, "advance-to 2024-03-06 06:01:00");
    runner.Finish();
    EXPECT_THAT(ProtocolLines(plant, "20240305.RTF", "(20:00)"), ElementsAre("Neustart:"));
}

// A clock set a day ahead at 10:30 and corrected half an hour later: the false day change
// closes the morning with the time that really passed, and the day's real end closes the
// rest; the wall clock's skipped hours count nowhere, also when the flow changes after.
TEST(DayStatisticsScenario, AClockSetADayAheadAndBackAddsNoHours) {
    testing::MemoryPlant plant(LongCycleIni(
        "Intervall=59\r\nEinheit=1\r\nAutoStart=1\r\nAktuTag=05.03.2024\r\nCustomIni=1",
        "Intervall=10\r\nEinheit=0\r\nAutoStart=1\r\nAktuTag=05.03.2024\r\nCustomIni=0"));
    RunLife(plant,
            "clock 2024-03-05 10:00:00\nstart\nset Q \"1\"\nadvance-to 2024-03-05 10:30:00\n"
            "clock-step 1d\nadvance 31m\nclock-step -1d\nadvance-to 2024-03-05 12:00:00\n"
            "set Q \"2\"\nadvance-to 2024-03-06 00:05:00");
    EXPECT_THAT(ProtocolLines(plant, "20240305.RTF", "Tagesmenge"),
                ElementsAre("Tagesmenge=1810,00", "Tagesmenge=91790,00"));  // 2 h at 1, 12 h at 2
}

// A start on an emptied INI acquires nothing and leaves the day alone: the start after the
// INI is mended goes on with the morning's figures, in the same day file.
TEST(DayStatisticsScenario, AStartOnAnEmptiedIniLeavesTheDayAlone) {
    testing::MemoryPlant plant(LongCycleIni(
        "Intervall=59\r\nEinheit=1\r\nAutoStart=1\r\nAktuTag=05.03.2024\r\nCustomIni=1",
        "Intervall=10\r\nEinheit=0\r\nAutoStart=1\r\nAktuTag=05.03.2024\r\nCustomIni=0"));
    RunLife(plant, "clock 2024-03-05 10:00:00\nstart\nset Q \"1\"\nadvance 2h", true);
    const std::string ini = plant.Bytes("TARVEDDE.INI");
    const std::string header = plant.Bytes("20240305.AQH");
    plant.Write("TARVEDDE.INI", "");
    RunLife(plant,
            "clock 2024-03-05 12:05:00\nstart\nadvance 1m\nform TFo_Einstell1 show\n"
            "form TFo_Einstell1 set spItems \"1\"\nform TFo_Einstell1 call btSpeichernClick",
            true);
    EXPECT_EQ(plant.Bytes("20240305.AQH"), header);  // the settings saved to mend it
    plant.Write("TARVEDDE.INI", ini);
    RunLife(plant, "clock 2024-03-05 12:10:00\nstart\nset Q \"1\"\nadvance-to 2024-03-06 00:00:05");
    EXPECT_THAT(ProtocolLines(plant, "20240305.RTF", "Tagesmenge"),
                ElementsAre("Tagesmenge=7208,00", "Tagesmenge=49808,00"));  // closed, day
    EXPECT_FALSE(plant.files.Exists("/plant/20240305_1.DAT"));
}

// Items changed while the client was down over midnight: the ended day's state is another
// configuration's, so no day of zeros closes it; its files stay as they were, and the
// new day starts afresh. The same with the postponed day change pending at the kill, for
// a start on that date (its files go on in a new version) or the next.
TEST(DayStatisticsScenario, ItemsChangedOverMidnightLeaveTheEndedDayAsItWas) {
    testing::MemoryPlant plant(LongCycleIni("CustomIni=1", "CustomIni=0"));
    RunLife(plant, "clock 2024-03-05 20:00:00\nstart\nset Q \"1\"\nadvance-to 2024-03-05 23:00:00");
    const std::string dayRows = plant.Bytes("20240305.DAT");
    const auto changeItems = [](testing::MemoryPlant& changed) {
        std::string ini = changed.Text("TARVEDDE.INI");
        ini.replace(ini.find("Item1=Q\r\n"), 9, "Item1=Q2\r\n");
        changed.Write("TARVEDDE.INI", ini);
    };
    changeItems(plant);
    RunLife(plant, "clock 2024-03-06 08:00:00\nstart\nset Q2 \"1\"\nadvance 2h");
    EXPECT_THAT(ProtocolLines(plant, "20240305.RTF", "Tagesmenge"), ElementsAre());
    EXPECT_EQ(plant.Bytes("20240305.DAT"), dayRows);
    EXPECT_FALSE(plant.files.Exists("/plant/20240305_1.DAT"));
    EXPECT_THAT(plant.Text("TARVEDDE.INI"), HasSubstr("AktuTag=06.03.2024"));

    for (const char* restart : {"2024-03-06 07:00:00", "2024-03-07 01:00:00"}) {
        testing::MemoryPlant pending(kLongCycleIni);
        RunLife(pending,
                "clock 2024-03-05 20:00:00\nstart\nset Q \"1\"\nadvance-to 2024-03-06 03:00:00");
        changeItems(pending);
        RunLife(pending, std::string("clock ") + restart + "\nstart\nset Q2 \"1\"\nadvance 6h");
        EXPECT_THAT(ProtocolLines(pending, "20240305.RTF", "Tagesmenge"), ElementsAre()) << restart;
        EXPECT_THAT(ProtocolLines(pending, "20240306.RTF", "Tagesmenge"), ElementsAre()) << restart;
        EXPECT_THAT(pending.Text("TARVEDDE.INI"), HasSubstr("CustomNewDay=0")) << restart;
    }
}

// A backup of the program directory put back two days later: its state is of a day a
// client has closed since; the start does not close it again, also when the backup was
// taken while the postponed day change was pending.
TEST(DayStatisticsScenario, ABackupPutBackDoesNotCloseItsDayAgain) {
    // The ended day: 20:00 to the backup, then the start's hours up to 06:00.
    for (const auto& [backupAt, volume] : {std::pair{"2024-03-04 22:00:00", "17820,00"},
                                           std::pair{"2024-03-05 03:00:00", "35520,00"}}) {
        testing::MemoryPlant plant(kLongCycleIni);
        RunLife(plant, std::string("clock 2024-03-04 20:00:00\nstart\nset Q \"1\"\nadvance-to ") +
                           backupAt);
        const char* const saved[] = {"TARVEDDE.INI",       "$clean",      "TARVEDDE.COF",
                                     "TARVEDDE_NACHT.TVW", "DIFFBUF.TVW", "SPIEGELDATEN.TVW"};
        std::vector<std::string> backup;
        for (const char* name : saved) {
            backup.push_back(plant.Bytes(name));
        }
        RunLife(plant,
                "clock 2024-03-05 03:01:00\nstart\nset Q \"1\"\n"
                "advance-to 2024-03-07 09:00:00");
        for (std::size_t k = 0; k < backup.size(); ++k) {
            plant.Write(saved[k], backup[k]);
        }
        RunLife(plant, "clock 2024-03-07 09:30:00\nstart\nset Q \"1\"\nadvance 1h");
        EXPECT_THAT(ProtocolLines(plant, "20240304.RTF", "Tagesmenge"),
                    ElementsAre(std::string("Tagesmenge=") + volume))
            << backupAt;
        EXPECT_EQ(ProtocolLines(plant, "20240306.RTF", "Tagesmenge").size(), 1u) << backupAt;
    }
}

// An INI the disk refuses keeps AktuTag at the first day: the state saved on a later day is
// still that day's, closed by the next start's first cycle.
TEST(DayStatisticsScenario, AReadOnlyIniLosesNoDay) {
    testing::MemoryPlant plant(LongCycleIni(
        "Intervall=59\r\nEinheit=1\r\nAutoStart=1\r\nAktuTag=05.03.2024\r\nCustomIni=1",
        "Intervall=10\r\nEinheit=0\r\nAutoStart=1\r\nAktuTag=05.03.2024\r\nCustomIni=0"));
    RunLife(plant, "clock 2024-03-05 10:00:00\nstart\nset Q \"1\"\nadvance 2h", true);
    plant.files.SetFailurePolicy([](FileOp op, const std::string& path) {
        return (op == FileOp::Write || op == FileOp::Rename) &&
               path.find("TARVEDDE.INI") != std::string::npos;
    });
    RunLife(plant, "clock 2024-03-06 10:00:00\nstart\nset Q \"1\"\nadvance 13h", true);
    RunLife(plant, "clock 2024-03-07 08:00:00\nstart\nset Q \"1\"\nadvance 1h", true);
    EXPECT_THAT(ProtocolLines(plant, "20240306.RTF", "Tagesmenge"),
                ElementsAre("Tagesmenge=46808,00", "Tagesmenge=46808,00"));  // closed, day
}

// A framed flow's and pump's total counters grow through the day: each frame time's block
// counts what the day set aside before its period, as the day change adds it to the reading.
TEST(DayStatisticsScenario, AFramedTotalCounterGrowsThroughTheDay) {
    testing::MemoryPlant plant(
        "[DDE]\r\nItemcount=2\r\nIntervall=10\r\nEinheit=0\r\nAutoStart=1\r\n"
        "AktuTag=05.03.2024\r\n[Items]\r\nItem1=Q\r\nItem2=P\r\n[Itemnames]\r\n"
        "Item1=Zulauf\r\nItem2=Pumpe\r\n[Integral]\r\nItem1=1\r\n[IntegralBezug]\r\n"
        "Item1=1000\r\n[Grafiktyp]\r\nItem2=2\r\n[Zeitrahmen]\r\n"
        "Item1=1|06:00:00|22:00:00\r\nItem2=1|06:00:00|22:00:00\r\n");
    plant.Write("TARVEDDE_VAR.INI",
                Utf8ToCp1252("[Item_1]\r\nZählerstand=1000\r\nFortlaufend_summieren=1\r\n"
                             "[Item_2]\r\nZählerstand=1000\r\nFortlaufend_summieren=1\r\n"));
    RunLife(plant,
            "clock 2024-03-05 00:00:00\nstart\nset Q \"100\"\nset P \"1\"\n"
            "advance-to 2024-03-06 00:00:05");
    const std::string label = "Gesamtzählerstand : ";
    std::vector<std::string> totals;
    for (const std::string& line : plant.Protocol("20240305.RTF")) {
        if (const std::size_t at = line.find(label); at != std::string::npos) {
            totals.push_back(line.substr(at + label.size(), 7));
        }
    }
    // 06:00, 22:00, 24:00 for each, in hours for the pump
    EXPECT_THAT(totals,
                ElementsAre("3160,00", "1006,00", "8920,00", "1022,00", "9640,00", "1024,00"));
    EXPECT_THAT(plant.Text("TARVEDDE_VAR.INI"), HasSubstr("Zählerstand=1023,997"));
}

// No cycle falls between CustomTime (23:55) and midnight: each day's statistics come with
// the first cycle after it, and each date gets its own files.
TEST(DayStatisticsScenario, APostponedDayChangeWithoutACycleBeforeMidnightStillEndsEachDay) {
    std::string ini = LongCycleIni("Intervall=59", "Intervall=10");
    ini.replace(ini.find("06:00:00"), 8, "23:55:00");
    testing::MemoryPlant plant(ini);
    RunLife(plant, "clock 2024-03-05 22:00:30\nstart\nset Q \"1\"\nadvance-to 2024-03-08 00:30:00");
    for (const char* day : {"05", "06"}) {
        EXPECT_THAT(
            ProtocolLines(plant, std::string("202403") + day + ".RTF", "Tagesmenge"),
            ElementsAre(day == std::string("05") ? "Tagesmenge=93270,00" : "Tagesmenge=86400,00"))
            << day;
    }
    for (const char* day : {"06", "07", "08"}) {
        EXPECT_NE(plant.Bytes(std::string("202403") + day + ".DAT"), "<missing>") << day;
    }
    EXPECT_THAT(plant.Text("TARVEDDE.INI"), HasSubstr("CustomNewDay=1\r\n"));
}

// While the day change is pending the statistics window is the ended day's: killed then,
// the restart goes on with that day's protocol, and the periods its statistics close are
// filed under its month.
TEST(DayStatisticsScenario, APendingDaysProtocolAndLoadCurveStayTheEndedDays) {
    testing::MemoryPlant plant(
        "[DDE]\r\nItemcount=2\r\nIntervall=10\r\nEinheit=0\r\nAutoStart=1\r\n"
        "AktuTag=31.03.2024\r\nCustomIni=1\r\nCustomTime=06:00:00\r\n[Items]\r\nItem1=Q\r\n"
        "Item2=Q_h\r\n[Itemnames]\r\nItem1=Zulauf\r\nItem2=Stunde\r\n[Integral]\r\nItem1=1\r\n"
        "[Spiegelung]\r\nItem2=1|1\r\n[Zeitrahmen]\r\nItem2=1|00:00:00|23:59:00\r\n"
        "[Ganglinie]\r\nItem2=1\r\n");
    plant.Write("TT_Q_h_Stunde.tvw", "03:00:00\r\n23:00:00\r\n");
    RunLife(plant,
            "clock 2024-03-31 22:00:00\nstart\nset Q \"100\"\nset Q_h \"1\"\n"
            "advance-to 2024-04-01 04:00:05");
    RunLife(plant,
            "clock 2024-04-01 04:00:30\nstart\nset Q \"100\"\nset Q_h \"1\"\n"
            "advance-to 2024-04-01 06:01:00");
    const std::vector<std::string> protocol = plant.Protocol("20240331.RTF");
    EXPECT_THAT(protocol, Contains(HasSubstr("23:00")));
    EXPECT_THAT(protocol, Contains(HasSubstr("03:00")));
    EXPECT_THAT(protocol, Contains(HasSubstr("Statistik für Sonntag, 31. März")));
    EXPECT_EQ(testing::CrLfLines(plant.Text("Ganglinie_Stunde_202403.txt")).size(), 3u + 3u);
    EXPECT_EQ(plant.Bytes("Ganglinie_Stunde_202404.txt"), "<missing>");
}

// A flow read every minute and its mirror with the table 01:00, 02:00 and a load curve.
constexpr char kHourTableIni[] =
    "[DDE]\r\nItemcount=2\r\nIntervall=60\r\nEinheit=0\r\nAutoStart=1\r\n"
    "AktuTag=05.03.2024\r\n[Items]\r\nItem1=Q\r\nItem2=Q_h\r\n[Itemnames]\r\n"
    "Item1=Zulauf\r\nItem2=Stunde\r\n[Spiegelung]\r\nItem2=1|1\r\n"
    "[Zeitrahmen]\r\nItem2=1|00:00:00|23:59:00\r\n[Ganglinie]\r\nItem2=1\r\n";

std::vector<std::string> LoadCurveRows(const testing::MemoryPlant& plant) {
    std::vector<std::string> lines = testing::CrLfLines(plant.Text("Ganglinie_Stunde_202403.txt"));
    lines.erase(lines.begin(), lines.begin() + std::min<std::ptrdiff_t>(3, std::ssize(lines)));
    return lines;
}

// A table period in which the source sent no number has no mean: the line of the load
// curve does not repeat the period before's.
TEST(DayStatisticsScenario, ATablePeriodWithoutValuesHasNoMean) {
    testing::MemoryPlant plant(kHourTableIni);
    plant.Write("TT_Q_h_Stunde.tvw", "01:00:00\r\n02:00:00\r\n");
    RunLife(plant,
            "clock 2024-03-05 00:00:30\nstart\nset Q \"100\"\nadvance-to 2024-03-05 00:50:10\n"
            "set Q \"---\"\nadvance-to 2024-03-05 02:10:00");
    const std::vector<std::string> rows = LoadCurveRows(plant);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(rows[0].ends_with("\t100,000")) << rows[0];
    EXPECT_TRUE(rows[1].ends_with("\t0,000")) << rows[1];
}

// The day change reports the period up to midnight: the table's 00:00:00 is that report,
// not another of the seconds up to the new day's first cycle.
TEST(DayStatisticsScenario, AMidnightTableTimeReportsOnce) {
    testing::MemoryPlant plant(kHourTableIni);
    plant.Write("TT_Q_h_Stunde.tvw", "00:00:00\r\n01:00:00\r\n");
    RunLife(plant,
            "clock 2024-03-05 23:30:30\nstart\nset Q \"100\"\nadvance-to 2024-03-06 01:10:00");
    const std::vector<std::string> rows = LoadCurveRows(plant);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_TRUE(rows.end()[-2].starts_with("2024.03.06\t00:00:00\t")) << rows.end()[-2];
    EXPECT_TRUE(rows.back().starts_with("2024.03.06\t01:00:30\t6100,000")) << rows.back();
}

// A table time passed while the program was down (killed at 00:50, started at 01:10) is
// reported by the restart's first cycle, as one passed while acquisition stood: the 02:00
// line holds only its own period. A cold start has no period to report.
TEST(DayStatisticsScenario, ATableTimePassedWhileTheProgramWasDownIsReportedAtTheRestart) {
    for (const bool cold : {false, true}) {
        testing::MemoryPlant plant(kHourTableIni);
        plant.Write("TT_Q_h_Stunde.tvw", "01:00:00\r\n02:00:00\r\n");
        RunLife(plant,
                "clock 2024-03-05 00:00:30\nstart\nset Q \"100\"\nadvance-to 2024-03-05 00:50:10");
        if (cold) {
            std::string ini = plant.Text("TARVEDDE.INI");
            ini.replace(ini.find("Nullstart=0"), 11, "Nullstart=1");
            plant.Write("TARVEDDE.INI", ini);
        }
        RunLife(plant,
                "clock 2024-03-05 01:10:00\nstart\nset Q \"100\"\nadvance-to 2024-03-05 02:10:00");
        const std::vector<std::string> rows = LoadCurveRows(plant);
        ASSERT_EQ(rows.size(), cold ? 1u : 2u);
        if (!cold) {
            EXPECT_TRUE(rows[0].starts_with("2024.03.05\t01:10:00\t4900,000")) << rows[0];
        }
        EXPECT_TRUE(rows.back().starts_with("2024.03.05\t02:00:00\t")) << rows.back();
    }
}

}  // namespace
}  // namespace tarvedde
