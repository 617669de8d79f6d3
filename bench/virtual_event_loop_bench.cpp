// A plant day of one-second cycles in virtual time, with the handful of timers the
// engine keeps running beside the cycle. This is the cost every scenario test pays.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "platform/virtual_event_loop.h"

namespace tarvedde {
namespace {

void BM_VirtualPlantDay(benchmark::State& state) {
    const int extraTimers = static_cast<int>(state.range(0));
    for (auto _ : state) {
        VirtualClock clock;
        VirtualEventLoop loop(clock);
        long fired = 0;
        std::vector<std::unique_ptr<Timer>> timers;
        timers.push_back(loop.CreateTimer("cycle", 1000, [&] { ++fired; }));
        for (int i = 0; i < extraTimers; ++i) {
            timers.push_back(loop.CreateTimer("extra", 5000 + 1000 * i, [&] { ++fired; }));
        }
        for (auto& timer : timers) {
            timer->SetEnabled(true);
        }
        loop.AdvanceBy(86'400'000);
        benchmark::DoNotOptimize(fired);
    }
}
BENCHMARK(BM_VirtualPlantDay)->Arg(0)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvedde
