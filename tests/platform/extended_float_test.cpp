#include "platform/extended_float.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace tarvedde {
namespace {

ExtendedBytes Make(bool negative, std::uint32_t exponent, std::uint64_t significand) {
    ExtendedBytes bytes{};
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[i] = static_cast<std::uint8_t>(significand >> (8 * i));
    }
    bytes[8] = static_cast<std::uint8_t>(exponent);
    bytes[9] = static_cast<std::uint8_t>((exponent >> 8) | (negative ? 0x80u : 0u));
    return bytes;
}

std::uint64_t Bits(double value) {
    return std::bit_cast<std::uint64_t>(value);
}

constexpr std::uint64_t kOne = std::uint64_t{1} << 63;
constexpr std::uint32_t kBias = 16383;
const double kMinSubnormal = std::numeric_limits<double>::denorm_min();
const double kMinNormal = std::numeric_limits<double>::min();
const double kMax = std::numeric_limits<double>::max();
const double kInf = std::numeric_limits<double>::infinity();

// Reference bytes as an x87 FPU stores them.
TEST(ExtendedFloat, GoldenBytes) {
    struct Case {
        double value;
        ExtendedBytes bytes;
    };
    const Case cases[] = {
        {1.0, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xFF, 0x3F}},
        {-2.5, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA0, 0x00, 0xC0}},
        {0.0, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {-0.0, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80}},
        {0.1, {0x00, 0xD0, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F}},
        {1e300, {0x00, 0xE0, 0xAC, 0x03, 0x40, 0xE4, 0x21, 0xBF, 0xE3, 0x43}},
        {kMinSubnormal, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xCD, 0x3B}},
        {kMinNormal, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x01, 0x3C}},
        {kMax, {0x00, 0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0x43}},
        {kInf, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xFF, 0x7F}},
        {-kInf, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF}},
        {std::numeric_limits<double>::quiet_NaN(),
         {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0xFF, 0x7F}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DoubleToExtended(c.value), c.bytes) << c.value;
        const double back = ExtendedToDouble(c.bytes);
        if (std::isnan(c.value)) {
            EXPECT_TRUE(std::isnan(back));
        } else {
            EXPECT_EQ(Bits(back), Bits(c.value)) << c.value;
        }
    }
}

TEST(ExtendedFloat, RandomFiniteDoublesRoundTripBitExact) {
    std::mt19937_64 random(20240611);
    for (int i = 0; i < 100'000; ++i) {
        std::uint64_t bits = random();
        if (i % 4 == 0) {  // a subnormal, its leading bit at every position in turn
            const std::uint64_t significand = 0x000F'FFFF'FFFF'FFFF >> (i / 4 % 52);
            bits &= significand | 0x8000'0000'0000'0000;
        }
        const double value = std::bit_cast<double>(bits);
        if (!std::isfinite(value)) {
            continue;
        }
        const std::uint64_t back = Bits(ExtendedToDouble(DoubleToExtended(value)));
        if (back != bits) {
            FAIL() << std::hex << "0x" << bits << " came back as 0x" << back;
        }
    }
}

TEST(ExtendedFloat, NanKeepsSignAndPayloadAndSignallingNanComesBackQuiet) {
    const double quiet = std::bit_cast<double>(0xFFF8'0000'0000'1234);
    EXPECT_EQ(Bits(ExtendedToDouble(DoubleToExtended(quiet))), 0xFFF8'0000'0000'1234u);
    const double signalling = std::bit_cast<double>(0x7FF0'0000'0000'0001);
    const double back = ExtendedToDouble(DoubleToExtended(signalling));
    EXPECT_EQ(Bits(back), 0x7FF8'0000'0000'0001u);
}

TEST(ExtendedFloat, SignificandRoundsHalfToEven) {
    // Bit 10 of the extended significand is half a unit of the double's last place at 1.0.
    EXPECT_EQ(ExtendedToDouble(Make(false, kBias, kOne | 0x3FF)), 1.0);
    EXPECT_EQ(ExtendedToDouble(Make(false, kBias, kOne | 0x400)), 1.0);  // tie, even below
    EXPECT_EQ(ExtendedToDouble(Make(false, kBias, kOne | 0x401)), 1.0 + 0x1p-52);
    EXPECT_EQ(ExtendedToDouble(Make(false, kBias, kOne | 0xC00)), 1.0 + 0x1p-51);  // tie, up
    EXPECT_EQ(ExtendedToDouble(Make(true, kBias, kOne | 0xBFF)), -(1.0 + 0x1p-52));
    // A carry out of the significand moves to the next binade.
    EXPECT_EQ(ExtendedToDouble(Make(false, kBias, ~std::uint64_t{0})), 2.0);
}

TEST(ExtendedFloat, TooLargeBecomesInfinity) {
    const std::uint32_t maxDoubleExponent = kBias + 1023;
    const std::uint64_t maxSignificand = 0xFFFF'FFFF'FFFF'F800;
    EXPECT_EQ(ExtendedToDouble(Make(false, maxDoubleExponent, maxSignificand | 0x3FF)), kMax);
    EXPECT_EQ(ExtendedToDouble(Make(false, maxDoubleExponent, maxSignificand | 0x400)), kInf);
    EXPECT_EQ(ExtendedToDouble(Make(false, maxDoubleExponent + 1, kOne)), kInf);
    EXPECT_EQ(ExtendedToDouble(Make(true, 0x7FFE, kOne)), -kInf);
}

TEST(ExtendedFloat, TooSmallBecomesSubnormalOrZero) {
    const std::uint32_t minNormalExponent = kBias - 1022;
    const std::uint32_t halfMinSubnormalExponent = kBias - 1075;  // 2^-1075
    EXPECT_EQ(ExtendedToDouble(Make(false, minNormalExponent, kOne)), kMinNormal);
    EXPECT_EQ(ExtendedToDouble(Make(false, minNormalExponent - 1, kOne)), kMinNormal / 2);
    // Half of the smallest subnormal is a tie and goes to the even neighbour, zero.
    EXPECT_EQ(Bits(ExtendedToDouble(Make(false, halfMinSubnormalExponent, kOne))), 0u);
    EXPECT_EQ(Bits(ExtendedToDouble(Make(true, halfMinSubnormalExponent, kOne))), Bits(-0.0));
    EXPECT_EQ(ExtendedToDouble(Make(false, halfMinSubnormalExponent, kOne | 1)), kMinSubnormal);
    EXPECT_EQ(Bits(ExtendedToDouble(Make(false, halfMinSubnormalExponent - 1, ~0ull))), 0u);
    // 1.5 and 2.5 units of 2^-1074: ties to 2 both times.
    EXPECT_EQ(ExtendedToDouble(Make(false, kBias - 1074, kOne | (kOne >> 1))), 2 * kMinSubnormal);
    EXPECT_EQ(ExtendedToDouble(Make(false, kBias - 1073, kOne | (kOne >> 2))), 2 * kMinSubnormal);
    // The largest subnormal plus half a unit rounds up into the normal range.
    EXPECT_EQ(ExtendedToDouble(Make(false, minNormalExponent - 1, 0xFFFF'FFFF'FFFF'F800)),
              kMinNormal);
    EXPECT_EQ(ExtendedToDouble(Make(false, minNormalExponent - 1, 0xFFFF'FFFF'FFFF'F7FF)),
              kMinNormal - kMinSubnormal);
    EXPECT_EQ(Bits(ExtendedToDouble(Make(true, 1, kOne))), Bits(-0.0));
    EXPECT_EQ(Bits(ExtendedToDouble(Make(false, 0, 0xFFFF))), 0u);  // extended denormal
}

TEST(ExtendedFloat, InconsistentIntegerBitIsReadAsItsValueOrNan) {
    EXPECT_EQ(ExtendedToDouble(Make(false, kBias, kOne >> 1)), 0.5);          // unnormal
    EXPECT_EQ(ExtendedToDouble(Make(true, kBias, kOne >> 2)), -0.25);         // unnormal
    EXPECT_EQ(Bits(ExtendedToDouble(Make(false, kBias, 0))), 0u);             // unnormal zero
    EXPECT_EQ(Bits(ExtendedToDouble(Make(false, 0, kOne))), 0u);              // pseudo-denormal
    EXPECT_TRUE(std::isnan(ExtendedToDouble(Make(false, 0x7FFF, 0))));        // pseudo-infinity
    EXPECT_TRUE(std::isnan(ExtendedToDouble(Make(false, 0x7FFF, 1))));        // pseudo-NaN
    EXPECT_TRUE(std::isnan(ExtendedToDouble(Make(true, 0x7FFF, kOne | 1))));  // NaN, low payload
}

}  // namespace
}  // namespace tarvedde
