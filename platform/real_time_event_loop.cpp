#include "platform/real_time_event_loop.h"

#include <algorithm>
#include <utility>

namespace tarvedde {

RealTimeEventLoop::RealTimeEventLoop(const Clock& clock) : clock_(clock), timers_(clock) {}

std::unique_ptr<Timer> RealTimeEventLoop::CreateTimer(std::string name, int intervalMs,
                                                      std::function<void()> onTimer) {
    return timers_.Create(std::move(name), intervalMs, std::move(onTimer));
}

void RealTimeEventLoop::Post(std::function<void()> task) {
    tasks_.Push(std::move(task));
    Wake();
}

void RealTimeEventLoop::ProcessPendingEvents() {
    tasks_.RunQueued();
    DispatchSystemEvents(false);
    timers_.FireAllDue();
}

void RealTimeEventLoop::Run() {
    while (!TakeQuit()) {
        tasks_.RunQueued();
        if (quit_) {
            continue;
        }
        timers_.FireEarliestDue();
        if (quit_) {
            continue;
        }
        DispatchSystemEvents(true);
    }
}

void RealTimeEventLoop::Quit() {
    quit_ = true;
    Wake();
}

std::optional<std::int64_t> RealTimeEventLoop::WaitLimitMs() const {
    if (!tasks_.Empty()) {
        return 0;
    }
    const auto next = timers_.NextDeadline();
    if (!next) {
        return std::nullopt;
    }
    return std::max<std::int64_t>(*next - clock_.ElapsedMs(), 0);
}

}  // namespace tarvedde
