// Entries are shared between the set and the watch handles, like the timers, so a
// callback may drop its own watch or another one while the set is dispatching.
#include "platform/fd_watch_set.h"

#include <poll.h>

#include <utility>
#include <vector>

namespace tarvedde {

struct FdWatchSet::Entry {
    std::uint64_t id = 0;
    int fd = -1;
    bool running = false;
    bool invalid = false;
    std::function<void()> onReadable;
};

struct FdWatchSet::State {
    std::map<std::uint64_t, std::shared_ptr<Entry>> entries;
    std::uint64_t nextId = 0;
};

namespace {

class Watch final : public FdWatch {
public:
    Watch(std::weak_ptr<FdWatchSet::State> state, std::uint64_t id)
        : state_(std::move(state)), id_(id) {}
    ~Watch() override {
        if (auto state = state_.lock()) {
            state->entries.erase(id_);
        }
    }

private:
    std::weak_ptr<FdWatchSet::State> state_;
    std::uint64_t id_;
};

}  // namespace

FdWatchSet::FdWatchSet() : state_(std::make_shared<State>()) {}

FdWatchSet::~FdWatchSet() = default;

std::unique_ptr<FdWatch> FdWatchSet::Add(int fd, std::function<void()> onReadable) {
    auto entry = std::make_shared<Entry>();
    entry->id = state_->nextId++;
    entry->fd = fd;
    entry->onReadable = std::move(onReadable);
    state_->entries.emplace(entry->id, entry);
    return std::make_unique<Watch>(state_, entry->id);
}

bool FdWatchSet::Empty() const {
    return state_->entries.empty();
}

bool FdWatchSet::PollAndDispatch(int timeoutMs, int wakeFd) {
    const std::shared_ptr<State> state = state_;
    std::vector<pollfd> fds{{wakeFd, POLLIN, 0}};
    std::vector<std::shared_ptr<Entry>> polled;
    for (const auto& [id, entry] : state->entries) {
        if (!entry->running && !entry->invalid && entry->fd >= 0) {
            fds.push_back({entry->fd, POLLIN, 0});
            polled.push_back(entry);
        }
    }
    if (poll(fds.data(), fds.size(), timeoutMs) <= 0) {
        return false;
    }
    for (std::size_t i = 0; i < polled.size(); ++i) {
        const short events = fds[i + 1].revents;
        Entry& entry = *polled[i];
        if ((events & POLLNVAL) != 0) {
            entry.invalid = true;
            continue;
        }
        // A callback earlier in this round may have dropped this watch.
        const bool stillWatched = state->entries.count(entry.id) != 0;
        if ((events & (POLLIN | POLLHUP | POLLERR)) == 0 || !stillWatched || entry.running) {
            continue;
        }
        entry.running = true;
        if (entry.onReadable) {
            entry.onReadable();
        }
        entry.running = false;
    }
    return (fds[0].revents & POLLIN) != 0;
}

}  // namespace tarvedde
