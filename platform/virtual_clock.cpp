// Virtual time: plain integers, so a run is exactly repeatable.
#include "platform/virtual_clock.h"

#include <utility>

#include "platform/civil_time.h"

namespace tarvedde {

VirtualClock::VirtualClock() : zone_(TimeZone::Utc()) {
    // 2024-03-05 is day 19787 after 1970-01-01.
    baseUtcMs_ = 19787 * civil::kMsPerDay + 7 * 3'600'000;
}

double VirtualClock::Now() const {
    return civil::DayNumberFromLocalMs(WallLocalMs());
}

void VirtualClock::AdvanceMs(std::int64_t ms) {
    if (ms > 0) {
        elapsedMs_ += ms;
    }
}

void VirtualClock::SetLocalTime(double dayNumber) {
    const std::int64_t utcMs = zone_.FromLocalMs(civil::LocalMsFromDayNumber(dayNumber));
    baseUtcMs_ = utcMs - elapsedMs_;
    stepOffsetMs_ = 0;
}

void VirtualClock::StepWallClock(std::int64_t deltaMs) {
    stepOffsetMs_ += deltaMs;
}

void VirtualClock::SetTimeZone(TimeZone zone) {
    zone_ = std::move(zone);
}

}  // namespace tarvedde
