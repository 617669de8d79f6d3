#include "engine/statistics/day_protocol.h"

#include "tests/statistics/statistics_fixture.h"

namespace tarvedde::testing {
namespace {

class DayProtocolTest : public StatisticsFixture {
protected:
    DayProtocolFiles files_{fs_, log_, kDir, 10};
    RichTextModel memo2_;
    const double today_ = EncodeDateTime(2024, 3, 5, 0, 0, 10, 0);
};

// Saved at the day change under yesterday's name, 5000 lines load back as they were;
// one line more and the protocol is dropped.
TEST_F(DayProtocolTest, FiveThousandLinesAreSavedAndLoadBackAndOneMoreIsDropped) {
    memo2_.SetAttributes({true, true, "blue", TextAlignment::Center, 0, 0});
    memo2_.Append("Neustart: Übersicht für {Dienstag} \\ 5. März");
    memo2_.SetAttributes({false, false, "black", TextAlignment::Left, 80, 14});
    for (int n = 1; n < 5000; ++n) {
        memo2_.Append(n % 2 ? "3 Meßwerte :\tMittel=2,50" : "");
    }
    ASSERT_TRUE(SaveDayProtocol(memo2_, today_, files_));
    RichTextModel loaded;
    LoadDayProtocol(loaded, EncodeDate(2024, 3, 4), 100000, files_);
    ASSERT_EQ(loaded.Paragraphs().size(), 5000u);
    for (std::size_t n = 0; n < 5000; ++n) {
        ASSERT_EQ(loaded.Paragraphs()[n].text, memo2_.Paragraphs()[n].text) << n;
        ASSERT_EQ(loaded.Paragraphs()[n].attributes, memo2_.Paragraphs()[n].attributes) << n;
    }

    memo2_.Append("5001");
    ASSERT_TRUE(fs_.Remove(std::string(kDir) + "20240304.RTF"));
    EXPECT_FALSE(SaveDayProtocol(memo2_, today_, files_));
    EXPECT_TRUE(memo2_.Paragraphs().empty());
    EXPECT_FALSE(fs_.Exists(std::string(kDir) + "20240304.RTF"));
    EXPECT_NE(LogAll().find("*** Mehr als 5000 Zeilen im Statistik-Memo !"), std::string::npos);
}

// Below one 128-byte unit (an empty file) or above MaxRTF units the file is deleted.
TEST_F(DayProtocolTest, EmptyOrOversizedProtocolIsDeletedAtStart) {
    const std::string path = std::string(kDir) + "20240305.RTF";
    for (const auto& [bytes, maxRtf] :
         {std::pair{std::string(), 100000}, std::pair{std::string(256, 'x'), 1}}) {
        ASSERT_TRUE(fs_.WriteAll(path, bytes, false));
        memo2_.Append("bleibt");
        LoadDayProtocol(memo2_, today_, maxRtf, files_);
        EXPECT_FALSE(fs_.Exists(path));
        EXPECT_EQ(memo2_.Paragraphs().back().text, "bleibt");
    }
    const std::string log = LogAll();
    const std::string message = "RTF-Datei defekt ! Gelöscht.)";
    EXPECT_NE(log.find(message), log.rfind(message));
}

}  // namespace
}  // namespace tarvedde::testing
