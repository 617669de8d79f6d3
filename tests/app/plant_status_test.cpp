#include "app/plant_status.h"

#include <gtest/gtest.h>

#include "platform/date_time.h"
#include "platform/memory_file_system.h"
#include "platform/virtual_clock.h"

namespace tarvedde {
namespace {

TEST(PlantStatusTest, TheNewestDayFileAndTheLastStartsLinksAreReadInUtf8) {
    MemoryFileSystem files;
    VirtualClock clock;  // 2024-03-05 07:00:00
    (void)files.CreateDirectory("/p");
    EXPECT_EQ(ReadPlantFacts(files, "/p/", clock, TimeZone::Utc()).notAPlant,
              "no readable TARVEDDE.INI in /p/");
    (void)files.WriteAll("/p/TARVEDDE.INI", "[DDE]\r\nItemcount=3\r\nIntervall=2\r\nEinheit=1\r\n",
                         false);
    (void)files.WriteAll("/p/$dde_activ", "", false);
    (void)files.WriteAll("/p/20240304.DAT", "2024.03.04;23:59:00;1;2;3\r\n", false);
    (void)files.WriteAll("/p/20240305.DAT",
                         "2024.03.05;06:58:00;1;2;3\r\n2024.03.05;06:59:00;1,5;n.v.;3\r\n"
                         "2024.03.05;06:59:3",
                         false);
    (void)files.WriteAll("/p/_DDE_OPC_LOGALL.TXT",
                         "05.Mrz.24, 06:00:00 > 3 Werte werden \xFC"
                         "bertragen.\r\n05.Mrz.24, 06:57:00 > Programmstart in /p/\r\n"
                         "05.Mrz.24, 06:57:01 > Achtung ! Nur 1 von 3 Werten werden \xFC"
                         "bertragen.\r\n",
                         false);
    const PlantFacts facts = ReadPlantFacts(files, "/p/", clock, TimeZone::Utc());
    EXPECT_EQ(facts.cycleSeconds, 120);
    EXPECT_EQ(facts.dayFile, "20240305.DAT");
    EXPECT_EQ(facts.dayRows, 2);
    EXPECT_EQ(facts.lastCycle, EncodeDateTime(2024, 3, 5, 6, 59, 0, 0));
    EXPECT_EQ(facts.itemsLinked, 1);
    EXPECT_FALSE(facts.itemsMirrored);
    ASSERT_EQ(facts.lastLogLines.size(), 3u);
    EXPECT_EQ(facts.lastLogLines[2],
              "05.Mrz.24, 06:57:01 > Achtung ! Nur 1 von 3 Werten werden übertragen.");
    // Running, current (60 s < 2 x 120 s + 60 s), but two items missing.
    const PlantVerdict verdict = JudgePlant(facts, std::nullopt);
    EXPECT_EQ(verdict.code, StatusCode::Warning);
    EXPECT_EQ(PlantStatusReport(facts, verdict).substr(0, 71),
              "TARVEDDE WARNING - last cycle 60 s ago, only 1 of 3 items linked\nPlant ");
}

// Only the files' ends are read, in ranges growing backwards from 16 KiB: the last start
// line straddles where the first range begins, so it is whole only where two ranges join.
TEST(PlantStatusTest, TheLastStartIsFoundAcrossRangesAndTheDayFileCountedPastAMiB) {
    MemoryFileSystem files;
    VirtualClock clock;
    (void)files.CreateDirectory("/p");
    (void)files.WriteAll("/p/TARVEDDE.INI", "[DDE]\r\nItemcount=3\r\n", false);
    const std::string before =
        "05.Mrz.24, 05:00:00 > Programmstart in /p/\r\n"
        "05.Mrz.24, 05:00:01 > 2 Werte werden gespiegelt.\r\n";
    const std::string start = "05.Mrz.24, 06:57:00 > Programmstart in /p/\r\n";
    const std::size_t afterSize = 16 * 1024 - (start.size() - 28);  // "...> Progra|mmstart"
    std::string after =
        "05.Mrz.24, 06:57:01 > 3 Werte werden \xFC"
        "bertragen.\r\n";
    for (int i = 0; after.size() + 64 < afterSize; ++i) {
        after += "05.Mrz.24, 06:58:00 > Zeile " + std::to_string(i) + "\r\n";
    }
    const std::string stamp = "05.Mrz.24, 06:59:00 > ";
    const std::string last = stamp + std::string(afterSize - after.size() - stamp.size() - 2, 'x');
    after += last + "\r\n";
    (void)files.WriteAll("/p/_DDE_OPC_LOGALL.TXT", before + start + after, false);
    std::string rows;
    int seconds = 0;
    for (; rows.size() <= 1024 * 1024; ++seconds) {
        rows += FormatDateTime("yyyy.mm.dd;hh:nn:ss",
                               EncodeDateTime(2024, 3, 5, seconds / 3600, seconds / 60 % 60,
                                              seconds % 60, 0)) +
                ";1;2;3\r\n";
    }
    (void)files.WriteAll("/p/20240305.DAT", rows + "2024.03.05;23:5", false);

    const PlantFacts facts = ReadPlantFacts(files, "/p/", clock, TimeZone::Utc());
    EXPECT_EQ(facts.itemsLinked, 3);
    EXPECT_FALSE(facts.itemsMirrored);  // logged before the last start
    ASSERT_EQ(facts.lastLogLines.size(), 10u);
    EXPECT_EQ(facts.lastLogLines[9], last);
    EXPECT_EQ(facts.dayRows, seconds);
    const int lastRow = seconds - 1;
    EXPECT_DOUBLE_EQ(*facts.lastCycle, EncodeDateTime(2024, 3, 5, lastRow / 3600, lastRow / 60 % 60,
                                                      lastRow % 60, 0));
}

TEST(PlantStatusTest, StaleTimeWatchdogFileAndClockSetBackDecide) {
    PlantFacts facts;
    facts.now = EncodeDateTime(2024, 3, 5, 7, 0, 0, 0);
    const double second = 1.0 / 86400;
    facts.markerSince = facts.now - 3600 * second;
    facts.lastCycle = facts.now - 80 * second;
    EXPECT_EQ(JudgePlant(facts, std::nullopt).code, StatusCode::Ok);  // 2 x 10 s + 60 s
    facts.lastCycle = facts.now - 81 * second;
    EXPECT_EQ(JudgePlant(facts, std::nullopt).headline,
              "client not running or hung: $dde_activ of 05.03.2024 06:00:00 left behind, no day "
              "row or log line for 80 s, last cycle 81 s ago");
    facts.lastLogWrite = facts.now - 5 * second;
    EXPECT_EQ(JudgePlant(facts, std::nullopt).headline,
              "stale, last cycle 81 s ago (stale after 80 s)");
    facts.watchdogSince = facts.now - 31 * second;
    EXPECT_FALSE(JudgePlant(facts, std::nullopt).running);
    facts.heartbeatChecked = false;
    EXPECT_TRUE(JudgePlant(facts, std::nullopt).running);
    facts.lastCycle = facts.now + 200 * second;
    EXPECT_EQ(JudgePlant(facts, 100).code, StatusCode::Warning);
    facts.markerSince.reset();
    facts.lastCycle = facts.now;
    EXPECT_EQ(JudgePlant(facts, std::nullopt).code, StatusCode::Critical);
}

}  // namespace
}  // namespace tarvedde
