// The AQASYS retrieval as the headless program wires it (real clock, poll loop, socket DDE
// transport) against plantsim's AQASYS face as a real process: the retrieval dialog marks
// ten days of last year, the transfer fetches them into ten .TVI files with the bound
// diary indexes and the logger's values, and an unknown code only costs a log line.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/headless_runner.h"
#include "dialogs/tarvedde_aqasys_abruf.h"
#include "outputs/diary_files.h"
#include "platform/date_time.h"
#include "platform/number_format.h"
#include "sources/dde_socket_io.h"
#include "tests/app/scenario_test_files.h"
#include "tests/e2e/exec_child.h"

namespace tarvedde::testing {
namespace {

std::string Date(double day, const char* pattern) {
    return FormatDateTime(pattern, day, GermanLocale());
}

class AqasysPlantsimE2e : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(plantDir_);
        std::filesystem::create_directories(root_.Path() + "locks");
        ASSERT_TRUE(PrepareDdeDirectory(ddeDir_).ok());
    }
    void TearDown() override {
        client_.reset();
        if (plantsim_ > 0) {
            kill(plantsim_, SIGKILL);
            waitpid(plantsim_, nullptr, 0);
        }
    }
    void StartPlantsim() {
        std::vector<std::string> args = {PLANTSIM_PATH, "--config", root_.Path() + "plant.ini",
                                         "--dde-dir", ddeDir_};
        plantsim_ = fork();
        if (plantsim_ == 0) {
            ExecChild(args);
        }
    }
    bool PumpUntil(const std::function<bool()>& done, int limitMs) {
        const auto start = SteadyClock::now();
        while (!done() && MsSince(start) < limitMs) {
            client_->Loop().ProcessPendingEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return done();
    }
    std::string LogText() const { return Cp1252ToUtf8(root_.Bytes("plant/_DDE_OPC_LOGALL.TXT")); }

    TempDir root_;
    const std::string plantDir_ = root_.Path() + "plant/";
    const std::string ddeDir_ = root_.Path() + "dde";
    pid_t plantsim_ = -1;
    std::unique_ptr<HeadlessClient> client_;
};

TEST_F(AqasysPlantsimE2e, TenDaysOfLastYearReachTheirDiaryFiles) {
    StartOptions options;
    options.programDir = plantDir_;
    options.sourceKind = SourceKind::Aqasys;
    auto created = HeadlessClient::Create(options, ddeDir_, root_.Path() + "locks");
    ASSERT_TRUE(created.ok());
    client_ = std::move(created).value();
    const int year = DecodeDate(client_->Engine().GetHost().clock.Now()).year - 1;
    const double first = EncodeDate(year, 1, 10);

    // A12 from the logger's data file, A13 generated, B9 unknown to it.
    std::string days;
    for (int d = 0; d < 10; ++d) {
        days += "A12;" + Date(first + d, "dd.mm.yyyy") + ";" + std::to_string(d) + ".5\n";
    }
    root_.WriteText("days.txt", days);
    root_.WriteText("plant.ini",
                    "[Service]\nName=Kestrom\nTopic=AQASYS\n[Aqasys]\nCodes=A13\n"
                    "DelayMs=5\nDataFile=" +
                        root_.Path() + "days.txt\n");
    StartPlantsim();
    ASSERT_TRUE(WaitForDdeSocket(ddeDir_, "Kestrom"));
    root_.WriteText("plant/TARVEDDE.INI",
                    "[DDE]\nAutoStart=0\nFirstRun=0\nServer=Kestrom\nTopic=AQASYS\n");
    root_.WriteText("plant/AQASYSITEMS.TXT", "A12;\nB9;\nA13;\n");
    root_.WriteText("plant/AQASYSNAMES.TXT", "Regen\nFehlt\nTemperatur\n");
    root_.WriteText("plant/ONLINE.TVW", "2\n4\nRegen\n11\nTemperatur\n");
    std::vector<DiaryBinding> records(kDiaryValueCount);
    for (const auto& [index, parameter] : {std::pair{4, 1}, std::pair{11, 3}}) {
        records[static_cast<std::size_t>(index - 1)].diaryIndex = index;
        records[static_cast<std::size_t>(index - 1)].itemNumber = parameter;
    }
    std::ofstream(plantDir_ + "AQABIND.TVW", std::ios::binary) << EncodeBindingFile(records);

    TarveddeMain& engine = client_->Engine();
    ASSERT_TRUE(engine.FormCreate());
    engine.FormShow();
    TFo_AqasysAbruf dialog(engine.Aqasys(), engine.Config(), engine.GetHost(), engine.Log(),
                           GermanLocale());
    dialog.FormShow();
    dialog.dtVom = first;
    dialog.dtBis = first + 9;
    dialog.cbGelesen = true;
    dialog.btMarkierenClick();
    dialog.btAbrufenClick();
    ASSERT_TRUE(dialog.StartsTransfer());
    ASSERT_TRUE(engine.ButtonClick("btStartDDE"));
    ASSERT_TRUE(PumpUntil([&] { return engine.Stopped(); }, 30000)) << LogText();

    const std::regex generated("11\r\n[0-9]{1,2},[0-9]{2}\r\n");
    for (int d = 0; d < 10; ++d) {
        const std::string tvi = root_.Bytes("plant/" + Date(first + d, "yyyymmdd") + ".TVI");
        EXPECT_TRUE(tvi.starts_with("4\r\n" + std::to_string(d) + ",5\r\n")) << d << ": " << tvi;
        EXPECT_TRUE(std::regex_match(tvi.substr(tvi.find("\r\n11\r\n") + 2), generated)) << tvi;
        EXPECT_NE(LogText().find("B9;" + Date(first + d, "mm.yy;dd") + " : Nicht definiert !"),
                  std::string::npos);
    }
    EXPECT_EQ(root_.Bytes("plant/" + Date(first + 10, "yyyymmdd") + ".TVI"), "<missing>");
    EXPECT_EQ(engine.Aqasys().ContainerYearOverride(), "");
}

}  // namespace
}  // namespace tarvedde::testing
