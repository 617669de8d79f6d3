// A warm restart of the real headless client: the benchmark plant's state of today, with
// full moving-average rings, is prepared in virtual time, plantsim serves the 180 items,
// and tarvedde-headless (this build) is started on the directory again and again. The
// time is taken from fork to the first row the first cycle appends to the day file
// (JJJJMMDD.DAT, seen through inotify): that row is written by the cycle itself, after
// the state was restored and every item linked, so nothing earlier can pass for it. The
// last run also samples the client's resident memory while it acquires.
//
//   tarvedde_warm_restart_bench [--quick | --smoke]
//
// Full: three restarts and 60 s of memory samples; quick: one restart and 10 s; smoke: a
// day of a minute, one restart and 2 s. Exit status 1 when the client did not start, did
// not acquire, did not end cleanly or did not keep the day.
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "bench/bench_harness.h"
#include "bench/bench_measure.h"
#include "bench/bench_plant.h"
#include "bench/virtual_plant.h"
#include "engine/model/program_files.h"
#include "engine/persistence/state_records.h"
#include "platform/clock.h"
#include "sources/dde_socket_io.h"

namespace tarvedde::bench {
namespace {

constexpr double kSecond = 1.0 / 86'400;

struct Dirs {
    std::string plant, dde, runtime, log;
};

pid_t Spawn(const std::vector<std::string>& args, const Dirs& dirs) {
    const pid_t pid = ::fork();
    if (pid != 0) {
        return pid;
    }
    ::setenv("TARVEDDE_DDE_DIR", dirs.dde.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", dirs.runtime.c_str(), 1);
    FILE* log = std::fopen(dirs.log.c_str(), "a");
    if (log != nullptr) {
        ::dup2(::fileno(log), 1);
        ::dup2(::fileno(log), 2);
    }
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

int Stop(pid_t pid) {
    // kill(-1) would reach every process of the user.
    if (pid <= 0) {
        return -1;
    }
    int status = 0;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Today's state up to a few seconds ago: the rings and fifteen-minute windows full, saved
// by a clean end, so the next start continues the day.
bool PrepareState(const std::string& dir, int seconds, long& cycles) {
    const double now = MakeSystemClock()->Now();
    const double start = std::max(std::floor(now) + kSecond, now - seconds * kSecond);
    VirtualPlant plant(dir);
    const char* zone = std::getenv("TZ");
    if (!plant.Start(start, zone != nullptr ? zone : "")) {
        return false;
    }
    cycles = std::lround((now - start) / kSecond) - 20;
    for (long i = 0; i < cycles; ++i) {
        plant.Cycle();
    }
    plant.Finish();
    return true;
}

std::map<std::string, std::uintmax_t> DayFileSizes(const std::string& dir) {
    std::map<std::string, std::uintmax_t> sizes;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() == ".DAT") {
            sizes[entry.path().filename().string()] = entry.file_size();
        }
    }
    return sizes;
}

// Wall ms from fork to the first grown day file; -1 after 10 s without one.
double TimeToFirstCycle(const std::vector<std::string>& args, const Dirs& dirs, pid_t& pid) {
    const auto before = DayFileSizes(dirs.plant);
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ::inotify_add_watch(watch, dirs.plant.c_str(), IN_CLOSE_WRITE);
    const std::int64_t start = WallNs();
    pid = Spawn(args, dirs);
    double elapsedMs = -1;
    pollfd ready{watch, POLLIN, 0};
    while (elapsedMs < 0 && (WallNs() - start) < 10'000'000'000 && ::poll(&ready, 1, 100) >= 0) {
        alignas(inotify_event) char buffer[4096];
        const ssize_t n = (ready.revents & POLLIN) != 0 ? ::read(watch, buffer, sizeof buffer) : 0;
        const std::int64_t seen = WallNs();
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            const std::string name = event->len > 0 ? event->name : "";
            std::error_code ec;
            const auto size = std::filesystem::file_size(dirs.plant + name, ec);
            const auto known = before.find(name);
            const std::uintmax_t previous = known != before.end() ? known->second : 0;
            if (name.ends_with(".DAT") && !ec && size > previous) {
                elapsedMs = NsToMs(seen - start);
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    ::close(watch);
    return elapsedMs;
}

// The first item's count of the saved day: it goes on from the prepared day on a warm start.
double SavedCount(const std::string& dir) {
    std::ifstream in(dir + kConfigStateFile, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    BinaryReader reader(bytes);
    const auto record = DecodeConfigRecord(reader);
    return record ? record->count : -1;
}

struct Memory {
    double peakMb = -1;
    double steadyMb = -1;
};

// Resident memory once a second; steady is the median of the second half.
Memory SampleMemory(pid_t pid, int seconds) {
    const std::string id = std::to_string(pid);
    std::vector<double> rss;
    for (int i = 0; i < seconds; ++i) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        rss.push_back(KbToMb(StatusKb(id, "VmRSS")));
    }
    const std::vector<double> secondHalf(rss.begin() + static_cast<long>(rss.size() / 2),
                                         rss.end());
    return {KbToMb(StatusKb(id, "VmHWM")), Percentile(secondHalf, 50)};
}

int Run(RunLength length, const BenchDir& root) {
    const Dirs dirs{root.Sub("plant"), root.Sub("dde"), root.Sub("run"), root.Path() + "out.txt"};
    ::chmod(dirs.dde.c_str(), 0700);
    ::chmod(dirs.runtime.c_str(), 0700);
    long prepared = 0;
    const int seconds =
        ByLength(length, plantgen::kMovingFillSeconds + 60, plantgen::kMovingFillSeconds + 60, 60);
    if (!PrepareState(dirs.plant, seconds, prepared)) {
        std::cerr << "the benchmark plant did not start in " << dirs.plant << '\n';
        return 1;
    }
    std::ofstream(root.Path() + "plant.ini", std::ios::binary) << plantgen::PlantsimIni();
    const pid_t plantsim = Spawn({BuiltProgram("tools/plantsim/plantsim"), "--config",
                                  root.Path() + "plant.ini", "--dde-dir", dirs.dde},
                                 dirs);
    bool listening = false;
    for (int i = 0; i < 500 && !listening; ++i) {
        const auto fd = ConnectDdeSocket(DdeSocketPath(dirs.dde, plantgen::kPlantService).value());
        listening = fd.ok() && ::close(fd.value()) == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::vector<std::string> headless = {BuiltProgram("app/tarvedde-headless"), "--dir",
                                               dirs.plant};
    std::vector<double> startsMs;
    Memory memory;
    bool cleanEnds = listening;
    const int restarts = ByLength(length, 3, 1, 1);
    for (int r = 1; r <= restarts && cleanEnds; ++r) {
        pid_t pid = -1;
        startsMs.push_back(TimeToFirstCycle(headless, dirs, pid));
        if (r == restarts) {
            memory = SampleMemory(pid, ByLength(length, 60, 10, 2));
        }
        cleanEnds = Stop(pid) == 0 && startsMs.back() >= 0;
    }
    Stop(plantsim);
    if (!cleanEnds) {
        std::cerr << "the headless client did not start, acquire or end cleanly; see " << dirs.log
                  << " and " << dirs.plant << "_DDE_OPC_LOGALL.TXT\n";
        return 1;
    }
    const double worst = *std::max_element(startsMs.begin(), startsMs.end());
    Report("warm restart to first cycle, worst of " + std::to_string(restarts) + " [ms]",
           Fixed(worst, 1), "< 50", Verdict(worst < 50));
    Report("warm restart to first cycle, median [ms]", Fixed(Percentile(startsMs, 50), 1));
    // A cold start would have begun the day's counts afresh.
    const bool warm = SavedCount(dirs.plant) > static_cast<double>(prepared);
    Report("restart kept the day (first item's count > " + std::to_string(prepared) + ")",
           warm ? "yes" : "no", "yes", Verdict(warm));
    Report("headless RSS peak [MB]", Fixed(memory.peakMb, 1), "< 16", Verdict(memory.peakMb < 16));
    Report("headless RSS steady [MB]", Fixed(memory.steadyMb, 1), "< 16",
           Verdict(memory.steadyMb < 16));
    return warm ? 0 : 1;
}

}  // namespace
}  // namespace tarvedde::bench

int main(int argc, char** argv) {
    return tarvedde::bench::BenchMain(argc, argv, "warm-restart", tarvedde::bench::Run);
}
