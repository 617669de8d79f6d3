// A plant day in virtual time: the benchmark plant (bench_plant.h) runs 86 400 one-second
// cycles on the real disk, from noon across midnight (the day change with its statistics
// and protocol) to noon; wall and CPU time of the day, the slowest cycle, the bytes
// written, and this process's resident memory along the day (peak and at the end).
//
//   tarvedde_plant_day_bench [--quick | --smoke]
//
// --quick runs one hour, 23:30 to 00:30, still across the day change; --smoke two minutes
// across it. Exit status 1 when the day change left no protocol.
#include <filesystem>

#include "bench/bench_harness.h"
#include "bench/bench_measure.h"
#include "bench/bench_plant.h"
#include "bench/virtual_plant.h"

namespace tarvedde::bench {
namespace {

struct DayRun {
    std::vector<double> wallMs;
    std::vector<long> rssKb;
    double totalWallS = 0;
    double totalCpuS = 0;
    std::uint64_t bytes = 0;
};

DayRun RunCycles(VirtualPlant& plant, long cycles) {
    DayRun run;
    run.wallMs.reserve(static_cast<std::size_t>(cycles));
    const std::uint64_t bytesBefore = plant.Files().BytesWritten();
    const std::int64_t cpuStart = CpuNs();
    const std::int64_t wallStart = WallNs();
    for (long i = 1; i <= cycles; ++i) {
        const std::int64_t wall = WallNs();
        plant.Cycle();
        run.wallMs.push_back(NsToMs(WallNs() - wall));
        if (i % 3600 == 0) {
            run.rssKb.push_back(StatusKb("self", "VmRSS"));
        }
    }
    run.totalWallS = NsToMs(WallNs() - wallStart) / 1e3;
    run.totalCpuS = NsToMs(CpuNs() - cpuStart) / 1e3;
    run.bytes = plant.Files().BytesWritten() - bytesBefore;
    return run;
}

// The day change wrote the ended day's protocol and its snapshot.
bool DayChangeHappened(const std::string& dir) {
    bool snapshot = false;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        snapshot = snapshot || entry.path().filename().string().starts_with("$$log_20240305_0000");
    }
    return snapshot && std::filesystem::exists(dir + "20240304.RTF") &&
           std::filesystem::file_size(dir + "20240304.RTF") > 0;
}

int Run(RunLength length, const BenchDir& root) {
    const std::string dir = root.Sub("plant");
    VirtualPlant plant(dir);
    const double start =
        ParseLocalDateTime("2024-03-04", ByLength(length, "12:00:00", "23:30:00", "23:59:00"))
            .value();
    if (!plant.Start(start)) {
        std::cerr << "the benchmark plant did not start in " << dir << '\n';
        return 1;
    }
    const long cycles = ByLength(length, 86'400L, 3600L, 120L);
    const DayRun run = RunCycles(plant, cycles);
    plant.Finish();

    const std::string span = ByLength(length, "plant day", "plant hour", "plant 2 min");
    const double limitS = 120.0 * static_cast<double>(cycles) / 86'400.0;
    Report(span + " wall [s] (" + std::to_string(cycles) + " cycles)", Fixed(run.totalWallS, 1),
           "< " + Fixed(limitS, 1), Verdict(run.totalWallS < limitS));
    Report(span + " CPU [s]", Fixed(run.totalCpuS, 1));
    const bool dayChanged = DayChangeHappened(dir);
    Report(span + " day change done", dayChanged ? "yes" : "no", "yes", Verdict(dayChanged));
    const auto slowest = std::max_element(run.wallMs.begin(), run.wallMs.end());
    Report(span + " slowest cycle [ms] (at cycle " +
               std::to_string(std::distance(run.wallMs.begin(), slowest) + 1) + ")",
           Fixed(*slowest, 1));
    Report(span + " cycle wall p99 [ms]", Fixed(Percentile(run.wallMs, 99), 3));
    Report(span + " bytes written per cycle",
           std::to_string(run.bytes / static_cast<std::uint64_t>(cycles)));
    const double peakMb = KbToMb(StatusKb("self", "VmHWM"));
    Report(span + " process RSS peak [MB]", Fixed(peakMb, 1), "< 16", Verdict(peakMb < 16));
    if (!run.rssKb.empty()) {
        const double endMb = KbToMb(run.rssKb.back());
        const auto [low, high] = std::minmax_element(run.rssKb.begin(), run.rssKb.end());
        Report(span + " process RSS at the end [MB] (hourly " + Fixed(KbToMb(*low), 1) + ".." +
                   Fixed(KbToMb(*high), 1) + ")",
               Fixed(endMb, 1), "< 16", Verdict(endMb < 16));
    }
    return dayChanged ? 0 : 1;
}

}  // namespace
}  // namespace tarvedde::bench

int main(int argc, char** argv) {
    return tarvedde::bench::BenchMain(argc, argv, "plant-day", tarvedde::bench::Run);
}
