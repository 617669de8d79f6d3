#include "outputs/item_log_flags.h"

#include <gtest/gtest.h>

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
    void Put(const std::string& bytes) { LogFixture::Put(kItemLogFlagsFile, bytes); }
    std::string LastLine() const {
        return log_.MessageList().Empty() ? "<none>" : log_.MessageList().Lines().back();
    }

    ItemLogFlagsArray flags_{};
};

TEST_F(ItemLogFlagsTest, SaveWritesTheGoldenBytes) {
    EXPECT_TRUE(SaveItemLogFlags(fs_, kPath, GoldenFlags(), log_));
    EXPECT_EQ(File(kItemLogFlagsFile), GoldenBytes(kItemLogFlagsFile));
    EXPECT_TRUE(log_.MessageList().Empty());
}

TEST_F(ItemLogFlagsTest, LoadReadsTheGoldenFileWithoutAMessage) {
    Put(GoldenBytes(kItemLogFlagsFile));
    LoadItemLogFlags(fs_, kPath, flags_, log_);
    EXPECT_EQ(flags_, GoldenFlags());
    EXPECT_TRUE(log_.MessageList().Empty());
}

TEST_F(ItemLogFlagsTest, MissingFileChangesNothing) {
    flags_[4].logIntegral = true;
    LoadItemLogFlags(fs_, kPath, flags_, log_);
    ItemLogFlagsArray expected{};
    expected[4].logIntegral = true;
    EXPECT_EQ(flags_, expected);
    EXPECT_TRUE(log_.MessageList().Empty());
}

TEST_F(ItemLogFlagsTest, ShortFileSetsOnlyTheItemsItCovers) {
    Put(std::string("\x01\xFF\x00\x00\x00\x00\x00\x02", 8));  // any non-zero byte is on
    LoadItemLogFlags(fs_, kPath, flags_, log_);
    EXPECT_EQ(flags_[1], (ItemLogFlags{true, true, false, false}));
    EXPECT_EQ(flags_[2], (ItemLogFlags{false, false, false, true}));
    for (std::size_t item = 3; item <= 180; ++item) {
        EXPECT_FALSE(flags_[item].Any()) << item;
    }
    EXPECT_TRUE(log_.MessageList().Empty());
}

TEST_F(ItemLogFlagsTest, A181stRecordIsAReadFailureAfterKeepingTheFirst180) {
    std::string bytes = GoldenBytes(kItemLogFlagsFile);
    ASSERT_EQ(bytes.size(), 720u);
    Put(bytes + std::string("\x01\x01\x01\x01", 4));
    LoadItemLogFlags(fs_, kPath, flags_, log_);
    EXPECT_EQ(flags_, GoldenFlags());
    EXPECT_EQ(LastLine(), std::string(kStamp) + "Fehler 181 beim Lesen der /prog/ddeLogKonfig.tvw");
}

TEST_F(ItemLogFlagsTest, ACutRecordStopsTheReadingAndNamesItsNumber) {
    Put(
        std::string("\x01\x00\x00\x00"
                    "\x01\x01",
                    6));
    LoadItemLogFlags(fs_, kPath, flags_, log_);
    EXPECT_TRUE(flags_[1].logSingleValues);
    EXPECT_FALSE(flags_[2].Any());
    EXPECT_EQ(LastLine(), std::string(kStamp) + "Fehler 2 beim Lesen der /prog/ddeLogKonfig.tvw");
}

TEST_F(ItemLogFlagsTest, AnUnreadableFileFailsAtTheFirstRecord) {
    Put(GoldenBytes(kItemLogFlagsFile));
    fs_.SetFailurePolicy([](FileOp op, const std::string&) { return op == FileOp::Read; });
    LoadItemLogFlags(fs_, kPath, flags_, log_);
    EXPECT_FALSE(flags_[1].Any());
    EXPECT_EQ(LastLine(), std::string(kStamp) + "Fehler 1 beim Lesen der /prog/ddeLogKonfig.tvw");
}

TEST_F(ItemLogFlagsTest, WriteFailureIsLoggedAndKeepsTheOldFile) {
    Put("alt");
    fs_.SetFailurePolicy([](FileOp op, const std::string&) { return op == FileOp::Write; });
    EXPECT_FALSE(SaveItemLogFlags(fs_, kPath, GoldenFlags(), log_));
    EXPECT_EQ(LastLine(), std::string(kStamp) + "Fehler beim Schreiben der /prog/ddeLogKonfig.tvw");
    EXPECT_EQ(File(kItemLogFlagsFile), "alt");
}

}  // namespace
}  // namespace tarvedde::testing
