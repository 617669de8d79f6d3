// Value export files: names by day and kind, the exact bytes of each line format, one
// file per day, and failures that are logged without stopping the caller.
#include "outputs/value_exports.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/process_paths.h"
#include "tests/outputs/log_fixture.h"

namespace tarvedde::testing {
namespace {

class ValueExportsTest : public LogFixture {
protected:
    ValueExportFiles exports_{fs_};
    ValueExportTarget target_{exports_, log_, GermanLocale(), kDir};
};

// 12 March 2015, noon.
constexpr double kNoon = 42075.5;

// Names by day, kind and item; 15 significant digits of the time; a value that rounds to
// zero has no sign; the next day starts a new file.
TEST_F(ValueExportsTest, LinesAreExactBytesInOneFilePerDay) {
    ASSERT_TRUE(WriteIntegralExport(target_, 3, kNoon, 12.375, 1234.5));
    ASSERT_TRUE(WriteIntegralExport(target_, 3, 42075.123456789012, -0.004, 0.0));
    ASSERT_TRUE(WriteDifferenceExport(target_, 2, kNoon, 17779.0, 60.0));
    ASSERT_TRUE(WriteSingleValueExport(target_, 2, 42075.99999, 1234567.891));
    ASSERT_TRUE(WriteSingleValueExport(target_, 2, 42076.0, 2.0));
    EXPECT_EQ(File("20150312_Integral_3.txt"),
              "42075,5;12,38;1234,50\r\n42075,123456789;0,00;0,00\r\n");
    EXPECT_EQ(File("20150312_Differenz_2.txt"), "42075,5;17779,00;60,00\r\n");
    EXPECT_EQ(File("20150312_Einzelwerte_2.txt"), "42075,99999;1234567,89\r\n");
    EXPECT_EQ(File("20150313_Einzelwerte_2.txt"), "42076;2,00\r\n");
}

// The single-value file is open already when its write fails; the next line opens it again.
TEST_F(ValueExportsTest, FailuresAreLoggedWithTheirOwnTextAndTheNextLineTriesAgain) {
    ASSERT_TRUE(WriteSingleValueExport(target_, 1, kNoon, 1.0));
    bool failing = true;
    fs_.SetFailurePolicy([&](FileOp op, const std::string& path) {
        return failing && op == FileOp::Append && path.find(".txt") != std::string::npos &&
               path.find("_DDE_OPC_LOGALL") == std::string::npos;
    });
    EXPECT_FALSE(WriteIntegralExport(target_, 1, kNoon, 1.0, 1.0));
    EXPECT_FALSE(WriteDifferenceExport(target_, 1, kNoon, 1.0, 1.0));
    EXPECT_FALSE(WriteSingleValueExport(target_, 1, kNoon, 2.0));
    EXPECT_EQ(File("_DDE_OPC_LOGALL.TXT"),
              std::string(kStamp) + "Fehler beim Speichern der Integral-Daten !\r\n" + kStamp +
                  "Fehler beim Speichern der Differenz-Daten !\r\n" + kStamp +
                  "Fehler beim Speichern der Einzelwert-Daten !\r\n");
    failing = false;
    EXPECT_TRUE(WriteSingleValueExport(target_, 1, kNoon, 3.0));
    EXPECT_EQ(File("20150312_Einzelwerte_1.txt"), "42075,5;1,00\r\n42075,5;3,00\r\n");
}

// On a real disk a file kept open would take the lines of a name that another program
// deleted or moved away; the lines go under the name, as with an open per line.
TEST(ValueExportFilesTest, LinesFollowTheNameWhenTheFileIsMovedDeletedOrReplaced) {
    const auto dir = MakeTemporaryDirectory("tarvedde-export-test-");
    ASSERT_TRUE(dir.ok());
    const auto fs = MakeRealFileSystem();
    ValueExportFiles exports(*fs);
    const std::string day = dir.value() + "/20150312_Einzelwerte_2.txt";
    const std::string next = dir.value() + "/20150313_Einzelwerte_2.txt";
    ASSERT_TRUE(exports.Append("_Einzelwerte_2.txt", day, "a\r\n"));
    ASSERT_TRUE(fs->Rename(day, day + ".alt"));
    ASSERT_TRUE(exports.Append("_Einzelwerte_2.txt", day, "b\r\n"));
    ASSERT_TRUE(exports.Append("_Einzelwerte_2.txt", day, "c\r\n"));
    ASSERT_TRUE(exports.Append("_Einzelwerte_2.txt", next, "d\r\n"));
    ASSERT_TRUE(fs->Remove(next));
    ASSERT_TRUE(exports.Append("_Einzelwerte_2.txt", next, "e\r\n"));
    ASSERT_TRUE(fs->WriteAll(next + ".neu", "geholt\r\n", false));
    ASSERT_TRUE(fs->Rename(next + ".neu", next));
    ASSERT_TRUE(exports.Append("_Einzelwerte_2.txt", next, "f\r\n"));
    EXPECT_EQ(fs->ReadAll(day + ".alt").value(), "a\r\n");
    EXPECT_EQ(fs->ReadAll(day).value(), "b\r\nc\r\n");
    EXPECT_EQ(fs->ReadAll(next).value(), "geholt\r\nf\r\n");
    std::filesystem::remove_all(dir.value());
}

}  // namespace
}  // namespace tarvedde::testing
