// What the event loops that wait in real time share, on POSIX and on Windows: timers on
// the clock's monotonic time (TimerQueue semantics), tasks posted from any thread, the
// quit flag, and the order of a turn: the posted tasks, then at most one due timer, then
// the system's own events, so no source starves the others. Each system's half wakes
// its wait and waits for its own events.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/task_queue.h"
#include "platform/timer_queue.h"

namespace tarvedde {

class RealTimeEventLoop : public EventLoop {
public:
    std::unique_ptr<Timer> CreateTimer(std::string name, int intervalMs,
                                       std::function<void()> onTimer) final;
    void Post(std::function<void()> task) final;
    // Runs posted tasks, the system's ready events and the timers due now (each at most
    // once) without waiting.
    void ProcessPendingEvents() final;
    // Returns after Quit(); a Quit() while no Run() is active stops the next one at once.
    void Run() final;
    // Safe from any thread; async-signal-safe when Wake() is.
    void Quit() final;

protected:
    explicit RealTimeEventLoop(const Clock& clock);
    // How long a wait may last: 0 while tasks wait, nullopt when no timer can fire.
    std::optional<std::int64_t> WaitLimitMs() const;
    bool QuitRequested() const { return quit_; }
    void MarkQuit() { quit_ = true; }

private:
    // Ends a wait in progress, or the next one.
    virtual void Wake() = 0;
    // Handles what the system has ready; with `wait`, then waits up to WaitLimitMs() for
    // more (handled on the next turn or in the same call, as the system's half prefers).
    virtual void DispatchSystemEvents(bool wait) = 0;
    bool TakeQuit() { return quit_.exchange(false); }

    const Clock& clock_;
    TimerQueue timers_;
    TaskQueue tasks_;
    std::atomic<bool> quit_{false};

    static_assert(std::atomic<bool>::is_always_lock_free, "signal handlers need a lock-free flag");
};

}  // namespace tarvedde
