// Each turn runs the posted tasks, fires at most one due timer, then polls (without
// waiting when more work is due), so no source starves the others.
#include "platform/poll_event_loop.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>
#include <utility>

namespace tarvedde {

Result<std::unique_ptr<PollEventLoop>> PollEventLoop::Create(const Clock& clock) {
    int fds[2] = {-1, -1};
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        return Error{"cannot create the event loop's wake pipe (errno " + std::to_string(errno) +
                     ")"};
    }
    return std::unique_ptr<PollEventLoop>(new PollEventLoop(clock, fds[0], fds[1]));
}

PollEventLoop::PollEventLoop(const Clock& clock, int wakeRead, int wakeWrite)
    : clock_(clock), timers_(clock), wakeRead_(wakeRead), wakeWrite_(wakeWrite) {}

PollEventLoop::~PollEventLoop() {
    close(wakeRead_);
    close(wakeWrite_);
}

std::unique_ptr<Timer> PollEventLoop::CreateTimer(std::string name, int intervalMs,
                                                  std::function<void()> onTimer) {
    return timers_.Create(std::move(name), intervalMs, std::move(onTimer));
}

std::unique_ptr<FdWatch> PollEventLoop::WatchReadable(int fd, std::function<void()> onReadable) {
    return watches_.Add(fd, std::move(onReadable));
}

void PollEventLoop::Post(std::function<void()> task) {
    tasks_.Push(std::move(task));
    Wake();
}

void PollEventLoop::ProcessPendingEvents() {
    tasks_.RunQueued();
    if (watches_.PollAndDispatch(0, wakeRead_)) {
        DrainWakePipe();
    }
    timers_.FireAllDue();
}

void PollEventLoop::Run() {
    while (!TakeQuit()) {
        tasks_.RunQueued();
        if (quit_) {
            continue;
        }
        timers_.FireEarliestDue();
        if (quit_) {
            continue;
        }
        if (watches_.PollAndDispatch(TimeoutMs(), wakeRead_)) {
            DrainWakePipe();
        }
    }
}

void PollEventLoop::Quit() {
    quit_ = true;
    Wake();
}

void PollEventLoop::RequestQuitFromSignal() {
    quit_ = true;
    Wake();
}

void PollEventLoop::Wake() {
    // A full pipe already wakes the loop, so a failed write needs no handling; errno is
    // kept because this runs inside signal handlers.
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(wakeWrite_, &byte, 1);
    errno = savedErrno;
}

void PollEventLoop::DrainWakePipe() {
    char buffer[64];
    while (read(wakeRead_, buffer, sizeof buffer) > 0) {
    }
}

int PollEventLoop::TimeoutMs() const {
    if (!tasks_.Empty()) {
        return 0;
    }
    const auto next = timers_.NextDeadline();
    if (!next) {
        return -1;
    }
    const std::int64_t wait = *next - clock_.ElapsedMs();
    return static_cast<int>(std::clamp<std::int64_t>(wait, 0, INT_MAX));
}

}  // namespace tarvedde
