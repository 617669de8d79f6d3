// Delphi's fixed and general float texts. Fixed places are rounded in integers from the
// double's exact binary value; significant digits come from std::to_chars (exact,
// locale-free), which rounds exact ties to even, so ties are found on the binary value
// and rounded away from zero here. Everything happens in
// stack buffers; the returned string is the only allocation, and short texts fit
// its small-string buffer.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/number_format.h"

namespace tarvedde {
namespace {

constexpr int kMaxDigits = 18;
constexpr int kGeneralPrecision = 15;
// From here on the integer part alone is longer than any precision allows.
constexpr double kAlwaysExponentForm = 1e18;

using TextBuffer = std::array<char, 64>;

// True when `magnitude` lies exactly halfway between two multiples of 10^-position,
// i.e. magnitude * 10^position * 2 is an odd integer. With magnitude = m * 2^e, m odd,
// that needs e == -(position + 1) for position >= 0, and additionally 5^-position
// dividing m for negative positions.
bool IsTieAt(double magnitude, int position) {
    int binaryExponent = 0;
    const double fraction = std::frexp(magnitude, &binaryExponent);
    auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    if (mantissa == 0) {
        return false;
    }
    const int zeros = std::countr_zero(mantissa);
    mantissa >>= zeros;
    const int exponent = binaryExponent - 53 + zeros;
    if (position >= 0) {
        return exponent == -(position + 1);
    }
    const int tens = -position;
    if (tens > 22 || exponent != tens - 1) {  // 5^23 exceeds any 53-bit mantissa
        return false;
    }
    std::uint64_t power = 1;
    for (int i = 0; i < tens; ++i) {
        power *= 5;
    }
    return mantissa % power == 0;
}

__extension__ using Wide = unsigned __int128;

constexpr std::uint64_t PowerOfTen(int exponent) {
    std::uint64_t power = 1;
    for (int i = 0; i < exponent; ++i) {
        power *= 10;
    }
    return power;
}

// The magnitude times 10^decimals, rounded to an integer with ties away from zero. The
// double is m * 2^e exactly, and m * 10^decimals stays below 2^113 (m < 2^53, decimals
// <= 18), so one shift rounds the exact product; magnitudes below 1e18 keep a left
// shift below 2^120.
Wide ScaledToPlaces(double magnitude, int decimals) {
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const auto biased = static_cast<int>(bits >> 52);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int exponent = -1074;  // subnormal
    if (biased != 0) {
        mantissa |= std::uint64_t{1} << 52;
        exponent = biased - 1075;
    }
    Wide scaled = Wide{mantissa} * PowerOfTen(decimals);
    if (exponent >= 0) {
        return scaled << exponent;
    }
    const int shift = -exponent;
    if (shift >= 128) {
        return 0;  // below half a unit of the last place
    }
    const Wide rest = scaled & ((Wide{1} << shift) - 1);
    scaled >>= shift;
    return rest >= (Wide{1} << (shift - 1)) ? scaled + 1 : scaled;
}

// The magnitude rounded to `decimals` places, written as "12.340" ("12" for none). In
// integers: to_chars' fixed printing took most of a cycle's formatting time.
int RoundToPlaces(double magnitude, int decimals, TextBuffer& text) {
    const Wide scaled = ScaledToPlaces(magnitude, decimals);
    std::array<char, 48> digits{};
    char* end = digits.data();
    constexpr std::uint64_t kChunk = PowerOfTen(18);
    if (scaled >> 64 == 0) {
        end = std::to_chars(end, digits.data() + digits.size(), static_cast<std::uint64_t>(scaled))
                  .ptr;
    } else {
        const auto high = static_cast<std::uint64_t>(scaled / kChunk);
        const auto low = static_cast<std::uint64_t>(scaled % kChunk);
        end = std::to_chars(end, digits.data() + digits.size(), high).ptr;
        char* const lowStart = end;
        end = std::to_chars(end, digits.data() + digits.size(), low).ptr;
        const auto lowLength = static_cast<std::size_t>(end - lowStart);
        std::memmove(lowStart + (18 - lowLength), lowStart, lowLength);
        std::fill(lowStart, lowStart + (18 - lowLength), '0');
        end = lowStart + 18;
    }
    auto length = static_cast<int>(end - digits.data());
    // At least one digit before the point.
    const int pad = std::max(decimals + 1 - length, 0);
    char* out = text.data();
    out = std::fill_n(out, pad, '0');
    out = std::copy(digits.data(), end, out);
    length += pad;
    if (decimals == 0) {
        return length;
    }
    char* const point = text.data() + (length - decimals);
    std::memmove(point + 1, point, static_cast<std::size_t>(decimals));
    *point = '.';
    return length + 1;
}

int SignificantDigits(const TextBuffer& text, int length) {
    int count = 0;
    for (int i = 0; i < length; ++i) {
        const char c = text[static_cast<std::size_t>(i)];
        if (c != '.' && (count > 0 || c != '0')) {
            ++count;
        }
    }
    return count;
}

// Digits d1..dn of a nonzero value 0.d1...dn * 10^exponent (Delphi's TFloatRec layout).
struct Digits {
    std::array<char, 24> digit{};
    int count = 0;
    int exponent = 0;

    void StripTrailingZeros() {
        while (count > 1 && digit[static_cast<std::size_t>(count - 1)] == '0') {
            --count;
        }
    }
};

// Reads to_chars' scientific text "d.ddde+XX".
Digits FromScientific(const char* first, const char* last) {
    Digits digits;
    const char* p = first;
    for (; p != last && *p != 'e'; ++p) {
        if (*p != '.') {
            digits.digit[static_cast<std::size_t>(digits.count++)] = *p;
        }
    }
    int exponent = 0;
    if (p != last && *++p == '+') {
        ++p;
    }
    std::from_chars(p, last, exponent);
    digits.exponent = exponent + 1;
    return digits;
}

// The nonzero magnitude rounded to `count` significant digits.
Digits RoundToSignificant(double magnitude, int count) {
    using std::chars_format;
    TextBuffer text;
    char* const end = text.data() + text.size();
    auto written = std::to_chars(text.data(), end, magnitude, chars_format::scientific, count - 1);
    Digits digits = FromScientific(text.data(), written.ptr);
    // A carry to the next power of ten only happens when rounding up, which is right
    // for a tie as well, so the exponent read here places the tie test correctly.
    if (!IsTieAt(magnitude, count - digits.exponent)) {
        return digits;
    }
    written = std::to_chars(text.data(), end, magnitude, chars_format::scientific, count);
    digits = FromScientific(text.data(), written.ptr);
    digits.count = count;
    for (int i = count - 1; i >= 0; --i) {
        char& c = digits.digit[static_cast<std::size_t>(i)];
        if (c != '9') {
            ++c;
            return digits;
        }
        c = '0';
    }
    digits.digit[0] = '1';
    ++digits.exponent;
    return digits;
}

// The shortest round-trip digits are the 15-digit rounding whenever they have at most
// 15 digits: 15-digit decimals lie further apart than a double's rounding interval.
Digits RoundToGeneral(double magnitude) {
    TextBuffer text;
    const auto written = std::to_chars(text.data(), text.data() + text.size(), magnitude,
                                       std::chars_format::scientific);
    Digits digits = FromScientific(text.data(), written.ptr);
    if (digits.count <= kGeneralPrecision) {
        return digits;
    }
    return RoundToSignificant(magnitude, kGeneralPrecision);
}

void AppendDigits(std::string& out, const Digits& digits, int from, int to) {
    out.append(digits.digit.data() + from, static_cast<std::size_t>(to - from));
}

// "1,2345E-7": Delphi's general exponent form, mantissa without trailing zeros.
std::string ExponentForm(bool negative, Digits digits, const Locale& locale) {
    digits.StripTrailingZeros();
    std::string out;
    out.reserve(32);
    if (negative) {
        out += '-';
    }
    out += digits.digit[0];
    if (digits.count > 1) {
        out += locale.decimalSeparator;
        AppendDigits(out, digits, 1, digits.count);
    }
    out += 'E';
    std::array<char, 8> exponent{};
    const auto written =
        std::to_chars(exponent.data(), exponent.data() + exponent.size(), digits.exponent - 1);
    out.append(exponent.data(), written.ptr);
    return out;
}

// Positional form of the digits with at least `minDecimals` places.
std::string PlainForm(bool negative, const Digits& digits, int minDecimals, const Locale& locale) {
    std::string out;
    out.reserve(48);
    if (negative) {
        out += '-';
    }
    const int integerDigits = std::max(digits.exponent, 0);
    const int leadingZeros = std::max(-digits.exponent, 0);
    const int places = std::max(digits.count - digits.exponent, 0);
    if (integerDigits == 0) {
        out += '0';
    } else {
        AppendDigits(out, digits, 0, std::min(integerDigits, digits.count));
        out.append(static_cast<std::size_t>(std::max(integerDigits - digits.count, 0)), '0');
    }
    const int shownPlaces = std::max(places, minDecimals);
    if (shownPlaces == 0) {
        return out;
    }
    out += locale.decimalSeparator;
    out.append(static_cast<std::size_t>(std::min(leadingZeros, shownPlaces)), '0');
    if (places > leadingZeros) {
        AppendDigits(out, digits, digits.count - (places - leadingZeros), digits.count);
    }
    out.append(static_cast<std::size_t>(shownPlaces - places), '0');
    return out;
}

const char* NonFiniteText(double value) {
    if (std::isnan(value)) {
        return "NAN";
    }
    return value < 0 ? "-INF" : "INF";
}

}  // namespace

std::string FormatFixed(double value, int precision, int decimals, const Locale& locale) {
    if (!std::isfinite(value)) {
        return NonFiniteText(value);
    }
    precision = std::clamp(precision, 1, kMaxDigits);
    decimals = std::clamp(decimals, 0, kMaxDigits);
    const bool negative = std::signbit(value);
    const double magnitude = std::fabs(value);
    if (magnitude < kAlwaysExponentForm) {
        TextBuffer text;
        const int length = RoundToPlaces(magnitude, decimals, text);
        const int significant = SignificantDigits(text, length);
        // Rounding at the places kept no more digits than the precision allows, so the
        // places are the coarser position.
        if (significant <= precision) {
            std::string out;
            out.reserve(static_cast<std::size_t>(length) + 1);
            if (negative && significant > 0) {
                out += '-';
            }
            out.append(text.data(), static_cast<std::size_t>(length));
            std::replace(out.begin(), out.end(), '.', locale.decimalSeparator);
            return out;
        }
    }
    const Digits digits = RoundToSignificant(magnitude, precision);
    if (digits.exponent > precision) {
        return ExponentForm(negative, digits, locale);
    }
    return PlainForm(negative, digits, decimals, locale);
}

std::string FormatGeneral(double value, const Locale& locale) {
    if (!std::isfinite(value)) {
        return NonFiniteText(value);
    }
    if (value == 0) {
        return "0";
    }
    Digits digits = RoundToGeneral(std::fabs(value));
    const bool negative = std::signbit(value);
    if (digits.exponent > kGeneralPrecision || digits.exponent < -3) {
        return ExponentForm(negative, digits, locale);
    }
    digits.StripTrailingZeros();
    return PlainForm(negative, digits, 0, locale);
}

}  // namespace tarvedde
