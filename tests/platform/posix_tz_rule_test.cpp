#include "platform/posix_tz_rule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tarvedde {
namespace {

constexpr std::int32_t kHour = 3600;

PosixTzRule Parsed(const std::string& text) {
    auto rule = PosixTzRule::Parse(text);
    EXPECT_TRUE(rule.ok()) << text << ": " << (rule.ok() ? "" : rule.error().message);
    return rule.ok() ? rule.value() : PosixTzRule::Parse("UTC0").value();
}

// Checks the offset one second before and at a change (UTC seconds).
void ExpectChange(const PosixTzRule& rule, std::int64_t at, std::int32_t before,
                  std::int32_t after) {
    EXPECT_EQ(rule.OffsetSeconds(at - 1), before) << at;
    EXPECT_EQ(rule.OffsetSeconds(at), after) << at;
}

TEST(PosixTzRule, StandardTimeOnlyAndAnExplicitDaylightOffset) {
    const PosixTzRule rule = Parsed("<+0530>-5:30");
    EXPECT_FALSE(rule.HasDaylightSaving());
    EXPECT_EQ(rule.OffsetSeconds(0), 5 * kHour + 1800);
    EXPECT_EQ(Parsed("EST5").OffsetSeconds(0), -5 * kHour);
    const PosixTzRule explicitDaylight = Parsed("LHST-10:30LHDT-11,M10.1.0,M4.1.0");
    EXPECT_EQ(explicitDaylight.StandardOffset(), 10 * kHour + 1800);
    EXPECT_EQ(explicitDaylight.OffsetSeconds(2'240'568'000), 11 * kHour);
}

TEST(PosixTzRule, SouthernHemisphereDaylightTimeSpansNewYear) {
    // Sydney 2041: daylight time ends April 6 16:00 UTC and starts October 5 16:00 UTC.
    const PosixTzRule rule = Parsed("AEST-10AEDT,M10.1.0,M4.1.0/3");
    ExpectChange(rule, 2'248'876'800, 11 * kHour, 10 * kHour);
    ExpectChange(rule, 2'264'601'600, 10 * kHour, 11 * kHour);
    EXPECT_EQ(rule.OffsetSeconds(2'240'568'000), 11 * kHour);  // 2040-12-31 12:00 UTC
}

TEST(PosixTzRule, NegativeSwitchTimes) {
    // Nuuk 2041: March 30 23:00 local (-1 h on March 31) and October 27 00:00 local.
    const PosixTzRule rule = Parsed("<-02>2<-01>,M3.5.0/-1,M10.5.0/0");
    ExpectChange(rule, 2'248'304'400, -2 * kHour, -kHour);
    ExpectChange(rule, 2'266'448'400, -kHour, -2 * kHour);
}

TEST(PosixTzRule, JulianDaysSkipFebruary29AndZeroBasedDaysCountIt) {
    // 2024 is a leap year: J60 is March 1, day 59 is February 29.
    const std::int64_t march1 = (19723 + 60) * 86400LL;  // 2024-03-01 00:00 UTC
    ExpectChange(Parsed("AAA0BBB,J60/0,J300/0"), march1, 0, kHour);
    ExpectChange(Parsed("AAA0BBB,59/0,300/0"), march1 - 86400, 0, kHour);
    // 2023 is not: both name March 1.
    const std::int64_t march1Of2023 = (19358 + 59) * 86400LL;
    ExpectChange(Parsed("AAA0BBB,J60/0,J300/0"), march1Of2023, 0, kHour);
    ExpectChange(Parsed("AAA0BBB,59/0,300/0"), march1Of2023, 0, kHour);
}

TEST(PosixTzRule, DaylightTimeAllYear) {
    const PosixTzRule rule = Parsed("EST5EDT,0/0,J365/25");
    for (std::int64_t t : {0LL, 1'704'067'200LL, 1'704'085'200LL, 1'719'792'000LL}) {
        EXPECT_EQ(rule.OffsetSeconds(t), -4 * kHour) << t;
    }
}

TEST(PosixTzRule, DaylightNameWithoutRulesTakesUsRules) {
    // 2024: second Sunday of March (10th) 07:00 UTC, first Sunday of November (3rd) 06:00.
    const PosixTzRule rule = Parsed("EST5EDT");
    ExpectChange(rule, (19723 + 69) * 86400LL + 7 * kHour, -5 * kHour, -4 * kHour);
    ExpectChange(rule, (19723 + 307) * 86400LL + 6 * kHour, -4 * kHour, -5 * kHour);
}

TEST(PosixTzRule, MalformedRulesAreErrors) {
    for (const std::string text :
         {"", "CET", "CE-1", "CET-", "CET-25", "CET-1CEST,M3.5.0", "CET-1CEST,M13.5.0,M10.5.0/3",
          "CET-1CEST,M3.6.0,M10.5.0", "CET-1CEST,M3.5.7,M10.5.0", "CET-1CEST,M3.5.0,M10.5.0/3x",
          "CET-1CEST,J0,J100", "CET-1CEST,366,100", "CET-1CEST,M3.5.0/168,M10.5.0", "<+01-1",
          "<ab>-1", "CET-1:60"}) {
        EXPECT_FALSE(PosixTzRule::Parse(text).ok()) << text;
    }
}

}  // namespace
}  // namespace tarvedde
