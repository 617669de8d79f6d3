// The event loop of the headless program: one thread waits in poll() until the next
// timer deadline, a readable watched descriptor, a posted task or a quit request (see
// RealTimeEventLoop for the order of a turn). Other threads and signal handlers wake the
// loop through a self-pipe.
#pragma once

#include <memory>

#include "platform/clock.h"
#include "platform/fd_watch_set.h"
#include "platform/real_time_event_loop.h"
#include "platform/result.h"

namespace tarvedde {

class PollEventLoop : public RealTimeEventLoop {
public:
    // Fails only when the wake pipe cannot be created (out of descriptors).
    static Result<std::unique_ptr<PollEventLoop>> Create(const Clock& clock);
    ~PollEventLoop() override;
    PollEventLoop(const PollEventLoop&) = delete;
    PollEventLoop& operator=(const PollEventLoop&) = delete;

    std::unique_ptr<FdWatch> WatchReadable(int fd, std::function<void()> onReadable) override;
    // Async-signal-safe (an atomic store and one write()), for SIGINT/SIGTERM handlers.
    void RequestQuitFromSignal() { Quit(); }

private:
    PollEventLoop(const Clock& clock, int wakeRead, int wakeWrite);
    void Wake() override;
    void DispatchSystemEvents(bool wait) override;
    void DrainWakePipe();

    FdWatchSet watches_;
    int wakeRead_;
    int wakeWrite_;
};

}  // namespace tarvedde
