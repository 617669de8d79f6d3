// The headless client against plantsim, killed with SIGKILL at random moments and
// restarted each time. Most kills follow a day row by at most 1.5 ms, while the state save
// of that cycle runs. Every restart must take the day over: each kill may cost the saved
// count the one row whose save it cut off, and nothing else is lost.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/persistence/state_records.h"
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

std::size_t CountRows(const std::string& bytes) {
    return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
}

// Each new day row wakes the watch at once (inotify), so a kill can follow the row
// within microseconds rather than a polling interval.
class DayRowWatch {
public:
    DayRowWatch(const testing::TempDir& root, const std::string& dir)
        : root_(root), dir_(dir), fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        ok_ = fd_ >= 0 && inotify_add_watch(fd_, (root.Path() + dir).c_str(), IN_MODIFY) >= 0;
    }
    ~DayRowWatch() { close(fd_); }
    bool ok() const { return ok_; }
    // Midnight passed: the rows go to another day file.
    bool DayChanged() const { return dayChanged_; }

    std::size_t Rows() const {
        return dayFile_.empty() ? 0 : CountRows(root_.Bytes(dir_ + dayFile_));
    }

    // True as soon as the day file holds `rows` rows or the day changed; false after `limit`.
    bool WaitForRows(std::size_t rows, milliseconds limit) {
        const auto deadline = SteadyClock::now() + limit;
        while (!dayChanged_ && Rows() < rows) {
            const auto left =
                std::chrono::duration_cast<milliseconds>(deadline - SteadyClock::now()).count();
            pollfd watch{fd_, POLLIN, 0};
            if (left <= 0 || poll(&watch, 1, static_cast<int>(left)) < 0) {
                return false;
            }
            TakeEvents();
        }
        return true;
    }

private:
    void TakeEvents() {
        alignas(inotify_event) char buffer[8192];
        ssize_t length = 0;
        while ((length = read(fd_, buffer, sizeof buffer)) > 0) {
            for (std::size_t at = 0; at < static_cast<std::size_t>(length);) {
                inotify_event event;
                std::memcpy(&event, buffer + at, sizeof event);
                const std::string name(buffer + at + sizeof event,
                                       strnlen(buffer + at + sizeof event, event.len));
                if (name.size() > 4 && name.compare(name.size() - 4, 4, ".DAT") == 0) {
                    dayChanged_ = dayChanged_ || (!dayFile_.empty() && name != dayFile_);
                    dayFile_ = name;
                }
                at += sizeof event + event.len;
            }
        }
    }

    const testing::TempDir& root_;
    std::string dir_;
    int fd_;
    bool ok_ = false;
    std::string dayFile_;
    bool dayChanged_ = false;
};

class HeadlessSigkill : public ::testing::Test {
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
        watch_ = std::make_unique<DayRowWatch>(root_, "plant/");
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

    pid_t Spawn(std::vector<std::string> args, const std::string& output) {
        const std::string outputPath = root_.Path() + output;
        const pid_t pid = fork();
        if (pid != 0) {
            return pid;
        }
        // A private lock directory and socket directory: other tests run beside this one.
        setenv("TMPDIR", (root_.Path() + "tmp").c_str(), 1);
        unsetenv("XDG_RUNTIME_DIR");
        setenv("TARVEDDE_DDE_DIR", (root_.Path() + "dde").c_str(), 1);
        if (FILE* out = std::freopen(outputPath.c_str(), "a", stderr)) {
            dup2(fileno(out), STDOUT_FILENO);
        }
        testing::ExecChild(args);
    }

    void StartClient() { client_ = Spawn({HEADLESS_PATH, "--dir", plant_}, "client.err"); }

    // The exit status, or nothing when the client did not end within the limit.
    std::optional<int> Reap(milliseconds limit) {
        const auto deadline = SteadyClock::now() + limit;
        int status = 0;
        while (waitpid(client_, &status, WNOHANG) == 0) {
            if (SteadyClock::now() > deadline) {
                return std::nullopt;
            }
            std::this_thread::sleep_for(milliseconds(20));
        }
        client_ = -1;
        return status;
    }

    std::vector<ConfigRecord> DayAccumulators() const {
        const std::string bytes = root_.Bytes("plant/TARVEDDE.COF");
        BinaryReader in(bytes);
        std::vector<ConfigRecord> records;
        while (auto record = DecodeConfigRecord(in)) {
            records.push_back(*record);
        }
        return records;
    }

    // How many day rows the saved count of item 1 misses.
    double CountLag() const {
        const auto records = DayAccumulators();
        return static_cast<double>(watch_->Rows()) - (records.empty() ? 0.0 : records[0].count);
    }

    std::string Log() const { return Cp1252ToUtf8(root_.Bytes("plant/_DDE_OPC_LOGALL.TXT")); }

    // An aimed kill follows the 1st to 3rd new day row by less than a save takes; the
    // others fall anywhere in the first 2.5 s, the start included.
    void KillOnce(bool aimed, std::mt19937& random) {
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
        KillAndRestart((aimed ? std::to_string(rows) + " rows + " : std::string("start + ")) +
                       std::to_string(delay.count()) + " us");
    }

    // Acquisition starts again by itself after the last kill; a signal ends it cleanly.
    void StopCleanly() {
        ASSERT_TRUE(watch_->WaitForRows(watch_->Rows() + 2, milliseconds(20000))) << Log();
        ASSERT_EQ(kill(client_, SIGTERM), 0);
        const auto status = Reap(milliseconds(40000));
        ASSERT_TRUE(status) << "no end within 40 s of SIGTERM\n" << Log();
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    }

    // Kills the client, checks what that cost the saved day and starts it again.
    void KillAndRestart(const std::string& moment) {
        ASSERT_EQ(kill(client_, SIGKILL), 0);
        const auto status = Reap(milliseconds(10000));
        ASSERT_TRUE(status && WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL)
            << "the client had ended before the kill\n"
            << Log();
        if (!watch_->DayChanged()) {
            ReportCost(moment);
        }
        StartClient();
    }

    // A kill may cut off the save of the cycle whose row it followed, nothing more.
    void ReportCost(const std::string& moment) {
        const double cost = CountLag() - lag_;
        EXPECT_TRUE(cost == 0.0 || cost == 1.0) << "a kill cost the count " << cost << " rows";
        lag_ += cost;
        std::cout << "kill " << ++kills_ << " " << moment << (cost > 0.0 ? ": cut a save" : "")
                  << '\n';
    }

    testing::TempDir root_;
    const std::string plant_ = root_.Path() + "plant/";
    std::unique_ptr<DayRowWatch> watch_;
    int kills_ = 0;
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

// Which kills are aimed at a save, in random order.
std::vector<bool> KillPlan(std::mt19937& random) {
    std::vector<bool> aimed(kKills, false);
    std::fill_n(aimed.begin(), kAimedKills, true);
    std::shuffle(aimed.begin(), aimed.end(), random);
    return aimed;
}

// The log of every start after the first, one text each.
std::vector<std::string> RestartLogs(const std::string& log) {
    std::vector<std::string> runs;
    for (std::size_t at = log.find(kStartLine); at != std::string::npos;) {
        const std::size_t next = log.find(kStartLine, at + 1);
        runs.push_back(log.substr(at, next == std::string::npos ? next : next - at));
        at = next;
    }
    if (!runs.empty()) {
        runs.erase(runs.begin());
    }
    return runs;
}

TEST_F(HeadlessSigkill, EveryRestartTakesTheDayOverAndAKillCostsTheCountAtMostOneRow) {
    std::mt19937 random(Seed());
    StartClient();
    ASSERT_TRUE(watch_->WaitForRows(2, milliseconds(20000))) << Log();
    for (const bool aimed : KillPlan(random)) {
        ASSERT_NO_FATAL_FAILURE(KillOnce(aimed, random));
    }
    ASSERT_NO_FATAL_FAILURE(StopCleanly());
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
    const auto records = DayAccumulators();
    ASSERT_EQ(records.size(), static_cast<std::size_t>(kItems));
    std::cout << "day rows " << watch_->Rows() << ", day count " << records[0].count << '\n';
    EXPECT_EQ(CountLag(), lag_);
    EXPECT_EQ(records[1].count, records[0].count);
    EXPECT_EQ(root_.Bytes("plant/$clean"), "0\r\n");
}

}  // namespace
}  // namespace tarvedde
