// Periodic timers and the event loop that drives them, after the window timers the
// program was designed around: everything runs on one thread; a handler usually disables
// its own timer while it runs; "process pending events" may be called from inside a
// handler and then runs other due work, but never re-enters a handler that is running.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace tarvedde {

class Timer {
public:
    virtual ~Timer() = default;
    // Enabling a disabled timer starts a fresh interval.
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    // Changing the interval of an enabled timer starts a fresh interval; 0 never fires.
    virtual void SetInterval(int intervalMs) = 0;
    virtual int Interval() const = 0;
    virtual const std::string& Name() const = 0;
};

// Watches a file descriptor for readability while it exists.
class FdWatch {
public:
    virtual ~FdWatch() = default;
};

class EventLoop {
public:
    virtual ~EventLoop() = default;

    // The timer starts disabled. It must not outlive the loop.
    virtual std::unique_ptr<Timer> CreateTimer(std::string name, int intervalMs,
                                               std::function<void()> onTimer) = 0;
    // The callback runs on the loop's thread whenever `fd` is readable.
    virtual std::unique_ptr<FdWatch> WatchReadable(int fd, std::function<void()> onReadable) = 0;
    // Runs `task` on the loop's thread at the next opportunity. Safe from other threads.
    virtual void Post(std::function<void()> task) = 0;
    // Runs what is due now (timers, posted tasks, readable descriptors) without waiting.
    virtual void ProcessPendingEvents() = 0;
    // Runs until Quit().
    virtual void Run() = 0;
    virtual void Quit() = 0;
};

}  // namespace tarvedde
