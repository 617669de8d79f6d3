// One time zone's rules: UTC <-> local wall time in epoch milliseconds. Loaded from the
// system's TZif files (versions 1 to 3 and later; the 64-bit section when present, the
// POSIX TZ footer after the last transition) or a fixed offset. A value type without
// global state: it never touches TZ or the C library's zone. Malformed or truncated
// TZif bytes give an Error, never a crash.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/posix_tz_rule.h"
#include "platform/result.h"

namespace tarvedde {

class TimeZone {
public:
    // Reads /usr/share/zoneinfo/<name>; names containing ".." or starting with '/' are
    // refused.
    static Result<TimeZone> Load(const std::string& name);
    static Result<TimeZone> Load(const std::string& name, const FileSystem& fileSystem,
                                 const std::string& zoneDirectory = "/usr/share/zoneinfo");
    // TZif file contents. Leap-second records are read past and ignored.
    static Result<TimeZone> Parse(std::string_view tzif, std::string name);
    // A zone given by its POSIX TZ rule alone ("CET-1CEST,M3.5.0,M10.5.0/3"), for where no
    // zone files are (Windows); named after the rule. Fails where the rule does not parse.
    static Result<TimeZone> FromPosixRule(std::string_view rule);
    // Minutes east of UTC, clamped to about -25 h .. +26 h.
    static TimeZone Fixed(int offsetMinutes, std::string name);
    // The zone of the C library's local time, which the system clock shows: TZ's zone name
    // (a leading ':' dropped) or POSIX rule, else `localtime`'s zone, else UTC (as the C
    // library falls back). An error when TZ names nothing usable.
    static Result<TimeZone> System();
    static Result<TimeZone> System(const char* tz, const FileSystem& fileSystem,
                                   const std::string& zoneDirectory = "/usr/share/zoneinfo",
                                   const std::string& localtime = "/etc/localtime");
    static TimeZone Utc();

    const std::string& Name() const { return name_; }
    // Milliseconds east of UTC in effect at `utcMs`.
    std::int64_t OffsetMs(std::int64_t utcMs) const;
    std::int64_t ToLocalMs(std::int64_t utcMs) const;
    // A local time that occurs twice (clocks set back) gives the earlier instant, the one
    // still on daylight time. A local time that is skipped (clocks set forward) is read
    // with the offset before the change, so 02:30 in a 02:00->03:00 gap becomes the
    // instant shown as 03:30 afterwards.
    std::int64_t FromLocalMs(std::int64_t localMs) const;

private:
    TimeZone() = default;
    std::int32_t OffsetSeconds(std::int64_t utcSeconds) const;

    std::string name_;
    std::vector<std::int64_t> transitions_;  // UTC seconds, strictly ascending
    std::vector<std::int32_t> offsets_;      // seconds east of UTC from each transition on
    std::int32_t initialOffset_ = 0;         // before the first transition
    std::optional<PosixTzRule> footer_;      // after the last transition
};

}  // namespace tarvedde
