// Converts between IEEE doubles and the 80-bit x87 extended format that the state files
// carry (10 bytes, little-endian: 64-bit significand with an explicit integer bit, then
// sign and 15-bit exponent with bias 16383). Pure bit arithmetic, no `long double`, so the
// result is the same on every platform.
//
// Guarantees: every double, finite or not, survives DoubleToExtended -> ExtendedToDouble
// unchanged (a NaN comes back as a quiet NaN with its payload and sign). Extended values
// beyond the double range round half to even: too large gives +-infinity, too small gives
// a subnormal or +-0. Unnormals and pseudo-denormals (integer bit inconsistent with the
// exponent) are read as their mathematical value m * 2^(e - 16383 - 63); pseudo-infinities
// and pseudo-NaNs (maximum exponent, integer bit clear) become NaN, as the FPU treats them.
#pragma once

#include <array>
#include <cstdint>

namespace tarvedde {

using ExtendedBytes = std::array<std::uint8_t, 10>;

ExtendedBytes DoubleToExtended(double value);
double ExtendedToDouble(const ExtendedBytes& bytes);

}  // namespace tarvedde
