// Real-time waiting for a transport's callbacks, shared by the socket and DDEML tests.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "platform/event_loop.h"

namespace tarvedde::testing {

// Runs the client's loop until `done` holds or `limitMs` passes; returns `done()`.
inline bool PumpUntil(EventLoop& loop, const std::function<bool()>& done, int limitMs = 3000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        loop.ProcessPendingEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

}  // namespace tarvedde::testing
