// A mutex-guarded deque; tasks run outside the lock so they may post again.
#include "platform/task_queue.h"

#include <utility>

namespace tarvedde {

void TaskQueue::Push(std::function<void()> task) {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
}

bool TaskQueue::Empty() const {
    std::lock_guard lock(mutex_);
    return tasks_.empty();
}

void TaskQueue::RunQueued() {
    std::size_t count = 0;
    {
        std::lock_guard lock(mutex_);
        count = tasks_.size();
    }
    for (; count > 0; --count) {
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            if (tasks_.empty()) {
                return;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        if (task) {
            task();
        }
    }
}

}  // namespace tarvedde
