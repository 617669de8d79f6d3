// Timers live in entries shared between the queue and the handles, so a handler can
// destroy its own timer (the entry stays alive until the handler returns) and a handle
// can outlive the queue. A plain scan finds the next timer: loops hold tens of timers,
// and the scan keeps the order rules obvious.
#include "platform/timer_queue.h"

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

namespace tarvedde {

struct TimerQueue::Entry {
    std::uint64_t id = 0;
    std::string name;
    int interval = 0;
    bool enabled = false;
    bool running = false;
    std::int64_t deadline = 0;
    std::uint64_t armOrder = 0;
    std::function<void()> onTimer;

    bool CanFire() const { return enabled && interval > 0 && !running; }
    bool FiresBefore(const Entry& other) const {
        return std::tie(deadline, armOrder) < std::tie(other.deadline, other.armOrder);
    }
};

struct TimerQueue::State {
    explicit State(const Clock& c) : clock(c) {}

    void Arm(Entry& entry) {
        entry.deadline = clock.ElapsedMs() + entry.interval;
        entry.armOrder = nextArmOrder++;
    }

    const Clock& clock;
    std::map<std::uint64_t, std::shared_ptr<Entry>> entries;
    std::uint64_t nextId = 0;
    std::uint64_t nextArmOrder = 0;
};

namespace {

class QueuedTimer final : public Timer {
public:
    QueuedTimer(std::weak_ptr<TimerQueue::State> state, std::shared_ptr<TimerQueue::Entry> entry)
        : state_(std::move(state)), entry_(std::move(entry)) {}

    ~QueuedTimer() override {
        if (auto state = state_.lock()) {
            state->entries.erase(entry_->id);
        }
    }

    void SetEnabled(bool enabled) override {
        if (enabled == entry_->enabled) {
            return;
        }
        entry_->enabled = enabled;
        if (enabled) {
            Arm();
        }
    }
    bool Enabled() const override { return entry_->enabled; }

    // As with the window timers: setting the same interval again changes nothing.
    void SetInterval(int intervalMs) override {
        intervalMs = std::max(intervalMs, 0);
        if (intervalMs == entry_->interval) {
            return;
        }
        entry_->interval = intervalMs;
        if (entry_->enabled) {
            Arm();
        }
    }
    int Interval() const override { return entry_->interval; }
    const std::string& Name() const override { return entry_->name; }

private:
    void Arm() {
        if (auto state = state_.lock()) {
            state->Arm(*entry_);
        }
    }

    std::weak_ptr<TimerQueue::State> state_;
    std::shared_ptr<TimerQueue::Entry> entry_;
};

}  // namespace

TimerQueue::TimerQueue(const Clock& clock) : state_(std::make_shared<State>(clock)) {}

TimerQueue::~TimerQueue() = default;

std::unique_ptr<Timer> TimerQueue::Create(std::string name, int intervalMs,
                                          std::function<void()> onTimer) {
    auto entry = std::make_shared<Entry>();
    entry->id = state_->nextId++;
    entry->name = std::move(name);
    entry->interval = std::max(intervalMs, 0);
    entry->onTimer = std::move(onTimer);
    state_->entries.emplace(entry->id, entry);
    return std::make_unique<QueuedTimer>(state_, std::move(entry));
}

std::optional<std::int64_t> TimerQueue::NextDeadline() const {
    std::optional<std::int64_t> next;
    for (const auto& [id, entry] : state_->entries) {
        if (entry->CanFire() && (!next || entry->deadline < *next)) {
            next = entry->deadline;
        }
    }
    return next;
}

std::shared_ptr<TimerQueue::Entry> TimerQueue::EarliestDue(std::int64_t now) const {
    std::shared_ptr<Entry> earliest;
    for (const auto& [id, entry] : state_->entries) {
        if (entry->CanFire() && entry->deadline <= now &&
            (!earliest || entry->FiresBefore(*earliest))) {
            earliest = entry;
        }
    }
    return earliest;
}

bool TimerQueue::FireEarliestDue(std::optional<std::int64_t> limit) {
    const std::int64_t now = state_->clock.ElapsedMs();
    const std::shared_ptr<Entry> entry = EarliestDue(limit ? std::min(now, *limit) : now);
    if (!entry) {
        return false;
    }
    Fire(entry, now);
    return true;
}

void TimerQueue::FireAllDue() {
    const std::int64_t now = state_->clock.ElapsedMs();
    std::vector<std::shared_ptr<Entry>> due;
    for (const auto& [id, entry] : state_->entries) {
        if (entry->CanFire() && entry->deadline <= now) {
            due.push_back(entry);
        }
    }
    std::sort(due.begin(), due.end(),
              [](const auto& a, const auto& b) { return a->FiresBefore(*b); });
    // Earlier handlers may have destroyed, disabled or re-armed the later ones.
    const std::shared_ptr<State> state = state_;
    for (const auto& entry : due) {
        if (state->entries.count(entry->id) != 0 && entry->CanFire() && entry->deadline <= now) {
            Fire(entry, state->clock.ElapsedMs());
        }
    }
}

void TimerQueue::Fire(const std::shared_ptr<Entry>& entry, std::int64_t now) {
    // Set before the handler runs, so a handler that re-arms its timer wins.
    std::int64_t next = entry->deadline + entry->interval;
    if (next <= now) {
        const std::int64_t missed = (now - entry->deadline) / entry->interval;
        next = entry->deadline + (missed + 1) * entry->interval;
    }
    entry->deadline = next;
    entry->running = true;
    if (entry->onTimer) {
        entry->onTimer();
    }
    entry->running = false;
}

}  // namespace tarvedde
