// Double <-> 80-bit extended by bit arithmetic; see extended_float.h for the guarantees.
#include "platform/extended_float.h"

#include <bit>

namespace tarvedde {
namespace {

constexpr std::uint64_t kDoubleFractionMask = (std::uint64_t{1} << 52) - 1;
constexpr std::uint64_t kDoubleQuietBit = std::uint64_t{1} << 51;
constexpr std::uint64_t kIntegerBit = std::uint64_t{1} << 63;
constexpr int kDoubleBias = 1023;
constexpr int kExtendedBias = 16383;
constexpr std::uint32_t kExtendedMaxExponent = 0x7FFF;

ExtendedBytes Pack(bool negative, std::uint32_t exponent, std::uint64_t significand) {
    ExtendedBytes bytes{};
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[i] = static_cast<std::uint8_t>(significand >> (8 * i));
    }
    const std::uint32_t signAndExponent = (negative ? 0x8000u : 0u) | exponent;
    bytes[8] = static_cast<std::uint8_t>(signAndExponent);
    bytes[9] = static_cast<std::uint8_t>(signAndExponent >> 8);
    return bytes;
}

double FromBits(bool negative, std::uint64_t magnitude) {
    return std::bit_cast<double>((negative ? kIntegerBit : 0) | magnitude);
}

// Shifts `significand` right by `shift` (1..64) and rounds the dropped bits half to even.
std::uint64_t ShiftRoundHalfEven(std::uint64_t significand, int shift) {
    const std::uint64_t kept = shift == 64 ? 0 : significand >> shift;
    const std::uint64_t dropped =
        shift == 64 ? significand : significand & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (dropped > half || (dropped == half && (kept & 1) != 0)) {
        return kept + 1;
    }
    return kept;
}

// value = significand * 2^(binaryExponent), significand != 0.
double FiniteToDouble(bool negative, std::uint64_t significand, int binaryExponent) {
    const int leadingZeros = std::countl_zero(significand);
    significand <<= leadingZeros;
    // From here value = 1.xxx * 2^exponent with the integer bit at bit 63.
    int exponent = binaryExponent - leadingZeros + 63;
    if (exponent >= 1 - kDoubleBias) {
        std::uint64_t kept = ShiftRoundHalfEven(significand, 11);
        if (kept == (std::uint64_t{1} << 53)) {
            kept >>= 1;
            ++exponent;
        }
        if (exponent > kDoubleBias) {
            return FromBits(negative, std::uint64_t{0x7FF} << 52);
        }
        const auto biased = static_cast<std::uint64_t>(exponent + kDoubleBias);
        return FromBits(negative, (biased << 52) | (kept & kDoubleFractionMask));
    }
    // Subnormal range: the result is a multiple of 2^-1074. A carry into bit 52 yields the
    // smallest normal number, which the same bit pattern encodes.
    const int shift = 11 + (1 - kDoubleBias - exponent);
    if (shift > 64) {
        return FromBits(negative, 0);
    }
    return FromBits(negative, ShiftRoundHalfEven(significand, shift));
}

}  // namespace

ExtendedBytes DoubleToExtended(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const auto exponent = static_cast<std::uint32_t>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & kDoubleFractionMask;
    if (exponent == 0x7FF) {
        return Pack(negative, kExtendedMaxExponent, kIntegerBit | (fraction << 11));
    }
    if (exponent == 0) {
        if (fraction == 0) {
            return Pack(negative, 0, 0);
        }
        // Subnormal doubles are normal in extended: move the leading one to bit 63.
        const int leadingZeros = std::countl_zero(fraction);
        const int extendedExponent = kExtendedBias + 63 - 1074 - leadingZeros;
        return Pack(negative, static_cast<std::uint32_t>(extendedExponent),
                    fraction << leadingZeros);
    }
    const auto extendedExponent = exponent - kDoubleBias + kExtendedBias;
    return Pack(negative, static_cast<std::uint32_t>(extendedExponent),
                kIntegerBit | (fraction << 11));
}

double ExtendedToDouble(const ExtendedBytes& bytes) {
    std::uint64_t significand = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        significand |= std::uint64_t{bytes[i]} << (8 * i);
    }
    const std::uint32_t signAndExponent = bytes[8] | (std::uint32_t{bytes[9]} << 8);
    const bool negative = (signAndExponent & 0x8000) != 0;
    const std::uint32_t exponent = signAndExponent & kExtendedMaxExponent;
    if (exponent == kExtendedMaxExponent) {
        if (significand == kIntegerBit) {
            return FromBits(negative, std::uint64_t{0x7FF} << 52);
        }
        const std::uint64_t payload = (significand >> 11) & kDoubleFractionMask;
        return FromBits(negative, (std::uint64_t{0x7FF} << 52) | kDoubleQuietBit | payload);
    }
    if (significand == 0) {
        return FromBits(negative, 0);
    }
    // Exponent 0 (denormal) scales like exponent 1.
    const int effectiveExponent = exponent == 0 ? 1 : static_cast<int>(exponent);
    return FiniteToDouble(negative, significand, effectiveExponent - kExtendedBias - 63);
}

}  // namespace tarvedde
