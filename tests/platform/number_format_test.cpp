#include "platform/number_format.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace tarvedde {
namespace {

Locale DotLocale() {
    Locale locale = GermanLocale();
    locale.decimalSeparator = '.';
    return locale;
}

// The oracles below check the rest; these are the texts the program shows and the edges
// the random values do not reach.
TEST(FormatFixedTest, KnownTextsAndEdges) {
    EXPECT_EQ(FormatFixed(1234.5, 14, 3), "1234,500");
    EXPECT_EQ(FormatFixed(40.608, 12, 2), "40,61");
    EXPECT_EQ(FormatFixed(1.5, 12, 1, DotLocale()), "1.5");
    // 0.125 is an exact tie (to_chars alone would round it to even); 1.005 is stored below.
    EXPECT_EQ(FormatFixed(-0.125, 12, 2), "-0,13");
    EXPECT_EQ(FormatFixed(1.005, 12, 2), "1,00");
    EXPECT_EQ(FormatFixed(9.9999, 12, 2), "10,00");
    EXPECT_EQ(FormatFixed(0.1, 30, 25), "0,100000000000000006");  // clamped to 18/18
    EXPECT_EQ(FormatFixed(2.5, 0, -3), "3");                      // clamped to 1/0
    EXPECT_EQ(FormatFixed(999999999999.5, 12, 2), "1E12");        // the carry adds the 13th digit
    EXPECT_EQ(FormatFixed(-123456789012345.0, 12, 2), "-1,23456789012E14");
    EXPECT_EQ(FormatFixed(1e20, 15, 2), "1E20");
    EXPECT_EQ(FormatFixed(-2.5e100, 12, 3), "-2,5E100");
    EXPECT_EQ(FormatFixed(-0.004, 12, 2), "0,00");  // zero never has a sign
    EXPECT_EQ(FormatFixed(-1e-300, 12, 0), "0");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::quiet_NaN(), 12, 2), "NAN");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 12, 2), "INF");
    EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::infinity(), 12, 2), "-INF");
}

TEST(FormatGeneralTest, KnownTextsAndEdges) {
    EXPECT_EQ(FormatGeneral(42075.5), "42075,5");
    EXPECT_EQ(FormatGeneral(-0.0), "0");
    EXPECT_EQ(FormatGeneral(2.0 / 3), "0,666666666666667");
    EXPECT_EQ(FormatGeneral(999999999999999.9), "1E15");
    EXPECT_EQ(FormatGeneral(0.000099999), "9,9999E-5");
    EXPECT_EQ(FormatGeneral(-100000000000000.5), "-100000000000001");  // a 15-digit tie
    EXPECT_EQ(FormatGeneral(std::nextafter(100000000000000.5, 0.0)), "100000000000000");
    EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FormatGeneral(-std::numeric_limits<double>::infinity()), "-INF");
}

// A slow oracle: exact digits of the double, rounded by "next digit >= 5".
struct ExactDigits {
    std::string digits;  // no leading zeros; value = 0.digits * 10^exponent
    int exponent = 0;
};

ExactDigits Exact(double magnitude) {
    std::string text(1200, '\0');
    const auto written = std::to_chars(text.data(), text.data() + text.size(), magnitude,
                                       std::chars_format::scientific, 800);
    text.resize(static_cast<std::size_t>(written.ptr - text.data()));
    const auto e = text.find('e');
    ExactDigits exact;
    exact.digits = text.substr(0, 1) + text.substr(2, e - 2);
    exact.exponent = std::stoi(text.substr(e + 1)) + 1;
    return exact;
}

// Keeps `count` significant digits (none or fewer when count <= 0 rounds to zero).
ExactDigits RoundDigits(ExactDigits exact, int count) {
    if (count < 0) {
        return {};
    }
    const bool up = exact.digits[static_cast<std::size_t>(count)] >= '5';
    std::string kept = exact.digits.substr(0, static_cast<std::size_t>(count));
    if (up) {
        int i = count - 1;
        for (; i >= 0 && kept[static_cast<std::size_t>(i)] == '9'; --i) {
            kept[static_cast<std::size_t>(i)] = '0';
        }
        if (i >= 0) {
            ++kept[static_cast<std::size_t>(i)];
        } else {
            kept.insert(kept.begin(), '1');
            ++exact.exponent;
        }
    }
    exact.digits = kept;
    return exact;
}

std::string ReferenceExponentForm(const std::string& sign, const ExactDigits& rounded) {
    const std::string mantissa = rounded.digits.substr(0, rounded.digits.find_last_not_of('0') + 1);
    std::string text = sign + mantissa.substr(0, 1);
    if (mantissa.size() > 1) {
        text += ',';
        text += mantissa.substr(1);
    }
    text += 'E';
    text += std::to_string(rounded.exponent - 1);
    return text;
}

// The digits around the decimal point, padded to at least `decimals` places.
std::string ReferencePlainForm(const std::string& sign, const ExactDigits& rounded, int decimals) {
    std::string all = rounded.digits;
    if (rounded.exponent <= 0) {
        all.insert(0, static_cast<std::size_t>(1 - rounded.exponent), '0');
    }
    const auto pointAt = static_cast<std::size_t>(std::max(rounded.exponent, 1));
    const std::size_t places = std::max(all.size(), pointAt) - pointAt;
    const std::size_t shown = std::max(places, static_cast<std::size_t>(decimals));
    all.resize(pointAt + shown, '0');
    std::string text = sign + all.substr(0, pointAt);
    if (shown > 0) {
        text += ',';
        text += all.substr(pointAt);
    }
    return text;
}

std::string ReferenceFixed(double value, int precision, int decimals) {
    const ExactDigits exact = Exact(std::fabs(value));
    const int places = std::min(decimals, precision - exact.exponent);
    const ExactDigits rounded = RoundDigits(exact, exact.exponent + places);
    if (rounded.digits.find_first_not_of('0') == std::string::npos) {
        return ReferencePlainForm("", ExactDigits{"0", 1}, decimals);
    }
    const std::string sign = value < 0 ? "-" : "";
    if (rounded.exponent > precision) {
        return ReferenceExponentForm(sign, rounded);
    }
    return ReferencePlainForm(sign, rounded, decimals);
}

std::string ReferenceGeneral(double value) {
    ExactDigits rounded = RoundDigits(Exact(std::fabs(value)), 15);
    const std::string sign = value < 0 ? "-" : "";
    if (rounded.exponent > 15 || rounded.exponent < -3) {
        return ReferenceExponentForm(sign, rounded);
    }
    rounded.digits.erase(
        std::max<std::size_t>(rounded.digits.find_last_not_of('0') + 1,
                              static_cast<std::size_t>(std::max(rounded.exponent, 0))));
    return ReferencePlainForm(sign, rounded, 0);
}

TEST(FormatFixedTest, AgreesWithExactOracle) {
    std::mt19937_64 random(20240305);
    std::uniform_int_distribution<std::int64_t> mantissa(-(std::int64_t{1} << 40),
                                                         std::int64_t{1} << 40);
    std::uniform_int_distribution<int> shift(0, 14);
    std::uniform_int_distribution<int> precision(1, 18);
    std::uniform_int_distribution<int> decimals(0, 18);
    std::uniform_int_distribution<int> power(-12, 17);
    for (int i = 0; i < 4000; ++i) {
        // Dyadic values hit exact ties often; scaled ones hit near-ties.
        double value = std::ldexp(static_cast<double>(mantissa(random)), -shift(random));
        if (i % 2 == 1) {
            value = value / (1 << 20) * std::pow(10.0, power(random));
        }
        if (std::fabs(value) >= 1e18) {
            continue;
        }
        const int p = precision(random);
        const int d = decimals(random);
        ASSERT_EQ(FormatFixed(value, p, d), ReferenceFixed(value, p, d))
            << "value " << value << " precision " << p << " decimals " << d;
    }
    // The ends of the range: subnormal, far below the last place, just below 1e18.
    for (const double value : {5e-324, 2.2250738585072014e-308, 4.9e-19, 5.000000000000001e-19,
                               0.9999999999999999, 999999999999999872.0, 12345678901234567.0}) {
        for (int d = 0; d <= 18; ++d) {
            ASSERT_EQ(FormatFixed(value, 18, d), ReferenceFixed(value, 18, d))
                << "value " << value << " decimals " << d;
        }
    }
}

TEST(FormatGeneralTest, AgreesWithExactOracle) {
    std::mt19937_64 random(42075);
    std::uniform_int_distribution<int> power(-8, 20);
    for (int i = 0; i < 4000; ++i) {
        double value = 0;
        const std::uint64_t bits = random();
        std::memcpy(&value, &bits, sizeof value);
        if (i % 2 == 1) {  // near the layout switches as well as anywhere
            value =
                std::ldexp(static_cast<double>(bits >> 11), -53) * std::pow(10.0, power(random));
        }
        if (!std::isfinite(value) || value == 0) {
            continue;
        }
        ASSERT_EQ(FormatGeneral(value), ReferenceGeneral(value)) << value;
    }
}

TEST(StrToFloatTest, AcceptsDelphiNumberTexts) {
    EXPECT_EQ(StrToFloat("12,5").value(), 12.5);
    EXPECT_EQ(StrToFloat("  -0,5  ").value(), -0.5);
    EXPECT_EQ(StrToFloat("+3").value(), 3.0);
    EXPECT_EQ(StrToFloat(",5").value(), 0.5);
    EXPECT_EQ(StrToFloat("5,").value(), 5.0);
    EXPECT_EQ(StrToFloat("1,5E3").value(), 1500.0);
    EXPECT_EQ(StrToFloat("1e-3").value(), 0.001);
    EXPECT_EQ(StrToFloat("1E+2").value(), 100.0);
    EXPECT_EQ(StrToFloat("1,7976931348623157E308").value(), std::numeric_limits<double>::max());
    EXPECT_EQ(StrToFloat("12.5", DotLocale()).value(), 12.5);
    // Too small becomes zero; too large fails (below).
    EXPECT_EQ(StrToFloat("1e-400").value(), 0.0);
    EXPECT_TRUE(std::signbit(StrToFloat("-1e-400").value()));
    EXPECT_EQ(StrToFloat("0,0000e99999").value(), 0.0);
}

TEST(StrToFloatTest, RejectsEverythingElseWithDelphisMessage) {
    for (const char* text :
         {"12.5", "abc", "nan",    "inf",  "--5",   "12,5,3", "",
          "   ",  ",",   "-",      "1e",   "1e+",   "1 2",    "12,5x",
          "e5",   "+-1", "1,5 E3", "0x10", "1e309", "-1e309", "0,001e99999999999999"}) {
        EXPECT_FALSE(StrToFloat(text).ok()) << text;
    }
    EXPECT_EQ(StrToFloat("abc").error().message, "'abc' ist kein gültiger Gleitkommawert");
    EXPECT_EQ(StrToFloat(" 1e309").error().message, "' 1e309' ist kein gültiger Gleitkommawert");
}

TEST(StrToFloatTest, ReadsBackWhatFormatGeneralWrites) {
    std::mt19937_64 random(7);
    std::uniform_int_distribution<std::int64_t> thousandths(-999'999'999'999, 999'999'999'999);
    for (int i = 0; i < 2000; ++i) {
        const double value = static_cast<double>(thousandths(random)) / 1000;
        ASSERT_EQ(StrToFloat(FormatGeneral(value)).value(), value) << FormatGeneral(value);
    }
}

TEST(StrToIntTest, DecimalAndHexadecimalWithinTheRangeAndNothingElse) {
    EXPECT_EQ(StrToInt("42").value(), 42);
    EXPECT_EQ(StrToInt("  -17").value(), -17);
    EXPECT_EQ(StrToInt("+5").value(), 5);
    EXPECT_EQ(StrToInt("$1F").value(), 31);
    EXPECT_EQ(StrToInt("0x1f").value(), 31);
    EXPECT_EQ(StrToInt("x10").value(), 16);
    EXPECT_EQ(StrToInt("-$10").value(), -16);
    EXPECT_EQ(StrToInt("$FFFFFFFF").value(), -1);
    // The range's edges.
    EXPECT_EQ(StrToInt("2147483647").value(), 2147483647);
    EXPECT_FALSE(StrToInt("2147483648").ok());
    EXPECT_EQ(StrToInt("-2147483648").value(), -2147483647 - 1);
    EXPECT_FALSE(StrToInt("-2147483649").ok());
    EXPECT_FALSE(StrToInt("$100000000").ok());
    EXPECT_FALSE(StrToInt("99999999999999999999").ok());
    for (const char* text :
         {"", " ", "12 ", "1,5", "1.5", "$", "0x", "abc", "--1", "+-1", "- 1", "1e3", "$G"}) {
        EXPECT_FALSE(StrToInt(text).ok()) << text;
    }
    EXPECT_EQ(StrToInt("12 ").error().message, "'12 ' ist kein gültiger Integerwert");
    EXPECT_EQ(StrToIntDef("x", 7), 7);
    EXPECT_EQ(StrToIntDef("-12", 7), -12);
}

TEST(NormalizeDecimalTest, BothSeparatorsBecomeTheLocales) {
    EXPECT_EQ(NormalizeDecimal("1.5"), "1,5");
    EXPECT_EQ(NormalizeDecimal("1.234,5"), "1,234,5");
    EXPECT_EQ(NormalizeDecimal("7,25", DotLocale()), "7.25");
    EXPECT_EQ(NormalizeDecimal(""), "");
}

}  // namespace
}  // namespace tarvedde
