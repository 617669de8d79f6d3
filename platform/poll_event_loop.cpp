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
    : RealTimeEventLoop(clock), wakeRead_(wakeRead), wakeWrite_(wakeWrite) {}

PollEventLoop::~PollEventLoop() {
    close(wakeRead_);
    close(wakeWrite_);
}

std::unique_ptr<FdWatch> PollEventLoop::WatchReadable(int fd, std::function<void()> onReadable) {
    return watches_.Add(fd, std::move(onReadable));
}

void PollEventLoop::DispatchSystemEvents(bool wait) {
    int timeoutMs = 0;
    if (wait) {
        const auto limit = WaitLimitMs();
        timeoutMs = limit ? static_cast<int>(std::min<std::int64_t>(*limit, INT_MAX)) : -1;
    }
    if (watches_.PollAndDispatch(timeoutMs, wakeRead_)) {
        DrainWakePipe();
    }
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

}  // namespace tarvedde
