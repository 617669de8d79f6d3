// A whole plant day at 60-s cycles, from a start the evening before to the first cycle
// of the next day, with one item of every kind: the day's protocol (.RTF), the day
// change's snapshot ($$log_), the load-curve file and the total counter hold exactly the
// figures worked out by hand below, and another program (unrtf) reads the same protocol.
//
// The start at 23:57:30 puts the cycles at hh:mm:30; every value arrives 15 s before a
// cycle. The day change at 00:00:30 on the 5th restarts every item, so the 5th is 1440
// cycles, 00:00:30 to 23:59:30, each with the values set at the minute's :15.
#include <gmock/gmock.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/scenario_runner.h"
#include "platform/rtf_text.h"
#include "platform/text_encoding.h"
#include "tests/app/scenario_test_files.h"

namespace tarvedde {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr char kProtocolIni[] =
    "[DDE]\nItemcount=8\nIntervall=60\nEinheit=0\nAutoStart=1\n[Formate]\nPR=12\nNK=3\n"
    "[Items]\nItem1=T\nItem2=Q\nItem3=Z\nItem4=P\nItem5=M\nItem6=Q_h\nItem7=D\nItem8=T_m\n"
    "[Itemnames]\nItem1=Temperatur\nItem2=Zulauf\nItem3=Strom\nItem4=Gebläse\nItem5=Pumpe\n"
    "Item6=Zulauf Stunde\nItem7=Druck\nItem8=Temperatur Spiegel\n"
    "[Einheiten]\nItem1=°C\nItem2=l/s\nItem3=kWh\nItem6=m³/h\nItem7=bar\nItem8=°C\n"
    "[Integral]\nItem2=1\nItem5=1\n[IntegralBezug]\nItem2=1000\nItem5=3600\n"
    "[SummenEinheiten]\nItem2=m³\nItem3=kWh\nItem5=h\nItem6=m³\n"
    "[Grafiktyp]\nItem4=2\nItem5=2\n[Differenz]\nItem3=1\n"
    "[Umrechnung]\nItem6=1|Zulauf|m³/h|3,6|1|0\n[Spiegelung]\nItem6=1|2\nItem8=1|1\n"
    "[Zeitrahmen]\nItem6=1|00:00:00|23:59:00\nItem7=1|06:00:00|22:00:00\n[Ganglinie]\nItem6=1\n"
    // Fifteen-minute extremes would change the blocks' lines; they are not the subject.
    "[Item_1]\nM15_berechnen=0\n[Item_2]\nM15_berechnen=0\n[Item_3]\nM15_berechnen=0\n"
    "[Item_7]\nM15_berechnen=0\n[Item_8]\nM15_berechnen=0\n";

// Every minute at :15 from 23:58:15 on the 4th to 00:00:15 on the 6th: the flow (100 l/s)
// and the meter, which stands at 1000 kWh and then gains 5 kWh a minute from 23:59:15 on,
// so the 4th's last cycle counts 5 kWh. At
// 06:00:15 the blower stops and the pump starts, at 12:00:15 the temperature and the
// pressure rise, at 18:00:15 the pump stops.
std::string DayScript() {
    std::string script =
        "clock 2024-03-04 23:57:30\nstart\nset T \"12,5\"\nset D \"4\"\nset P \"1\"\n"
        "set M \"0\"\nset Q \"100\"\nset Z \"1000\"\nadvance-to 2024-03-04 23:58:15\n";
    for (int minute = -2; minute <= 24 * 60; ++minute) {
        const int meter = 1000 + 5 * std::max(0, minute + 2);
        script += "set Q \"100\"\nset Z \"" + std::to_string(meter) + "\"\n";
        if (minute == 6 * 60) {
            script += "set P \"0\"\nset M \"1\"\n";
        } else if (minute == 12 * 60) {
            script += "set T \"14,5\"\nset D \"6\"\n";
        } else if (minute == 18 * 60) {
            script += "set M \"0\"\n";
        }
        script += "advance 1m\n";
    }
    return script;
}

std::string Measured(const std::string& count, const std::string& mean, const std::string& min,
                     const std::string& max, const std::string& unit) {
    return count + " Meßwerte :    Mittel=" + mean + "   Min.=" + min + "   Max.=" + max + " [" +
           unit + "]";
}

// The 5th's protocol. Blocks show 2 decimals, the time table's lines NK=3.
// - Druck (frame 06:00-22:00) reports at 06:00:30 the 360 cycles 00:00:30..05:59:30 at 4
//   bar, and at 22:00:30 the 960 cycles from 06:00:30: 360 at 4, 600 at 6, mean 5,25.
// - Zulauf Stunde mirrors the flow as 100 x 3,6 = 360 m³/h and reports at its table's
//   times with the cycle's own value: 481 cycles up to 08:00:30, then 240 each. Its sum is
//   the flow's integral up to the report: 6 m³ a minute (100 l/s x 60 s), from midnight
//   to 08:00:30 (480,5 minutes), 240 minutes to each later time.
// - The day change reports both framed items' periods left open at midnight: Zulauf
//   Stunde's 479 cycles and 479,5 minutes since 16:00:30, so its four sums make the flow's
//   day volume;
//   Druck's night, 360 cycles at 4 bar set aside at 06:00:30 and back at 22:00:30, and
//   120 at 6 since; its statistics leave them out. The 4th's two and a half minutes up
//   to midnight leave the load curve's first line.
// - Zulauf's day volume: 100 l/s from midnight to midnight = 8640 m³; the 30 s up to each
//   day change's cycle belong to the new day.
// - Strom: 1440 differences of 5 kWh; the total counter has the 4th's 5 kWh and gains the
//   day only after the block. Gebläse runs 360 cycles of 1/60 h, Pumpe 06:00:15 to 18:00:15.
// - Temperatur and its mirror: 720 cycles at 12,5 and 720 at 14,5.
const std::vector<std::string> kProtocol = {
    "Tageswechsel: Übersicht für Dienstag, 5. März 2024 (00:00)",
    "*** Zwischen-Statistik um 06:00:30 Uhr ***",
    "Druck",
    Measured("360", "4,00", "4,00", "4,00", "bar"),
    "* Zwischen-Statistik um 08:00:30 Uhr *",
    "Zulauf Stunde",
    Measured("481", "360,000", "360,000", "360,000", "m³/h"),
    "Summe=2883,000 m³",
    "* Zwischen-Statistik um 12:00:30 Uhr *",
    "Zulauf Stunde",
    Measured("240", "360,000", "360,000", "360,000", "m³/h"),
    "Summe=1440,000 m³",
    "* Zwischen-Statistik um 16:00:30 Uhr *",
    "Zulauf Stunde",
    Measured("240", "360,000", "360,000", "360,000", "m³/h"),
    "Summe=1440,000 m³",
    "*** Zwischen-Statistik um 22:00:30 Uhr ***",
    "Druck",
    Measured("960", "5,25", "4,00", "6,00", "bar"),
    "* Zwischen-Statistik um 00:00:00 Uhr *",
    "Zulauf Stunde",
    Measured("479", "360,000", "360,000", "360,000", "m³/h"),
    "Summe=2877,000 m³",
    "*** Zwischen-Statistik um 00:00:00 Uhr ***",
    "Druck",
    Measured("480", "4,50", "4,00", "6,00", "bar"),
    " ",
    "Statistik für Dienstag, 5. März 2024 (00:00)",
    "Temperatur",
    Measured("1440", "13,50", "12,50", "14,50", "°C"),
    "Zulauf",
    Measured("1440", "100,00", "100,00", "100,00", "l/s"),
    "Tagesmenge=8640,00 m³   /   ",
    "Strom",
    Measured("1440", "5,00", "5,00", "5,00", "kWh"),
    "Zählerdifferenz/Verbrauch=7200,00 kWh   /   Gesamtzählerstand : 7205,00 kWh",
    "Gebläse",
    "Betriebszeit=6,00 h   /   ",
    "Pumpe",
    "Summe/Betriebszeit=12,00 h   /    ",
    "Temperatur Spiegel",
    Measured("1440", "13,50", "12,50", "14,50", "°C"),
};

class DayProtocolScenario : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        plant_ = new testing::MemoryPlant;
        const auto write = [](const std::string& name, const std::string& utf8Lines) {
            std::string text;
            for (char c : utf8Lines) {
                text += c == '\n' ? std::string("\r\n") : std::string(1, c);
            }
            plant_->Write(name, Utf8ToCp1252(text));
        };
        write("TARVEDDE.INI", kProtocolIni);
        write("TARVEDDE_VAR.INI", "[Item_3]\nFortlaufend_summieren=1\n");
        write("TT_Q_h_Zulauf Stunde.tvw", "08:00:00\n12:00:00\n16:00:00\n");
        ScenarioRunner runner(plant_->Options());
        testing::Steps(runner, DayScript());
    }
    static void TearDownTestSuite() {
        delete plant_;
        plant_ = nullptr;
    }

    static testing::MemoryPlant* plant_;
};

testing::MemoryPlant* DayProtocolScenario::plant_ = nullptr;

// Each time-table time, and the day change after the last, also appends the mirrored
// item's sum to the day's intermediate-values file.
TEST_F(DayProtocolScenario, TheDayLeavesItsProtocolSnapshotLoadCurveCounterAndSums) {
    RichTextModel protocol;
    ReadRtf(plant_->Bytes("20240305.RTF"), 10, protocol);
    EXPECT_THAT(plant_->Protocol("20240305.RTF"), ElementsAreArray(kProtocol));
    if (protocol.Paragraphs().size() == kProtocol.size()) {
        const auto& p = protocol.Paragraphs();
        EXPECT_EQ(p[1].attributes.alignment, TextAlignment::Center);  // a heading
        EXPECT_TRUE(p[1].attributes.bold && p[1].attributes.underline);
        EXPECT_EQ(p[1].attributes.color, "blue");
        EXPECT_EQ(p[2].attributes.indent, 40);  // the item's name
        EXPECT_TRUE(p[2].attributes.bold);
        EXPECT_EQ(p[3].attributes.indent, 80);  // its figures
        EXPECT_FALSE(p[3].attributes.bold);
    }

    // The snapshot is the day change's plain text: every block, no extraneous-water line
    // and no total counter. The table's report of the same millisecond keeps its own.
    EXPECT_THAT(
        plant_->Lines("$$log_20240306_000030_001.log"),
        ElementsAre("************  Temperatur", kProtocol[29], "************  Zulauf",
                    kProtocol[31], "Summe=8640,00 m³", "************  Strom", kProtocol[34],
                    "Zählerdifferenz/Verbrauch=7200,00 kWh", "************  Gebläse",
                    "Betriebszeit=6,00 h", "************  Pumpe", "Summe/Betriebszeit=12,00 h",
                    "************  Temperatur Spiegel", kProtocol[41]));
    EXPECT_THAT(plant_->Lines("$$log_20240305_120030_000.log"),
                ElementsAre("** Zwischen-Statistik für Zulauf Stunde um 12:00:30 Uhr **",
                            kProtocol[10], kProtocol[11]));
    EXPECT_THAT(
        plant_->Lines("Ganglinie_Zulauf Stunde_202403.txt"),
        ElementsAre("Zulauf Stunde\tQ_h", "Datum\tZeit\tSumme\tMinimum\tMaximum\tMittelwert",
                    "d\th\tm³\tm³/h\tm³/h\tm³/h",
                    "2024.03.05\t00:00:00\t15,000\t360,000\t360,000\t360,000",
                    "2024.03.05\t08:00:30\t2883,000\t360,000\t360,000\t360,000",
                    "2024.03.05\t12:00:30\t1440,000\t360,000\t360,000\t360,000",
                    "2024.03.05\t16:00:30\t1440,000\t360,000\t360,000\t360,000",
                    "2024.03.06\t00:00:00\t2877,000\t360,000\t360,000\t360,000"));
    EXPECT_THAT(plant_->Lines("TARVEDDE_VAR.INI"), ::testing::Contains("Zählerstand=7205,000"));
    EXPECT_THAT(plant_->Lines("20240305.TVS"),
                ElementsAre("2883,000", "1440,000", "1440,000", "2877,000"));
}

TEST_F(DayProtocolScenario, UnrtfReadsTheProtocolsLines) {
#ifdef _WIN32
    GTEST_SKIP() << "unrtf is a Debian program; the Linux build runs this test";
#else
    if (std::system("command -v unrtf >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "unrtf is not installed (scripts/setup-debian.sh installs it)";
    }
    const testing::TempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    std::ofstream(dir.Path() + "p.rtf", std::ios::binary) << plant_->Bytes("20240305.RTF");
    ASSERT_EQ(
        std::system(("cd '" + dir.Path() + "' && unrtf --text p.rtf > p.txt 2>/dev/null").c_str()),
        0);
    // unrtf writes Latin-1 LF lines: its "###" comment lines, a rule of dashes, then the
    // body; it keeps one blank of a run and trims line ends.
    const auto words = [](const std::string& line) {
        std::string out;
        for (char c : line) {
            if (c != ' ' || (!out.empty() && out.back() != ' ')) {
                out += c;
            }
        }
        return out.ends_with(' ') ? out.substr(0, out.size() - 1) : out;
    };
    std::istringstream all(Cp1252ToUtf8(dir.Bytes("p.txt")));
    std::vector<std::string> got;
    bool body = false;
    for (std::string line; std::getline(all, line);) {
        if (body) {
            got.push_back(words(line));
        }
        body = body || line == "-----------------";
    }
    ASSERT_TRUE(body) << all.str();
    std::vector<std::string> expected;
    for (const std::string& line : kProtocol) {
        expected.push_back(words(line));
    }
    EXPECT_THAT(got, ElementsAreArray(expected));
#endif
}

}  // namespace
}  // namespace tarvedde
