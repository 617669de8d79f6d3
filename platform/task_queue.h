// Tasks posted to an event loop, from any thread, run on the loop's thread in order.
#pragma once

#include <deque>
#include <functional>
#include <mutex>

namespace tarvedde {

class TaskQueue {
public:
    void Push(std::function<void()> task);
    bool Empty() const;
    // Runs the tasks queued at the call, oldest first. Tasks are taken one at a time, so a
    // task that processes pending events keeps the order, and tasks it posts wait for the
    // next call instead of starving everything else.
    void RunQueued();

private:
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace tarvedde
