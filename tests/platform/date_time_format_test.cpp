#include <gtest/gtest.h>

#include "platform/date_time.h"

namespace tarvedde {
namespace {

const double kTuesdayMorning = EncodeDateTime(2024, 3, 5, 7, 0, 0, 0);
const double kWithParts = EncodeDateTime(2024, 3, 5, 7, 8, 9, 45);
const double kChristmasEve = EncodeDateTime(2024, 12, 24, 23, 59, 59, 999);

TEST(FormatDateTimeTest, PatternsOfTheProgram) {
    EXPECT_EQ(FormatDateTime("dd.mmm.yy, hh:mm:ss", kTuesdayMorning), "05.Mrz.24, 07:00:00");
    EXPECT_EQ(FormatDateTime("dddddd (t)", kTuesdayMorning), "Dienstag, 5. März 2024 (07:00)");
    EXPECT_EQ(FormatDateTime("yyyymmdd_hhnnss_zzz", kWithParts), "20240305_070809_045");
    EXPECT_EQ(FormatDateTime("dd.mm.yyyy", kWithParts), "05.03.2024");
    EXPECT_EQ(FormatDateTime("dd.mmm., hh:mm:ss >  ", kWithParts), "05.Mrz., 07:08:09 >  ");
    EXPECT_EQ(FormatDateTime("dd.mmm.yy, hh:mm:ss:zzz", kChristmasEve), "24.Dez.24, 23:59:59:999");
    EXPECT_EQ(FormatDateTime("dddddd (t)", kChristmasEve), "Dienstag, 24. Dezember 2024 (23:59)");
}

TEST(FormatDateTimeTest, SpecifierWidths) {
    const double date = EncodeDateTime(2009, 1, 4, 7, 8, 9, 5);  // a Sunday
    EXPECT_EQ(FormatDateTime("d.m.yy h:n:s", date), "4.1.09 7:8:9");
    EXPECT_EQ(FormatDateTime("ddd dddd", date), "So Sonntag");
    EXPECT_EQ(FormatDateTime("mmm mmmm mmmmm", date), "Jan Januar Januar");
    EXPECT_EQ(FormatDateTime("y yyy yyyyy", date), "09 2009 2009");
    EXPECT_EQ(FormatDateTime("z zz zzz zzzz", date), "5 05 005 005");
    EXPECT_EQ(FormatDateTime("hhh nnn sss", date), "07 08 09");
    EXPECT_EQ(FormatDateTime("ddddd", date), "04.01.2009");
    EXPECT_EQ(FormatDateTime("ddddddd", date), "Sonntag, 4. Januar 2009");
    EXPECT_EQ(FormatDateTime("t tt", date), "07:08 07:08:09");
    EXPECT_EQ(FormatDateTime("DD.MM.YYYY HH:NN", date), "04.01.2009 07:08");
}

TEST(FormatDateTimeTest, MonthRightAfterHourMeansMinutes) {
    EXPECT_EQ(FormatDateTime("hh:mm", kWithParts), "07:08");
    EXPECT_EQ(FormatDateTime("h.m", kWithParts), "7.8");
    EXPECT_EQ(FormatDateTime("hh'h'mm", kWithParts), "07h08");  // quoted text is no letter
    EXPECT_EQ(FormatDateTime("mm:hh", kWithParts), "03:07");
    EXPECT_EQ(FormatDateTime("hhxmm", kWithParts), "07x03");  // any letter ends it
    EXPECT_EQ(FormatDateTime("hh nn mm", kWithParts), "07 08 03");
    EXPECT_EQ(FormatDateTime("hh:mmm", kWithParts), "07:08");  // minutes stay two digits
    EXPECT_EQ(FormatDateTime("hh:mm dd.mm", kWithParts), "07:08 05.03");
}

TEST(FormatDateTimeTest, LiteralText) {
    EXPECT_EQ(FormatDateTime("'Datum:' dd.mm", kWithParts), "Datum: 05.03");
    EXPECT_EQ(FormatDateTime("\"yyyy\" yyyy", kWithParts), "yyyy 2024");
    EXPECT_EQ(FormatDateTime("\"it's\"", kWithParts), "it's");
    EXPECT_EQ(FormatDateTime("'open", kWithParts), "open");
    EXPECT_EQ(FormatDateTime("[ß] # 1", kWithParts), "[ß] # 1");
    EXPECT_EQ(FormatDateTime("Pur", kWithParts), "Pur");        // letters that are no specifier
    EXPECT_EQ(FormatDateTime("Wert", kWithParts), "Wer07:08");  // as in Delphi: t is one
}

TEST(FormatDateTimeTest, SeparatorsComeFromTheLocale) {
    Locale locale = GermanLocale();
    locale.dateSeparator = '-';
    locale.timeSeparator = '.';
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", kWithParts, locale), "05-03-2024 07.08");
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", kWithParts), "05.03.2024 07:08");
}

TEST(FormatDateTimeTest, ShortDateWithTimeOnlyWhenThereIsOne) {
    EXPECT_EQ(FormatDateTime("c", kWithParts), "05.03.2024 07:08:09");
    EXPECT_EQ(FormatDateTime("c", EncodeDate(2024, 3, 5)), "05.03.2024");
    EXPECT_EQ(FormatDateTime("c", EncodeDate(2024, 3, 5) + 0.5 / kMsPerDay * 2), "05.03.2024");
    EXPECT_EQ(FormatDateTime("", kWithParts), "05.03.2024 07:08:09");
}

TEST(FormatDateTimeTest, RoundingCarriesIntoTheDate) {
    const double beforeMidnight = EncodeDate(2024, 3, 6) - 1e-10;
    EXPECT_EQ(FormatDateTime("ddd dd.mm.yyyy hh:nn:ss.zzz", beforeMidnight),
              "Mi 06.03.2024 00:00:00.000");
}

TEST(FormatDateTimeTest, NestedFormatsStopAtTheSecondLevel) {
    Locale locale = GermanLocale();
    locale.shortDateFormat = "ddddd|";
    EXPECT_EQ(FormatDateTime("ddddd", kWithParts, locale), "|");
    EXPECT_EQ(FormatDateTime("c", kWithParts, locale), "| 07:08:09");
    locale.longDateFormat = "dddddd!";
    EXPECT_EQ(FormatDateTime("dddddd", kWithParts, locale), "!");
}

}  // namespace
}  // namespace tarvedde
