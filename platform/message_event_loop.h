// The event loop of the headless program on Windows. One thread waits in
// MsgWaitForMultipleObjectsEx until the next timer deadline, a posted task, a quit
// request or a window message for this thread (see RealTimeEventLoop for the order of a
// turn), and pumps the thread's window messages on every turn: the DDE library talks to
// its conversations through hidden windows and needs that. A WM_QUIT ends Run() as Quit()
// does. Windows builds only.
//
// Windows has no readable descriptors to watch: WatchReadable keeps the callback and never
// calls it.
#pragma once

#include <memory>

#include "platform/clock.h"
#include "platform/real_time_event_loop.h"
#include "platform/result.h"

namespace tarvedde {

class MessageEventLoop : public RealTimeEventLoop {
public:
    // Fails only when the wake event cannot be created.
    static Result<std::unique_ptr<MessageEventLoop>> Create(const Clock& clock);
    ~MessageEventLoop() override;
    MessageEventLoop(const MessageEventLoop&) = delete;
    MessageEventLoop& operator=(const MessageEventLoop&) = delete;

    std::unique_ptr<FdWatch> WatchReadable(int fd, std::function<void()> onReadable) override;
    // Safe from a console control handler.
    void RequestQuitFromSignal() { Quit(); }

private:
    MessageEventLoop(const Clock& clock, void* wakeEvent);
    void Wake() override;
    void DispatchSystemEvents(bool wait) override;
    void PumpMessages();

    void* wakeEvent_;
};

}  // namespace tarvedde
