#include <gtest/gtest.h>

#include "platform/date_time.h"

namespace tarvedde {
namespace {

TEST(StrToTimeTest, HoursMinutesSecondsAndLenientFormsWithinTheDay) {
    EXPECT_EQ(StrToTime("07:30").value(), EncodeTime(7, 30, 0, 0));
    EXPECT_EQ(StrToTime("7:5").value(), EncodeTime(7, 5, 0, 0));
    EXPECT_EQ(StrToTime(" 07:30:15 ").value(), EncodeTime(7, 30, 15, 0));
    EXPECT_EQ(StrToTime("0:00").value(), 0.0);
    EXPECT_EQ(StrToTime("23:59:59").value(), EncodeTime(23, 59, 59, 0));
    // Delphi's lenient forms.
    EXPECT_EQ(StrToTime("7").value(), EncodeTime(7, 0, 0, 0));
    EXPECT_EQ(StrToTime("7 : 30").value(), EncodeTime(7, 30, 0, 0));
    EXPECT_EQ(StrToTime("07:00:00,5").value(), EncodeTime(7, 0, 0, 5));
    EXPECT_EQ(StrToTime("7:15 pm").value(), EncodeTime(19, 15, 0, 0));
    EXPECT_EQ(StrToTime("12 AM").value(), 0.0);
    EXPECT_EQ(StrToTime("PM 12:00").value(), 0.5);
    for (const char* text : {"24:00", "23:60", "12:30:60", "abc", "", "  ", "12:", "12:30x",
                             "12:30:", "12.30", "13 PM", "0 AM", "-1:00", "12345"}) {
        EXPECT_FALSE(StrToTime(text).ok()) << text;
    }
    EXPECT_EQ(StrToTime("24:00").error().message, "'24:00' ist keine gültige Zeit");
}

TEST(StrToDateTest, DayMonthYearTwoDigitYearsAndMissingYear) {
    EXPECT_EQ(StrToDate("05.03.2024").value(), EncodeDate(2024, 3, 5));
    EXPECT_EQ(StrToDate("5.3.2024").value(), EncodeDate(2024, 3, 5));
    EXPECT_EQ(StrToDate(" 05.03.2024 ").value(), EncodeDate(2024, 3, 5));
    EXPECT_EQ(StrToDate("05.03.2024.").value(), EncodeDate(2024, 3, 5));
    EXPECT_EQ(StrToDate("29.02.2024").value(), EncodeDate(2024, 2, 29));
    EXPECT_EQ(StrToDate("30.12.1899").value(), 0.0);
    // Two-digit years and a missing year.
    EXPECT_EQ(StrToDate("05.03.24").value(), EncodeDate(2024, 3, 5));
    EXPECT_EQ(StrToDate("05.03.49").value(), EncodeDate(2049, 3, 5));
    EXPECT_EQ(StrToDate("05.03.50").value(), EncodeDate(1950, 3, 5));
    EXPECT_EQ(StrToDate("05.03.73", 2024).value(), EncodeDate(2073, 3, 5));
    EXPECT_EQ(StrToDate("05.03.74", 2024).value(), EncodeDate(1974, 3, 5));
    EXPECT_EQ(StrToDate("05.03.024", 2024).value(), EncodeDate(24, 3, 5));
    EXPECT_EQ(StrToDate("05.03", 2031).value(), EncodeDate(2031, 3, 5));
    // The locale's order.
    Locale locale = GermanLocale();
    locale.shortDateFormat = "yyyy-mm-dd";
    locale.dateSeparator = '-';
    EXPECT_EQ(StrToDate("2024-03-05", 2024, locale).value(), EncodeDate(2024, 3, 5));
    locale.shortDateFormat = "m/d/yyyy";
    locale.dateSeparator = '/';
    EXPECT_EQ(StrToDate("3/5/2024", 2024, locale).value(), EncodeDate(2024, 3, 5));
}

TEST(StrToDateTest, RejectsInvalidDates) {
    for (const char* text :
         {"31.02.2024", "29.02.2023", "00.01.2024", "01.13.2024", "05-03-2024", "", "05",
          "05.03.2024 12:00", "05..2024", "05.03.10000", "05.03.0000"}) {
        EXPECT_FALSE(StrToDate(text).ok()) << text;
    }
    EXPECT_EQ(StrToDate("31.02.2024").error().message, "'31.02.2024' ist kein gültiges Datum");
}

}  // namespace
}  // namespace tarvedde
