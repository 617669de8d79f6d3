// tarvedde-longrun: the client on a plant of 180 items for many simulated days of 10-s
// cycles, through the real engine and real files, in virtual time. The server publishes
// every value anew each cycle. After each day it samples its own memory and open files and the
// program directory's size, prints a table and checks that nothing grows that should
// not: the open files stay as they are and are all closed again at the end; in a build
// with the system's allocator, the memory stays under its peak limit and flat after the
// first days. The day files pile up, as on a plant; that is no growth of the process.
// Leaks are the sanitizer's part: a build with LeakSanitizer reports them at exit.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/scenario_runner.h"
#include "platform/date_time.h"
#include "platform/path_names.h"
#include "platform/process_paths.h"
#include "tests/longrun/process_probe.h"
#include "tests/support/plant_generator.h"

namespace tarvedde::longrun {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(TARVEDDE_LEAK_CHECKED_RUN)
// A sanitizer's allocator keeps freed blocks back and holds its own books.
constexpr bool kMeasuresMemory = false;
#else
constexpr bool kMeasuresMemory = true;
#endif

constexpr std::int64_t kCycleMs = 10'000;
constexpr std::int64_t kCyclesPerDay = 86'400'000 / kCycleMs;
constexpr std::int64_t kPeakLimitKb = 16 * 1024;
constexpr std::int64_t kGrowthLimitKb = 1024;
constexpr char kFirstDay[] = "2024-03-04";

const char kUsage[] =
    "usage: tarvedde-longrun [--days N] [--start hh:mm:ss] [--dir DIR] [--no-raw-log]\n"
    "  runs the 180-item plant for N simulated days (default 2) in DIR (default: a\n"
    "  scratch directory, removed afterwards), prints a line per day and checks open\n"
    "  files and memory; exit status 0, 1 when a check failed, 2 for a wrong command line;\n"
    "  --start: the first day begins there (default 00:00:00), so it is shorter;\n"
    "  --no-raw-log leaves the raw-data log off\n";

struct Options {
    int days = 2;
    std::string dir;
    plantgen::PlantOptions plant{.cycleSeconds = kCycleMs / 1000};
    double start = 0.0;  // local date-time of the first cycle
};

struct DayRow {
    double date = 0.0;  // the day that ended
    ProcessSample process;
    std::int64_t dirKb = 0;
    double seconds = 0.0;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    options.start = ParseLocalDateTime(kFirstDay, "00:00:00").value();
    const std::vector<std::string> args = ProgramArguments(argc, argv);
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--days" && i + 1 < args.size()) {
            options.days = std::atoi(args[++i].c_str());
        } else if (args[i] == "--dir" && i + 1 < args.size()) {
            options.dir = args[++i];
        } else if (args[i] == "--start" && i + 1 < args.size()) {
            const auto start = ParseLocalDateTime(kFirstDay, args[++i]);
            if (!start) {
                return std::nullopt;
            }
            options.start = start.value();
        } else if (args[i] == "--no-raw-log") {
            options.plant.rawDataLog = false;
        } else {
            return std::nullopt;
        }
    }
    return options.days >= 1 ? std::optional(options) : std::nullopt;
}

void Execute(ScenarioRunner& runner, ScenarioAction action) {
    if (Status done = runner.Execute(ScenarioCommand{0, "", std::move(action)}); !done) {
        std::cerr << "scenario command refused: " << done.error().message << '\n';
        std::exit(1);
    }
}

// The values published between two cycles reach the next one.
void RunCycle(ScenarioRunner& runner, std::int64_t cycle, const plantgen::PlantOptions& plant) {
    for (int item = 1; item <= plantgen::kPlantItems; ++item) {
        Execute(runner, SetCommand{plantgen::ServerItem(item),
                                   plantgen::ValueText(item, cycle, plant), false, std::nullopt});
    }
    Execute(runner, AdvanceCommand{kCycleMs});
}

void PrintHeader() {
    std::printf("%4s %-10s %9s %9s %9s %5s %10s %8s\n", "day", "date", "rss_kB", "peak_kB",
                "heap_kB", "fds", "dir_kB", "seconds");
}

void PrintRow(std::size_t day, const DayRow& row) {
    std::printf("%4zu %-10s %9lld %9lld %9lld %5d %10lld %8.1f\n", day,
                FormatDateTime("dd.mm.yyyy", row.date).c_str(),
                static_cast<long long>(row.process.residentKb),
                static_cast<long long>(row.process.peakResidentKb),
                static_cast<long long>(kMeasuresMemory ? row.process.heapInUseKb : -1),
                row.process.openFiles, static_cast<long long>(row.dirKb), row.seconds);
    std::fflush(stdout);
}

// A line per day as it ends: a long run shows how far it got.
std::vector<DayRow> RunDays(const std::string& dir, const Options& options) {
    const double start = options.start;
    std::vector<DayRow> rows;
    ScenarioRunner runner(ScenarioOptions{dir});
    const double firstDay = DateOf(start);
    Execute(runner, ClockCommand{start});
    Execute(runner, StartCommand{});
    PrintHeader();
    const std::int64_t firstCycle = std::llround(TimeOf(start) * 86'400.0) * 1000 / kCycleMs;
    for (int day = 0; day < options.days && !runner.Ended(); ++day) {
        const auto began = std::chrono::steady_clock::now();
        for (std::int64_t cycle = day == 0 ? firstCycle : 0; cycle < kCyclesPerDay; ++cycle) {
            RunCycle(runner, day * kCyclesPerDay + cycle, options.plant);
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
        rows.push_back({firstDay + day, SampleProcess(), DirectoryKb(dir), took.count()});
        PrintRow(rows.size(), rows.back());
    }
    if (runner.Ended()) {
        std::cerr << "the client ended by itself after " << rows.size() << " days\n";
    }
    runner.Finish();
    return rows;
}

class Checks {
public:
    void Expect(bool holds, const std::string& what) {
        std::printf("%s: %s\n", holds ? "ok" : "FAILED", what.c_str());
        failed_ = failed_ || !holds;
    }
    bool Failed() const { return failed_; }

private:
    bool failed_ = false;
};

// Growth counts from the end of day 2 (day 1 in a run of two days): the first day change
// fills the buffers a day needs.
void CheckMemory(Checks& checks, const std::vector<DayRow>& rows) {
    std::int64_t peak = 0;
    for (const DayRow& row : rows) {
        peak = std::max(peak, row.process.peakResidentKb);
    }
    checks.Expect(peak > 0 && peak < kPeakLimitKb,
                  "peak memory " + std::to_string(peak) + " kB < " + std::to_string(kPeakLimitKb));
    if (rows.size() < 2) {
        std::printf("not checked: memory growth, in a run of one day\n");
        return;
    }
    const std::size_t baseline = rows.size() >= 3 ? 1 : 0;
    std::int64_t growth = 0;
    for (std::size_t i = baseline; i < rows.size(); ++i) {
        growth = std::max(growth, rows[i].process.residentKb - rows[baseline].process.residentKb);
    }
    checks.Expect(growth <= kGrowthLimitKb,
                  "memory growth after day " + std::to_string(baseline + 1) + ": " +
                      std::to_string(growth) + " kB <= " + std::to_string(kGrowthLimitKb));
}

void CheckRun(Checks& checks, const std::vector<DayRow>& rows, int days, const std::string& dir,
              int filesBefore, int filesAfter) {
    checks.Expect(std::ssize(rows) == days,
                  std::to_string(rows.size()) + " of " + std::to_string(days) + " days acquired");
    bool dayFiles = true;
    bool sameFiles = true;
    for (const DayRow& row : rows) {
        const std::string stem = dir + FormatDateTime("yyyymmdd", row.date);
        dayFiles = dayFiles && std::filesystem::exists(stem + ".DAT") &&
                   std::filesystem::exists(stem + ".RTF");
        sameFiles = sameFiles && row.process.openFiles == rows.front().process.openFiles;
    }
    checks.Expect(dayFiles, "a day file and a day protocol for every day");
    checks.Expect(sameFiles, "the same number of open files after every day");
    checks.Expect(filesAfter == filesBefore, "open files before the start " +
                                                 std::to_string(filesBefore) + ", after the end " +
                                                 std::to_string(filesAfter));
    if (kMeasuresMemory && !rows.empty()) {
        CheckMemory(checks, rows);
    }
}

int Main(int argc, char** argv) {
    const std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        std::cerr << kUsage;
        return 2;
    }
    const bool scratch = options->dir.empty();
    const auto made =
        scratch ? MakeTemporaryDirectory("tarvedde-longrun-") : Result<std::string>(options->dir);
    if (!made) {
        std::cerr << "no scratch directory: " << made.error().message << '\n';
        return 1;
    }
    const std::string dir = WithTrailingSeparator(made.value());
    if (Status written = plantgen::WritePlant(*MakeRealFileSystem(), dir, options->plant);
        !written) {
        std::cerr << "cannot lay out the plant in " << dir << ": " << written.error().message
                  << '\n';
        return 1;
    }
    std::cout << "plant of " << plantgen::kPlantItems << " items in " << dir << ", "
              << options->days << " days" << (options->plant.rawDataLog ? "" : ", no raw-data log")
              << (kMeasuresMemory ? "" : " (sanitizer build: memory not checked)") << std::endl;
    const int filesBefore = SampleProcess().openFiles;
    const std::vector<DayRow> rows = RunDays(dir, *options);
    const int filesAfter = SampleProcess().openFiles;
    Checks checks;
    CheckRun(checks, rows, options->days, dir, filesBefore, filesAfter);
    if (scratch) {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    return checks.Failed() ? 1 : 0;
}

}  // namespace
}  // namespace tarvedde::longrun

int main(int argc, char** argv) {
    return tarvedde::longrun::Main(argc, argv);
}
