#include "outputs/day_file_names.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/outputs/log_fixture.h"

namespace tarvedde::testing {
namespace {

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
TEST(DayDateTextTest, ShortYearsTakeTheirCenturyFromSeventyAndWideNumbersAreNotCut) {
    for (const auto& [year, text] :
         {std::pair{5, "205"}, {69, "2069"}, {70, "1970"}, {999, "19999"}, {1000, "1000"}}) {
        EXPECT_EQ(DayDateTexts({year, 1, 1}).year, text) << year;
    }
    EXPECT_EQ(HeaderNumberText(0.123456789012), "     0.1234567890");
    EXPECT_EQ(HeaderNumberText(-1234567.25), "-1234567.2500000000");
}

using DayFilesTest = DayFilesFixture;

// An existing file is never emptied. Renaming never overwrites an earlier version (that
// would destroy a part of the day's record), and a failed renaming keeps the old file.
TEST_F(DayFilesTest, CreateTextFileNamesEachKindAndMovesTheOldFileToANewVersion) {
    Put("20240305.AQH", "old header");
    for (const char kind : {'D', 'S', 'X', 'H'}) {
        EXPECT_EQ(files_.CreateTextFile(kind, 0), kind != 'H') << kind;
    }
    EXPECT_EQ(files_.DayDataPath() + files_.SamplePath() + files_.HeaderPath(),
              "/prog/20240305.DAT/prog/20240305.SMP/prog/20240305.AQH");
    EXPECT_EQ(File("20240305.TVW") + File("20240305.AQH"), "old header");
    EXPECT_TRUE(files_.CreateTextFile('H', 4));
    EXPECT_EQ(File("20240305_4.AQH") + "|" + File("20240305.AQH"), "old header|");
    EXPECT_THAT(LogAll(), Logged("20240305.AQH in 20240305_4.AQH umbenannt."));

    Put("20240305.DAT", "today");
    Put("20240305_2.DAT", "earlier");
    EXPECT_FALSE(files_.CreateTextFile('D', 2));
    EXPECT_EQ(File("20240305_2.DAT") + File("20240305.DAT"), "earliertoday");
    EXPECT_THAT(LogAll(), Logged("CreateTextFile : Fehler bei Namensänderung ! .DAT"));
    fs_.SetFailurePolicy([](FileOp op, const std::string&) { return op == FileOp::Rename; });
    EXPECT_FALSE(files_.CreateTextFile('D', 1));
    EXPECT_EQ(File("20240305.DAT") + File("20240305_1.DAT"), "today<missing>");

    // The next version's number: the highest of the kind and day, a name without one as 0;
    // there is no sample case: 'S' looks for .TVW versions.
    for (const char* name :
         {"20240305_x.AQH", "20240305_3.AQH", "20240304_9.AQH", "20240305_8.SMP"}) {
        Put(name, "");
    }
    EXPECT_EQ(files_.HighestRenameNumber('H'), 4);
    EXPECT_EQ(files_.HighestRenameNumber('D'), 2);
    EXPECT_EQ(files_.HighestRenameNumber('S'), 0);

    files_.SetRunningDay({2024, 3, 6});
    FailOn(FileOp::Append, "20240306.DAT");
    EXPECT_FALSE(files_.CreateTextFile('D', 0));
    EXPECT_THAT(LogAll(), Logged("CreateTextFile : Fehler (1) .DAT"));
}

// The intermediate values file is created when missing. While a postponed day change is
// pending, diary and intermediate values stay on the day whose statistics are due.
TEST_F(DayFilesTest, AssignTextFileBindsDiaryIntermediateAndViewerFilesOnly) {
    EXPECT_TRUE(files_.AssignTextFile('I'));
    EXPECT_TRUE(files_.AssignTextFile('V'));
    EXPECT_TRUE(files_.AssignTextFile('S'));
    EXPECT_EQ(files_.DiaryDataPath() + files_.ViewerDataPath() + files_.IntermediateValuesPath(),
              "/prog/20240305.TVI/prog/AKTDAT.TVV/prog/20240305.TVS");
    EXPECT_EQ(File("20240305.TVI") + File("20240305.TVS"), "<missing>");
    EXPECT_FALSE(files_.AssignTextFile('D'));
    EXPECT_THAT(LogAll(), Logged("AssignTextFile : Fehler !"));

    files_.SetRunningDay({2024, 3, 6});
    Put("20240306.TVS", "kept");
    EXPECT_TRUE(files_.AssignTextFile('S'));
    EXPECT_EQ(File("20240306.TVS"), "kept");
    files_.SetRunningDay({2024, 3, 7});
    files_.SetPostponedDayPending(true);
    ASSERT_TRUE(files_.AssignTextFile('I'));
    ASSERT_TRUE(files_.AssignTextFile('S'));
    files_.CreateTextFile('D', 0);
    EXPECT_EQ(files_.DiaryDataPath() + files_.IntermediateValuesPath() + files_.DayDataPath(),
              "/prog/20240306.TVI/prog/20240306.TVS/prog/20240307.DAT");
    files_.SetRunningDay({2024, 3, 1});
    ASSERT_TRUE(files_.AssignTextFile('I'));
    EXPECT_EQ(files_.DiaryDataPath(), "/prog/20240229.TVI");

    files_.SetPostponedDayPending(false);
    ASSERT_TRUE(files_.AssignTextFile('I'));
    EXPECT_EQ(files_.DiaryDataPath(), "/prog/20240301.TVI");
    FailOn(FileOp::Append, "20240301.TVS");
    EXPECT_FALSE(files_.AssignTextFile('S'));
    EXPECT_THAT(LogAll(), Logged("Fehler in AssignTextFile - S"));
}

class HeaderComparisonTest : public DayFilesTest {
protected:
    HeaderComparisonTest() {
        EXPECT_TRUE(files_.CreateTextFile('H', 0));
        files_.WriteHeaderFile(ThreeItems());
    }
    bool Matches(const HeaderData& header) { return files_.HeaderMatchesConfiguration(header); }
    void Rewrite(const HeaderData& header) {
        Put("20240305.AQH", "");
        files_.WriteHeaderFile(header);
    }
    // ThreeItems() with one item's slope (M) or intercept (T) changed.
    HeaderData With(int item, double HeaderItem::*field, double value) {
        HeaderData header = ThreeItems();
        header.items[static_cast<std::size_t>(item)].*field = value;
        return header;
    }
};

// Names and graphics references are no part of the comparison; with no items, the
// interval is the last line compared. An empty or broken header differs silently.
TEST_F(HeaderComparisonTest, TheGoldenHeaderMatchesTheConfigurationItWasWrittenWith) {
    EXPECT_EQ(File("20240305.AQH"), GoldenBytes("header_three_items.AQH"));
    HeaderData renamed = ThreeItems();
    renamed.items[0].itemName = "Anders";
    renamed.items[0].GrafikRef = 5;
    EXPECT_TRUE(Matches(renamed));
    HeaderData none;
    none.cycleIntervalMs = 1000;
    Put("20240305.AQH", "");
    EXPECT_FALSE(Matches(none));
    files_.WriteHeaderFile(none);
    EXPECT_TRUE(Matches(none));
    Put("20240305.AQH", "-1\r\n");
    EXPECT_FALSE(Matches(none));
    EXPECT_EQ(LogAll(), "<missing>");
}

// Written outside permanent mode, a header has no calibration to compare with.
TEST_F(HeaderComparisonTest, CountItemIntervalAndMissingCalibrationDifferencesAreNamed) {
    HeaderData fewer = ThreeItems(), renamed = ThreeItems(), slower = ThreeItems();
    fewer.items.pop_back();
    renamed.items[1].serverItem = "p";
    slower.cycleIntervalMs = 60000;
    for (const auto& [header, logged] : {std::pair{fewer, "Anzahl (alt) 3 <> 2"},
                                         {renamed, "Item (alt) P <> p"},
                                         {slower, "Intervall (alt) 10000 <> 60000"}}) {
        EXPECT_FALSE(Matches(header)) << logged;
        EXPECT_THAT(LogAll(), Logged("Konfiguration : " + std::string(logged)));
    }
    HeaderData temporary = ThreeItems();
    temporary.permanentMode = false;
    Rewrite(temporary);
    EXPECT_EQ(File("20240305.AQH"), "3\r\nQ\r\nP\r\nR\r\n\r\n10000\r\n\r\n");
    EXPECT_FALSE(Matches(ThreeItems()));
    EXPECT_THAT(LogAll(), Logged("Konfiguration Item Q : M(alt)= <> 1"));
}

// Calibration values differ only beyond half a percent of the old value, either way, and
// a tolerance of 0.001 or less is none at all: small values may change freely.
TEST_F(HeaderComparisonTest, CalibrationChangesWithinHalfAPercentDoNotCount) {
    // Item P has M = 2.5: the tolerance is 0.0125.
    EXPECT_TRUE(Matches(With(1, &HeaderItem::calibrationSlope, 2.512)));
    EXPECT_FALSE(Matches(With(1, &HeaderItem::calibrationSlope, 2.513)));
    EXPECT_THAT(LogAll(), Logged("Konfiguration Item P : M(alt)=     2,5000000000 <> 2,513"));
    // R has T = 1234.5: the tolerance is 6.1725.
    EXPECT_TRUE(Matches(With(2, &HeaderItem::calibrationIntercept, 1229.0)));
    EXPECT_FALSE(Matches(With(2, &HeaderItem::calibrationIntercept, 1228.0)));
    EXPECT_THAT(LogAll(), Logged("Konfiguration Item R : T(alt)=  1234,5000000000 <> 1228"));

    const auto oneItem = [](double slope) {
        return HeaderData{1000, true, {{"A", slope, 0.0, "A", 1, 0, ""}}};
    };
    for (const auto& [before, matches] : {std::pair{0.2, true}, {0.2002, false}}) {
        Rewrite(oneItem(before));
        EXPECT_EQ(Matches(oneItem(0.3)), matches) << before;  // 0.2: a tolerance of 0.001
    }
}

}  // namespace
}  // namespace tarvedde::testing
