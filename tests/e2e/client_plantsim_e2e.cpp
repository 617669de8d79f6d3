// The client as the headless program wires it (real clock, poll loop, socket DDE
// transport) against plantsim as a real process, all under one temporary directory:
// values reach the live grid and the day file, a killed plant is noticed and a restarted
// one linked again within 2 s, and none of plantsim's faults (on request or on its own
// schedule) crashes or hangs the client: it logs, retries and goes on by itself when the
// fault is over.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/headless_runner.h"
#include "sources/dde_socket_io.h"
#include "tests/app/scenario_test_files.h"
#include "tests/e2e/exec_child.h"

namespace tarvedde::testing {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Three items; the plant serves the first two ("Fehlt" is unknown to it). Cycle 1 s.
constexpr char kClientIni[] =
    "[DDE]\nItemcount=3\nIntervall=1\nEinheit=0\nAutoStart=1\nServer=PlantSim\nTopic=Werte\n"
    "[Items]\nItem1=Zulauf\nItem2=Pegel\nItem3=Fehlt\n"
    "[Itemnames]\nItem1=Zulauf\nItem2=Pegel\nItem3=Fehlt\n";

// A counter that changes every 200 ms, so a fresh value always shows, and a constant.
constexpr char kPlantIni[] =
    "[Service]\nName=PlantSim\nTopic=Werte\n[Items]\nCount=2\n"
    "[Item1]\nName=Zulauf\nGenerator=counter\nIntervalMs=200\nValue=1\nStep=1\nDecimals=1\n"
    "Wrap=0\n"
    "[Item2]\nName=Pegel\nGenerator=constant\nValue=3,5\n";

constexpr char kLost[] = "Callback : Konversation abgebrochen !";
constexpr char kRelinked[] = "Verbindung zum Server hergestellt.";

std::int64_t MsSince(SteadyClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start)
        .count();
}

std::string DayFileText(const std::string& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() == ".DAT") {
            std::ifstream file(entry.path(), std::ios::binary);
            return std::string((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        }
    }
    return "<no day file>";
}

class ClientPlantsimE2e : public ::testing::Test {
protected:
    // plantsim and the client both run when a test begins.
    void SetUp() override {
        std::filesystem::create_directories(plantDir_);
        std::filesystem::create_directories(root_.Path() + "locks");
        ASSERT_TRUE(PrepareDdeDirectory(ddeDir_).ok());
        root_.WriteText("plant/TARVEDDE.INI", kClientIni);
        root_.WriteText("plant.ini", kPlantIni);
        StartPlantsim();
        ASSERT_TRUE(WaitForSocket());
        StartClient();
    }
    void TearDown() override {
        client_.reset();
        StopPlantsim(SIGKILL);
    }

    void StartPlantsim(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {PLANTSIM_PATH, "--config", root_.Path() + "plant.ini",
                                         "--dde-dir",   ddeDir_,    "--control",
                                         ControlPath()};
        args.insert(args.end(), extra.begin(), extra.end());
        plantsim_ = fork();
        if (plantsim_ == 0) {
            ExecChild(args);
        }
    }
    void StopPlantsim(int signal) {
        if (plantsim_ > 0) {
            kill(plantsim_, signal);
            waitpid(plantsim_, nullptr, 0);
            plantsim_ = -1;
        }
    }
    // plantsim listens (its start takes a moment after the fork).
    bool WaitForSocket() const {
        const std::string path = DdeSocketPath(ddeDir_, "PlantSim").value();
        const auto start = SteadyClock::now();
        while (MsSince(start) < 10000) {
            if (auto fd = ConnectDdeSocket(path); fd.ok()) {
                close(fd.value());
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    std::string ControlPath() const { return root_.Path() + "control"; }
    // One fault command of plantsim's control file ("KIND [DURATION_MS]" lines).
    void Inject(const std::string& commands) {
        const std::string fresh = ControlPath() + ".new";
        std::ofstream(fresh) << commands;
        std::filesystem::rename(fresh, ControlPath());
    }

    // The headless wiring; the start runs up to the automatic start of acquisition.
    void StartClient() {
        StartOptions options;
        options.programDir = plantDir_;
        auto created = HeadlessClient::Create(options, ddeDir_, root_.Path() + "locks");
        ASSERT_TRUE(created.ok());
        client_ = std::move(created).value();
        ASSERT_TRUE(client_->Engine().FormCreate());
        client_->Engine().FormShow();
    }
    TarveddeMain& Engine() { return client_->Engine(); }
    const std::string& NewestText(int item) {
        return client_->Engine().Dde().Sources()[item].newestText;
    }
    // The value the last cycle wrote for the item into the live grid.
    const std::string& GridValue(int item) {
        return Engine().Grid().Cell(item, Engine().Grid().CurrentRow());
    }

    // Runs the client's loop until `done` holds or `limitMs` passes; returns `done()`.
    bool PumpUntil(const std::function<bool()>& done, int limitMs) {
        const auto start = SteadyClock::now();
        while (!done() && MsSince(start) < limitMs) {
            client_->Loop().ProcessPendingEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return done();
    }
    void PumpFor(int ms) {
        PumpUntil([] { return false; }, ms);
    }

    // The program log (_DDE_OPC_LOGALL.TXT) in UTF-8.
    std::string LogText() const { return Cp1252ToUtf8(root_.Bytes("plant/_DDE_OPC_LOGALL.TXT")); }
    int LogCount(const std::string& text) const {
        const std::string log = LogText();
        int count = 0;
        for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
            ++count;
        }
        return count;
    }
    bool WaitForLogCount(const std::string& text, int count, int limitMs) {
        return PumpUntil([&] { return LogCount(text) >= count; }, limitMs);
    }

    // A fresh value of the counter item reaches the live grid: data flow and cycles run.
    bool WaitForFreshValues(int limitMs) {
        const std::string text = NewestText(1);
        const std::string shown = GridValue(1);
        return PumpUntil(
            [&] {
                return !client_->Engine().Dde().ConnectionLost() && NewestText(1) != text &&
                       GridValue(1) != shown;
            },
            limitMs);
    }

    TempDir root_;
    const std::string plantDir_ = root_.Path() + "plant/";
    const std::string ddeDir_ = root_.Path() + "dde";
    pid_t plantsim_ = -1;
    std::unique_ptr<HeadlessClient> client_;
};

TEST_F(ClientPlantsimE2e, ValuesFlowAndAKilledPlantIsLinkedAgainWithinTwoSecondsOfItsRestart) {
    EXPECT_EQ(LogCount("Datenerfassung gestartet."), 1) << LogText();
    EXPECT_EQ(LogCount("***** Fehler ! Advise Item 3: DDE-Fehler: $00004009"), 1);
    EXPECT_EQ(LogCount("Achtung ! Nur 2 von 3 Werten werden übertragen."), 1);
    ASSERT_TRUE(WaitForFreshValues(10000)) << LogText();
    EXPECT_EQ(GridValue(2), "3,500");
    EXPECT_EQ(GridValue(3), "0,000");  // never linked: no text, which counts as 0
    // The day file takes its texts from the grid.
    ASSERT_TRUE(PumpUntil(
        [&] {
            const std::string row = ";" + GridValue(1) + ";3,500;0,000\r\n";
            return DayFileText(plantDir_).find(row) != std::string::npos;
        },
        5000))
        << DayFileText(plantDir_);

    StopPlantsim(SIGKILL);
    ASSERT_TRUE(WaitForLogCount(kLost, 1, 5000)) << LogText();
    ASSERT_TRUE(WaitForLogCount("Es wird versucht, die Verbindung wiederherzustellen...", 1, 1000));
    // TimerAuto tries once a second, each try a failed link and a beep.
    const int beeps = client_->Beeps();
    const auto outage = SteadyClock::now();
    PumpFor(3500);
    const int tries = client_->Beeps() - beeps;
    EXPECT_GE(tries, 2) << "in " << MsSince(outage) << " ms";
    EXPECT_LE(tries, 4) << "in " << MsSince(outage) << " ms";
    EXPECT_EQ(LogCount(kRelinked), 0);

    // The plant comes back just after a failed try: the worst case for the next one.
    const int beepsBefore = client_->Beeps();
    ASSERT_TRUE(PumpUntil([&] { return client_->Beeps() > beepsBefore; }, 3000));
    EXPECT_EQ(LogCount("BEEP"), 0);
    const auto restart = SteadyClock::now();
    // Faults on plantsim's own schedule: refused from 4.5 s to 6 s, dropped at 5 s.
    StartPlantsim({"--fault", "refuse@4500:1500", "--fault", "drop@5000"});
    ASSERT_TRUE(WaitForLogCount(kRelinked, 1, 10000)) << LogText();
    EXPECT_LT(MsSince(restart), 2000);
    EXPECT_EQ(LogCount("Datenerfassung gestartet."), 2);
    EXPECT_TRUE(WaitForFreshValues(10000)) << LogText();
    EXPECT_EQ(LogCount(kLost), 1);
    ASSERT_TRUE(WaitForLogCount(kRelinked, 2, 15000)) << LogText();
    EXPECT_GE(MsSince(restart), 6000);
    EXPECT_EQ(LogCount(kLost), 2);
}

TEST_F(ClientPlantsimE2e, FaultsAreLoggedAndAcquisitionResumesByItselfAfterEach) {
    ASSERT_TRUE(WaitForFreshValues(10000)) << LogText();

    // A 10 000-byte value is cut to its first 201 bytes and goes through the cycle.
    Inject("oversize\n");
    ASSERT_TRUE(PumpUntil([&] { return NewestText(2) == std::string(201, '9'); }, 5000));
    ASSERT_TRUE(PumpUntil([&] { return GridValue(2) == "100000,000"; }, 5000));  // clamped
    ASSERT_TRUE(WaitForFreshValues(10000));

    // A frame that announces 4 GiB: the conversation is dropped, then linked again.
    Inject("garbage\n");
    ASSERT_TRUE(WaitForLogCount(kRelinked, 1, 10000)) << LogText();
    EXPECT_EQ(LogCount(kLost), 1);
    EXPECT_EQ(LogCount("malformed frame: frame of 4294967295 bytes exceeds the limit"), 1);
    ASSERT_TRUE(WaitForFreshValues(10000));

    // While the plant says nothing the cycles go on with the last values.
    Inject("stall 3000\n");
    const std::string cycleTime = Engine().Window().lbDT;
    ASSERT_TRUE(PumpUntil([&] { return Engine().Window().lbDT != cycleTime; }, 5000));
    ASSERT_TRUE(WaitForFreshValues(10000));

    // A dropped conversation whose reconnects meet a silent plant (each attempt ends by
    // its time-out), then one whose reconnects are refused: the link comes back after both.
    Inject("stall 4000\ndrop\n");
    ASSERT_TRUE(WaitForLogCount(kRelinked, 2, 20000)) << LogText();
    ASSERT_TRUE(WaitForFreshValues(10000));
    Inject("refuse 2500\ndrop\n");
    ASSERT_TRUE(WaitForLogCount(kRelinked, 3, 20000)) << LogText();
    ASSERT_TRUE(WaitForFreshValues(10000));
    EXPECT_EQ(LogCount(kLost), 3);
    EXPECT_EQ(LogCount("*** TimeOut"), 0);
}

}  // namespace
}  // namespace tarvedde::testing
