// plantsim's AQASYS face: which requests get which day value, and its INI section.
#include "tools/plantsim/plantsim_aqasys.h"

#include <gtest/gtest.h>

#include "platform/memory_file_system.h"

namespace tarvedde::plantsim {
namespace {

TEST(PlantsimAqasysTest, AnswersKnownCodesPerDayFromTheFileOrGenerated) {
    MemoryFileSystem files;
    ASSERT_TRUE(files
                    .WriteAll("/sim/ini",
                              "[Aqasys]\r\nCodes=A13,iA5\r\nDelayMs=250\r\n"
                              "DataFile=/sim/days.txt\r\n",
                              false)
                    .ok());
    ASSERT_TRUE(files.WriteAll("/sim/days.txt", "A12;12.03.2015;12,5\r\n\r\n", false).ok());
    auto config = LoadAqasysConfig(IniFile(files, "/sim/ini"), files);
    ASSERT_TRUE(config.ok()) << config.error().message;
    AqasysFace face(std::move(*config.value()));

    EXPECT_EQ(face.AnswerRequest("A12;03.15;12").text, "12,5");
    EXPECT_EQ(face.AnswerRequest("a12;03.15;12").delayMs, 250);
    const auto generated = face.AnswerRequest("A12;03.15;13").text;
    ASSERT_TRUE(generated);
    EXPECT_EQ(face.AnswerRequest("A12;03.15;13").text, generated);
    EXPECT_NE(face.AnswerRequest("A13;03.15;13").text, generated);
    EXPECT_TRUE(face.AnswerRequest("iA5").text);
    for (const char* none :
         {"B7;03.15;12", "A12;13.15;12", "A12;02.15;30", "A12;03.15", "A12;3.15;12", ""}) {
        EXPECT_FALSE(face.AnswerRequest(none).text) << none;
    }
}

TEST(PlantsimAqasysTest, ABadDataFileIsRefusedWithItsLine) {
    MemoryFileSystem files;
    ASSERT_TRUE(files.WriteAll("/sim/ini", "[Items]\r\nCount=0\r\n", false).ok());
    EXPECT_FALSE(LoadAqasysConfig(IniFile(files, "/sim/ini"), files).value());
    ASSERT_TRUE(files.WriteAll("/sim/ini", "[Aqasys]\r\nDataFile=/sim/days.txt\r\n", false).ok());
    EXPECT_FALSE(LoadAqasysConfig(IniFile(files, "/sim/ini"), files).ok());
    ASSERT_TRUE(
        files.WriteAll("/sim/days.txt", "A12;12.03.2015;1\r\nA12;morgen;2\r\n", false).ok());
    const auto bad = LoadAqasysConfig(IniFile(files, "/sim/ini"), files);
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.error().message, "/sim/days.txt: line 2: expected code;dd.mm.yyyy;value");
}

}  // namespace
}  // namespace tarvedde::plantsim
