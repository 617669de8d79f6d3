// The event loop of the headless program: one thread waits in poll() until the next
// timer deadline (on the clock's monotonic time), a readable watched descriptor, a
// posted task or a quit request. Timer semantics are those of TimerQueue, the same as in
// virtual time. Each turn runs the posted tasks, then at most one due timer, then polls,
// so no source starves the others. Other threads and signal handlers wake the loop
// through a self-pipe.
#pragma once

#include <atomic>
#include <memory>

#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/fd_watch_set.h"
#include "platform/result.h"
#include "platform/task_queue.h"
#include "platform/timer_queue.h"

namespace tarvedde {

class PollEventLoop : public EventLoop {
public:
    // Fails only when the wake pipe cannot be created (out of descriptors).
    static Result<std::unique_ptr<PollEventLoop>> Create(const Clock& clock);
    ~PollEventLoop() override;
    PollEventLoop(const PollEventLoop&) = delete;
    PollEventLoop& operator=(const PollEventLoop&) = delete;

    std::unique_ptr<Timer> CreateTimer(std::string name, int intervalMs,
                                       std::function<void()> onTimer) override;
    std::unique_ptr<FdWatch> WatchReadable(int fd, std::function<void()> onReadable) override;
    void Post(std::function<void()> task) override;
    // Runs posted tasks, readable descriptors and the timers due now (each at most once)
    // without waiting.
    void ProcessPendingEvents() override;
    // Returns after Quit(); a Quit() while no Run() is active stops the next one at once.
    void Run() override;
    // Safe from any thread.
    void Quit() override;
    // Async-signal-safe (an atomic store and one write()), for SIGINT/SIGTERM handlers.
    void RequestQuitFromSignal();

private:
    PollEventLoop(const Clock& clock, int wakeRead, int wakeWrite);
    void Wake();
    void DrainWakePipe();
    int TimeoutMs() const;
    bool TakeQuit() { return quit_.exchange(false); }

    const Clock& clock_;
    TimerQueue timers_;
    FdWatchSet watches_;
    TaskQueue tasks_;
    std::atomic<bool> quit_{false};
    int wakeRead_;
    int wakeWrite_;

    static_assert(std::atomic<bool>::is_always_lock_free, "signal handlers need a lock-free flag");
};

}  // namespace tarvedde
