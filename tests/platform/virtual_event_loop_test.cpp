#include "platform/virtual_event_loop.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <string>
#include <vector>

#include "tests/platform/event_loop_contract.h"

namespace tarvedde::testing {

struct VirtualDriver {
    EventLoop& Loop() { return loop; }
    void Busy(int ms) { clock.AdvanceMs(ms); }

    VirtualClock clock;
    VirtualEventLoop loop{clock};
};
INSTANTIATE_TYPED_TEST_SUITE_P(VirtualLoop, EventLoopContract, VirtualDriver);

}  // namespace tarvedde::testing

namespace tarvedde {
namespace {

using testing::Lines;

class VirtualEventLoopTest : public ::testing::Test {
protected:
    // Logs "<name>@<elapsed ms>" each time it fires.
    std::unique_ptr<Timer> Start(const std::string& name, int intervalMs) {
        auto timer = loop.CreateTimer(name, intervalMs, [this, name] { Log(name); });
        timer->SetEnabled(true);
        return timer;
    }
    void Log(const std::string& what) {
        log.push_back(what + "@" + std::to_string(clock.ElapsedMs()));
    }

    VirtualClock clock;
    VirtualEventLoop loop{clock};
    Lines log;
};

// Equal deadlines fire in the order the timers were armed, not created.
TEST_F(VirtualEventLoopTest, FiresOnEachDeadlineExactlyIncludingTheLastInArmOrder) {
    auto a = Start("a", 250);
    auto b = Start("b", 250);
    EXPECT_TRUE(loop.AdvanceTo(249));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(clock.ElapsedMs(), 249);
    EXPECT_TRUE(loop.AdvanceTo(500));
    EXPECT_EQ(log, (Lines{"a@250", "b@250", "a@500", "b@500"}));
    EXPECT_EQ(clock.ElapsedMs(), 500);
    EXPECT_EQ(loop.NextDeadline(), 750);
    a->SetEnabled(false);
    b->SetEnabled(false);
    b->SetEnabled(true);
    a->SetEnabled(true);
    ASSERT_TRUE(loop.AdvanceBy(250));
    EXPECT_EQ(log, (Lines{"a@250", "b@250", "a@500", "b@500", "b@750", "a@750"}));
}

TEST_F(VirtualEventLoopTest, MissedPeriodsGiveOneCatchUpFiringThenTheGridHolds) {
    int fired = 0;
    std::unique_ptr<Timer> timer;
    timer = loop.CreateTimer("t", 1000, [&] {
        Log("t");
        if (++fired == 1) {
            clock.AdvanceMs(3500);  // three and a half periods pass in the handler
        } else if (fired == 3) {
            timer->SetEnabled(false);  // a handler that re-arms its timer wins
            clock.AdvanceMs(300);
            timer->SetEnabled(true);
        }
    });
    timer->SetEnabled(true);
    ASSERT_TRUE(loop.AdvanceTo(7000));
    EXPECT_EQ(log, (Lines{"t@1000", "t@4500", "t@5000", "t@6300"}));

    clock.AdvanceMs(3500);  // outside the loop
    loop.ProcessPendingEvents();
    EXPECT_EQ(log.back(), "t@10500");
    EXPECT_EQ(loop.NextDeadline(), 11300);
}

TEST_F(VirtualEventLoopTest, AdvanceEndsEvenWhenHandlersKeepMovingTheClock) {
    auto hog = loop.CreateTimer("hog", 100, [&] {
        Log("hog");
        clock.AdvanceMs(150);
    });
    hog->SetEnabled(true);
    // Deadlines 100, 200 and 300 are reached (each one late); 500 is past the end.
    ASSERT_TRUE(loop.AdvanceTo(300));
    EXPECT_EQ(log, (Lines{"hog@100", "hog@250", "hog@400"}));
    EXPECT_EQ(clock.ElapsedMs(), 550);
    EXPECT_EQ(loop.NextDeadline(), 500);
}

// The contract checks a handler that destroys its own timer. Posted tasks run at the
// current time before the next timer.
TEST_F(VirtualEventLoopTest, HandlersMayDestroyOtherTimersAndPostTasksAtTheSameTime) {
    std::unique_ptr<Timer> sameDeadline;
    auto killer = loop.CreateTimer("killer", 100, [&] {
        Log("killer");
        sameDeadline.reset();
        loop.Post([&] {
            Log("task");
            loop.Post([&] { Log("task2"); });
        });
    });
    killer->SetEnabled(true);
    sameDeadline = Start("same", 100);
    auto other = Start("other", 100);
    auto pending = Start("pending", 1000);
    ASSERT_TRUE(loop.AdvanceTo(200));
    other.reset();
    pending.reset();
    killer.reset();
    EXPECT_FALSE(loop.NextDeadline().has_value());
    ASSERT_TRUE(loop.AdvanceTo(2000));
    EXPECT_EQ(log, (Lines{"killer@100", "task@100", "task2@100", "other@100", "killer@200",
                          "task@200", "task2@200", "other@200"}));
}

TEST_F(VirtualEventLoopTest, RunReturnsWhenIdleAndQuitStopsAtItsTime) {
    int fired = 0;
    std::unique_ptr<Timer> five;
    five = loop.CreateTimer("five", 1000, [&] { five->SetEnabled(++fired < 5); });
    five->SetEnabled(true);
    loop.Run();
    EXPECT_EQ(fired, 5);
    EXPECT_EQ(clock.ElapsedMs(), 5000);

    auto ticker = Start("tick", 100);
    loop.Quit();  // before Run: it stops at once
    loop.Run();
    EXPECT_EQ(clock.ElapsedMs(), 5000);
    auto quitter = loop.CreateTimer("quit", 250, [&] { loop.Quit(); });
    quitter->SetEnabled(true);
    EXPECT_FALSE(loop.AdvanceTo(10'000));
    EXPECT_EQ(clock.ElapsedMs(), 5250);
    EXPECT_EQ(log, (Lines{"tick@5100", "tick@5200"}));
    quitter->SetEnabled(false);
    EXPECT_TRUE(loop.AdvanceTo(6000));
    EXPECT_TRUE(loop.AdvanceBy(-1));  // runs only what is due now
    EXPECT_EQ(clock.ElapsedMs(), 6000);
}

#ifndef _WIN32  // Windows has no pipes to watch (fd_watch_set.h)
TEST_F(VirtualEventLoopTest, WatchedPipeIsServedWhileTimeAdvances) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    auto watch = loop.WatchReadable(fds[0], [&] {
        char c = 0;
        if (read(fds[0], &c, 1) == 1) {
            Log(std::string("read ") + c);
        }
    });
    auto writer = loop.CreateTimer("writer", 100, [&] { EXPECT_EQ(write(fds[1], "x", 1), 1); });
    writer->SetEnabled(true);
    ASSERT_TRUE(loop.AdvanceTo(250));
    watch.reset();
    ASSERT_TRUE(loop.AdvanceTo(300));
    EXPECT_EQ(log, (Lines{"read x@100", "read x@200"}));
    close(fds[0]);
    close(fds[1]);
}
#endif

TEST(VirtualEventLoopLifetime, TimerHandlesMayOutliveTheLoop) {
    VirtualClock clock;
    std::unique_ptr<Timer> timer;
    {
        VirtualEventLoop loop(clock);
        timer = loop.CreateTimer("t", 100, [] {});
        timer->SetEnabled(true);
    }
    timer->SetInterval(200);
    timer->SetEnabled(false);
    EXPECT_EQ(timer->Interval(), 200);
    EXPECT_EQ(timer->Name(), "t");
}

}  // namespace
}  // namespace tarvedde
