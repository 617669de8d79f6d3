// The client as the headless program wires it (real clock, poll loop, socket DDE
// transport) against plantsim as a real process, all under one temporary directory:
// values reach the day file, a killed plant is noticed and a restarted one linked again
// within 2 s, and none of plantsim's faults (on request or on its own schedule) crashes or
// hangs the client: it logs, retries and goes on by itself when the fault is over.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

// The day file's rows from the third field on: the items' values of each cycle.
std::vector<std::string> DayValues(const std::string& dir) {
    std::vector<std::string> values;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() == ".DAT") {
            std::ifstream file(entry.path(), std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(file)), {});
            for (const std::string& row : CrLfLines(text)) {
                values.push_back(row.substr(row.find(';', row.find(';') + 1) + 1));
            }
        }
    }
    return values;
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
        ASSERT_TRUE(WaitForDdeSocket(ddeDir_, "PlantSim"));
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

    // Two more day rows, the counter's value changed between them: values flow again.
    bool WaitForFreshValues(int limitMs) {
        const std::size_t seen = DayValues(plantDir_).size();
        return PumpUntil(
            [&] {
                const auto rows = DayValues(plantDir_);
                return rows.size() >= seen + 2 && rows.back() != rows[rows.size() - 2];
            },
            limitMs);
    }
    TempDir root_;
    const std::string plantDir_ = root_.Path() + "plant/";
    const std::string ddeDir_ = root_.Path() + "dde";
    pid_t plantsim_ = -1;
    std::unique_ptr<HeadlessClient> client_;
};

// One plant life after another: faults on request, a killed plant, faults on plantsim's
// own schedule.
TEST_F(ClientPlantsimE2e, ValuesFlowAndTheClientRecoversByItselfFromEveryFaultAndAKill) {
    ASSERT_TRUE(WaitForFreshValues(10000)) << LogText();
    // The item the plant does not know was never linked: no text, which counts as 0.
    EXPECT_TRUE(DayValues(plantDir_).back().ends_with(";3,500;0,000"));
    // A 10 000-byte value is cut to its first 201 bytes, which the validity limit clamps.
    Inject("oversize\n");
    ASSERT_TRUE(PumpUntil(
        [&] { return DayValues(plantDir_).back().ends_with(";100000,000;0,000"); }, 5000));
    // A frame that announces 4 GiB: the conversation is dropped, then linked again.
    Inject("garbage\n");
    ASSERT_TRUE(WaitForLogCount(kRelinked, 1, 10000)) << LogText();
    EXPECT_EQ(LogCount("malformed frame: frame of 4294967295 bytes exceeds the limit"), 1);
    ASSERT_TRUE(WaitForFreshValues(10000));
    // While the plant says nothing the cycles go on with the last values.
    Inject("stall 3000\n");
    const std::size_t rows = DayValues(plantDir_).size();
    ASSERT_TRUE(PumpUntil([&] { return DayValues(plantDir_).size() > rows + 1; }, 2500));
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

    StopPlantsim(SIGKILL);
    ASSERT_TRUE(WaitForLogCount(kLost, 4, 5000)) << LogText();
    // TimerAuto tries once a second, each try a failed link and a beep.
    const int beeps = client_->Beeps();
    PumpFor(3500);
    EXPECT_GE(client_->Beeps() - beeps, 2);
    EXPECT_LE(client_->Beeps() - beeps, 4);
    EXPECT_EQ(LogCount(kRelinked), 3);
    // The plant comes back just after a failed try: the worst case for the next one.
    const int beepsBefore = client_->Beeps();
    ASSERT_TRUE(PumpUntil([&] { return client_->Beeps() > beepsBefore; }, 3000));
    EXPECT_EQ(LogCount("BEEP"), 0);
    const auto restart = SteadyClock::now();
    // Refused from 4.5 s to 6 s, dropped at 5 s.
    StartPlantsim({"--fault", "refuse@4500:1500", "--fault", "drop@5000"});
    ASSERT_TRUE(WaitForLogCount(kRelinked, 4, 10000)) << LogText();
    EXPECT_LT(MsSince(restart), 2000);
    EXPECT_TRUE(WaitForFreshValues(10000)) << LogText();
    ASSERT_TRUE(WaitForLogCount(kRelinked, 5, 15000)) << LogText();
    EXPECT_GE(MsSince(restart), 6000);
    EXPECT_EQ(LogCount(kLost), 5);
}

}  // namespace
}  // namespace tarvedde::testing
