// Windows: nothing the program watches is a descriptor, so the set only keeps its watches.
#include "platform/fd_watch_set.h"

#include <utility>

namespace tarvedde {

struct FdWatchSet::State {
    std::map<std::uint64_t, std::function<void()>> entries;
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

std::unique_ptr<FdWatch> FdWatchSet::Add(int /*fd*/, std::function<void()> onReadable) {
    const std::uint64_t id = state_->nextId++;
    state_->entries.emplace(id, std::move(onReadable));
    return std::make_unique<Watch>(state_, id);
}

bool FdWatchSet::Empty() const {
    return state_->entries.empty();
}

// Only the virtual-time loop calls this on Windows, always without waiting.
bool FdWatchSet::PollAndDispatch(int /*timeoutMs*/, int /*wakeFd*/) {
    return false;
}

}  // namespace tarvedde
