// One step at a time: run what is due now, else jump the clock to the next deadline.
#include "platform/virtual_event_loop.h"

#include <algorithm>
#include <utility>

namespace tarvedde {

VirtualEventLoop::VirtualEventLoop(VirtualClock& clock) : clock_(clock), timers_(clock) {}

std::unique_ptr<Timer> VirtualEventLoop::CreateTimer(std::string name, int intervalMs,
                                                     std::function<void()> onTimer) {
    return timers_.Create(std::move(name), intervalMs, std::move(onTimer));
}

std::unique_ptr<FdWatch> VirtualEventLoop::WatchReadable(int fd, std::function<void()> onReadable) {
    return watches_.Add(fd, std::move(onReadable));
}

void VirtualEventLoop::Post(std::function<void()> task) {
    tasks_.Push(std::move(task));
}

void VirtualEventLoop::RunCurrent() {
    tasks_.RunQueued();
    if (!watches_.Empty()) {
        watches_.PollAndDispatch(0, -1);
    }
}

void VirtualEventLoop::ProcessPendingEvents() {
    RunCurrent();
    timers_.FireAllDue();
}

bool VirtualEventLoop::Step(std::optional<std::int64_t> limit) {
    RunCurrent();
    if (quit_ || !tasks_.Empty() || timers_.FireEarliestDue(limit)) {
        return true;
    }
    const auto next = timers_.NextDeadline();
    if (!next || (limit && *next > *limit)) {
        return false;
    }
    clock_.AdvanceMs(*next - clock_.ElapsedMs());
    return true;
}

void VirtualEventLoop::Run() {
    while (!TakeQuit() && Step(std::nullopt)) {
    }
}

void VirtualEventLoop::Quit() {
    quit_ = true;
}

bool VirtualEventLoop::AdvanceBy(std::int64_t ms) {
    return AdvanceTo(clock_.ElapsedMs() + std::max<std::int64_t>(ms, 0));
}

bool VirtualEventLoop::AdvanceTo(std::int64_t elapsedMs) {
    while (!TakeQuit()) {
        if (!Step(elapsedMs)) {
            clock_.AdvanceMs(elapsedMs - clock_.ElapsedMs());
            return true;
        }
    }
    return false;
}

}  // namespace tarvedde
