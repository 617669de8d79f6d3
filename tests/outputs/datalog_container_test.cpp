// The year container against bytes placed by hand: 8 bytes of the day's double and the
// flag byte, one record per day of the year.
#include "outputs/datalog_container.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "platform/memory_file_system.h"

namespace tarvedde {
namespace {

// 2024-01-01 (45292) unread, 2024-12-31 (45657) read.
const std::string kFirst2024("\x00\x00\x00\x00\x80\x1d\xe6\x40\x00", 9);
const std::string kLast2024Read("\x00\x00\x00\x00\x20\x4b\xe6\x40\x01", 9);

TEST(DatalogContainerTest, ANewYearHasOneNineByteRecordPerDayInDateOrder) {
    const std::string leap = EncodeDatalog(NewDatalogYear(2024, false));
    ASSERT_EQ(leap.size(), 366u * 9);
    EXPECT_EQ(leap.substr(0, 9), kFirst2024);
    // Day 366 of a leap year is the record at index 365.
    EXPECT_EQ(leap.substr(365 * 9), kLast2024Read.substr(0, 8) + '\0');
    EXPECT_EQ(EncodeDatalog(NewDatalogYear(2023, true)).size(), 365u * 9);
}

// A leap year's container under another year's name, cut short or grown: whole records.
TEST(DatalogContainerTest, DecodingTakesWholeRecordsAndTellsAWrongSize) {
    const std::string year = EncodeDatalog(NewDatalogYear(2024, false));
    EXPECT_TRUE(DecodeDatalog(year, 2024).wellSized);
    for (const auto& [bytes, name, count] :
         {std::tuple{year, 2023, 366u}, std::tuple{year.substr(1), 2024, 365u},
          std::tuple{year + "\x01", 2024, 366u}}) {
        EXPECT_EQ(DecodeDatalog(bytes, name).records.size(), count);
        EXPECT_FALSE(DecodeDatalog(bytes, name).wellSized);
    }
    std::string odd = kFirst2024;
    odd[8] = '\x07';  // any flag byte but 0 is read
    EXPECT_TRUE(DecodeDatalog(odd, 2024).records.at(0).read);
}

TEST(DatalogContainerTest, TheContainerOfAYearLivesInTheProgramDirectory) {
    MemoryFileSystem files;
    DatalogContainer container(files, "/plant/", 2024);
    EXPECT_FALSE(container.Read().ok());
    ASSERT_TRUE(container.Create(true).ok());
    EXPECT_EQ(files.ReadAll("/plant/DATALOG2024.DLG").value().substr(365 * 9), kLast2024Read);
    EXPECT_EQ(container.Read().value().records, NewDatalogYear(2024, true));
}

}  // namespace
}  // namespace tarvedde
