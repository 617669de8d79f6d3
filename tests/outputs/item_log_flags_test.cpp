#include "outputs/item_log_flags.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/outputs/log_fixture.h"

namespace tarvedde::testing {
namespace {

constexpr char kPath[] = "/prog/ddeLogKonfig.tvw";

// The golden file: item 1 single values, 2 moving average, 3 integral, 7 all four,
// 180 counter difference, every other item off.
ItemLogFlagsArray GoldenFlags() {
    ItemLogFlagsArray flags{};
    flags[1].logSingleValues = true;
    flags[2].logMovingAverage = true;
    flags[3].logIntegral = true;
    flags[7] = {true, true, true, true};
    flags[180].logCounterDifference = true;
    return flags;
}

class ItemLogFlagsTest : public LogFixture {
protected:
    // Loads `bytes` (nullopt: no file) over flags that have item 4's integral on.
    ItemLogFlagsArray Load(const std::optional<std::string>& bytes) {
        if (bytes) {
            Put(kItemLogFlagsFile, *bytes);
        }
        ItemLogFlagsArray flags{};
        flags[4].logIntegral = true;
        LoadItemLogFlags(fs_, kPath, flags, log_);
        return flags;
    }
    std::string LastLine() const {
        return log_.MessageList().Empty() ? "<none>" : log_.MessageList().Lines().back();
    }
};

TEST_F(ItemLogFlagsTest, SaveWritesAndLoadReadsTheGoldenBytesWithoutAMessage) {
    EXPECT_TRUE(SaveItemLogFlags(fs_, kPath, GoldenFlags(), log_));
    EXPECT_EQ(File(kItemLogFlagsFile), GoldenBytes(kItemLogFlagsFile));
    EXPECT_EQ(Load(std::nullopt), GoldenFlags());
    EXPECT_TRUE(log_.MessageList().Empty());
}

// Reading stops at the end of the file or at the first record it cannot read: the
// items read so far keep their new flags, later items keep theirs.
TEST_F(ItemLogFlagsTest, ReadingKeepsWhatWasReadAndNamesTheRecordThatFailed) {
    ItemLogFlagsArray expected{};
    expected[4].logIntegral = true;
    EXPECT_EQ(Load(std::nullopt), expected);
    expected[1] = {true, true, false, false};  // any non-zero byte is on
    expected[2] = {false, false, false, true};
    EXPECT_EQ(Load(std::string("\x01\xFF\x00\x00\x00\x00\x00\x02", 8)), expected);
    EXPECT_EQ(LastLine(), "<none>");

    expected[1] = {true, false, false, false};
    expected[2] = {};
    EXPECT_EQ(Load(std::string("\x01\x00\x00\x00\x01\x01", 6)), expected);
    EXPECT_EQ(LastLine(), std::string(kStamp) + "Fehler 2 beim Lesen der /prog/ddeLogKonfig.tvw");

    const std::string golden = GoldenBytes(kItemLogFlagsFile);
    ASSERT_EQ(golden.size(), 720u);
    EXPECT_EQ(Load(golden + std::string("\x01\x01\x01\x01", 4)), GoldenFlags());
    EXPECT_EQ(LastLine(), std::string(kStamp) + "Fehler 181 beim Lesen der /prog/ddeLogKonfig.tvw");

    fs_.SetFailurePolicy([](FileOp op, const std::string&) { return op == FileOp::Read; });
    expected[1] = {};
    EXPECT_EQ(Load(golden), expected);
    EXPECT_EQ(LastLine(), std::string(kStamp) + "Fehler 1 beim Lesen der /prog/ddeLogKonfig.tvw");
}

TEST_F(ItemLogFlagsTest, WriteFailureIsLoggedAndKeepsTheOldFile) {
    Put(kItemLogFlagsFile, "alt");
    fs_.SetFailurePolicy([](FileOp op, const std::string&) { return op == FileOp::Write; });
    EXPECT_FALSE(SaveItemLogFlags(fs_, kPath, GoldenFlags(), log_));
    EXPECT_EQ(LastLine(), std::string(kStamp) + "Fehler beim Schreiben der /prog/ddeLogKonfig.tvw");
    EXPECT_EQ(File(kItemLogFlagsFile), "alt");
}

}  // namespace
}  // namespace tarvedde::testing
