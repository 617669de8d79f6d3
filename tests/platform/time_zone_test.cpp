#include "platform/time_zone.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/memory_file_system.h"

namespace tarvedde {
namespace {

constexpr std::int64_t kHourSeconds = 3'600'000;
constexpr std::int64_t kSecond = 1000;

// UTC epoch ms of a civil date-time (independent of the code under test: 2024-01-01 is
// 19723 days after 1970-01-01).
constexpr std::int64_t kJan2024 = 19723LL * 24 * kHourSeconds;

class TimeZoneBerlin : public ::testing::Test {
protected:
    void SetUp() override {
        auto zone = TimeZone::Load("Europe/Berlin");
        if (!zone.ok()) {
            GTEST_SKIP() << "tzdata for Europe/Berlin is not installed";
        }
        berlin = zone.value();
    }

    TimeZone berlin = TimeZone::Utc();
};

TEST_F(TimeZoneBerlin, SpringForwardAndFallBackAt0100Utc) {
    struct Change {
        std::int64_t utcMs;
        int day;  // of 2024, from January 1 = 0
        std::int64_t localHourBefore, localHourAfter;
    };
    for (const Change& c : {Change{1'711'846'800'000, 90, 2, 3},  // 2024-03-31 01:00 UTC
                            Change{1'729'990'800'000, 300, 3, 2}}) {
        const std::int64_t localMidnight = kJan2024 + c.day * 24 * kHourSeconds;
        EXPECT_EQ(berlin.ToLocalMs(c.utcMs - kSecond),
                  localMidnight + c.localHourBefore * kHourSeconds - kSecond);
        EXPECT_EQ(berlin.ToLocalMs(c.utcMs), localMidnight + c.localHourAfter * kHourSeconds);
        EXPECT_EQ(berlin.OffsetMs(c.utcMs - 1), (c.localHourBefore - 1) * kHourSeconds);
        EXPECT_EQ(berlin.OffsetMs(c.utcMs), (c.localHourAfter - 1) * kHourSeconds);
    }
    // Before the first transition: local mean time, +0:53:28 on 1800-01-01.
    EXPECT_EQ(berlin.OffsetMs(-5'364'662'400'000), 3208 * kSecond);
}

TEST_F(TimeZoneBerlin, LocalTimesBackToUtc) {
    const std::int64_t march31 = kJan2024 + 90 * 24 * kHourSeconds;
    const std::int64_t october27 = kJan2024 + 300 * 24 * kHourSeconds;
    // Plain winter and summer times.
    EXPECT_EQ(berlin.FromLocalMs(march31 - 12 * kHourSeconds), march31 - 13 * kHourSeconds);
    EXPECT_EQ(berlin.FromLocalMs(march31 + 12 * kHourSeconds), march31 + 10 * kHourSeconds);
    // Either side of the gap, and inside it (02:30 is read as 01:30 UTC = 03:30 CEST).
    EXPECT_EQ(berlin.FromLocalMs(march31 + 2 * kHourSeconds - 1), march31 + kHourSeconds - 1);
    EXPECT_EQ(berlin.FromLocalMs(march31 + 3 * kHourSeconds), march31 + kHourSeconds);
    EXPECT_EQ(berlin.FromLocalMs(march31 + 2 * kHourSeconds + kHourSeconds / 2), march31 + kHourSeconds + kHourSeconds / 2);
    // 02:30 on October 27 happens twice: the earlier, summer-time instant wins.
    EXPECT_EQ(berlin.FromLocalMs(october27 + 2 * kHourSeconds + kHourSeconds / 2), october27 + kHourSeconds / 2);
    EXPECT_EQ(berlin.FromLocalMs(october27 + 3 * kHourSeconds), october27 + 2 * kHourSeconds);
}

TEST(TimeZoneFixed, OffsetsBothWays) {
    const TimeZone plus90 = TimeZone::Fixed(90, "X+0130");
    EXPECT_EQ(plus90.Name(), "X+0130");
    EXPECT_EQ(plus90.ToLocalMs(0), 90 * 60 * kSecond);
    EXPECT_EQ(plus90.FromLocalMs(90 * 60 * kSecond), 0);
    const TimeZone minus5 = TimeZone::Fixed(-300, "EST");
    EXPECT_EQ(minus5.ToLocalMs(kJan2024), kJan2024 - 5 * kHourSeconds);
    EXPECT_EQ(TimeZone::Utc().ToLocalMs(kJan2024), kJan2024);
    EXPECT_EQ(TimeZone::Utc().Name(), "UTC");
}

// --- TZif bytes built by hand ---------------------------------------------------------

struct ZoneData {
    std::vector<std::int64_t> times;
    std::vector<std::uint8_t> typeIndexes;
    std::vector<std::int32_t> typeOffsets;
};

void PutBigEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

std::string HeaderAndBlock(char version, const ZoneData& data, int timeSize) {
    std::string out = "TZif";
    out += version;
    out += std::string(15, '\0');
    const std::uint32_t typeCount = static_cast<std::uint32_t>(data.typeOffsets.size());
    for (std::uint32_t count :
         {0u, 0u, 0u, static_cast<std::uint32_t>(data.times.size()), typeCount, 4u}) {
        PutBigEndian(out, count, 4);
    }
    for (std::int64_t time : data.times) {
        PutBigEndian(out, static_cast<std::uint64_t>(time), timeSize);
    }
    for (std::uint8_t index : data.typeIndexes) {
        out += static_cast<char>(index);
    }
    for (std::int32_t offset : data.typeOffsets) {
        PutBigEndian(out, static_cast<std::uint32_t>(offset), 4);
        out += '\0';  // isdst
        out += '\0';  // abbreviation index
    }
    out += std::string("ABC", 4);
    return out;
}

std::string Tzif1(const ZoneData& data) {
    return HeaderAndBlock('\0', data, 4);
}

std::string Tzif2(const ZoneData& v1, const ZoneData& v2, const std::string& footer) {
    return HeaderAndBlock('2', v1, 4) + HeaderAndBlock('2', v2, 8) + "\n" + footer + "\n";
}

const ZoneData kTwoChanges = {{1000, 2000}, {1, 0}, {0, 3600}};

TEST(TimeZoneParse, Version2UsesThe64BitSectionAndTheFooter) {
    const ZoneData wrongV1 = {{}, {}, {7200}};
    const ZoneData v2 = {{-10'000'000'000, 4'000'000'000}, {1, 0}, {0, 3600}};
    auto zone = TimeZone::Parse(Tzif2(wrongV1, v2, "XXX-3"), "v2");
    ASSERT_TRUE(zone.ok()) << zone.error().message;
    EXPECT_EQ(zone.value().OffsetMs(-10'000'000'001'000), 0);
    EXPECT_EQ(zone.value().OffsetMs(0), kHourSeconds);
    EXPECT_EQ(zone.value().OffsetMs(4'000'000'000'000), 0);          // at the last change: its type
    EXPECT_EQ(zone.value().OffsetMs(4'000'000'001'000), 3 * kHourSeconds);  // after it: the footer
}

TEST(TimeZoneParse, EmptyFooterKeepsTheLastTypeAndAFooterAloneGovernsAZone) {
    auto empty = TimeZone::Parse(Tzif2({{}, {}, {0}}, kTwoChanges, ""), "v2");
    ASSERT_TRUE(empty.ok()) << empty.error().message;
    EXPECT_EQ(empty.value().OffsetMs(9'000'000'000'000), 0);
    auto alone =
        TimeZone::Parse(Tzif2({{}, {}, {0}}, {{}, {}, {3600}}, "CET-1CEST,M3.5.0,M10.5.0/3"), "v2");
    ASSERT_TRUE(alone.ok()) << alone.error().message;
    EXPECT_EQ(alone.value().OffsetMs(1'711'846'800'000), 2 * kHourSeconds);
}

TEST(TimeZoneParse, MalformedBytesAreErrors) {
    const std::string good = Tzif2({{}, {}, {0}}, kTwoChanges, "CET-1");
    ASSERT_TRUE(TimeZone::Parse(good, "good").ok());
    for (std::size_t length = 0; length < good.size(); ++length) {
        EXPECT_FALSE(TimeZone::Parse(good.substr(0, length), "cut").ok()) << length;
    }
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"wrong magic", "TZxf" + good.substr(4)},
        {"unknown version", "TZif9" + good.substr(5)},
        {"type index out of range", Tzif1({{1000}, {2}, {0, 3600}})},
        {"transitions not ascending", Tzif1({{2000, 1000}, {0, 1}, {0, 3600}})},
        {"no types", Tzif1({{}, {}, {}})},
        {"offset out of range", Tzif1({{}, {}, {100'000}})},
        {"bad footer", Tzif2({{}, {}, {0}}, kTwoChanges, "CET-1CEST,M3.5.0")},
        {"unterminated footer", good.substr(0, good.size() - 1) + "x"},
    };
    for (const auto& [what, bytes] : bad) {
        EXPECT_FALSE(TimeZone::Parse(bytes, what).ok()) << what;
    }
}

// A version 1 file, read through the given file system.
TEST(TimeZoneLoad, ReadsThroughTheGivenFileSystemAndOnlyInsideTheZoneDirectory) {
    for (const std::string name : {"../etc/passwd", "/etc/localtime", "Europe/../../x", ""}) {
        EXPECT_FALSE(TimeZone::Load(name).ok()) << name;
    }
    EXPECT_FALSE(TimeZone::Load("No/Such_Zone").ok());
    MemoryFileSystem files;
    ASSERT_TRUE(files.WriteAll("/zones/Test/Zone", Tzif1(kTwoChanges), false).ok());
    auto zone = TimeZone::Load("Test/Zone", files, "/zones");
    ASSERT_TRUE(zone.ok()) << zone.error().message;
    EXPECT_EQ(zone.value().Name(), "Test/Zone");
    EXPECT_EQ(zone.value().OffsetMs(999'999), 0);  // type 0 before the first change
    EXPECT_EQ(zone.value().OffsetMs(1'000'000), kHourSeconds);
    EXPECT_EQ(zone.value().OffsetMs(1'999'999), kHourSeconds);
    EXPECT_EQ(zone.value().OffsetMs(2'000'000), 0);
    EXPECT_EQ(zone.value().OffsetMs(9'000'000'000'000), 0);
    EXPECT_FALSE(TimeZone::Load("Test/Missing", files, "/zones").ok());
}

// The zone the clock's local time uses, as the C library picks it.
TEST(TimeZoneSystem, FollowsTzThenTheLocaltimeFileThenUtc) {
    MemoryFileSystem files;
    ASSERT_TRUE(files.WriteAll("/zones/Test/Zone", Tzif1(kTwoChanges), false).ok());
    const auto named = [&](const char* tz, const std::string& localtime = "/etc/localtime") {
        auto zone = TimeZone::System(tz, files, "/zones", localtime);
        return zone ? zone.value().Name() : "error: " + zone.error().message;
    };
    EXPECT_EQ(named("Test/Zone"), "Test/Zone");
    EXPECT_EQ(named(":Test/Zone"), "Test/Zone");
    EXPECT_EQ(named("CET-1CEST,M3.5.0,M10.5.0/3"), "CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(named("Nowhere/Zone"), "error: TZ=Nowhere/Zone names no time zone");
    EXPECT_EQ(named(nullptr), "UTC");
    EXPECT_EQ(named(""), "UTC");
    EXPECT_EQ(named(nullptr, "/zones/Test/Zone"), "localtime");
}

}  // namespace
}  // namespace tarvedde
