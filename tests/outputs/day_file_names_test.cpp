#include "outputs/day_file_names.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/outputs/log_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::HasSubstr;

// Three items of the golden header: an analog item, a digital item with a negative
// offset, and one whose name needs Windows-1252 and whose unit is longer than 10.
HeaderData ThreeItems() {
    HeaderData header;
    header.cycleIntervalMs = 10000;
    header.items = {{"Q", 1.0, 0.0, "Zulauf", 1, 0, "l/s"},
                    {"P", 2.5, -0.125, "Pumpe", 2, 1, ""},
                    {"R", 0.001, 1234.5, "Rücklauf", 1, 3, "Kubikmeter/h"}};
    return header;
}

// The usual date and header number texts are checked through the file names and the
// golden header; these are their edges.
TEST(DayDateTextTest, ShortYearsTakeTheirCenturyFromSeventy) {
    for (const auto& [year, text] :
         {std::pair{5, "205"}, {69, "2069"}, {70, "1970"}, {999, "19999"}, {1000, "1000"}}) {
        EXPECT_EQ(DayDateTexts({year, 1, 1}).year, text) << year;
    }
}

TEST(HeaderNumberTextTest, TenDecimalsRoundedAndWiderNumbersAreNotCut) {
    EXPECT_EQ(HeaderNumberText(0.123456789012), "     0.1234567890");
    EXPECT_EQ(HeaderNumberText(-1234567.25), "-1234567.2500000000");
}

class DayFilesTest : public LogFixture {
protected:
    DayFilesTest() {
        files_.SetProgramDir(kDir);
        files_.SetRunningDay({2024, 3, 5});
    }

    DayFiles files_{fs_, log_, GermanLocale()};
};

TEST_F(DayFilesTest, CreateTextFileNamesEachKindAndNeverEmptiesAnExistingFile) {
    EXPECT_TRUE(files_.CreateTextFile('D', 0));
    EXPECT_EQ(files_.DayDataPath(), "/prog/20240305.DAT");
    Put("20240305.SMP", "2024.3.5;07:00:00;1\r\n");
    EXPECT_FALSE(files_.CreateTextFile('S', 0));
    EXPECT_EQ(files_.SamplePath(), "/prog/20240305.SMP");
    EXPECT_EQ(File("20240305.SMP"), "2024.3.5;07:00:00;1\r\n");
    EXPECT_TRUE(files_.CreateTextFile('X', 0));
    EXPECT_TRUE(files_.CreateTextFile('H', 0));
    EXPECT_EQ(files_.HeaderPath(), "/prog/20240305.AQH");
    EXPECT_EQ(File("20240305.DAT"), "");
    EXPECT_EQ(File("20240305.TVW"), "");
    files_.SetRunningDay({2024, 3, 6});
    FailOn(FileOp::Append, "20240306.DAT");
    EXPECT_FALSE(files_.CreateTextFile('D', 0));
    EXPECT_THAT(LogAll(), HasSubstr(std::string(kStamp) + "CreateTextFile : Fehler (1) .DAT\r\n"));
}

// Renaming never overwrites an earlier version (that would destroy a part of the day's
// record), and a failed renaming keeps the old file in use.
TEST_F(DayFilesTest, RenamingMovesTheBoundFileToANewVersionAndStartsAnEmptyOne) {
    Put("20240305.AQH", "old header");
    ASSERT_FALSE(files_.CreateTextFile('H', 0));
    EXPECT_TRUE(files_.CreateTextFile('H', 4));
    EXPECT_EQ(File("20240305_4.AQH"), "old header");
    EXPECT_EQ(File("20240305.AQH"), "");
    EXPECT_THAT(LogAll(),
                HasSubstr(std::string(kStamp) + "20240305.AQH in 20240305_4.AQH umbenannt.\r\n"));

    Put("20240305.DAT", "today");
    Put("20240305_2.DAT", "earlier");
    ASSERT_FALSE(files_.CreateTextFile('D', 0));
    EXPECT_FALSE(files_.CreateTextFile('D', 2));
    EXPECT_EQ(File("20240305_2.DAT"), "earlier");
    EXPECT_EQ(File("20240305.DAT"), "today");
    EXPECT_THAT(LogAll(), HasSubstr(std::string(kStamp) +
                                    "CreateTextFile : Fehler bei Namensänderung ! .DAT\r\n"));

    fs_.SetFailurePolicy([](FileOp op, const std::string&) { return op == FileOp::Rename; });
    EXPECT_FALSE(files_.CreateTextFile('D', 1));
    EXPECT_EQ(File("20240305.DAT"), "today");
    EXPECT_EQ(File("20240305_1.DAT"), "<missing>");
    EXPECT_EQ(files_.DayDataPath(), "/prog/20240305.DAT");

    // The next version's number: the highest of the kind and day, a name without one as 0;
    // there is no sample case: 'S' looks for .TVW versions.
    for (const char* name :
         {"20240305_x.AQH", "20240305_3.AQH", "20240304_9.AQH", "20240305_8.SMP"}) {
        Put(name, "");
    }
    EXPECT_EQ(files_.HighestRenameNumber('H'), 4);
    EXPECT_EQ(files_.HighestRenameNumber('D'), 2);
    EXPECT_EQ(files_.HighestRenameNumber('S'), 0);
}

// The intermediate values file is created when missing.
TEST_F(DayFilesTest, AssignTextFileBindsDiaryIntermediateAndViewerFilesOnly) {
    EXPECT_TRUE(files_.AssignTextFile('I'));
    EXPECT_EQ(files_.DiaryDataPath(), "/prog/20240305.TVI");
    EXPECT_EQ(File("20240305.TVI"), "<missing>");
    EXPECT_TRUE(files_.AssignTextFile('V'));
    EXPECT_EQ(files_.ViewerDataPath(), "/prog/AKTDAT.TVV");
    EXPECT_TRUE(files_.AssignTextFile('S'));
    EXPECT_EQ(files_.IntermediateValuesPath(), "/prog/20240305.TVS");
    EXPECT_EQ(File("20240305.TVS"), "");
    EXPECT_FALSE(files_.AssignTextFile('D'));
    EXPECT_THAT(LogAll(), HasSubstr(std::string(kStamp) + "AssignTextFile : Fehler !\r\n"));

    files_.SetRunningDay({2024, 3, 6});
    Put("20240306.TVS", "kept");
    EXPECT_TRUE(files_.AssignTextFile('S'));
    EXPECT_EQ(File("20240306.TVS"), "kept");
    files_.SetRunningDay({2024, 3, 7});
    FailOn(FileOp::Append, "20240307.TVS");
    EXPECT_FALSE(files_.AssignTextFile('S'));
    EXPECT_THAT(LogAll(), HasSubstr(std::string(kStamp) + "Fehler in AssignTextFile - S\r\n"));
}

// At 03:00 on 6 March, with the statistics of the 5th still due at a later time.
TEST_F(DayFilesTest, PendingPostponedDayChangeKeepsDiaryAndIntermediateValuesOnTheDayBefore) {
    files_.SetRunningDay({2024, 3, 6});
    files_.SetPostponedDayPending(true);
    ASSERT_TRUE(files_.AssignTextFile('I'));
    EXPECT_EQ(files_.DiaryDataPath(), "/prog/20240305.TVI");
    ASSERT_TRUE(files_.AssignTextFile('S'));
    EXPECT_EQ(files_.IntermediateValuesPath(), "/prog/20240305.TVS");
    files_.CreateTextFile('D', 0);
    EXPECT_EQ(files_.DayDataPath(), "/prog/20240306.DAT");

    files_.SetRunningDay({2024, 3, 1});
    ASSERT_TRUE(files_.AssignTextFile('I'));
    EXPECT_EQ(files_.DiaryDataPath(), "/prog/20240229.TVI");
    files_.SetPostponedDayPending(false);
    ASSERT_TRUE(files_.AssignTextFile('I'));
    EXPECT_EQ(files_.DiaryDataPath(), "/prog/20240301.TVI");
}

class HeaderComparisonTest : public DayFilesTest {
protected:
    HeaderComparisonTest() {
        EXPECT_TRUE(files_.CreateTextFile('H', 0));
        files_.WriteHeaderFile(ThreeItems());
    }
    bool Matches(const HeaderData& header) { return files_.HeaderMatchesConfiguration(header); }
    // One item whose factor goes from `before` to `after`.
    bool SlopeChangeMatches(double before, double after) {
        const auto header = [](double slope) {
            return HeaderData{1000, true, {{"A", slope, 0.0, "A", 1, 0, ""}}};
        };
        Put("20240305.AQH", "");
        files_.WriteHeaderFile(header(before));
        return Matches(header(after));
    }
    // ThreeItems() with one item's slope (M) or intercept (T) changed.
    HeaderData With(int item, double HeaderItem::*field, double value) {
        HeaderData header = ThreeItems();
        header.items[static_cast<std::size_t>(item)].*field = value;
        return header;
    }
};

// Names and graphics references are no part of the comparison; with no items, the
// interval is the last line compared.
TEST_F(HeaderComparisonTest, TheGoldenHeaderMatchesTheConfigurationItWasWrittenWith) {
    EXPECT_EQ(File("20240305.AQH"), GoldenBytes("header_three_items.AQH"));
    EXPECT_TRUE(Matches(ThreeItems()));
    HeaderData renamed = ThreeItems();
    renamed.items[0].itemName = "Anders";
    renamed.items[0].GrafikRef = 5;
    EXPECT_TRUE(Matches(renamed));
    HeaderData none;
    none.cycleIntervalMs = 1000;
    Put("20240305.AQH", "");
    files_.WriteHeaderFile(none);
    EXPECT_TRUE(Matches(none));
    EXPECT_EQ(LogAll(), "<missing>");
}

TEST_F(HeaderComparisonTest, CountItemAndIntervalDifferencesAreNamed) {
    HeaderData fewer = ThreeItems(), renamed = ThreeItems(), slower = ThreeItems();
    fewer.items.pop_back();
    renamed.items[1].serverItem = "p";
    slower.cycleIntervalMs = 60000;
    for (const auto& [header, logged] : {std::pair{fewer, "Anzahl (alt) 3 <> 2"},
                                         {renamed, "Item (alt) P <> p"},
                                         {slower, "Intervall (alt) 10000 <> 60000"}}) {
        EXPECT_FALSE(Matches(header)) << logged;
        EXPECT_THAT(LogAll(),
                    HasSubstr(kStamp + std::string("Konfiguration : ") + logged + "\r\n"));
    }
}

// Calibration values differ only beyond half a percent of the old value, and a tolerance
// of 0.001 or less is none at all: small values may change freely.
TEST_F(HeaderComparisonTest, CalibrationChangesWithinHalfAPercentDoNotCount) {
    // Item P has M = 2.5: the tolerance is 0.0125.
    EXPECT_TRUE(Matches(With(1, &HeaderItem::calibrationSlope, 2.512)));
    EXPECT_TRUE(Matches(With(1, &HeaderItem::calibrationSlope, 2.488)));
    EXPECT_FALSE(Matches(With(1, &HeaderItem::calibrationSlope, 2.513)));
    EXPECT_THAT(LogAll(),
                HasSubstr("Konfiguration Item P : M(alt)=     2,5000000000 <> 2,513\r\n"));
    // R has T = 1234.5: the tolerance is 6.1725.
    EXPECT_TRUE(Matches(With(2, &HeaderItem::calibrationIntercept, 1240.0)));
    EXPECT_FALSE(Matches(With(2, &HeaderItem::calibrationIntercept, 1241.0)));
    EXPECT_THAT(LogAll(), HasSubstr("Konfiguration Item R : T(alt)=  1234,5000000000 <> 1241\r\n"));

    EXPECT_TRUE(SlopeChangeMatches(2.0, 2.009));
    EXPECT_FALSE(SlopeChangeMatches(2.0, 2.011));
    EXPECT_TRUE(SlopeChangeMatches(0.1, 0.5));
    EXPECT_TRUE(SlopeChangeMatches(0.2, 0.3));  // tolerance exactly 0.001
    EXPECT_FALSE(SlopeChangeMatches(0.2002, 0.3));
    EXPECT_TRUE(SlopeChangeMatches(0.0, 5.0));
}

TEST_F(DayFilesTest, AMissingEmptyOrBrokenHeaderDiffers) {
    ASSERT_TRUE(files_.CreateTextFile('H', 0));
    EXPECT_FALSE(files_.HeaderMatchesConfiguration(ThreeItems()));
    Put("20240305.AQH", "-1\r\n");
    EXPECT_FALSE(files_.HeaderMatchesConfiguration(ThreeItems()));
    EXPECT_EQ(LogAll(), "<missing>");
    // Written outside permanent mode: no calibration or item part to compare with.
    HeaderData header = ThreeItems();
    header.permanentMode = false;
    Put("20240305.AQH", "");
    files_.WriteHeaderFile(header);
    EXPECT_EQ(File("20240305.AQH"), "3\r\nQ\r\nP\r\nR\r\n\r\n10000\r\n\r\n");
    EXPECT_FALSE(files_.HeaderMatchesConfiguration(ThreeItems()));
    EXPECT_THAT(LogAll(), HasSubstr("Konfiguration Item Q : M(alt)= <> 1\r\n"));
}

}  // namespace
}  // namespace tarvedde::testing
