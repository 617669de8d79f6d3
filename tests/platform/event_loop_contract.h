// What every EventLoop must do, whatever drives its time. A Driver supplies the loop
// (Loop()) and time passing inside a handler (Busy(ms)). Real-time loops run these too,
// so the checks rely only on the order of deadlines and on "fired by a bound": a loaded
// machine only makes every deadline late, and late timers still fire in deadline order.
// Exact times are for the virtual loop's own suite.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/event_loop.h"

namespace tarvedde::testing {

template <class Driver>
class EventLoopContract : public ::testing::Test {
protected:
    static constexpr int kTick = 10;
    static constexpr int kBound = 5000;  // only reached when a check is about to fail

    EventLoop& Loop() { return driver_.Loop(); }

    // Runs the loop until a handler quits it (true) or `ms` pass (false).
    bool RunAtMost(int ms) {
        bool bounded = false;
        auto bound = Loop().CreateTimer("bound", ms, [&] {
            bounded = true;
            Loop().Quit();
        });
        bound->SetEnabled(true);
        Loop().Run();
        return !bounded;
    }

    // Logs `name`; from its `quitAt`-th call on it also quits the loop.
    std::function<void()> Log(std::string name, int quitAt = 0) {
        return [this, name, quitAt, calls = 0]() mutable {
            log_.push_back(name);
            if (quitAt > 0 && ++calls >= quitAt) {
                Loop().Quit();
            }
        };
    }
    std::unique_ptr<Timer> Started(const std::string& name, int intervalMs, int quitAt = 0) {
        auto timer = Loop().CreateTimer(name, intervalMs, Log(name, quitAt));
        timer->SetEnabled(true);
        return timer;
    }

    Driver driver_;
    std::vector<std::string> log_;
};

using Lines = std::vector<std::string>;

TYPED_TEST_SUITE_P(EventLoopContract);

TYPED_TEST_P(EventLoopContract, DisabledAndZeroIntervalTimersNeverFire) {
    auto idle = this->Loop().CreateTimer("idle", this->kTick, this->Log("idle"));
    EXPECT_FALSE(idle->Enabled());
    auto zero = this->Started("zero", 0);
    auto ticks = this->Started("tick", this->kTick, 5);
    ASSERT_TRUE(this->RunAtMost(this->kBound));
    EXPECT_EQ(this->log_, Lines(5, "tick"));
    EXPECT_TRUE(zero->Enabled());
}

TYPED_TEST_P(EventLoopContract, EnablingADisabledTimerStartsAFreshInterval) {
    auto late = this->Loop().CreateTimer("late", 3 * this->kTick, this->Log("late", 1));
    EXPECT_FALSE(this->RunAtMost(6 * this->kTick));  // long past its first deadline
    auto reference = this->Started("reference", 2 * this->kTick);
    late->SetEnabled(true);
    ASSERT_TRUE(this->RunAtMost(this->kBound));
    EXPECT_EQ(this->log_, (Lines{"reference", "late"}));
}

TYPED_TEST_P(EventLoopContract, ChangingTheIntervalOfAnEnabledTimerStartsAFreshInterval) {
    // Its old interval outlasts the bound, so a change that kept it would fail too.
    auto changed = this->Loop().CreateTimer("changed", 2 * this->kBound, this->Log("changed", 1));
    changed->SetEnabled(true);
    EXPECT_FALSE(this->RunAtMost(4 * this->kTick));
    changed->SetInterval(5 * this->kTick);  // counted from the start it would come first
    auto reference = this->Started("reference", 2 * this->kTick);
    ASSERT_TRUE(this->RunAtMost(this->kBound));  // only `changed` quits
    EXPECT_EQ(this->log_.front(), "reference");
}

TYPED_TEST_P(EventLoopContract, ReenablingOrSettingTheSameIntervalKeepsTheCountdown) {
    auto kept = this->Started("kept", 4 * this->kTick, 1);
    this->RunAtMost(2 * this->kTick);
    kept->SetEnabled(true);
    kept->SetInterval(4 * this->kTick);
    // Due one tick after `kept`, but two ticks before a restarted `kept` would be.
    auto reference = this->Started("reference", 3 * this->kTick, 1);
    ASSERT_TRUE(this->RunAtMost(this->kBound));
    EXPECT_EQ(this->log_.front(), "kept");
    EXPECT_EQ(kept->Interval(), 4 * this->kTick);
}

TYPED_TEST_P(EventLoopContract, AHandlerThatProcessesEventsRunsOthersButIsNeverReentered) {
    int depth = 0;
    int maxDepth = 0;
    int runs = 0;
    int othersInside = 0;
    auto other = this->Loop().CreateTimer("other", this->kTick, [&] { othersInside += depth; });
    auto busy = this->Loop().CreateTimer("busy", this->kTick, [&] {
        maxDepth = std::max(maxDepth, ++depth);
        if (++runs == 1) {
            for (int i = 0; i < 3; ++i) {
                this->driver_.Busy(2 * this->kTick);  // overdue again each time
                this->Loop().ProcessPendingEvents();
            }
        } else {
            this->Loop().Quit();
        }
        --depth;
    });
    busy->SetEnabled(true);
    other->SetEnabled(true);
    ASSERT_TRUE(this->RunAtMost(this->kBound));
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(runs, 2);
    EXPECT_GT(othersInside, 0);
}

TYPED_TEST_P(EventLoopContract, PostedTasksRunInOrderFromAnyThread) {
    std::thread([&] { this->Loop().Post(this->Log("from a thread")); }).join();
    this->Loop().Post([&] {
        this->log_.push_back("first");
        this->Loop().Post(this->Log("posted by first", 1));
    });
    this->Loop().Post(this->Log("second"));
    ASSERT_TRUE(this->RunAtMost(this->kBound));
    EXPECT_EQ(this->log_, (Lines{"from a thread", "first", "second", "posted by first"}));
}

TYPED_TEST_P(EventLoopContract, QuitEndsRunAndASelfDisablingTimerFiresOnce) {
    std::unique_ptr<Timer> once;
    once = this->Loop().CreateTimer("once", this->kTick, [&] {
        once->SetEnabled(false);
        this->log_.push_back("once");
    });
    once->SetEnabled(true);
    auto ticks = this->Started("tick", 2 * this->kTick, 3);
    ASSERT_TRUE(this->RunAtMost(this->kBound));
    EXPECT_EQ(this->log_, (Lines{"once", "tick", "tick", "tick"}));
    EXPECT_FALSE(once->Enabled());
}

TYPED_TEST_P(EventLoopContract, ProcessPendingEventsRunsPostedTasksAndDueTimers) {
    auto due = this->Started("due", this->kTick);
    auto later = this->Started("later", this->kBound);
    this->Loop().Post(this->Log("posted"));
    this->driver_.Busy(2 * this->kTick);
    this->Loop().ProcessPendingEvents();
    std::sort(this->log_.begin(), this->log_.end());  // Qt may take either first
    EXPECT_EQ(this->log_, (Lines{"due", "posted"}));
}

// A dialog's timer may close the dialog, and with it the timer, from its own handler.
TYPED_TEST_P(EventLoopContract, AHandlerMayDestroyItsOwnTimer) {
    std::unique_ptr<Timer> self;
    self = this->Loop().CreateTimer("self", this->kTick, [this, &self] {
        self.reset();
        this->log_.push_back("self");
    });
    self->SetEnabled(true);
    auto after = this->Started("after", 3 * this->kTick, 1);
    ASSERT_TRUE(this->RunAtMost(this->kBound));
    EXPECT_EQ(this->log_, (Lines{"self", "after"}));
}

REGISTER_TYPED_TEST_SUITE_P(EventLoopContract, DisabledAndZeroIntervalTimersNeverFire,
                            EnablingADisabledTimerStartsAFreshInterval,
                            ChangingTheIntervalOfAnEnabledTimerStartsAFreshInterval,
                            ReenablingOrSettingTheSameIntervalKeepsTheCountdown,
                            AHandlerThatProcessesEventsRunsOthersButIsNeverReentered,
                            PostedTasksRunInOrderFromAnyThread,
                            ProcessPendingEventsRunsPostedTasksAndDueTimers,
                            QuitEndsRunAndASelfDisablingTimerFiresOnce,
                            AHandlerMayDestroyItsOwnTimer);

}  // namespace tarvedde::testing
