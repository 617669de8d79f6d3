#include "gui/qt_event_loop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace tarvedde {
namespace {

class QtTimer final : public Timer {
public:
    QtTimer(std::string name, int intervalMs, std::function<void()> onTimer)
        : name_(std::move(name)),
          onTimer_(std::make_shared<std::function<void()>>(std::move(onTimer))),
          interval_(std::max(intervalMs, 0)) {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Fire(); });
    }

    // As with window timers, only a real change restarts the countdown: QTimer::start()
    // and QTimer::setInterval() restart it even when nothing changes.
    void SetEnabled(bool enabled) override {
        if (enabled != enabled_) {
            enabled_ = enabled;
            Restart();
        }
    }
    bool Enabled() const override { return enabled_; }

    void SetInterval(int intervalMs) override {
        intervalMs = std::max(intervalMs, 0);
        if (intervalMs != interval_) {
            interval_ = intervalMs;
            Restart();
        }
    }
    int Interval() const override { return interval_; }
    const std::string& Name() const override { return name_; }

private:
    void Restart() {
        if (enabled_ && interval_ > 0) {
            timer_.start(interval_);
        } else {
            timer_.stop();
        }
    }

    // Window timers never re-enter a running handler, also when it processes events. The
    // handler may destroy this timer: after it, only what outlives the timer is touched.
    void Fire() {
        if (running_) {
            return;
        }
        running_ = true;
        const std::weak_ptr<bool> alive = alive_;
        const std::shared_ptr<std::function<void()>> handler = onTimer_;
        (*handler)();
        if (!alive.expired()) {
            running_ = false;
        }
    }

    std::string name_;
    // Shared, so a handler that destroys its timer still runs to its end.
    std::shared_ptr<std::function<void()>> onTimer_;
    QTimer timer_;
    int interval_;
    bool enabled_ = false;
    bool running_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

class QtFdWatch final : public FdWatch {
public:
    QtFdWatch(int fd, std::function<void()> onReadable)
        : notifier_(fd, QSocketNotifier::Read), onReadable_(std::move(onReadable)) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { onReadable_(); });
    }

private:
    QSocketNotifier notifier_;
    std::function<void()> onReadable_;
};

}  // namespace

std::unique_ptr<Timer> QtEventLoop::CreateTimer(std::string name, int intervalMs,
                                                std::function<void()> onTimer) {
    return std::make_unique<QtTimer>(std::move(name), intervalMs, std::move(onTimer));
}

std::unique_ptr<FdWatch> QtEventLoop::WatchReadable(int fd, std::function<void()> onReadable) {
    return std::make_unique<QtFdWatch>(fd, std::move(onReadable));
}

void QtEventLoop::Post(std::function<void()> task) {
    QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

void QtEventLoop::ProcessPendingEvents() {
    QCoreApplication::processEvents();
}

void QtEventLoop::Run() {
    QCoreApplication::exec();
}

void QtEventLoop::Quit() {
    QCoreApplication::quit();
}

}  // namespace tarvedde
