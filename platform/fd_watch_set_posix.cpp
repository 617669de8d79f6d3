// Waiting for readable descriptors with poll().
#include "platform/fd_watch_set.h"

#include <poll.h>

#include <vector>

namespace tarvedde {

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
