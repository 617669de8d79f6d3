#include "gui/qt_event_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/gui/qt_application.h"
#include "tests/platform/event_loop_contract.h"

namespace tarvedde::testing {

struct QtDriver {
    QtDriver() { EnsureQtApplication(); }
    EventLoop& Loop() { return loop; }
    static void Busy(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    QtEventLoop loop;
};
INSTANTIATE_TYPED_TEST_SUITE_P(QtLoop, EventLoopContract, QtDriver);

}  // namespace tarvedde::testing
