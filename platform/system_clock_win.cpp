// The operating system's clocks on Windows: local time through the zone set in Windows
// (TZ plays no part), elapsed time from the performance counter, which never jumps.
#include "platform/windows_api.h"

#include <cstdint>

#include "platform/civil_time.h"
#include "platform/clock.h"

namespace tarvedde {
namespace {

class SystemClock final : public Clock {
public:
    SystemClock() {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        ticksPerSecond_ = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
    }

    double Now() const override {
        FILETIME utcFile{};
        GetSystemTimePreciseAsFileTime(&utcFile);
        SYSTEMTIME utc{};
        SYSTEMTIME local{};
        if (!FileTimeToSystemTime(&utcFile, &utc) ||
            !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
            GetLocalTime(&local);
        }
        const std::int64_t days = civil::DaysFromCivil(local.wYear, local.wMonth, local.wDay);
        const std::int64_t seconds =
            days * 86400 + local.wHour * 3600 + local.wMinute * 60 + local.wSecond;
        return civil::DayNumberFromLocalMs(seconds * 1000 + local.wMilliseconds);
    }

    std::int64_t ElapsedMs() const override {
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        const std::int64_t ticks = counter.QuadPart;
        return ticks / ticksPerSecond_ * 1000 + ticks % ticksPerSecond_ * 1000 / ticksPerSecond_;
    }

private:
    std::int64_t ticksPerSecond_ = 1;
};

}  // namespace

std::unique_ptr<Clock> MakeSystemClock() {
    return std::make_unique<SystemClock>();
}

}  // namespace tarvedde
