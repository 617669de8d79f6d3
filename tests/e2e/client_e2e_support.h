// The whole client as the headless program wires it (real clock, poll loop, socket DDE
// transport), on a program directory of its own, against plantsim as a child process or a
// fake peer of the test's own. Everything lives under one temporary directory: the
// program directory, the private DDE socket directory and the single-instance lock.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/headless_runner.h"
#include "platform/text_encoding.h"
#include "sources/dde_socket_io.h"
#include "tests/e2e/exec_child.h"

namespace tarvedde::testing {

using SteadyClock = std::chrono::steady_clock;

// Three items; the plant serves the first two ("Fehlt" is unknown to it). Cycle 1 s.
inline constexpr char kClientIni[] =
    "[DDE]\nItemcount=3\nIntervall=1\nEinheit=0\nAutoStart=1\nServer=PlantSim\nTopic=Werte\n"
    "[Items]\nItem1=Zulauf\nItem2=Pegel\nItem3=Fehlt\n"
    "[Itemnames]\nItem1=Zulauf\nItem2=Pegel\nItem3=Fehlt\n";

// A counter that changes every 200 ms, so a fresh value always shows, and a constant.
inline constexpr char kPlantIni[] =
    "[Service]\nName=PlantSim\nTopic=Werte\n[Items]\nCount=2\n"
    "[Item1]\nName=Zulauf\nGenerator=counter\nIntervalMs=200\nValue=1\nStep=1\nDecimals=1\n"
    "Wrap=0\n"
    "[Item2]\nName=Pegel\nGenerator=constant\nValue=3,5\n";

inline constexpr char kLost[] = "Callback : Konversation abgebrochen !";
inline constexpr char kRelinked[] = "Verbindung zum Server hergestellt.";

inline std::int64_t MsSince(SteadyClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start)
        .count();
}

class ClientE2e : public ::testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);  // a fake peer may answer a client that has gone
        char pattern[] = "/tmp/client-e2e-XXXXXX";
        root_ = mkdtemp(pattern);
        plantDir_ = root_ + "/plant/";
        ddeDir_ = root_ + "/dde";
        std::filesystem::create_directories(plantDir_);
        std::filesystem::create_directories(root_ + "/locks");
        ASSERT_TRUE(PrepareDdeDirectory(ddeDir_).ok());
        WriteWindowsText(plantDir_ + "TARVEDDE.INI", kClientIni);
        WriteWindowsText(root_ + "/plant.ini", kPlantIni);
    }
    void TearDown() override {
        client_.reset();
        StopPlantsim(SIGKILL);
        std::filesystem::remove_all(root_);
    }

    static void WriteWindowsText(const std::string& path, const std::string& utf8) {
        std::string text;
        for (char c : utf8) {
            text += c == '\n' ? std::string("\r\n") : std::string(1, c);
        }
        std::ofstream(path, std::ios::binary) << Utf8ToCp1252(text);
    }

    void StartPlantsim(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {PLANTSIM_PATH, "--config", root_ + "/plant.ini",
                                         "--dde-dir",   ddeDir_,    "--control",
                                         ControlPath()};
        args.insert(args.end(), extra.begin(), extra.end());
        plantsim_ = fork();
        if (plantsim_ == 0) {
            testing::ExecChild(args);
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
    std::string ControlPath() const { return root_ + "/control"; }
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
        auto created = HeadlessClient::Create(options, ddeDir_, root_ + "/locks");
        ASSERT_TRUE(created.ok());
        client_ = std::move(created).value();
        ASSERT_TRUE(client_->Engine().FormCreate());
        client_->Engine().FormShow();
    }
    EngineState& State() { return client_->Engine().State(); }
    const std::string& NewestText(int item) { return State().sources[item].newestText; }
    // The value the last cycle wrote for the item into the live grid.
    const std::string& GridValue(int item) {
        return State().grid.Cell(item, State().grid.CurrentRow());
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
    std::string LogText() const {
        std::ifstream file(plantDir_ + "_DDE_OPC_LOGALL.TXT", std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        return Cp1252ToUtf8(bytes);
    }
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
                return !State().connectionLost && NewestText(1) != text && GridValue(1) != shown;
            },
            limitMs);
    }

    std::string root_;
    std::string plantDir_;
    std::string ddeDir_;
    pid_t plantsim_ = -1;
    std::unique_ptr<HeadlessClient> client_;
};

}  // namespace tarvedde::testing
