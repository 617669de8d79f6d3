// The event loop in virtual time, for tests and the scenario runner: instead of waiting it
// moves a VirtualClock from one timer deadline to the next, so a plant day of one-second
// cycles runs in a fraction of a second and always in the same order.
//
// At each step posted tasks run first (at the current time), then watched descriptors
// are polled without waiting, then the earliest due timer fires. Timer semantics are
// those of TimerQueue (deadline order, arm order at ties, coalescing, no re-entry).
// Virtual time never waits for a descriptor: a loop with only watches is idle. Posted
// tasks all run before the clock moves, so a task that keeps posting itself holds
// virtual time still.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "platform/event_loop.h"
#include "platform/fd_watch_set.h"
#include "platform/task_queue.h"
#include "platform/timer_queue.h"
#include "platform/virtual_clock.h"

namespace tarvedde {

class VirtualEventLoop : public EventLoop {
public:
    explicit VirtualEventLoop(VirtualClock& clock);

    std::unique_ptr<Timer> CreateTimer(std::string name, int intervalMs,
                                       std::function<void()> onTimer) override;
    std::unique_ptr<FdWatch> WatchReadable(int fd, std::function<void()> onReadable) override;
    void Post(std::function<void()> task) override;
    // Runs posted tasks, readable descriptors and the timers due now, each timer at most
    // once; the clock does not move.
    void ProcessPendingEvents() override;
    // Advances until Quit(), or returns when nothing is left to do: no timer that can fire
    // and no posted task.
    void Run() override;
    // Makes the running Run() or Advance call return after the current handler; a Quit()
    // outside of them stops the next one at once.
    void Quit() override;

    // Advance the clock, firing every timer whose deadline is reached, one deadline after
    // the other, including one exactly at the end. A handler that moves the clock past the
    // end leaves later deadlines to the next call. False when Quit() stopped it early;
    // the clock then stays at the time of the Quit(). A target in the past runs only
    // what is due now.
    bool AdvanceBy(std::int64_t ms);
    bool AdvanceTo(std::int64_t elapsedMs);

    // Elapsed-time deadline of the next timer that can fire; nullopt when none.
    std::optional<std::int64_t> NextDeadline() const { return timers_.NextDeadline(); }

private:
    void RunCurrent();
    // Does what is due now, or moves the clock to the next deadline within `limit`;
    // false when there is nothing to do up to `limit`.
    bool Step(std::optional<std::int64_t> limit);
    bool TakeQuit() { return quit_.exchange(false); }

    VirtualClock& clock_;
    TimerQueue timers_;
    FdWatchSet watches_;
    TaskQueue tasks_;
    std::atomic<bool> quit_{false};
};

}  // namespace tarvedde
