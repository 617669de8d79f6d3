// Reading number texts the way Delphi's StrToFloat and StrToInt accept them. Texts
// come from operators, INI files and data servers, so every input ends in a value or
// an Error naming the text; nothing throws.
#include <charconv>
#include <cstdint>
#include <string>
#include <system_error>

#include "platform/convert_error.h"
#include "platform/number_format.h"

namespace tarvedde {
namespace {

// Exponents beyond this are out of range whatever the digits; saturating keeps the
// arithmetic in int.
constexpr int kExponentLimit = 100'000'000;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
    while (pos < text.size() && text[pos] == ' ') {
        ++pos;
    }
    return pos;
}

std::string_view TakeDigits(std::string_view text, std::size_t& pos) {
    const std::size_t start = pos;
    while (pos < text.size() && IsDigit(text[pos])) {
        ++pos;
    }
    return text.substr(start, pos - start);
}

Error InvalidFloat(std::string_view text) {
    return ConvertError(text, "ist kein gültiger Gleitkommawert");
}

Error InvalidInteger(std::string_view text) {
    return ConvertError(text, "ist kein gültiger Integerwert");
}

// The parts of a syntactically valid float text.
struct FloatText {
    bool negative = false;
    std::string_view integerDigits;
    std::string_view fractionDigits;
    int exponent = 0;
};

bool ReadExponent(std::string_view text, std::size_t& pos, int& exponent) {
    if (pos >= text.size() || (text[pos] != 'e' && text[pos] != 'E')) {
        return true;
    }
    ++pos;
    const bool negative = pos < text.size() && text[pos] == '-';
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        ++pos;
    }
    const std::string_view digits = TakeDigits(text, pos);
    for (const char c : digits) {
        exponent = exponent >= kExponentLimit ? kExponentLimit : exponent * 10 + (c - '0');
    }
    exponent = negative ? -exponent : exponent;
    return !digits.empty();
}

bool SplitFloatText(std::string_view text, char decimalSeparator, FloatText& parts) {
    std::size_t pos = SkipBlanks(text, 0);
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        parts.negative = text[pos] == '-';
        ++pos;
    }
    parts.integerDigits = TakeDigits(text, pos);
    if (pos < text.size() && text[pos] == decimalSeparator) {
        ++pos;
        parts.fractionDigits = TakeDigits(text, pos);
    }
    if (parts.integerDigits.empty() && parts.fractionDigits.empty()) {
        return false;
    }
    if (!ReadExponent(text, pos, parts.exponent)) {
        return false;
    }
    return SkipBlanks(text, pos) == text.size();
}

// Decimal exponent of the first nonzero digit's position plus one: the value lies in
// [10^(e-1), 10^e). Tells overflow from underflow when from_chars reports a range error.
std::int64_t DecimalMagnitude(const FloatText& parts) {
    const auto firstNonZero = parts.integerDigits.find_first_not_of('0');
    if (firstNonZero != std::string_view::npos) {
        return parts.exponent +
               static_cast<std::int64_t>(parts.integerDigits.size() - firstNonZero);
    }
    const auto zeros = parts.fractionDigits.find_first_not_of('0');
    if (zeros == std::string_view::npos) {
        return 0;
    }
    return parts.exponent - static_cast<std::int64_t>(zeros);
}

}  // namespace

Result<double> StrToFloat(std::string_view text, const Locale& locale) {
    FloatText parts;
    if (!SplitFloatText(text, locale.decimalSeparator, parts)) {
        return InvalidFloat(text);
    }
    std::string normalized;
    normalized.reserve(parts.integerDigits.size() + parts.fractionDigits.size() + 16);
    if (parts.negative) {
        normalized += '-';
    }
    normalized += parts.integerDigits.empty() ? std::string_view("0") : parts.integerDigits;
    normalized += '.';
    normalized += parts.fractionDigits.empty() ? std::string_view("0") : parts.fractionDigits;
    normalized += 'e';
    normalized += std::to_string(parts.exponent);
    double value = 0;
    const auto [end, ec] =
        std::from_chars(normalized.data(), normalized.data() + normalized.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (DecimalMagnitude(parts) > 0) {
            return InvalidFloat(text);
        }
        return parts.negative ? -0.0 : 0.0;
    }
    if (ec != std::errc{} || end != normalized.data() + normalized.size()) {
        return InvalidFloat(text);
    }
    return value;
}

Result<int> StrToInt(std::string_view text) {
    std::size_t pos = SkipBlanks(text, 0);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    int base = 10;
    if (pos < text.size() && (text[pos] == '$' || text[pos] == 'x' || text[pos] == 'X')) {
        base = 16;
        pos += 1;
    } else if (text.substr(pos, 2) == "0x" || text.substr(pos, 2) == "0X") {
        base = 16;
        pos += 2;
    }
    const std::string_view digits = text.substr(pos);
    std::uint32_t magnitude = 0;
    const auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    // from_chars takes no sign of its own, so a second one fails here as it should.
    if (digits.empty() || ec != std::errc{} || end != digits.data() + digits.size()) {
        return InvalidInteger(text);
    }
    if (base == 10 && magnitude > (negative ? 2147483648U : 2147483647U)) {
        return InvalidInteger(text);
    }
    // Two's complement wrap: hexadecimal takes all 32 bits, "$FFFFFFFF" is -1.
    const std::uint32_t bits = negative ? 0U - magnitude : magnitude;
    return static_cast<int>(bits);
}

int StrToIntDef(std::string_view text, int fallback) {
    return StrToInt(text).value_or(fallback);
}

std::string NormalizeDecimal(std::string_view text, const Locale& locale) {
    std::string out(text);
    for (char& c : out) {
        if (c == '.' || c == ',') {
            c = locale.decimalSeparator;
        }
    }
    return out;
}

}  // namespace tarvedde
