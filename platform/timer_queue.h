// The timers of one event loop, shared by the virtual-time loop and the poll loop so both
// behave alike. Everything here runs on the loop's thread.
//
// Guarantees:
// - Due timers fire in deadline order; at equal deadlines the one armed first (created
//   and enabled, or re-armed by a new interval, earlier) fires first.
// - After a firing with deadline D at time S the next deadline is D + interval, moved on
//   by whole intervals past S when periods were missed before S. Periods that pass while
//   the handler runs give one catch-up firing as soon as it returns, never more.
// - A handler never re-enters itself; it may disable, re-arm or destroy any timer,
//   including its own. A destroyed timer never fires again.
// - Timer handles may outlive the queue; they then only keep their own settings.
// - Negative intervals count as 0, which never fires.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/event_loop.h"

namespace tarvedde {

class TimerQueue {
public:
    explicit TimerQueue(const Clock& clock);
    ~TimerQueue();
    TimerQueue(const TimerQueue&) = delete;
    TimerQueue& operator=(const TimerQueue&) = delete;

    std::unique_ptr<Timer> Create(std::string name, int intervalMs, std::function<void()> onTimer);

    // Earliest deadline of a timer that can fire (enabled, interval > 0, not running).
    std::optional<std::int64_t> NextDeadline() const;
    // Fires the single earliest timer due at the clock's current time and, when given, with
    // a deadline no later than `limit`; false when none.
    bool FireEarliestDue(std::optional<std::int64_t> limit = std::nullopt);
    // Fires every timer due now, each at most once, in deadline order.
    void FireAllDue();

    struct Entry;
    struct State;

private:
    std::shared_ptr<Entry> EarliestDue(std::int64_t now) const;
    // Static: a handler may destroy the queue while it runs.
    static void Fire(const std::shared_ptr<Entry>& entry, std::int64_t now);

    std::shared_ptr<State> state_;
};

}  // namespace tarvedde
