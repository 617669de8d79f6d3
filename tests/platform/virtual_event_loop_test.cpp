#include "platform/virtual_event_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace tarvedde {
namespace {

using Lines = std::vector<std::string>;

class VirtualEventLoopTest : public ::testing::Test {
protected:
    // A timer that logs "<name>@<elapsed ms>" each time it fires.
    std::unique_ptr<Timer> LoggingTimer(const std::string& name, int intervalMs) {
        auto timer = loop.CreateTimer(name, intervalMs, [this, name] { Log(name); });
        timer->SetEnabled(true);
        return timer;
    }
    void Log(const std::string& what) {
        log.push_back(what + "@" + std::to_string(clock.ElapsedMs()));
    }

    VirtualClock clock;
    VirtualEventLoop loop{clock};
    std::vector<std::string> log;
};

TEST_F(VirtualEventLoopTest, NotYetAt999FiredAt1000) {
    auto timer = LoggingTimer("t", 1000);
    EXPECT_TRUE(loop.AdvanceTo(999));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(clock.ElapsedMs(), 999);
    EXPECT_TRUE(loop.AdvanceTo(1000));
    EXPECT_EQ(log, (Lines{"t@1000"}));
    EXPECT_EQ(clock.ElapsedMs(), 1000);
}

TEST_F(VirtualEventLoopTest, PeriodicTimerFiresOnEachDeadlineIncludingTheLast) {
    auto timer = LoggingTimer("t", 250);
    EXPECT_TRUE(loop.AdvanceBy(1000));
    EXPECT_EQ(log, (Lines{"t@250", "t@500", "t@750", "t@1000"}));
    EXPECT_EQ(loop.NextDeadline(), 1250);
}

TEST_F(VirtualEventLoopTest, EqualDeadlinesFireInArmOrder) {
    auto a = loop.CreateTimer("a", 100, [this] { Log("a"); });
    auto b = loop.CreateTimer("b", 100, [this] { Log("b"); });
    a->SetEnabled(true);
    b->SetEnabled(true);
    ASSERT_TRUE(loop.AdvanceBy(200));
    EXPECT_EQ(log, (Lines{"a@100", "b@100", "a@200", "b@200"}));

    // Arming, not creation, decides: b is re-armed first this time.
    a->SetEnabled(false);
    b->SetEnabled(false);
    log.clear();
    b->SetEnabled(true);
    a->SetEnabled(true);
    ASSERT_TRUE(loop.AdvanceBy(100));
    EXPECT_EQ(log, (Lines{"b@300", "a@300"}));
}

TEST_F(VirtualEventLoopTest, DisabledAndZeroIntervalTimersNeverFire) {
    auto disabled = loop.CreateTimer("d", 100, [this] { Log("d"); });
    auto zero = LoggingTimer("z", 0);
    EXPECT_FALSE(loop.NextDeadline().has_value());
    ASSERT_TRUE(loop.AdvanceBy(10'000));
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(zero->Enabled());

    // A zero-interval timer that gets an interval starts counting from then.
    zero->SetInterval(300);
    ASSERT_TRUE(loop.AdvanceBy(300));
    EXPECT_EQ(log, (Lines{"z@10300"}));
}

TEST_F(VirtualEventLoopTest, SelfDisablingHandlerFiresOnce) {
    std::unique_ptr<Timer> timer;
    timer = loop.CreateTimer("once", 500, [&] {
        timer->SetEnabled(false);
        Log("once");
    });
    timer->SetEnabled(true);
    ASSERT_TRUE(loop.AdvanceBy(5000));
    EXPECT_EQ(log, (Lines{"once@500"}));
    EXPECT_FALSE(timer->Enabled());
}

TEST_F(VirtualEventLoopTest, HandlerThatReenablesItselfStartsAFreshInterval) {
    std::unique_ptr<Timer> timer;
    timer = loop.CreateTimer("work", 1000, [&] {
        timer->SetEnabled(false);
        Log("work");
        clock.AdvanceMs(300);  // the work takes 300 ms
        timer->SetEnabled(true);
    });
    timer->SetEnabled(true);
    ASSERT_TRUE(loop.AdvanceTo(3000));
    EXPECT_EQ(log, (Lines{"work@1000", "work@2300"}));
}

TEST_F(VirtualEventLoopTest, ProcessPendingEventsInHandlerRunsOtherTimersButNeverReenters) {
    int depth = 0;
    int maxDepth = 0;
    bool slow = true;
    std::unique_ptr<Timer> a;
    a = loop.CreateTimer("a", 100, [&] {
        maxDepth = std::max(maxDepth, ++depth);
        Log("a-begin");
        if (slow) {
            slow = false;
            clock.AdvanceMs(250);  // a is overdue again while it runs
        }
        loop.ProcessPendingEvents();
        Log("a-end");
        --depth;
    });
    a->SetEnabled(true);
    auto b = LoggingTimer("b", 100);  // armed after a: second at equal deadlines
    ASSERT_TRUE(loop.AdvanceTo(100));
    // b fires inside a; a is not re-entered, its catch-up firing waits until it returned
    // and, its deadline (200) being past the end of the advance, until the next advance.
    EXPECT_EQ(log, (Lines{"a-begin@100", "b@350", "a-end@350"}));
    EXPECT_EQ(loop.NextDeadline(), 200);
    ASSERT_TRUE(loop.AdvanceTo(350));
    EXPECT_EQ(log, (Lines{"a-begin@100", "b@350", "a-end@350", "a-begin@350", "a-end@350"}));
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(loop.NextDeadline(), 400);
}

TEST_F(VirtualEventLoopTest, OnlyARealChangeOfIntervalOrEnabledRestartsTheCountdown) {
    auto same = LoggingTimer("same", 1000);
    auto changed = LoggingTimer("changed", 1000);
    auto late = loop.CreateTimer("late", 1000, [this] { Log("late"); });
    ASSERT_TRUE(loop.AdvanceTo(400));
    late->SetEnabled(true);
    ASSERT_TRUE(loop.AdvanceTo(600));
    same->SetInterval(1000);
    same->SetEnabled(true);
    changed->SetInterval(500);
    for (const auto& [to, expected] : std::vector<std::pair<std::int64_t, Lines>>{
             {1099, {"same@1000"}},
             {1100, {"same@1000", "changed@1100"}},
             {1399, {"same@1000", "changed@1100"}},
             {1400, {"same@1000", "changed@1100", "late@1400"}}}) {
        ASSERT_TRUE(loop.AdvanceTo(to));
        EXPECT_EQ(log, expected) << to;
    }
}

TEST_F(VirtualEventLoopTest, PeriodsMissedInAHandlerGiveOneCatchUpFiring) {
    bool slow = true;
    auto timer = loop.CreateTimer("t", 1000, [&] {
        Log("t");
        if (slow) {
            slow = false;
            clock.AdvanceMs(3500);  // three and a half periods pass in the handler
        }
    });
    timer->SetEnabled(true);
    ASSERT_TRUE(loop.AdvanceTo(7000));
    EXPECT_EQ(log, (Lines{"t@1000", "t@4500", "t@5000", "t@6000", "t@7000"}));
}

TEST_F(VirtualEventLoopTest, PeriodsMissedOutsideTheLoopFireOnceThenStayOnTheGrid) {
    auto timer = LoggingTimer("t", 1000);
    clock.AdvanceMs(3500);
    loop.ProcessPendingEvents();
    EXPECT_EQ(log, (Lines{"t@3500"}));
    EXPECT_EQ(loop.NextDeadline(), 4000);
}

TEST_F(VirtualEventLoopTest, TimerDestroyedWhilePendingNeverFires) {
    auto doomed = LoggingTimer("doomed", 1000);
    auto other = LoggingTimer("other", 700);
    ASSERT_TRUE(loop.AdvanceTo(500));
    doomed.reset();
    EXPECT_EQ(loop.NextDeadline(), 700);
    ASSERT_TRUE(loop.AdvanceTo(1500));
    EXPECT_EQ(log, (Lines{"other@700", "other@1400"}));
}

TEST_F(VirtualEventLoopTest, HandlerMayDestroyATimerDueAtTheSameDeadline) {
    std::unique_ptr<Timer> later;
    auto first = loop.CreateTimer("first", 100, [&] {
        Log("first");
        later.reset();
    });
    first->SetEnabled(true);
    later = LoggingTimer("later", 100);
    ASSERT_TRUE(loop.AdvanceTo(300));
    EXPECT_EQ(log, (Lines{"first@100", "first@200", "first@300"}));
}

TEST_F(VirtualEventLoopTest, HandlerMayDestroyItsOwnTimer) {
    std::unique_ptr<Timer> timer;
    timer = loop.CreateTimer("self", 100, [&] {
        timer.reset();
        Log("after-reset");
    });
    timer->SetEnabled(true);
    ASSERT_TRUE(loop.AdvanceTo(1000));
    EXPECT_EQ(log, (Lines{"after-reset@100"}));
    EXPECT_FALSE(loop.NextDeadline().has_value());
}

TEST_F(VirtualEventLoopTest, HandlerMayCreateTimers) {
    std::vector<std::unique_ptr<Timer>> created;
    auto parent = loop.CreateTimer("parent", 1000, [&] {
        Log("parent");
        created.push_back(LoggingTimer("child", 300));
    });
    parent->SetEnabled(true);
    ASSERT_TRUE(loop.AdvanceTo(1600));
    EXPECT_EQ(log, (Lines{"parent@1000", "child@1300", "child@1600"}));
}

TEST_F(VirtualEventLoopTest, PostedTasksRunAtTheCurrentTimeBeforeTheNextTimer) {
    auto a = loop.CreateTimer("a", 100, [&] {
        Log("a");
        loop.Post([&] {
            Log("task");
            loop.Post([&] { Log("task2"); });
        });
    });
    a->SetEnabled(true);
    auto b = LoggingTimer("b", 100);
    ASSERT_TRUE(loop.AdvanceTo(100));
    EXPECT_EQ(log, (Lines{"a@100", "task@100", "task2@100", "b@100"}));
}

TEST_F(VirtualEventLoopTest, PostIsSafeFromOtherThreads) {
    int count = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i) {
                loop.Post([&] { ++count; });
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    loop.ProcessPendingEvents();
    EXPECT_EQ(count, 4000);
}

TEST_F(VirtualEventLoopTest, RunReturnsWhenIdle) {
    int fired = 0;
    std::unique_ptr<Timer> timer;
    timer = loop.CreateTimer("five", 1000, [&] {
        if (++fired == 5) {
            timer->SetEnabled(false);
        }
    });
    timer->SetEnabled(true);
    loop.Run();
    EXPECT_EQ(fired, 5);
    EXPECT_EQ(clock.ElapsedMs(), 5000);
}

TEST_F(VirtualEventLoopTest, QuitStopsRunAndAdvanceAtTheTimeOfTheQuit) {
    auto ticker = LoggingTimer("tick", 100);
    loop.Quit();  // before Run: it stops at once
    loop.Run();
    EXPECT_EQ(clock.ElapsedMs(), 0);
    auto quitter = loop.CreateTimer("quit", 250, [&] { loop.Quit(); });
    quitter->SetEnabled(true);
    loop.Run();
    EXPECT_EQ(clock.ElapsedMs(), 250);
    EXPECT_EQ(log, (Lines{"tick@100", "tick@200"}));

    EXPECT_FALSE(loop.AdvanceTo(10'000));
    EXPECT_EQ(clock.ElapsedMs(), 500);

    quitter->SetEnabled(false);
    EXPECT_TRUE(loop.AdvanceTo(1000));
    EXPECT_EQ(clock.ElapsedMs(), 1000);
}

TEST_F(VirtualEventLoopTest, WatchedPipeIsServedWhileTimeAdvances) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string received;
    auto watch = loop.WatchReadable(fds[0], [&] {
        char c = 0;
        if (read(fds[0], &c, 1) == 1) {
            received += c;
            Log(std::string("read ") + c);
        }
    });
    auto writer = loop.CreateTimer("writer", 100, [&] { EXPECT_EQ(write(fds[1], "x", 1), 1); });
    writer->SetEnabled(true);
    ASSERT_TRUE(loop.AdvanceTo(250));
    EXPECT_EQ(received, "xx");
    EXPECT_EQ(log, (Lines{"read x@100", "read x@200"}));

    watch.reset();
    ASSERT_TRUE(loop.AdvanceTo(300));
    EXPECT_EQ(received, "xx");
    close(fds[0]);
    close(fds[1]);
}

TEST_F(VirtualEventLoopTest, APlantDayOfOneSecondCycles) {
    const double startDay = clock.Now();
    int cycles = 0;
    auto cycle = loop.CreateTimer("cycle", 1000, [&] { ++cycles; });
    cycle->SetEnabled(true);
    ASSERT_TRUE(loop.AdvanceBy(86'400'000));
    EXPECT_EQ(cycles, 86'400);
    EXPECT_EQ(clock.ElapsedMs(), 86'400'000);
    EXPECT_DOUBLE_EQ(clock.Now(), startDay + 1.0);
    EXPECT_EQ(loop.NextDeadline(), 86'401'000);
}

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

TEST_F(VirtualEventLoopTest, AdvanceEndsEvenWhenHandlersKeepMovingTheClock) {
    auto hog = loop.CreateTimer("hog", 100, [&] {
        Log("hog");
        clock.AdvanceMs(150);  // always longer than its interval
    });
    hog->SetEnabled(true);
    // Deadlines 100, 200 and 300 are reached (each one late); 500 is past the end.
    ASSERT_TRUE(loop.AdvanceTo(300));
    EXPECT_EQ(log, (Lines{"hog@100", "hog@250", "hog@400"}));
    EXPECT_EQ(clock.ElapsedMs(), 550);
    EXPECT_EQ(loop.NextDeadline(), 500);
}

}  // namespace
}  // namespace tarvedde
