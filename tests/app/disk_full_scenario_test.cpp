// The disk fills in the middle of a cycle, at each of its writes in turn (from there on
// every write takes 5 bytes and fails), and has room again for the next cycle. Every day
// and sample file must hold whole rows only, the log whole lines only, and no row of the
// day may be lost without a trace: a row a file missed stands in the log, or the log says
// how many of its lines it lost; and the log says when a file takes rows again. The state
// files are as if nothing had happened.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string_view>

#include "app/scenario_runner.h"
#include "platform/text_encoding.h"
#include "tests/app/scenario_test_files.h"

namespace tarvedde {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kDir[] = "/plant/";
const char kDiskFullIni[] =
    "[DDE]\r\nItemcount=2\r\nIntervall=10\r\nEinheit=0\r\nAutoStart=1\r\n"
    "[Items]\r\nItem1=Q\r\nItem2=T\r\n[Itemnames]\r\nItem1=Zulauf\r\nItem2=Temperatur\r\n";
const char* const kCycleTimes[] = {"07:00:00", "07:00:10", "07:00:20", "07:00:30"};

// A log stamp "dd.Mon.yy, hh:mm:ss > " past the line's first character: two entries ran
// together.
bool StampAfterStart(const std::string& line) {
    constexpr std::string_view shape = "00.aaa.00, 00:00:00 > ";
    const auto fits = [&](std::size_t at) {
        for (std::size_t i = 0; i < shape.size(); ++i) {
            const auto c = static_cast<unsigned char>(line[at + i]);
            const bool ok = shape[i] == '0'   ? std::isdigit(c) != 0
                            : shape[i] == 'a' ? std::isalnum(c) != 0 || c == '_'
                                              : c == shape[i];
            if (!ok) {
                return false;
            }
        }
        return true;
    };
    for (std::size_t at = 1; at + shape.size() <= line.size(); ++at) {
        if (fits(at)) {
            return true;
        }
    }
    return false;
}

struct Write {
    FileOp op;
    std::string path;
};

class DiskFullRun {
public:
    DiskFullRun() { Do("start\nset Q \"12,5\"\nset T \"8,25\"\nadvance 10s\n"); }
    void Do(const std::string& script) { testing::Steps(runner_, script); }
    // Writes and appends of the next cycle, in order.
    std::vector<Write> CycleWrites() {
        std::vector<Write> writes;
        Files().SetFailurePolicy([&writes](FileOp op, const std::string& path) {
            if (op == FileOp::Write || op == FileOp::Append) {
                writes.push_back({op, path});
            }
            return false;
        });
        Do("advance 10s\n");
        Files().SetFailurePolicy(nullptr);
        return writes;
    }
    MemoryFileSystem& Files() { return plant_.files; }
    std::string Text(const std::string& name) const { return plant_.Text(name); }

private:
    testing::MemoryPlant plant_{kDiskFullIni};
    ScenarioRunner runner_{plant_.Options()};
};

constexpr char kLogGap[] = "Protokoll war nicht beschreibbar, ";

// Whole rows of date, time and two cells; a cycle's row missing there stands in the log,
// or the log itself lost lines.
void ExpectWholeRowsOfEveryCycle(const std::string& name, const std::string& file,
                                 const std::string& log) {
    std::set<std::string> times;
    for (const std::string& row : testing::CrLfLines(file)) {
        EXPECT_EQ(std::count(row.begin(), row.end(), ';'), 3) << name << ": " << row;
        times.insert(row.substr(row.find(';') + 1, 8));
    }
    const std::string missed = "Nicht gespeichert in " + name + " : 2024.3.5;";
    for (std::size_t at = log.find(missed); at != std::string::npos;
         at = log.find(missed, at + 1)) {
        times.insert(log.substr(at + missed.size(), 8));
    }
    if (log.find(kLogGap) == std::string::npos) {
        for (const char* time : kCycleTimes) {
            EXPECT_THAT(times, Contains(time)) << name;
        }
    }
}

TEST(DiskFullScenario, EveryWriteOfACycleCutShortLeavesWholeRowsAndLinesAndTheLogTells) {
    const std::vector<Write> writes = DiskFullRun().CycleWrites();
    ASSERT_GE(writes.size(), 6u);
    DiskFullRun unharmed;
    unharmed.Do("advance 10s\nadvance 10s\n");
    ASSERT_NE(unharmed.Text("TARVEDDE.COF"), "<missing>");
    for (std::size_t k = 1; k <= writes.size(); ++k) {
        SCOPED_TRACE("disk full from write " + std::to_string(k) + " to " + writes[k - 1].path);
        DiskFullRun run;
        run.Files().FillDiskAtWrite(static_cast<int>(k), 5);
        run.Do("advance 10s\n");
        run.Files().FreeDisk();
        run.Do("advance 10s\n");

        const std::string log = run.Text("_DDE_OPC_LOGALL.TXT");
        for (const std::string& line : testing::CrLfLines(log)) {
            EXPECT_FALSE(StampAfterStart(line)) << line;
        }
        // The day stayed in memory: the next cycle's save brought every state file up to date.
        for (const char* name : {"TARVEDDE.COF", "TARVEDDE_NACHT.TVW", "DIFFBUF.TVW",
                                 "SPIEGELDATEN.TVW", "$clean", "AKTDAT.TVV"}) {
            EXPECT_EQ(run.Text(name), unharmed.Text(name)) << name;
        }
        for (const std::string name : {"20240305.DAT", "20240305.SMP"}) {
            ExpectWholeRowsOfEveryCycle(name, run.Text(name), log);
            const auto append = std::find_if(writes.begin(), writes.end(), [&](const Write& w) {
                return w.op == FileOp::Append && w.path == kDir + name;
            });
            ASSERT_NE(append, writes.end());
            if (static_cast<std::size_t>(append - writes.begin()) >= k - 1) {
                EXPECT_THAT(log, HasSubstr(name + " wird wieder geschrieben.\r\n"));
                EXPECT_THAT(log, HasSubstr(kLogGap));
            }
        }
    }

    // Only the day data file fails: the log takes its row.
    DiskFullRun run;
    run.Files().SetFailurePolicy([](FileOp op, const std::string& path) {
        return op == FileOp::Append && path == std::string(kDir) + "20240305.DAT";
    });
    run.Do("advance 10s\n");
    run.Files().SetFailurePolicy(nullptr);
    run.Do("advance 10s\n");
    const std::string log = run.Text("_DDE_OPC_LOGALL.TXT");
    EXPECT_THAT(log, HasSubstr("05.Mrz.24, 07:00:20 > Main : Fehler bei Schreiben von .DAT (1i)\r\n"
                               "05.Mrz.24, 07:00:20 > Nicht gespeichert in 20240305.DAT : "
                               "2024.3.5;07:00:20;12,500;8,250\r\n"
                               "05.Mrz.24, 07:00:30 > 20240305.DAT wird wieder geschrieben.\r\n"));
    ExpectWholeRowsOfEveryCycle("20240305.DAT", run.Text("20240305.DAT"), log);
}

// What the day change writes for good and the disk refuses at midnight would be lost to
// the next start: the ended day's protocol (the window starts the new day) and a meter's
// total go to their files at the next cycle once the disk takes them, or at the close
// when none comes first.
TEST(DiskFullScenario, WhatTheDayChangeCouldNotWriteIsWrittenWhenTheDiskIsBack) {
    for (const bool closeAtOnce : {false, true}) {
        SCOPED_TRACE(closeAtOnce ? "closed at once" : "next cycle");
        testing::MemoryPlant plant{
            "[DDE]\r\nItemcount=1\r\nIntervall=10\r\nAutoStart=1\r\n[Items]\r\nItem1=Z\r\n"
            "[Itemnames]\r\nItem1=Strom\r\n[Differenz]\r\nItem1=1\r\n"};
        plant.Write(
            "TARVEDDE_VAR.INI",
            Utf8ToCp1252("[Item_1]\r\nZählerstand=1000,000\r\nFortlaufend_summieren=1\r\n"));
        ScenarioRunner runner{plant.Options()};
        testing::Steps(runner,
                       "clock 2024-03-04 23:59:30\nstart\nset Z \"5000\"\nadvance 10s\n"
                       "set Z \"5077\"\nadvance 10s\n");
        plant.files.SetFailurePolicy([](FileOp op, const std::string& path) {
            return op != FileOp::Read && (path.find("TARVEDDE_VAR") != std::string::npos ||
                                          path.find(".RTF") != std::string::npos);
        });
        testing::Steps(runner, "advance 10s\nadvance 10s\n");
        plant.files.SetFailurePolicy(nullptr);
        EXPECT_THAT(plant.Protocol("20240304.RTF"),
                    Not(Contains(HasSubstr("Statistik für Montag, 4. M"))));
        if (closeAtOnce) {
            runner.Finish();
        } else {
            testing::Steps(runner, "advance 10s\n");
        }
        EXPECT_THAT(plant.Lines("TARVEDDE_VAR.INI"), Contains("Zählerstand=1077,000"));
        EXPECT_THAT(plant.Protocol("20240304.RTF"),
                    Contains(HasSubstr("Statistik für Montag, 4. M")));
        const std::string log = plant.Text("_DDE_OPC_LOGALL.TXT");
        EXPECT_THAT(log, HasSubstr("Zählerstand von Strom nachträglich gespeichert."));
        EXPECT_THAT(log, HasSubstr("Statistik 20240304.RTF konnte nicht gesichert werden !"));
        EXPECT_THAT(log, HasSubstr("Statistik 20240304.RTF nachträglich gesichert."));
    }
}

}  // namespace
}  // namespace tarvedde
