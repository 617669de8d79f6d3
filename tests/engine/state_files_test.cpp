// The running day's state files: save and restore round trips, the start paths that
// $clean decides, damaged files, and failures at every single file operation of a save.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/engine/state_files_fixture.h"

namespace tarvedde {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST_F(StateFilesTest, WarmRestartRestoresEveryAccumulator) {
    ASSERT_EQ(SaveFilled(5.0), 0);
    EXPECT_EQ(before_.Clean(), "0\r\n");
    EXPECT_EQ(SizeOf(kConfigStateFile), 3 * 228U);
    EXPECT_EQ(SizeOf(kNightStateFile), 3 * 131U);
    EXPECT_EQ(SizeOf(kMirrorStateFile), 180 * 13U);
    EXPECT_EQ(SizeOf(kCounterStateFile), 180 * 46U);
    EXPECT_FALSE(host_.Exists(kFifteenMinuteStateFile));
    EXPECT_FALSE(host_.Exists(kMovingStateFile));

    after_.state.items[2].Integral = true;
    RestoreAll({true, 0});
    const EngineState& s = after_.state;
    for (int n = 1; n <= 3; ++n) {
        const ItemStatistics& want = before_.state.statistics[At(n)];
        const ItemStatistics& got = s.statistics[At(n)];
        EXPECT_EQ(got.minimum, want.minimum);
        EXPECT_EQ(got.correctionMinimum, want.minimum);
        EXPECT_EQ(got.maximum, want.maximum);
        EXPECT_EQ(got.average, want.average);
        EXPECT_EQ(got.count, want.count);
        EXPECT_EQ(got.correctionCount, want.count);
        EXPECT_EQ(s.runtime[At(n)].lastSampleTime, -1.0);
        const NightSumRecord& night = s.nightSums[At(n)];
        EXPECT_EQ(night.NTadd, n == 2);
        EXPECT_EQ(night.htCount, before_.state.nightSums[At(n)].htCount);
    }
    // The integral item's sum is its running sum; the others keep the day sum.
    EXPECT_EQ(s.statistics[1].sum, 600.0);
    EXPECT_EQ(s.runtime[2].runningSum, 7000.0);
    EXPECT_EQ(s.statistics[2].sum, 0.0);
    EXPECT_EQ(s.items[180].mirror.mirrorSumOffset, 5.75);
    EXPECT_EQ(s.counterDifferences[1].lastReadingTime, 5.4);
    EXPECT_EQ(s.counterDifferences[180].difference, 6.2);
    // The record's static part stays as the file was created.
    const auto cof = host_.files.ReadAll(host_.dir + kConfigStateFile);
    EXPECT_THAT(cof.value(), HasSubstr("Item.3"));
}

TEST_F(StateFilesTest, SaveNeedsLinkedItemsInPermanentMode) {
    before_.state.itemsLinked = false;
    EXPECT_EQ(SaveFilled(1.0), 0);
    EXPECT_FALSE(host_.Exists(kCleanMarkerFile));
    before_.state.itemsLinked = true;
    before_.state.settings.permanentMode = false;
    EXPECT_EQ(SaveFilled(1.0), 0);
    EXPECT_FALSE(host_.Exists(kCleanMarkerFile));
}

TEST_F(StateFilesTest, ErrorBitsReinitialiseTheirFilesOnly) {
    ASSERT_EQ(SaveFilled(5.0), 0);
    RestoreAll({true, 4});
    ExpectRestored(5.0, true, true, false, true);
    EXPECT_THAT(after_.LogText(), HasSubstr("Spiegelsummen-Offsets neu initialisiert."));

    Plant third{host_};
    third.state.items[2].Integral = true;
    RestoreDayAccumulators(third.state, {true, 20});
    RestoreNightSums(third.state, {true, 20});
    EXPECT_THAT(third.LogText(), HasSubstr("Ihre DDE-Konfiguration könnte fehlerhaft sein !\r\n"
                                           "TARVEDDE.COF wird neu erzeugt."));
    EXPECT_EQ(third.state.statistics[1].average, 0.0);
    EXPECT_EQ(third.state.nightSums[1].ntSum, 8.0);
    // The new file holds reset accumulators.
    Plant fourth{host_};
    RestoreDayAccumulators(fourth.state, {true, 0});
    EXPECT_EQ(fourth.state.statistics[3].minimum, 99999.0);
    EXPECT_EQ(fourth.state.statistics[3].maximum, -99999.0);
}

// -1 (the save failed as a whole) and a missing $clean both say: trust nothing.
TEST_F(StateFilesTest, UncleanStartReinitialisesEveryFile) {
    ASSERT_EQ(SaveFilled(5.0), 0);
    after_.state.counterDifferences[180].lastReading = 9.0;
    RestoreAll({false, -1});
    ExpectRestored(5.0, false, false, false, false);
    EXPECT_EQ(after_.state.counterDifferences[180].lastReadingTime, -1.0);
    EXPECT_EQ(after_.state.counterDifferences[180].lastReading, 9.0);
    const std::string log = after_.LogText();
    EXPECT_THAT(log, HasSubstr("Spiegelsummen-Offsets neu initialisiert."));
    EXPECT_THAT(log, HasSubstr("Differenzdatei initialisiert."));
    EXPECT_THAT(log, HasSubstr("TARVEDDE.COF wird neu erzeugt."));
    EXPECT_THAT(log, HasSubstr("TARVEDDE_NACHT.TVW wird neu erzeugt."));
    EXPECT_EQ(SizeOf(kNightStateFile), 3 * 131U);
}

TEST_F(StateFilesTest, ColdStartCreatesAccumulatorFilesAnew) {
    ASSERT_EQ(SaveFilled(5.0), 0);
    after_.state.settings.nullStart = true;
    RestoreAll({true, 0});
    ExpectRestored(5.0, false, false, true, true);
    Plant third{host_};
    RestoreDayAccumulators(third.state, {true, 0});
    RestoreNightSums(third.state, {true, 0});
    EXPECT_EQ(third.state.statistics[1].count, 0.0);
    EXPECT_EQ(third.state.nightSums[1].ntMinimum, 99999.0);
}

TEST_F(StateFilesTest, LegacyConfigFileIsConverted) {
    BinaryWriter legacy;
    for (int n = 1; n <= 3; ++n) {
        ConfigRecord record;
        record.serverItem = "Alt." + std::to_string(n);
        record.average = n;
        EncodeLegacyConfigRecord(legacy, record);
    }
    PutBytes(kConfigStateFile, legacy.Data());
    ConvertConfigFile(after_.state);
    ASSERT_EQ(SizeOf(kConfigStateFile), 3 * 228U);
    EXPECT_THAT(after_.LogText(), HasSubstr("Konfigurations-Datei (.COF) wird konvertiert...."));
    const auto bytes = host_.files.ReadAll(host_.dir + kConfigStateFile);
    BinaryReader in(bytes.value());
    for (int n = 1; n <= 3; ++n) {
        const auto record = DecodeConfigRecord(in);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->serverItem, "Alt." + std::to_string(n));
        EXPECT_EQ(record->average, n);
    }
}

// 114 legacy records are 79 current ones: such a file counts as converted.
TEST_F(StateFilesTest, LegacySizeThatIsAWholeNumberOfRecordsStays) {
    const std::string bytes(114 * 158, '\0');
    PutBytes(kConfigStateFile, bytes);
    ConvertConfigFile(after_.state);
    EXPECT_EQ(host_.files.ReadAll(host_.dir + kConfigStateFile).value(), bytes);
    EXPECT_THAT(after_.LogText(), Not(HasSubstr("konvertiert")));
}

TEST_F(StateFilesTest, ConfigFileShorterThanTheItemsIsRecreated) {
    ASSERT_EQ(SaveFilled(5.0), 0);
    const std::string cof = host_.files.ReadAll(host_.dir + kConfigStateFile).value();
    PutBytes(kConfigStateFile, cof.substr(0, 2 * 228));
    after_.state.items[2].Integral = true;
    RestoreDayAccumulators(after_.state, {true, 0});
    EXPECT_THAT(host_.person.Transcript().back(),
                HasSubstr("Fehler beim Lesen von TARVEDDE.COF !"));
    EXPECT_THAT(after_.LogText(), HasSubstr("Fehler beim Lesen von TARVEDDE.COF !"));
    EXPECT_EQ(after_.state.statistics[1].average, 6.0);  // read before the failure
    EXPECT_EQ(after_.state.statistics[3].average, 0.0);
    EXPECT_EQ(SizeOf(kConfigStateFile), 3 * 228U);
}

TEST_F(StateFilesTest, BrokenSizesAreReinitialisedNotHalfRead) {
    ASSERT_EQ(SaveFilled(5.0), 0);
    for (const char* name : {kConfigStateFile, kNightStateFile, kMirrorStateFile}) {
        PutBytes(name, host_.files.ReadAll(host_.dir + name).value() + "x");
    }
    PutBytes(kCounterStateFile, std::string(2 * 46 + 1, '\0'));
    RestoreAll({true, 0});
    ExpectRestored(5.0, false, false, false, false);
    const std::string log = after_.LogText();
    EXPECT_THAT(log, HasSubstr("Spiegelsummen-Dateigröße 0 ! Neu initialisiert."));
    EXPECT_THAT(log, HasSubstr("Fehler beim Lesen der Differenzdatei !"));
    EXPECT_THAT(log, HasSubstr("Fehler beim Lesen von TARVEDDE.COF !"));
    EXPECT_THAT(log, HasSubstr("Fehler beim Lesen von TARVEDDE_NACHT.TVW !"));
    EXPECT_EQ(SizeOf(kNightStateFile), 3 * 131U);
}

TEST_F(StateFilesTest, CounterFileRecordCountBoundaries) {
    BinaryWriter full;
    for (int n = 1; n <= 180; ++n) {
        EncodeCounterRecord(full, {n * 1.0, 0.0, 0.0, 1.0});
    }
    PutBytes(kCounterStateFile, full.Data());
    RestoreCounterDifferences(after_.state, {true, 0});
    EXPECT_EQ(after_.state.counterDifferences[180].lastReading, 180.0);

    EncodeCounterRecord(full, {181.0, 0.0, 0.0, 1.0});
    PutBytes(kCounterStateFile, full.Data());
    Plant third{host_};
    RestoreCounterDifferences(third.state, {true, 0});
    EXPECT_THAT(third.LogText(), HasSubstr("Fehler beim Lesen der Differenzdatei !"));
    EXPECT_THAT(third.LogText(), HasSubstr("Differenzdatei neu initialisiert."));
    EXPECT_EQ(third.state.counterDifferences[1].lastReadingTime, -1.0);

    PutBytes(kCounterStateFile, "");
    Plant fourth{host_};
    RestoreCounterDifferences(fourth.state, {true, 0});
    EXPECT_THAT(fourth.LogText(), HasSubstr("Differenzdatei=0 ! Neu initialisiert."));
}

// Flushing costs tens of milliseconds per save: only the close and the first save of a
// day (and of a program run) wait for the disk.
TEST_F(StateFilesTest, SavesAreFlushedAtCloseAndOncePerDay) {
    EngineState& s = before_.state;
    EXPECT_TRUE(SaveIsDurable(s, false));
    ASSERT_EQ(SaveFilled(1.0), 0);
    EXPECT_FALSE(SaveIsDurable(s, false));
    EXPECT_TRUE(SaveIsDurable(s, true));
    s.settings.savedDay = "06.03.2024";
    EXPECT_TRUE(SaveIsDurable(s, false));
    ASSERT_EQ(SaveFilled(1.0), 0);
    EXPECT_FALSE(SaveIsDurable(s, false));
}

}  // namespace
}  // namespace tarvedde
