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

// 2024's changes, both at 01:00 UTC: 02:00 CET becomes 03:00 CEST on March 31, 03:00 CEST
// becomes 02:00 CET on October 27.
TEST_F(TimeZoneBerlin, ChangesAt0100UtcBothWays) {
    constexpr std::int64_t h = kHourSeconds;
    const std::int64_t march31 = kJan2024 + 90 * 24 * h;
    const std::int64_t october27 = kJan2024 + 300 * 24 * h;
    struct Pair {
        std::int64_t utc, local;
    };
    // Plain winter and summer times, and either side of both changes.
    for (const Pair& p :
         {Pair{march31 - 13 * h, march31 - 12 * h}, Pair{march31 + 10 * h, march31 + 12 * h},
          Pair{march31 + h - 1, march31 + 2 * h - 1}, Pair{march31 + h, march31 + 3 * h},
          Pair{october27 + h - 1, october27 + 3 * h - 1},
          Pair{october27 + 2 * h, october27 + 3 * h}}) {
        EXPECT_EQ(berlin.ToLocalMs(p.utc), p.local) << p.utc;
        EXPECT_EQ(berlin.FromLocalMs(p.local), p.utc) << p.local;
    }
    EXPECT_EQ(berlin.ToLocalMs(october27 + h), october27 + 2 * h);
    // 02:30 on October 27 happens twice: the earlier, summer-time instant wins. On March 31
    // it never happens and is read as 01:30 UTC = 03:30 CEST.
    EXPECT_EQ(berlin.FromLocalMs(october27 + 2 * h + h / 2), october27 + h / 2);
    EXPECT_EQ(berlin.FromLocalMs(march31 + 2 * h + h / 2), march31 + h + h / 2);
    // Before the first transition: local mean time, +0:53:28 on 1800-01-01.
    EXPECT_EQ(berlin.OffsetMs(-5'364'662'400'000), 3208 * kSecond);
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

TEST(TimeZoneParse, Version2UsesThe64BitSectionAndItsFooter) {
    const ZoneData wrongV1 = {{}, {}, {7200}};
    const ZoneData v2 = {{-10'000'000'000, 4'000'000'000}, {1, 0}, {0, 3600}};
    auto zone = TimeZone::Parse(Tzif2(wrongV1, v2, "XXX-3"), "v2");
    ASSERT_TRUE(zone.ok()) << zone.error().message;
    EXPECT_EQ(zone.value().OffsetMs(-10'000'000'001'000), 0);
    EXPECT_EQ(zone.value().OffsetMs(0), kHourSeconds);
    EXPECT_EQ(zone.value().OffsetMs(4'000'000'000'000), 0);  // at the last change: its type
    EXPECT_EQ(zone.value().OffsetMs(4'000'000'001'000), 3 * kHourSeconds);  // after it: the footer
    // An empty footer keeps the last type; a footer alone governs a zone.
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
