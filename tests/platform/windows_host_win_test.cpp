// The Windows halves of the host interfaces, on the real system (under wine in CI).
#include "platform/windows_api.h"
// After windows.h, which it needs.
#include <shellapi.h>
#undef CreateDirectory

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/file_system.h"
#include "platform/instance_lock.h"
#include "platform/message_event_loop.h"
#include "platform/path_names.h"
#include "platform/process_paths.h"
#include "platform/system_shell.h"
#include "platform/wide_text_win.h"
#include "platform/windows_command_line.h"
#include "tests/platform/event_loop_contract.h"

namespace tarvedde::testing {

struct MessageDriver {
    EventLoop& Loop() { return *loop; }
    static void Busy(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    std::unique_ptr<Clock> clock = MakeSystemClock();
    std::unique_ptr<MessageEventLoop> loop = MessageEventLoop::Create(*clock).value();
};
INSTANTIATE_TYPED_TEST_SUITE_P(MessageLoop, EventLoopContract, MessageDriver);

}  // namespace tarvedde::testing

namespace tarvedde {
namespace {

class MessageEventLoopTest : public testing::EventLoopContract<testing::MessageDriver> {
protected:
    // Runs `action` on another thread while the loop waits with nothing due.
    bool RunWhile(const std::function<void()>& action) {
        std::thread other([&] {
            testing::MessageDriver::Busy(20);
            action();
        });
        const bool quit = RunAtMost(kBound);
        other.join();
        return quit;
    }
};

MessageEventLoop* windowLoop = nullptr;
int windowMessages = 0;

LRESULT CALLBACK CountingWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        ++windowMessages;
        windowLoop->Quit();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// What the DDE library needs: a message for a window of the loop's thread, posted from
// elsewhere, wakes the waiting loop and reaches the window procedure.
TEST_F(MessageEventLoopTest, WindowMessagesWakeTheLoopAndAreDispatched) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = CountingWindow;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TarveddeLoopTest";
    ASSERT_NE(RegisterClassW(&windowClass), 0);
    const HWND window = CreateWindowExW(0, L"TarveddeLoopTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    windowLoop = driver_.loop.get();
    EXPECT_TRUE(RunWhile([&] { PostMessageW(window, WM_APP, 0, 0); }));
    EXPECT_EQ(windowMessages, 1);
    DestroyWindow(window);
}

TEST_F(MessageEventLoopTest, PostAndQuitFromAnotherThreadWakeTheLoop) {
    EXPECT_TRUE(RunWhile([&] { Loop().Post(Log("posted", 1)); }));
    EXPECT_EQ(log_, testing::Lines{"posted"});
    bool bounded = false;
    auto bound = Loop().CreateTimer("bound", kBound, [&] {
        bounded = true;
        Loop().Quit();
    });
    bound->SetEnabled(true);
    std::thread other([&] {
        testing::MessageDriver::Busy(20);
        driver_.loop->RequestQuitFromSignal();
    });
    Loop().Run();
    other.join();
    EXPECT_FALSE(bounded);
}

class RealFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto made = MakeTemporaryDirectory("tarvedde-fs-");
        ASSERT_TRUE(made) << made.error().message;
        dir_ = made.value() + "\\";
    }
    void TearDown() override { std::filesystem::remove_all(PathFromUtf8(dir_)); }

    std::unique_ptr<FileSystem> fs_ = MakeRealFileSystem();
    std::string dir_;
};

// The faults the C library's defaults would bring on Windows: text mode, a rename that
// refuses an existing target, names read in the ANSI code page.
TEST_F(RealFileSystemTest, BytesNamesAndReplacementAreExact) {
    const std::string bytes("a\nb\r\n\x1a\0z", 8);
    const std::string name = dir_ + "Kl\xC3\xA4rwerk.bin";
    ASSERT_TRUE(fs_->WriteAll(name, bytes, true));
    ASSERT_TRUE(fs_->Append(name, "\n"));
    EXPECT_EQ(fs_->ReadAll(name).value(), bytes + "\n");
    EXPECT_EQ(fs_->Size(name).value(), 9u);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(dir_) / L"Kl\u00E4rwerk.bin"));
    EXPECT_EQ(fs_->List(dir_), std::vector<std::string>{"Kl\xC3\xA4rwerk.bin"});

    ASSERT_TRUE(fs_->WriteAll(dir_ + "new.tmp", "new", false));
    ASSERT_TRUE(fs_->Rename(dir_ + "new.tmp", name));
    EXPECT_EQ(fs_->ReadAll(name).value(), "new");
    EXPECT_FALSE(fs_->Exists(dir_ + "new.tmp"));

    ASSERT_TRUE(fs_->CreateDirectory(dir_ + "a/b\\c"));
    EXPECT_TRUE(fs_->IsDirectory(dir_ + "a\\b/c"));
    EXPECT_FALSE(fs_->IsDirectory(name));
    ASSERT_TRUE(fs_->Remove(name));
    EXPECT_FALSE(fs_->Exists(name));
    EXPECT_FALSE(fs_->Remove(name));
    EXPECT_FALSE(fs_->ReadAll(name));
}

TEST_F(RealFileSystemTest, AnOpenReaderDoesNotBlockReplacingOrRemoving) {
    const std::string name = dir_ + "state.dat";
    ASSERT_TRUE(fs_->WriteAll(name, "old", false));
    const HANDLE reader = CreateFileW(win::Widen(name).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(fs_->WriteAll(name, "newer", false));
    EXPECT_TRUE(fs_->Append(name, "!"));
    EXPECT_EQ(fs_->ReadAll(name).value(), "newer!");
    CloseHandle(reader);
}

TEST(InstanceLockWin, HoldersSeeEachOtherUntilTheLastOneEnds) {
    const auto dir = MakeTemporaryDirectory("tarvedde-lock-");
    ASSERT_TRUE(dir);
    {
        InstanceLock first = InstanceLock::AcquireIn(dir.value(), "tarvedde.exe");
        EXPECT_FALSE(first.ExistedAlready());
        EXPECT_TRUE(first.Owns());
        EXPECT_EQ(first.ErrorMessage(), "");
        InstanceLock second = InstanceLock::AcquireIn(dir.value(), "tarvedde.exe");
        EXPECT_TRUE(second.ExistedAlready());
        EXPECT_FALSE(InstanceLock::AcquireIn(dir.value(), "other").ExistedAlready());
        first.Release();
        EXPECT_TRUE(InstanceLock::AcquireIn(dir.value(), "tarvedde.exe").ExistedAlready());
    }
    EXPECT_FALSE(InstanceLock::AcquireIn(dir.value(), "tarvedde.exe").ExistedAlready());
    std::filesystem::remove_all(PathFromUtf8(dir.value()));
}

std::vector<std::string> SplitAsWindowsDoes(const std::string& line) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(win::Widen(line).c_str(), &count);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) {
        args.push_back(win::Narrow(wide[i]));
    }
    LocalFree(wide);
    return args;
}

TEST(SystemShellWin, ArgumentsComeBackAsGivenAndProgramsStart) {
    const std::vector<std::string> args{"plain",      "",          "two words",
                                        "say \"hi\"", "C:\\dir\\", "C:\\my dir\\",
                                        "a\\\\\"b",   "\xC3\xA4"};
    std::vector<std::string> expected{"C:\\Program Files\\viewer.exe"};
    expected.insert(expected.end(), args.begin(), args.end());
    EXPECT_EQ(SplitAsWindowsDoes(WindowsCommandLine(expected.front(), args)), expected);

    SystemShell shell;
    EXPECT_FALSE(shell.StartProgram("no-such-program-here", {}));
    ASSERT_TRUE(shell.StartProgram("cmd.exe", {"/c", "exit 0"}));
    for (int i = 0; i < 500 && shell.UnreapedChildren() > 0; ++i) {
        Sleep(10);
    }
    EXPECT_EQ(shell.UnreapedChildren(), 0u);
}

TEST(SystemClockWin, LocalTimeAndElapsedTimeAgreeWithTheSystem) {
    const auto clock = MakeSystemClock();
    SYSTEMTIME local{};
    GetLocalTime(&local);
    // 2000-01-01 is day 36526; every later day adds one.
    SYSTEMTIME dayStart = local;
    dayStart.wHour = dayStart.wMinute = dayStart.wSecond = dayStart.wMilliseconds = 0;
    FILETIME start{};
    FILETIME y2k{};
    SYSTEMTIME y2kSystem{2000, 1, 6, 1, 0, 0, 0, 0};
    SystemTimeToFileTime(&dayStart, &start);
    SystemTimeToFileTime(&y2kSystem, &y2k);
    const auto ticks = [](FILETIME t) {
        return (static_cast<std::int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const double expectedDay =
        36526.0 + static_cast<double>((ticks(start) - ticks(y2k)) / (864'000'000'000LL));
    const double fraction = (local.wHour * 3600.0 + local.wMinute * 60.0 + local.wSecond) / 86400.0;
    EXPECT_NEAR(clock->Now(), expectedDay + fraction, 2.0 / 86400.0);

    const std::int64_t before = clock->ElapsedMs();
    Sleep(50);
    const std::int64_t elapsed = clock->ElapsedMs() - before;
    EXPECT_GE(elapsed, 45);
    EXPECT_LT(elapsed, 5000);
}

TEST(ProcessPathsWin, TheExecutableAndItsArgumentsAreFound) {
    EXPECT_TRUE(FileNameOf(ExecutablePath()).ends_with("platform_tests.exe"));
    EXPECT_TRUE(IsAbsolutePath(ExecutablePath()));
    char program[] = "ignored";
    char* argv[] = {program};
    EXPECT_EQ(FileNameOf(ProgramArguments(1, argv).front()), FileNameOf(ExecutablePath()));
}

}  // namespace
}  // namespace tarvedde
