// plantsim as a real process and the client as the headless program wires it (real clock,
// poll loop, socket transports), all under one temporary directory: plantsim's INI is
// plant.ini, the client's program directory plant/.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/headless_runner.h"
#include "sources/dde_socket_io.h"
#include "tests/app/scenario_test_files.h"
#include "tests/e2e/exec_child.h"
#include "tests/sources/pump_until.h"

namespace tarvedde::testing {

// The day file's rows from the third field on: the items' values of each cycle.
inline std::vector<std::string> DayValues(const std::string& dir) {
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

class PlantsimClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(plantDir_);
        std::filesystem::create_directories(root_.Path() + "locks");
        ASSERT_TRUE(PrepareDdeDirectory(ddeDir_).ok());
    }
    void TearDown() override {
        client_.reset();
        StopPlantsim(SIGKILL);
    }

    void StartPlantsim(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {PLANTSIM_PATH, "--config", root_.Path() + "plant.ini",
                                         "--dde-dir", ddeDir_};
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

    // Up to the window's creation: the caller may prepare files before FormCreate.
    void CreateClient(SourceKind kind) {
        StartOptions options;
        options.programDir = plantDir_;
        options.sourceKind = kind;
        auto created = HeadlessClient::Create(options, ddeDir_, root_.Path() + "locks");
        ASSERT_TRUE(created.ok());
        client_ = std::move(created).value();
    }
    // The start runs up to the automatic start of acquisition.
    void StartClient(SourceKind kind = SourceKind::Dde) {
        CreateClient(kind);
        ASSERT_TRUE(client_->Engine().FormCreate());
        client_->Engine().FormShow();
    }

    bool PumpUntil(const std::function<bool()>& done, int limitMs) {
        return tarvedde::testing::PumpUntil(client_->Loop(), done, limitMs);
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
    // Two more day rows, the values changed between them: values flow again.
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

}  // namespace tarvedde::testing
