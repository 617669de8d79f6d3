// The headless program against plantsim, as a service manager runs it: a second start in
// the same directory is abandoned with status 3 and its reason on stderr, also one with
// another temporary directory (a service with its own /tmp). Then SIGKILL at
// random moments, each followed by a start that must take the day over: most kills follow
// a day row by at most 1.5 ms, while the state save of that cycle runs, and each may cost
// the saved count the one row whose save it cut off, nothing else. SIGTERM ends it with
// status 0. Last a hostile start: another user squats a lock in the shared temporary
// directory, the marker was left behind and the program log cannot be written; the
// client runs all the same, says so once on stderr and again when the log is back, and
// ends with status 4.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/scenario_test_files.h"
#include "tests/e2e/exec_child.h"

namespace tarvedde {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

constexpr int kKills = 10;
constexpr int kAimedKills = 7;
constexpr int kItems = 3;
constexpr char kStartLine[] = "Programmstart in ";

// What a start logs when it could not take over a state file or the day, or gave up.
constexpr const char* kReinitialisations[] = {
    "Kein Tageswechsel registriert. Daten werden initialisiert.",
    "Spiegelsummen-Offsets neu initialisiert.",
    "Spiegelsummen-Dateigröße 0 ! Neu initialisiert.",
    "Differenzdatei initialisiert.",
    "Differenzdatei=0 ! Neu initialisiert.",
    "Fehler beim Lesen der Differenzdatei !",
    "Ihre DDE-Konfiguration könnte fehlerhaft sein !",
    "Fehler beim Lesen von TARVEDDE.COF !",
    "TARVEDDE_NACHT.TVW wird neu erzeugt.",
    "Fehler beim Lesen von TARVEDDE_NACHT.TVW !",
    "Beim Speichern der Zwischendaten war ein Fehler",
    "****** Neustart : Geänderte Konfiguration festgestellt !",
    "Start abgebrochen !",
};

// Each change in the program directory wakes the watch at once (inotify), so a kill can
// follow a new day row within microseconds rather than a polling interval.
class DayRowWatch {
public:
    explicit DayRowWatch(const std::string& dir)
        : dir_(dir), fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        ok_ = fd_ >= 0 && inotify_add_watch(fd_, dir.c_str(), IN_MODIFY) >= 0;
    }
    ~DayRowWatch() { close(fd_); }
    bool ok() const { return ok_; }
    // Midnight passed: the rows go to a second day file.
    bool DayChanged() const { return DayFiles().size() > 1; }

    std::size_t Rows() const {
        const auto files = DayFiles();
        if (files.empty()) {
            return 0;
        }
        std::ifstream in(files.back(), std::ios::binary);
        return static_cast<std::size_t>(std::count(std::istreambuf_iterator<char>(in), {}, '\n'));
    }

    // True as soon as the day file holds `rows` rows or the day changed; false after `limit`.
    bool WaitForRows(std::size_t rows, milliseconds limit) {
        const auto deadline = SteadyClock::now() + limit;
        while (!DayChanged() && Rows() < rows) {
            const auto left =
                std::chrono::duration_cast<milliseconds>(deadline - SteadyClock::now()).count();
            pollfd watch{fd_, POLLIN, 0};
            if (left <= 0 || poll(&watch, 1, static_cast<int>(left)) < 0) {
                return false;
            }
            alignas(inotify_event) char events[8192];
            while (read(fd_, events, sizeof events) > 0) {
            }
        }
        return true;
    }

private:
    std::vector<std::filesystem::path> DayFiles() const {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
            if (entry.path().extension() == ".DAT") {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    std::string dir_;
    int fd_;
    bool ok_ = false;
};

class HeadlessE2e : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(plant_);
        std::filesystem::create_directories(root_.Path() + "tmp");
        // Rising values, a counter whose differences the client keeps across restarts and
        // an on/off signal.
        root_.WriteText("plantsim.ini",
                        "[Service]\nName=PlantSim\nTopic=Werte\n[Items]\nCount=3\n"
                        "[Item1]\nName=Zulauf\nGenerator=counter\nIntervalMs=250\nValue=10\n"
                        "Step=0,5\nMax=90000\nDecimals=1\n"
                        "[Item2]\nName=Strom\nGenerator=counter\nIntervalMs=500\nValue=12000\n"
                        "Step=0,25\nWrap=0\n"
                        "[Item3]\nName=Pumpe\nGenerator=digital\nIntervalMs=700\n");
        root_.WriteText("plant/TARVEDDE.INI",
                        "[DDE]\nItemcount=3\nIntervall=1\nAutoStart=1\nServer=PlantSim\n"
                        "Topic=Werte\n[Items]\nItem1=Zulauf\nItem2=Strom\nItem3=Pumpe\n"
                        "[Itemnames]\nItem1=Zulauf\nItem2=Strom\nItem3=Pumpe\n"
                        "[Differenz]\nItem2=1\n[Grafiktyp]\nItem3=2\n");
        watch_ = std::make_unique<DayRowWatch>(plant_);
        ASSERT_TRUE(watch_->ok());
        plantsim_ = Spawn({PLANTSIM_PATH, "--config", root_.Path() + "plantsim.ini", "--dde-dir",
                           root_.Path() + "dde", "--seed", "11"},
                          "plantsim.err");
    }

    void TearDown() override {
        for (pid_t pid : {client_, plantsim_}) {
            if (pid > 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    }

    // `home`: another temporary directory under the root, as a service with its own /tmp.
    pid_t Spawn(std::vector<std::string> args, const std::string& output,
                const std::string& home = "") {
        return testing::SpawnIsolated(root_.Path() + home, root_.Path() + "dde", std::move(args),
                                      output);
    }

    void StartClient(const std::string& output = "client.err") {
        client_ = Spawn({HEADLESS_PATH, "--dir", plant_}, output);
    }

    // The wait status, or nothing when the process did not end within the limit.
    static std::optional<int> Reap(pid_t& pid, milliseconds limit) {
        const auto deadline = SteadyClock::now() + limit;
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (SteadyClock::now() > deadline) {
                return std::nullopt;
            }
            std::this_thread::sleep_for(milliseconds(20));
        }
        pid = -1;
        return status;
    }
    // The exit status of a program run to its end.
    int RunToEnd(std::vector<std::string> args, const std::string& output,
                 const std::string& home = "") {
        pid_t pid = Spawn(std::move(args), output, home);
        const auto status = Reap(pid, milliseconds(20000));
        if (!status) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }
    // SIGTERM; the exit status.
    int Terminate() {
        EXPECT_EQ(kill(client_, SIGTERM), 0);
        const auto status = Reap(client_, milliseconds(40000));
        EXPECT_TRUE(status) << "no end within 40 s of SIGTERM\n" << Log();
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

    // How many day rows the saved count of item 1 misses.
    double CountLag() const {
        const auto figures = testing::SavedDayFigures(root_.Bytes("plant/TARVEDDE.COF"));
        return static_cast<double>(watch_->Rows()) - (figures.empty() ? 0.0 : figures[0][0]);
    }

    std::string Log() const { return Cp1252ToUtf8(root_.Bytes("plant/_DDE_OPC_LOGALL.TXT")); }
    std::string Output(const std::string& name) const { return root_.Bytes(name); }

    // An aimed kill follows the 1st to 3rd new day row by less than a save takes; the
    // others fall anywhere in the first 2.5 s, the start included. Each kill may cut off
    // the save of the cycle whose row it followed, nothing more.
    void KillAndRestart(bool aimed, std::mt19937& random) {
        const std::size_t rows =
            aimed ? std::uniform_int_distribution<std::size_t>(1, 3)(random) : 0;
        const microseconds delay(aimed ? std::uniform_int_distribution<int>(0, 1500)(random)
                                       : std::uniform_int_distribution<int>(0, 2'500'000)(random));
        if (rows > 0) {
            ASSERT_TRUE(watch_->WaitForRows(watch_->Rows() + rows, milliseconds(20000)))
                << "no day row after a restart\n"
                << Log();
        }
        std::this_thread::sleep_for(delay);
        ASSERT_EQ(kill(client_, SIGKILL), 0);
        const auto status = Reap(client_, milliseconds(10000));
        ASSERT_TRUE(status && WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL)
            << "the client had ended before the kill\n"
            << Log();
        if (!watch_->DayChanged()) {
            const double cost = CountLag() - lag_;
            EXPECT_TRUE(cost == 0.0 || cost == 1.0) << "a kill cost the count " << cost << " rows";
            lag_ += cost;
            std::cout << "kill " << (aimed ? std::to_string(rows) + " rows + " : "start + ")
                      << delay.count() << " us" << (cost > 0.0 ? ": cut a save" : "") << '\n';
        }
        StartClient();
    }

    testing::TempDir root_;
    const std::string plant_ = root_.Path() + "plant/";
    std::unique_ptr<DayRowWatch> watch_;
    double lag_ = 0.0;  // day rows the saved count misses after the kills so far
    pid_t plantsim_ = -1;
    pid_t client_ = -1;
};

std::uint32_t Seed() {
    const char* given = std::getenv("TARVEDDE_SIGKILL_SEED");
    const std::uint32_t seed = given != nullptr
                                   ? static_cast<std::uint32_t>(std::strtoul(given, nullptr, 10))
                                   : std::random_device()();
    std::cout << "seed " << seed << " (TARVEDDE_SIGKILL_SEED=" << seed << " repeats it)\n";
    return seed;
}

// The log of every start after the first and the two abandoned ones, one text each.
std::vector<std::string> RestartLogs(const std::string& log) {
    std::vector<std::string> runs;
    for (std::size_t at = log.find(kStartLine); at != std::string::npos;) {
        const std::size_t next = log.find(kStartLine, at + 1);
        runs.push_back(log.substr(at, next == std::string::npos ? next : next - at));
        at = next;
    }
    runs.erase(runs.begin(), runs.begin() + std::min<std::ptrdiff_t>(3, std::ssize(runs)));
    return runs;
}

TEST_F(HeadlessE2e, AbandonedStartKillsEndsAndAHostileStartEachGiveTheirExitStatus) {
    EXPECT_EQ(RunToEnd({HEADLESS_PATH, "--dir", plant_, "--source", "modbus"}, "usage.err"), 2);
    EXPECT_EQ(RunToEnd({HEADLESS_PATH, "--dir", plant_ + "missing"}, "nodir.err"), 2);
    std::mt19937 random(Seed());
    StartClient();
    ASSERT_TRUE(watch_->WaitForRows(2, milliseconds(20000))) << Log();
    const std::string tmp = root_.Path() + "tmp/";
    EXPECT_TRUE(std::filesystem::exists(tmp + "tarvedde-" + std::to_string(getuid()) +
                                        "/tarvedde-instance-tarvedde.lock"));
    EXPECT_EQ(RunToEnd({HEADLESS_PATH, "--dir", plant_}, "second.err"), 3);
    const std::string abandoned = Output("second.err");
    EXPECT_NE(abandoned.find("Start abandoned: "), std::string::npos) << abandoned;
    EXPECT_NE(abandoned.find("Mutex und $dde_activ in " + plant_ +
                             " schon vorhanden. Start abgebrochen !"),
              std::string::npos)
        << abandoned;
    // Started with another temporary directory it misses that named lock, not the
    // directory's.
    std::filesystem::create_directories(root_.Path() + "service/tmp");
    EXPECT_EQ(RunToEnd({HEADLESS_PATH, "--dir", plant_}, "third.err", "service/"), 3);
    EXPECT_NE(root_.Bytes("service/third.err")
                  .find("Ein Client läuft bereits in " + plant_ +
                        " ($dde_activ.lock gesperrt). Start abgebrochen !"),
              std::string::npos)
        << root_.Bytes("service/third.err");

    std::vector<bool> aimed(kKills, false);
    std::fill_n(aimed.begin(), kAimedKills, true);
    std::shuffle(aimed.begin(), aimed.end(), random);
    for (const bool aim : aimed) {
        ASSERT_NO_FATAL_FAILURE(KillAndRestart(aim, random));
    }
    // Acquisition starts again by itself after the last kill; a signal ends it cleanly.
    ASSERT_TRUE(watch_->WaitForRows(watch_->Rows() + 2, milliseconds(20000))) << Log();
    ASSERT_EQ(Terminate(), 0);
    EXPECT_FALSE(std::filesystem::exists(plant_ + "$dde_activ"));
    EXPECT_FALSE(std::filesystem::exists(plant_ + "$dde_activ.lock"));
    EXPECT_TRUE(std::filesystem::exists(plant_ + "_TARVEDDE_LOG.TXT"));
    if (watch_->DayChanged()) {
        GTEST_SKIP() << "midnight passed during the run";
    }
    std::cout << lag_ << " of " << kKills << " kills cut a save before TARVEDDE.COF was replaced\n";
    EXPECT_GE(lag_, 1.0) << "no kill landed in a save";
    const auto restarts = RestartLogs(Log());
    ASSERT_FALSE(restarts.empty());
    for (const std::string& run : restarts) {
        for (const char* text : kReinitialisations) {
            EXPECT_EQ(run.find(text), std::string::npos) << text << " after a kill:\n" << run;
        }
    }
    EXPECT_NE(restarts.back().find("$dde_activ in " + plant_ +
                                   " noch vorhanden. Autostart trotzdem durchgeführt !"),
              std::string::npos);
    EXPECT_NE(restarts.back().find("Datenerfassung gestartet."), std::string::npos);
    // The clean end saved every row it wrote: only the rows of the cut saves are missing.
    const auto figures = testing::SavedDayFigures(root_.Bytes("plant/TARVEDDE.COF"));
    ASSERT_EQ(figures.size(), static_cast<std::size_t>(kItems));
    EXPECT_EQ(CountLag(), lag_);
    EXPECT_EQ(figures[1][0], figures[0][0]);
    const std::string marker = root_.Bytes("plant/$clean");
    EXPECT_EQ(marker.substr(0, 3) + std::to_string(marker.size()), "0\r\n15");  // and the day

    std::ofstream(plant_ + "$dde_activ");
    const int squatted =
        open((tmp + "tarvedde-instance-tarvedde.lock").c_str(), O_CREAT | O_RDWR, 0644);
    ASSERT_EQ(flock(squatted, LOCK_EX), 0);
    const std::string logPath = plant_ + "_DDE_OPC_LOGALL.TXT";
    std::filesystem::rename(logPath, logPath + ".old");
    std::filesystem::create_directory(logPath);
    StartClient("hostile.err");
    const auto failed = [&] {
        return Output("hostile.err").find("cannot be written") != std::string::npos;
    };
    for (int i = 0; i < 100 && !failed(); ++i) {
        std::this_thread::sleep_for(milliseconds(100));
    }
    ASSERT_TRUE(failed()) << Output("hostile.err");
    std::this_thread::sleep_for(milliseconds(1000));
    ASSERT_EQ(waitpid(client_, nullptr, WNOHANG), 0) << "start abandoned beside a squatted lock";
    std::filesystem::remove(logPath);
    EXPECT_EQ(Terminate(), 4);
    close(squatted);
    EXPECT_NE(Log().find("Protokoll war nicht beschreibbar, "), std::string::npos) << Log();
    const std::string told = Output("hostile.err");
    EXPECT_EQ(told.find("cannot be written"), told.rfind("cannot be written")) << told;
    EXPECT_NE(told.find("The program log is written again; "), std::string::npos) << told;
}

// Under systemd (stderr is the stream JOURNAL_STREAM names) the journal gets exactly the
// log file's lines; --status reads a running, a stopped and a crashed client's directory
// without changing a file there.
TEST_F(HeadlessE2e, StatusJudgesTheDirectoryAndTheJournalHoldsTheLog) {
    const auto status = [&](const std::vector<std::string>& extra, std::string& out) {
        std::vector<std::string> args{HEADLESS_PATH, "--status", "--dir", plant_};
        args.insert(args.end(), extra.begin(), extra.end());
        std::filesystem::remove(root_.Path() + "status.out");
        const int code = RunToEnd(args, "status.out");
        out = Output("status.out");
        return code;
    };
    std::string out;
    EXPECT_EQ(RunToEnd({HEADLESS_PATH, "--status", "--dir", root_.Path() + "tmp"}, "none.out"), 3);
    std::ofstream(root_.Path() + "journal.err");
    struct stat journal {};
    ASSERT_EQ(stat((root_.Path() + "journal.err").c_str(), &journal), 0);
    setenv("JOURNAL_STREAM",
           (std::to_string(journal.st_dev) + ":" + std::to_string(journal.st_ino)).c_str(), 1);
    StartClient("journal.err");
    unsetenv("JOURNAL_STREAM");
    ASSERT_TRUE(watch_->WaitForRows(3, milliseconds(20000))) << Log();
    EXPECT_EQ(status({}, out), 0) << out;
    EXPECT_EQ(out.rfind("TARVEDDE OK - last cycle ", 0), 0u) << out;
    EXPECT_NE(out.find("Client: running since "), std::string::npos) << out;
    EXPECT_NE(out.find("Items: 3 of 3 linked"), std::string::npos) << out;
    ASSERT_EQ(Terminate(), 0);
    std::string expected = Log();
    for (auto at = expected.find("\r\n"); at != std::string::npos; at = expected.find("\r\n", at)) {
        expected.erase(at, 1);
    }
    EXPECT_EQ(Output("journal.err"), expected);

    const auto stamps = [&] {
        std::map<std::string, std::filesystem::file_time_type> files;
        for (const auto& entry : std::filesystem::directory_iterator(plant_)) {
            files[entry.path().filename().string()] = entry.last_write_time();
        }
        return files;
    };
    const auto before = stamps();
    EXPECT_EQ(status({}, out), 2) << out;
    EXPECT_NE(out.find("Client: not running (no $dde_activ)"), std::string::npos) << out;
    EXPECT_EQ(stamps(), before);
    // A crash leaves the marker: running until the rows and the log fall silent.
    std::ofstream(plant_ + "$dde_activ");
    EXPECT_EQ(status({"--stale-after", "600"}, out), 0) << out;
    std::this_thread::sleep_for(milliseconds(2500));
    EXPECT_EQ(status({"--stale-after", "1"}, out), 2) << out;
    EXPECT_NE(out.find("Client: not running or hung: $dde_activ of "), std::string::npos) << out;

    StartClient("plain.err");
    ASSERT_TRUE(watch_->WaitForRows(watch_->Rows() + 2, milliseconds(20000))) << Log();
    ASSERT_EQ(Terminate(), 0);
    EXPECT_EQ(Output("plain.err").find("Datenerfassung"), std::string::npos);
}

}  // namespace
}  // namespace tarvedde
