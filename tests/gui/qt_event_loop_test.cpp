#include "gui/qt_event_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/gui/qt_application.h"
#include "tests/platform/event_loop_contract.h"

namespace tarvedde {
namespace {

struct QtDriver {
    static constexpr const char* kName = "Qt";
    QtDriver() { testing::EnsureQtApplication(); }
    EventLoop& Loop() { return loop; }
    static void Busy(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    QtEventLoop loop;
};

}  // namespace
}  // namespace tarvedde

namespace tarvedde::testing {
INSTANTIATE_TYPED_TEST_SUITE_P(EventLoop, EventLoopContract, QtDriver, LoopName);
}  // namespace tarvedde::testing
