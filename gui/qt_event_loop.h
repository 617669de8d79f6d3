// The engine's timers and event loop on Qt's: each engine timer is a QTimer, posted
// tasks are queued calls, watched descriptors are QSocketNotifiers. Used only by the
// desktop program.
#pragma once

#include <QObject>

#include "platform/event_loop.h"

namespace tarvedde {

class QtEventLoop final : public EventLoop {
public:
    std::unique_ptr<Timer> CreateTimer(std::string name, int intervalMs,
                                       std::function<void()> onTimer) override;
    std::unique_ptr<FdWatch> WatchReadable(int fd, std::function<void()> onReadable) override;
    void Post(std::function<void()> task) override;
    void ProcessPendingEvents() override;
    void Run() override;
    void Quit() override;

private:
    QObject context_;
};

}  // namespace tarvedde
