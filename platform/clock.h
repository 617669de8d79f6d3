// The program's only source of time. Wall time (local, as a day number) names days,
// files and log stamps; elapsed time measures durations and never jumps when the wall
// clock is set or daylight saving changes.
#pragma once

#include <cstdint>
#include <memory>

namespace tarvedde {

class Clock {
public:
    virtual ~Clock() = default;
    // Local wall time: days since 1899-12-30, time of day as the fraction, ms resolution.
    virtual double Now() const = 0;
    // Monotonic milliseconds since an arbitrary start.
    virtual std::int64_t ElapsedMs() const = 0;
};

// Local time from the operating system (honours TZ; on Windows the zone set in Windows).
std::unique_ptr<Clock> MakeSystemClock();

}  // namespace tarvedde
