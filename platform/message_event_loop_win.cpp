#include "platform/windows_api.h"

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
    : RealTimeEventLoop(clock), wakeEvent_(wakeEvent) {}

MessageEventLoop::~MessageEventLoop() {
    CloseHandle(wakeEvent_);
}

std::unique_ptr<FdWatch> MessageEventLoop::WatchReadable(int /*fd*/,
                                                         std::function<void()> onReadable) {
    return std::make_unique<InertWatch>(std::move(onReadable));
}

void MessageEventLoop::Wake() {
    SetEvent(wakeEvent_);
}

void MessageEventLoop::DispatchSystemEvents(bool wait) {
    PumpMessages();
    if (!wait || QuitRequested()) {
        return;
    }
    // INFINITE is 0xFFFFFFFF; a day's wait is far enough, the loop just turns once more.
    const auto limit = WaitLimitMs();
    const DWORD timeoutMs =
        limit ? static_cast<DWORD>(std::min<std::int64_t>(*limit, 86'400'000)) : INFINITE;
    // MWMO_INPUTAVAILABLE also wakes for messages that arrived before the wait but were
    // left in the queue (a PeekMessage elsewhere marks them as seen).
    MsgWaitForMultipleObjectsEx(1, &wakeEvent_, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void MessageEventLoop::PumpMessages() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            MarkQuit();
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace tarvedde
