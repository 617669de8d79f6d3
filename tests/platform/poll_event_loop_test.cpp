// Real time: what ends a Run here must wake the loop, or the 5 s bound ends it and fails.
#include "platform/poll_event_loop.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/platform/event_loop_contract.h"

namespace tarvedde::testing {

struct PollDriver {
    EventLoop& Loop() { return *loop; }
    static void Busy(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    std::unique_ptr<Clock> clock = MakeSystemClock();
    std::unique_ptr<PollEventLoop> loop = PollEventLoop::Create(*clock).value();
};
INSTANTIATE_TYPED_TEST_SUITE_P(PollLoop, EventLoopContract, PollDriver);

}  // namespace tarvedde::testing

namespace tarvedde {
namespace {

using testing::Lines;

class PollEventLoopTest : public testing::EventLoopContract<testing::PollDriver> {
protected:
    PollEventLoop& Poll() { return *driver_.loop; }
    // Runs `action` on another thread while the loop waits with nothing due.
    bool RunWhile(const std::function<void()>& action) {
        std::thread other([&] {
            testing::PollDriver::Busy(20);
            action();
        });
        const bool quit = RunAtMost(kBound);
        other.join();
        return quit;
    }
};

TEST_F(PollEventLoopTest, PostFromAnotherThreadWakesTheLoop) {
    EXPECT_TRUE(RunWhile([&] { Loop().Post(Log("posted", 1)); }));
    EXPECT_EQ(log_, Lines{"posted"});
}

TEST_F(PollEventLoopTest, WatchedPipeWakesTheLoop) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string received;
    auto watch = Loop().WatchReadable(fds[0], [&] {
        char buffer[16];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        received.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        if (received == "ping") {
            Loop().Quit();
        }
    });
    EXPECT_TRUE(RunWhile([&] { EXPECT_EQ(write(fds[1], "ping", 4), 4); }));
    close(fds[0]);
    close(fds[1]);
}

PollEventLoop* signalledLoop = nullptr;

void OnSignal(int /*signal*/) {
    signalledLoop->RequestQuitFromSignal();
}

TEST_F(PollEventLoopTest, QuitFromASignalHandlerEndsRunAndIsKeptUntilRun) {
    signalledLoop = &Poll();
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR2, &action, &previous), 0);
    EXPECT_TRUE(RunWhile([] { kill(getpid(), SIGUSR2); }));
    kill(getpid(), SIGUSR2);
    EXPECT_TRUE(RunAtMost(kBound));
    sigaction(SIGUSR2, &previous, nullptr);
    signalledLoop = nullptr;
}

TEST_F(PollEventLoopTest, ProcessPendingEventsDoesNotWait) {
    Loop().Post(Log("posted"));
    auto slow = Started("slow", 60'000);
    const std::int64_t start = driver_.clock->ElapsedMs();
    Loop().ProcessPendingEvents();
    EXPECT_EQ(log_, Lines{"posted"});
    EXPECT_LT(driver_.clock->ElapsedMs() - start, 1000);
}

}  // namespace
}  // namespace tarvedde
