#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include "platform/message_event_loop.h"
#include "platform/wide_text_win.h"

namespace tarvedde {
namespace {

class InertWatch final : public FdWatch {
public:
    explicit InertWatch(std::function<void()> onReadable) : onReadable_(std::move(onReadable)) {}

private:
    std::function<void()> onReadable_;
};

}  // namespace

Result<std::unique_ptr<MessageEventLoop>> MessageEventLoop::Create(const Clock& clock) {
    // Auto-reset: one wait consumes one wake-up, and a wake-up before the wait is kept.
    const HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (wake == nullptr) {
        return Error{"cannot create the event loop's wake event: " +
                     win::ErrorText(GetLastError())};
    }
    return std::unique_ptr<MessageEventLoop>(new MessageEventLoop(clock, wake));
}

MessageEventLoop::MessageEventLoop(const Clock& clock, void* wakeEvent)
    : clock_(clock), timers_(clock), wakeEvent_(wakeEvent) {}

MessageEventLoop::~MessageEventLoop() {
    CloseHandle(wakeEvent_);
}

std::unique_ptr<Timer> MessageEventLoop::CreateTimer(std::string name, int intervalMs,
                                                     std::function<void()> onTimer) {
    return timers_.Create(std::move(name), intervalMs, std::move(onTimer));
}

std::unique_ptr<FdWatch> MessageEventLoop::WatchReadable(int /*fd*/,
                                                         std::function<void()> onReadable) {
    return std::make_unique<InertWatch>(std::move(onReadable));
}

void MessageEventLoop::Post(std::function<void()> task) {
    tasks_.Push(std::move(task));
    SetEvent(wakeEvent_);
}

void MessageEventLoop::ProcessPendingEvents() {
    tasks_.RunQueued();
    PumpMessages();
    timers_.FireAllDue();
}

void MessageEventLoop::Run() {
    while (!TakeQuit()) {
        tasks_.RunQueued();
        if (quit_) {
            continue;
        }
        timers_.FireEarliestDue();
        if (quit_) {
            continue;
        }
        PumpMessages();
        if (quit_) {
            continue;
        }
        // MWMO_INPUTAVAILABLE also wakes for messages that arrived before the wait but were
        // left in the queue (a PeekMessage elsewhere marks them as seen).
        MsgWaitForMultipleObjectsEx(1, &wakeEvent_, TimeoutMs(), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void MessageEventLoop::Quit() {
    quit_ = true;
    SetEvent(wakeEvent_);
}

void MessageEventLoop::PumpMessages() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit_ = true;
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

unsigned long MessageEventLoop::TimeoutMs() const {
    if (!tasks_.Empty()) {
        return 0;
    }
    const auto next = timers_.NextDeadline();
    if (!next) {
        return INFINITE;
    }
    const std::int64_t wait = *next - clock_.ElapsedMs();
    // INFINITE is 0xFFFFFFFF; a day's wait is far enough, the loop just turns once more.
    return static_cast<unsigned long>(std::clamp<std::int64_t>(wait, 0, 86'400'000));
}

}  // namespace tarvedde
