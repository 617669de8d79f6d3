// The operating system's clocks: the only place that reads the real time of day.
// Local time comes from localtime_r, so TZ is honoured as the C library reads it.
#include <time.h>

#include <cstdint>

#include "platform/civil_time.h"
#include "platform/clock.h"

namespace tarvedde {
namespace {

class SystemClock final : public Clock {
public:
    SystemClock() { tzset(); }

    double Now() const override {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        tm local{};
        if (localtime_r(&now.tv_sec, &local) == nullptr) {
            return civil::DayNumberFromLocalMs(std::int64_t{now.tv_sec} * 1000);
        }
        const std::int64_t days = civil::DaysFromCivil(std::int64_t{local.tm_year} + 1900,
                                                       local.tm_mon + 1, local.tm_mday);
        const std::int64_t seconds =
            days * 86400 + local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
        return civil::DayNumberFromLocalMs(seconds * 1000 + now.tv_nsec / 1'000'000);
    }

    std::int64_t ElapsedMs() const override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return std::int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1'000'000;
    }
};

}  // namespace

std::unique_ptr<Clock> MakeSystemClock() {
    return std::make_unique<SystemClock>();
}

}  // namespace tarvedde
