// Number texts are written for every value of every cycle; these keep an eye on what
// one text costs.
#include <benchmark/benchmark.h>

#include <array>

#include "platform/date_time.h"
#include "platform/number_format.h"

namespace tarvedde {
namespace {

constexpr std::array<double, 8> kValues = {40.608, 1234.5,    -0.0001,  999999.9,
                                           0.125,  7.3456e-3, 15263.25, 123456789012345.0};

void BM_FormatFixed(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatFixed(kValues[i++ % kValues.size()], 12, 2));
    }
}
BENCHMARK(BM_FormatFixed);

void BM_FormatGeneral(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatGeneral(kValues[i++ % kValues.size()] / 3));
    }
}
BENCHMARK(BM_FormatGeneral);

void BM_FormatDateTime(benchmark::State& state) {
    const double now = EncodeDateTime(2024, 3, 5, 7, 8, 9, 45);
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatDateTime("dd.mmm.yy, hh:mm:ss", now));
    }
}
BENCHMARK(BM_FormatDateTime);

}  // namespace
}  // namespace tarvedde
