// A clock that moves only when told: tests and the scenario runner drive a whole plant
// day in virtual time. Elapsed time starts at 0 and only moves forward; the wall clock is
// elapsed time plus a settable base and can be stepped (even backwards) without touching
// elapsed time, as when an operator sets the system clock.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/time_zone.h"

namespace tarvedde {

class VirtualClock : public Clock {
public:
    // 2024-03-05 07:00:00 local in UTC (a zone without daylight saving).
    VirtualClock();

    double Now() const override;
    std::int64_t ElapsedMs() const override { return elapsedMs_; }

    // Negative amounts are ignored: elapsed time never runs backwards.
    void AdvanceMs(std::int64_t ms);
    // Sets the wall clock to a local day number in the current zone (see
    // TimeZone::FromLocalMs for skipped and doubled local times).
    void SetLocalTime(double dayNumber);
    void StepWallClock(std::int64_t deltaMs);
    // Keeps the UTC instant; the local time shown changes with the zone.
    void SetTimeZone(TimeZone zone);

    const TimeZone& Zone() const { return zone_; }
    std::int64_t WallUtcMs() const { return baseUtcMs_ + elapsedMs_ + stepOffsetMs_; }
    std::int64_t WallLocalMs() const { return zone_.ToLocalMs(WallUtcMs()); }

private:
    TimeZone zone_;
    std::int64_t baseUtcMs_ = 0;
    std::int64_t elapsedMs_ = 0;
    std::int64_t stepOffsetMs_ = 0;
};

}  // namespace tarvedde
