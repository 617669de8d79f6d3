// The watch list, the same on every system; only the wait for readiness is the system's.
#include "platform/fd_watch_set.h"

#include <utility>

namespace tarvedde {
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

}  // namespace tarvedde
