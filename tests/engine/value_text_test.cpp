#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "engine/processing/per_value_processing.h"
#include "engine/processing/value_steps.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const char kCrLf[] = "\r\n";

// The part after the last blank, between the line ends before and after; with the same
// prefix and suffix a line end inside the text counts as a prefix. When the prefix sits where
// a final suffix would start, at most 100 characters are cut from the first suffix on.
TEST(CleanValueTextTest, KeepsThePartBetweenPrefixAndSuffixAfterTheLastBlank) {
    const std::string longText(10000, '7');
    std::string lineEnds;
    for (int n = 0; n < 50000; ++n) {
        lineEnds += kCrLf;
    }
    const std::vector<std::array<std::string, 4>> cases = {
        {"Wert 12,5", kCrLf, kCrLf, "12,5"},
        {"a  b 12,5   ", kCrLf, kCrLf, "12,5"},
        {"12,5", kCrLf, kCrLf, "12,5"},
        {"   ", kCrLf, kCrLf, ""},
        {"", kCrLf, kCrLf, ""},
        {"12,5\r\n", kCrLf, kCrLf, "12,5"},
        {"12,5 \r\n", kCrLf, kCrLf, "12,5"},
        {"\r\n12,5", kCrLf, kCrLf, "12,5"},
        {"\r\n\r\n12,5\r\n", kCrLf, kCrLf, "12,5"},
        {"Wert \r\n12,5\r\n", kCrLf, kCrLf, "12,5"},
        {"12,5\r\nRest", kCrLf, kCrLf, "Rest"},
        {"\r\n", kCrLf, kCrLf, ""},
        {"<12,5>", "<", ">", "12,5"},
        {"x<y<12,5>z", "<", ">", "12,5"},
        {"12,5\r\n", "", "", "12,5\r\n"},
        {"ab12,5", "ab", "", "12,5"},
        {"12SS" + std::string(150, 'x') + "Ez", "E", "SS", "12" + std::string(52, 'x') + "Ez"},
        {"12SS" + std::string(150, 'x'), "E", "SS", "12"},
        {longText + kCrLf, kCrLf, kCrLf, longText},
        {std::string("1\0 2\0", 5), kCrLf, kCrLf, std::string("2\0", 2)},
        {std::string(10000, ' ') + "5", kCrLf, kCrLf, "5"},
        {lineEnds + "5\r\n", kCrLf, kCrLf, "5"}};
    for (const auto& [text, prefix, suffix, cleaned] : cases) {
        EXPECT_EQ(CleanValueText(text, prefix, suffix), cleaned) << text.substr(0, 20);
    }
}

TEST(ParseValueTextTest, EmptyIsZeroAndGarbageIsMinusOne) {
    const Locale& de = GermanLocale();
    EXPECT_EQ(ParseValueText("", de), 0.0);
    EXPECT_EQ(ParseValueText("12,5", de), 12.5);
    EXPECT_EQ(ParseValueText("-0,25", de), -0.25);
    EXPECT_EQ(ParseValueText("1E3", de), 1000.0);
    for (const std::string& bad :
         std::vector<std::string>{"12.5", "1e309", "nan", "inf", "--5", "12,5,3", "abc", " ",
                                  std::string("1\0", 2), std::string(10000, '9')}) {
        EXPECT_EQ(ParseValueText(bad, de), -1.0) << bad.size();
    }
}

TEST(DayMatchesTest, BitOfTheWeekday) {
    EXPECT_TRUE(DayMatches(1, 1));
    EXPECT_FALSE(DayMatches(2, 1));
    EXPECT_TRUE(DayMatches(7, 64));
    EXPECT_FALSE(DayMatches(6, 64));
    for (int day = 1; day <= 7; ++day) {
        EXPECT_TRUE(DayMatches(day, 127));
        EXPECT_FALSE(DayMatches(day, 0));
    }
    EXPECT_FALSE(DayMatches(0, 127));
    EXPECT_FALSE(DayMatches(8, 255));
}

class ConvertByTableTest : public EngineFixture {
protected:
    void SetTable(int t, std::vector<double> x, std::vector<double> y) {
        ConversionTable& table = tables_.at(static_cast<std::size_t>(t));
        table.pointCount = static_cast<int>(x.size());
        for (std::size_t n = 0; n < x.size(); ++n) {
            table.x[n + 1] = x[n];
            table.y[n + 1] = y[n];
        }
    }
    TableConversion Tables() { return {tables_, log_, GermanLocale()}; }
    double Convert(int t, double value, int mode = 0) {
        EXPECT_TRUE(ConvertByTable(Tables(), t, value, mode));
        return value;
    }
};

// Between neighbours the value is interpolated; below the table it is 0, above the last
// but one point the last point's value.
TEST_F(ConvertByTableTest, InterpolatesBetweenNeighboursEndsAreZeroAndTheLastPoint) {
    SetTable(1, {0, 10, 20, 30}, {4, 100, 150, 170});
    EXPECT_EQ(Convert(1, -5), 0.0);
    EXPECT_EQ(Convert(1, 0), 0.0);  // at x[1]: 0, not y[1]
    EXPECT_DOUBLE_EQ(Convert(1, 0.5), 8.8);
    EXPECT_DOUBLE_EQ(Convert(1, 10), 100.0);
    EXPECT_DOUBLE_EQ(Convert(1, 15), 125.0);
    EXPECT_DOUBLE_EQ(Convert(1, 20), 150.0);  // x[pointCount - 1] still interpolates
    EXPECT_EQ(Convert(1, 20.001), 170.0);     // above it: y[pointCount]
    EXPECT_EQ(Convert(1, 1e9), 170.0);
    SetTable(2, {0, 10, 20, 30}, {0, 100, 150, 170});
    EXPECT_DOUBLE_EQ(Convert(2, 5), 50.0);
}

TEST_F(ConvertByTableTest, TraceLinesOnlyForInterpolationsAndOnlyWithTabelLog) {
    SetTable(1, {0, 10, 20, 30}, {0, 100, 150, 170});
    Convert(1, 15, 1);
    EXPECT_THAT(NewLogLines(), IsEmpty());
    log_.Settings().tabelLog = true;
    Convert(1, 15, 1);
    Convert(1, 16, 2);
    Convert(1, 5, 0);
    Convert(1, -1, 0);
    Convert(1, 25, 0);
    EXPECT_THAT(NewLogLines(),
                ElementsAre("Integral Tab.: 1 --> Orig.= 15,00 x1= 10,00 x2= 20,00",
                            "Integral Tab.: 1 -->  Neu = 125,00 y1= 100,00 y2= 150,00",
                            "Gleitend Tab.: 1 --> Orig.= 16,00 x1= 10,00 x2= 20,00",
                            "Gleitend Tab.: 1 -->  Neu = 130,00 y1= 100,00 y2= 150,00",
                            "Einzelw. Tab.: 1 --> Orig.= 5,00 x1= 0,00 x2= 10,00",
                            "Einzelw. Tab.: 1 -->  Neu = 50,00 y1= 0,00 y2= 100,00"));
}

// A point count beyond the table stops at its last point.
TEST_F(ConvertByTableTest, EqualSupportPointsNeverDivideByZero) {
    SetTable(1, {0, 10, 10, 20, 30}, {0, 5, 7, 9, 11});
    EXPECT_DOUBLE_EQ(Convert(1, 10), 5.0);
    EXPECT_DOUBLE_EQ(Convert(1, 12), 7.4);
    SetTable(2, {5, 5, 5}, {1, 2, 3});
    EXPECT_EQ(Convert(2, 5), 0.0);
    EXPECT_EQ(Convert(2, 6), 3.0);
    ConversionTable& table = tables_[1];
    table.pointCount = 500;
    for (int n = 1; n <= maxTablePoints; ++n) {
        table.x[static_cast<std::size_t>(n)] = n;
        table.y[static_cast<std::size_t>(n)] = 2.0 * n;
    }
    EXPECT_EQ(Convert(1, 1e6), 100.0);
    EXPECT_DOUBLE_EQ(Convert(1, 2.5), 5.0);
}

TEST_F(ConvertByTableTest, FailsWithoutTouchingTheValue) {
    SetTable(1, {-1e308, 1e308, 1e308}, {-1e308, 1e308, 0});
    double value = 0.0;
    EXPECT_FALSE(ConvertByTable(Tables(), 1, value, 0));  // the slope is inf / inf
    EXPECT_EQ(value, 0.0);
    value = 7.0;
    EXPECT_FALSE(ConvertByTable(Tables(), 3, value, 0));
    EXPECT_FALSE(ConvertByTable(Tables(), 0, value, 0));
    EXPECT_EQ(value, 7.0);
}

}  // namespace
}  // namespace tarvedde::testing
