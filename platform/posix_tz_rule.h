// The POSIX TZ string at the end of a TZif file ("CET-1CEST,M3.5.0,M10.5.0/3"), which
// gives the zone's offset for times after the last listed transition. Parsing checks
// every field and its range; evaluation is pure integer arithmetic for any year.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/result.h"

namespace tarvedde {

class PosixTzRule {
public:
    // Fails on anything beyond the POSIX grammar with the RFC 8536 extensions (rule
    // times -167..167 hours). A daylight name without rules takes the US rules.
    static Result<PosixTzRule> Parse(std::string_view text);

    // Seconds east of UTC in effect at `utcSeconds`.
    std::int32_t OffsetSeconds(std::int64_t utcSeconds) const;
    std::int32_t StandardOffset() const { return stdOffset_; }
    bool HasDaylightSaving() const { return hasDst_; }

    // A switching date: Jn (1..365, February 29 never counted), n (0..365), Mm.w.d.
    struct Date {
        enum class Kind { JulianNoLeap, ZeroBasedDay, MonthWeekDay };
        Kind kind = Kind::MonthWeekDay;
        int day = 0;
        int month = 0;
        int week = 0;
        int weekday = 0;
        std::int32_t timeSeconds = 7200;  // local time of the switch
    };

private:
    std::int64_t SwitchUtc(const Date& date, std::int64_t year, std::int32_t offsetBefore) const;

    std::int32_t stdOffset_ = 0;
    std::int32_t dstOffset_ = 0;
    bool hasDst_ = false;
    Date start_;
    Date end_;
};

}  // namespace tarvedde
