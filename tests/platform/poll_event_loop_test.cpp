// Real-time tests: bounded waits with generous limits, never exact timing.
#include "platform/poll_event_loop.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tarvedde {
namespace {

class PollEventLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto created = PollEventLoop::Create(*clock);
        ASSERT_TRUE(created.ok()) << created.error().message;
        loop = std::move(created).value();
    }

    // Runs the loop; a watchdog quits it after 5 s so a broken loop fails instead of hanging.
    void RunBounded() {
        std::atomic<bool> done{false};
        std::thread watchdog([&] {
            for (int i = 0; i < 500 && !done; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (!done) {
                watchdogFired = true;
                loop->Quit();
            }
        });
        loop->Run();
        done = true;
        watchdog.join();
        EXPECT_FALSE(watchdogFired) << "the loop did not return by itself";
    }

    std::unique_ptr<Clock> clock = MakeSystemClock();
    std::unique_ptr<PollEventLoop> loop;
    std::atomic<bool> watchdogFired{false};
};

TEST_F(PollEventLoopTest, TwentyMillisecondTimerFiresRepeatedly) {
    int fired = 0;
    const std::int64_t start = clock->ElapsedMs();
    auto timer = loop->CreateTimer("tick", 20, [&] {
        if (++fired == 5) {
            loop->Quit();
        }
    });
    timer->SetEnabled(true);
    RunBounded();
    const std::int64_t elapsed = clock->ElapsedMs() - start;
    EXPECT_EQ(fired, 5);
    EXPECT_GE(elapsed, 100);  // five deadlines 20 ms apart, never early
    EXPECT_LT(elapsed, 3000);
}

TEST_F(PollEventLoopTest, SelfDisablingTimerFiresOnceAndTheLoopKeepsServingOthers) {
    int once = 0;
    int ticks = 0;
    std::unique_ptr<Timer> single;
    single = loop->CreateTimer("single", 10, [&] {
        single->SetEnabled(false);
        ++once;
    });
    auto ticker = loop->CreateTimer("tick", 15, [&] {
        if (++ticks == 4) {
            loop->Quit();
        }
    });
    single->SetEnabled(true);
    ticker->SetEnabled(true);
    RunBounded();
    EXPECT_EQ(once, 1);
    EXPECT_EQ(ticks, 4);
}

TEST_F(PollEventLoopTest, PostFromAnotherThreadWakesTheLoop) {
    bool ran = false;
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        loop->Post([&] {
            ran = true;
            loop->Quit();
        });
    });
    RunBounded();  // no timer: the loop sleeps until the post arrives
    poster.join();
    EXPECT_TRUE(ran);
}

TEST_F(PollEventLoopTest, QuitRequestFromAnotherThreadEndsRun) {
    std::thread requester([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        loop->RequestQuitFromSignal();
    });
    RunBounded();
    requester.join();
}

TEST_F(PollEventLoopTest, QuitRequestedBeforeRunIsNotLost) {
    loop->RequestQuitFromSignal();
    RunBounded();
}

PollEventLoop* signalledLoop = nullptr;

void OnSignal(int /*signal*/) {
    signalledLoop->RequestQuitFromSignal();
}

TEST_F(PollEventLoopTest, SignalHandlerEndsRun) {
    signalledLoop = loop.get();
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR2, &action, &previous), 0);
    std::thread signaller([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        kill(getpid(), SIGUSR2);
    });
    RunBounded();
    signaller.join();
    sigaction(SIGUSR2, &previous, nullptr);
    signalledLoop = nullptr;
}

TEST_F(PollEventLoopTest, WatchedPipeWakesTheLoop) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string received;
    auto watch = loop->WatchReadable(fds[0], [&] {
        char buffer[16];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            received.append(buffer, static_cast<std::size_t>(n));
        }
        if (received == "ping") {
            loop->Quit();
        }
    });
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(write(fds[1], "ping", 4), 4);
    });
    RunBounded();
    writer.join();
    EXPECT_EQ(received, "ping");
    close(fds[0]);
    close(fds[1]);
}

TEST_F(PollEventLoopTest, ProcessPendingEventsDoesNotWait) {
    int ran = 0;
    loop->Post([&] { ++ran; });
    auto slow = loop->CreateTimer("slow", 60'000, [&] { ++ran; });
    slow->SetEnabled(true);
    const std::int64_t start = clock->ElapsedMs();
    loop->ProcessPendingEvents();
    EXPECT_EQ(ran, 1);
    EXPECT_LT(clock->ElapsedMs() - start, 1000);
}

}  // namespace
}  // namespace tarvedde
