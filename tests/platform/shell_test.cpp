#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/recording_shell.h"
#include "platform/system_shell.h"

namespace tarvedde {
namespace {

namespace fs = std::filesystem;

class SystemShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tarvedde_shell_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Polls for up to 10 s: a loaded machine may be slow to run the child.
    static bool Eventually(const std::function<bool()>& condition) {
        for (int i = 0; i < 1000; ++i) {
            if (condition()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return condition();
    }

    static std::string Contents(const fs::path& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir_;
};

TEST_F(SystemShellTest, StartsAProgramWithArgumentsWithoutWaiting) {
    SystemShell shell;
    const fs::path out = dir_ / "out.txt";
    ASSERT_TRUE(shell.StartProgram(
        "sh", {"-c", "printf '%s|%s' \"$0\" \"$1\" > \"$2\"", "eins zwei", "drei", out.string()}));
    EXPECT_TRUE(Eventually([&] { return Contents(out) == "eins zwei|drei"; })) << Contents(out);
}

TEST_F(SystemShellTest, ReportsAProgramThatCannotStartAndReapsEndedChildren) {
    SystemShell shell;
    EXPECT_FALSE(shell.StartProgram("tarvedde-no-such-program", {}));
    EXPECT_FALSE(shell.StartProgram((dir_ / "missing").string(), {}));
    EXPECT_EQ(shell.UnreapedChildren(), 0u);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(shell.StartProgram("true", {}));
    }
    EXPECT_TRUE(Eventually([&] { return shell.UnreapedChildren() == 0; }));
}

TEST_F(SystemShellTest, TerminateFlushesBufferedOutputAndExitsWithTheCode) {
    // The default ("fast") style forks, so the child writes into this test's directory.
    const fs::path out = dir_ / "flushed.txt";
    const auto terminate = [&] {
        std::FILE* file = std::fopen(out.c_str(), "w");
        std::fputs("buffered", file);
        MakeSystemShell()->TerminateProcess(7);
    };
    EXPECT_EXIT(terminate(), ::testing::ExitedWithCode(7), "");
    EXPECT_EQ(Contents(out), "buffered");
}

TEST(RecordingShell, RecordsStartsAndTheFirstTerminateRequest) {
    RecordingShell shell;
    EXPECT_TRUE(shell.StartProgram("notepad", {"a.txt"}));
    shell.SetStartSucceeds(false);
    EXPECT_FALSE(shell.StartProgram("viewer", {}));
    EXPECT_EQ(shell.Started(), (std::vector<RecordingShell::StartedProgram>{{"notepad", {"a.txt"}},
                                                                            {"viewer", {}}}));
    EXPECT_FALSE(shell.terminated());
    shell.TerminateProcess(3);
    shell.TerminateProcess(0);
    EXPECT_TRUE(shell.terminated());
    EXPECT_EQ(shell.exitCode(), 3);
}

}  // namespace
}  // namespace tarvedde
