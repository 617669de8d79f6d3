// One acquisition cycle of the benchmark plant (bench_plant.h) on the real disk: process
// CPU time and wall time per cycle, bytes written per cycle, and the wall time of the
// floor program replaying one recorded cycle's file operations, measured in the same run
// (each engine cycle is followed by one replay into a copy of the directory).
//
//   tarvedde_plant_cycle_bench [--quick | --smoke]
//
// First 2200 cycles fill the moving-average rings (36 min) and the fifteen-minute windows;
// then cycles paced one a real second (60, quick 10) and cycles back to back (300, quick
// 60). --smoke: 5, 2 and 5 cycles. A cycle here is what one second of the client costs: the 180
// values arriving through their advise links and the cycle's tick with everything it writes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "bench/bench_harness.h"
#include "bench/bench_measure.h"
#include "bench/bench_plant.h"
#include "bench/file_operations.h"
#include "bench/virtual_plant.h"

namespace tarvedde::bench {
namespace {

// The floor program as a child that replays once per line it reads.
class FloorProcess {
public:
    FloorProcess(const std::string& recording, const std::string& dir, bool renameOver) {
        int toChild[2], fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(toChild[0], 0);
            ::dup2(fromChild[1], 1);
            ::close(toChild[1]);
            ::close(fromChild[0]);
            const std::string program = BuiltProgram("bench/tarvedde_floor");
            std::vector<const char*> args{program.c_str()};
            if (renameOver) {
                args.push_back("--rename");
            }
            args.insert(args.end(), {recording.c_str(), dir.c_str(), nullptr});
            ::execv(program.c_str(), const_cast<char* const*>(args.data()));
            ::_exit(127);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        to_ = ::fdopen(toChild[1], "w");
        from_ = ::fdopen(fromChild[0], "r");
    }
    ~FloorProcess() {
        if (to_ != nullptr) {
            std::fclose(to_);
        }
        if (from_ != nullptr) {
            std::fclose(from_);
        }
        if (pid_ > 0) {
            ::waitpid(pid_, nullptr, 0);
        }
    }
    // Wall and CPU nanoseconds of one replay; false when the floor failed.
    bool Replay(long long& wall, long long& cpu) {
        return to_ != nullptr && std::fputs("replay\n", to_) >= 0 && std::fflush(to_) == 0 &&
               std::fscanf(from_, "%lld %lld", &wall, &cpu) == 2 && wall >= 0;
    }

private:
    pid_t pid_ = -1;
    std::FILE* to_ = nullptr;
    std::FILE* from_ = nullptr;
};

struct Samples {
    std::vector<double> cpuMs, deliveryCpuMs, wallMs, fileWallMs, floorMs, floorCpuMs,
        renameFloorMs;
    std::uint64_t bytes = 0;
};

// The client's replays of a cycle: as it writes its files, and the common way.
struct Floors {
    FloorProcess same;
    FloorProcess renamed;
};

bool MeasureCycle(VirtualPlant& plant, Floors& floors, Samples& samples) {
    const std::uint64_t bytesBefore = plant.Files().BytesWritten();
    const std::int64_t fileWallBefore = plant.Files().FileWallNs();
    const std::int64_t cpu = CpuNs();
    const std::int64_t wall = WallNs();
    plant.DeliverValues();
    samples.deliveryCpuMs.push_back(NsToMs(CpuNs() - cpu));
    plant.Tick();
    samples.wallMs.push_back(NsToMs(WallNs() - wall));
    samples.cpuMs.push_back(NsToMs(CpuNs() - cpu));
    samples.fileWallMs.push_back(NsToMs(plant.Files().FileWallNs() - fileWallBefore));
    samples.bytes += plant.Files().BytesWritten() - bytesBefore;
    long long floorWall = 0, floorCpu = 0;
    const bool replayed = floors.same.Replay(floorWall, floorCpu);
    samples.floorMs.push_back(NsToMs(floorWall));
    samples.floorCpuMs.push_back(NsToMs(floorCpu));
    const bool renamed = floors.renamed.Replay(floorWall, floorCpu);
    samples.renameFloorMs.push_back(NsToMs(floorWall));
    return replayed && renamed;
}

void ReportRun(const std::string& name, const Samples& s, bool targets) {
    const double cpuMedian = Percentile(s.cpuMs, 50);
    const double cpuP99 = Percentile(s.cpuMs, 99);
    Report("cycle CPU median, " + name + " [ms]", Fixed(cpuMedian, 3), targets ? "<= 2" : "-",
           targets ? Verdict(cpuMedian <= 2.0) : "-");
    Report("cycle CPU p99, " + name + " [ms]", Fixed(cpuP99, 3), targets ? "<= 3" : "-",
           targets ? Verdict(cpuP99 <= 3.0) : "-");
    Report("of which value delivery CPU median, " + name + " [ms]",
           Fixed(Percentile(s.deliveryCpuMs, 50), 3));
    Report("floor CPU median, " + name + " [ms]", Fixed(Percentile(s.floorCpuMs, 50), 3));
    const double wall = Percentile(s.wallMs, 50);
    const double floorWall = Percentile(s.floorMs, 50);
    Report("cycle wall median, " + name + " [ms]", Fixed(wall, 3));
    Report("floor wall median, " + name + " [ms]", Fixed(floorWall, 3));
    const double ratio = floorWall > 0 ? wall / floorWall : 0.0;
    Report("cycle wall / floor wall, " + name, Fixed(ratio, 3), targets ? "<= 1.15" : "-",
           targets ? Verdict(ratio > 0 && ratio <= 1.15) : "-");
    // The client's own file calls against the floor's: what the file layer adds.
    const double fileWall = Percentile(s.fileWallMs, 50);
    Report("of which file calls wall median, " + name + " [ms]", Fixed(fileWall, 3));
    Report("file calls wall / floor wall, " + name,
           Fixed(floorWall > 0 ? fileWall / floorWall : 0.0, 3));
    // The same bytes written to new files renamed over the old, the sequence the floor
    // stood for before the client kept its scratch files.
    const double renameWall = Percentile(s.renameFloorMs, 50);
    Report("write+rename floor wall median, " + name + " [ms]", Fixed(renameWall, 3));
    Report("cycle wall / write+rename floor wall, " + name,
           Fixed(renameWall > 0 ? wall / renameWall : 0.0, 3));
    Report("bytes written per cycle, " + name,
           std::to_string(s.bytes / std::max<std::size_t>(1, s.cpuMs.size())));
}

int Run(RunLength length, const BenchDir& root) {
    const std::string dir = root.Sub("plant");
    VirtualPlant plant(dir);
    if (!plant.Start(ParseLocalDateTime("2024-03-05", "10:00:00").value())) {
        std::cerr << "the benchmark plant did not start in " << dir << '\n';
        return 1;
    }
    const int fill = plantgen::kMovingFillSeconds + 40;
    for (int i = ByLength(length, fill, fill, 5); i > 0; --i) {
        plant.Cycle();
    }
    plant.Files().StartRecording();
    plant.Cycle();
    const auto recorded = plant.Files().StopRecording();
    const std::string floorDir = root.Sub("floor");
    const std::string renameFloorDir = root.Sub("floor-rename");
    for (const std::string& copy : {floorDir, renameFloorDir}) {
        std::filesystem::copy(dir, copy,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
    }
    if (!SaveOperations(root.Path() + "cycle.ops", recorded)) {
        std::cerr << "cannot write the recording\n";
        return 1;
    }
    Report("file operations per cycle", std::to_string(recorded.size()));
    Floors floors{{root.Path() + "cycle.ops", floorDir, false},
                  {root.Path() + "cycle.ops", renameFloorDir, true}};

    Samples paced;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < ByLength(length, 60, 10, 2); ++i) {
        std::this_thread::sleep_until(start + std::chrono::seconds(i + 1));
        if (!MeasureCycle(plant, floors, paced)) {
            std::cerr << "the floor program failed\n";
            return 1;
        }
    }
    Samples backToBack;
    for (int i = 0; i < ByLength(length, 300, 60, 5); ++i) {
        if (!MeasureCycle(plant, floors, backToBack)) {
            std::cerr << "the floor program failed\n";
            return 1;
        }
    }
    ReportRun("1 cycle/s", paced, true);
    ReportRun("back to back", backToBack, false);
    return 0;
}

}  // namespace
}  // namespace tarvedde::bench

int main(int argc, char** argv) {
    // A floor program that died is reported by its missing answer, not by SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    return tarvedde::bench::BenchMain(argc, argv, "plant-cycle", tarvedde::bench::Run);
}
