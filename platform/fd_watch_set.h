// The descriptors an event loop watches for readability, shared by the virtual-time loop
// (which polls them without waiting) and the poll loop. Loop thread only. A callback is
// never re-entered; a watch destroyed by a callback gets no further calls; a descriptor
// reported invalid (closed while watched) is dropped from polling for good, so the loop
// cannot spin on it. Windows has no such descriptors (its sockets are handles): there a
// watch is kept but never reported readable.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/event_loop.h"

namespace tarvedde {

class FdWatchSet {
public:
    FdWatchSet();
    ~FdWatchSet();
    FdWatchSet(const FdWatchSet&) = delete;
    FdWatchSet& operator=(const FdWatchSet&) = delete;

    std::unique_ptr<FdWatch> Add(int fd, std::function<void()> onReadable);
    bool Empty() const;
    // Waits up to `timeoutMs` (-1: no limit) for a watched descriptor or `wakeFd`
    // (ignored when negative) to become readable, then runs the callbacks of the readable
    // watches. True when `wakeFd` is readable. An interrupted wait counts as nothing ready.
    bool PollAndDispatch(int timeoutMs, int wakeFd);

    struct Entry {
        std::uint64_t id = 0;
        int fd = -1;
        bool running = false;
        bool invalid = false;
        std::function<void()> onReadable;
    };
    // Entries are shared with the watch handles, like the timers, so a callback may drop
    // its own watch or another one while the set is dispatching.
    struct State {
        std::map<std::uint64_t, std::shared_ptr<Entry>> entries;
        std::uint64_t nextId = 0;
    };

private:
    std::shared_ptr<State> state_;
};

}  // namespace tarvedde
