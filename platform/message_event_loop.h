// The event loop of the headless program on Windows. One thread waits in
// MsgWaitForMultipleObjectsEx until the next timer deadline (on the clock's monotonic
// time), a posted task, a quit request or a window message for this thread, and pumps the
// thread's window messages on every turn: the DDE library talks to its conversations
// through hidden windows and needs that. Timer semantics are those of TimerQueue. Each
// turn runs the posted tasks, then at most one due timer, then the messages, so no source
// starves the others. Windows builds only.
//
// Windows has no readable descriptors to watch: WatchReadable keeps the callback and never
// calls it.
#pragma once

#include <atomic>
#include <memory>

#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/result.h"
#include "platform/task_queue.h"
#include "platform/timer_queue.h"

namespace tarvedde {

class MessageEventLoop : public EventLoop {
public:
    // Fails only when the wake event cannot be created.
    static Result<std::unique_ptr<MessageEventLoop>> Create(const Clock& clock);
    ~MessageEventLoop() override;
    MessageEventLoop(const MessageEventLoop&) = delete;
    MessageEventLoop& operator=(const MessageEventLoop&) = delete;

    std::unique_ptr<Timer> CreateTimer(std::string name, int intervalMs,
                                       std::function<void()> onTimer) override;
    std::unique_ptr<FdWatch> WatchReadable(int fd, std::function<void()> onReadable) override;
    void Post(std::function<void()> task) override;
    // Runs posted tasks, the waiting window messages and the timers due now (each at most
    // once) without waiting.
    void ProcessPendingEvents() override;
    // Returns after Quit() or a WM_QUIT message; a Quit() while no Run() is active stops
    // the next one at once.
    void Run() override;
    // Safe from any thread, including a console control handler.
    void Quit() override;
    void RequestQuitFromSignal() { Quit(); }

private:
    MessageEventLoop(const Clock& clock, void* wakeEvent);
    void PumpMessages();
    unsigned long TimeoutMs() const;
    bool TakeQuit() { return quit_.exchange(false); }

    const Clock& clock_;
    TimerQueue timers_;
    TaskQueue tasks_;
    std::atomic<bool> quit_{false};
    void* wakeEvent_;
};

}  // namespace tarvedde
