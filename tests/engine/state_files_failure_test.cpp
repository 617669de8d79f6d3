// Saves that fail part way, and the window buffer rows: whatever operation of a save
// fails, the files on disk stay a readable set and $clean names what is not to be trusted.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/number_format.h"
#include "tests/engine/state_files_fixture.h"

namespace tarvedde {
namespace {

using ::testing::HasSubstr;

StateMarker MarkerOf(const Plant& plant) {
    const std::string text = plant.Clean();
    if (text == "<missing>") {
        return {};
    }
    const int flags = StrToInt(text.substr(0, text.find('\r'))).value();
    return {flags >= 0, flags};
}

struct FileCase {
    const char* name;
    int bit;
    const char* message;
};

class FailedFileTest : public StateFilesTest, public ::testing::WithParamInterface<FileCase> {};

// The failed file keeps the previous save's content; the others carry the new one.
TEST_P(FailedFileTest, LeavesPreviousFileAndItsBit) {
    ASSERT_EQ(SaveFilled(5.0), 0);
    const std::string target = host_.dir + GetParam().name + ".tmp";
    host_.files.SetFailurePolicy(
        [&](FileOp op, const std::string& path) { return op == FileOp::Write && path == target; });
    EXPECT_EQ(SaveFilled(7.0), GetParam().bit);
    host_.files.SetFailurePolicy(nullptr);
    EXPECT_THAT(before_.LogText(), HasSubstr(GetParam().message));
    EXPECT_EQ(before_.Clean(), std::to_string(GetParam().bit) + "\r\n");

    // A restart trusts all files but the failed one.
    after_.state.items[2].Integral = true;
    RestoreMirrorOffsets(after_.state, MarkerOf(after_));
    RestoreCounterDifferences(after_.state, MarkerOf(after_));
    RestoreDayAccumulators(after_.state, MarkerOf(after_));
    RestoreNightSums(after_.state, MarkerOf(after_));
    const int bit = GetParam().bit;
    ExpectRestored(7.0, bit != kConfigFailedBit, bit != kNightFailedBit, bit != kMirrorFailedBit,
                   bit != kCounterFailedBit);
}

INSTANTIATE_TEST_SUITE_P(
    EachFile, FailedFileTest,
    ::testing::Values(
        FileCase{kCounterStateFile, kCounterFailedBit, "Fehler beim Speichern von DIFFBUF.TVW"},
        FileCase{kMirrorStateFile, kMirrorFailedBit, "Fehler beim Speichern von SPIEGELDATEN.TVW"},
        FileCase{kNightStateFile, kNightFailedBit,
                 "Fehler beim Speichern von TARVEDDE_NACHT.TVW !"},
        FileCase{kConfigStateFile, kConfigFailedBit, "Fehler beim Speichern von TARVEDDE.COF !"}));

TEST_F(StateFilesTest, CleanMarkerThatCannotBeWrittenKeepsTheOldOne) {
    ASSERT_EQ(SaveFilled(5.0), 0);
    const std::string target = host_.dir + kCleanMarkerFile + ".tmp";
    host_.files.SetFailurePolicy(
        [&](FileOp op, const std::string& path) { return op == FileOp::Write && path == target; });
    EXPECT_EQ(SaveFilled(7.0), 0);
    EXPECT_THAT(before_.LogText(), HasSubstr("Fehler beim Schreiben der CLEAN-Datei !"));
    EXPECT_EQ(before_.Clean(), "0\r\n");
}

// A process that dies while the save writes its files must find the previous set whole
// and consistent: nothing of the set is replaced before every file is written.
TEST_F(StateFilesTest, NoFileIsReplacedBeforeTheWholeSetIsWritten) {
    ASSERT_EQ(SaveFilled(5.0), 0);
    const char* set[] = {kCounterStateFile, kMirrorStateFile, kNightStateFile, kConfigStateFile};
    std::map<std::string, std::string> previous;
    for (const char* name : set) {
        previous[name] = host_.ReadText(name);
    }
    std::map<std::string, std::string> seenAtLastWrite;
    const std::string last = host_.dir + kConfigStateFile + ".tmp";
    host_.files.SetFailurePolicy([&](FileOp op, const std::string& path) {
        if (op == FileOp::Write && path == last) {
            for (const char* name : set) {
                seenAtLastWrite[name] = host_.ReadText(name);
            }
        }
        return false;
    });
    ASSERT_EQ(SaveFilled(7.0), 0);
    host_.files.SetFailurePolicy(nullptr);
    EXPECT_EQ(seenAtLastWrite, previous);
    EXPECT_NE(host_.ReadText(kCounterStateFile), previous[kCounterStateFile]);
}

// A crash or failure at any single operation of a save: every state file is whole,
// and each is either the old or the new one.
TEST_F(StateFilesTest, FailureAtAnyOperationLeavesAReadableSet) {
    ASSERT_EQ(SaveFilled(5.0), 0);
    const int start = host_.files.OperationCount();
    ASSERT_EQ(SaveFilled(7.0), 0);
    const int operations = host_.files.OperationCount() - start;
    ASSERT_GT(operations, 10);
    for (int k = 1; k <= operations; ++k) {
        ASSERT_EQ(SaveFilled(5.0), 0);
        host_.files.FailNthOperation(k);
        const int flags = SaveFilled(7.0);
        EXPECT_GE(flags, 0) << k;
        EXPECT_EQ(SizeOf(kConfigStateFile), 3 * 228U) << k;
        EXPECT_EQ(SizeOf(kNightStateFile), 3 * 131U) << k;
        EXPECT_EQ(SizeOf(kMirrorStateFile), 180 * 13U) << k;
        EXPECT_EQ(SizeOf(kCounterStateFile), 180 * 46U) << k;
        Plant restarted{host_};
        const StateMarker marker = MarkerOf(restarted);
        RestoreCounterDifferences(restarted.state, marker);
        const double reading = restarted.state.counterDifferences[180].lastReading;
        if (marker.Trusts(kCounterFailedBit)) {
            EXPECT_TRUE(reading == 6.1 || reading == 8.1) << k << " " << reading;
        } else {
            EXPECT_EQ(reading, 0.0) << k;
        }
    }
}

class WindowBufferTest : public StateFilesTest {
protected:
    // Item 1 owns fifteen-minute row 0, item 3 row 1; item 2 owns moving row 0.
    static void Build(EngineState& state) {
        state.fifteenMinute[1].m15Row = 0;
        state.fifteenMinute[3].m15Row = 1;
        state.moving[2].movingRow = 0;
        state.m15Buffers.assign(2, std::vector<double>(15, -999.0));
        state.movingBuffers.assign(1, std::vector<double>(360, -999.0));
        state.m15BuffersExist = state.movingBuffersExist = true;
    }
    void FillBuffers() {
        Build(before_.state);
        EngineState& s = before_.state;
        s.m15Buffers[1][14] = 3.25;
        s.fifteenMinute[3] = {1, 14, 1.5, 9.5, 45356.25, 45356.5};
        s.movingBuffers[0][359] = 0.1;
        s.moving[2] = {0, 359, 4.75, -2.5, 8.0};
    }
};

TEST_F(WindowBufferTest, RowsSurviveARestart) {
    FillBuffers();
    ASSERT_EQ(SaveFilled(5.0), 0);
    EXPECT_EQ(SizeOf(kFifteenMinuteStateFile), 2 * 182U);
    EXPECT_EQ(SizeOf(kMovingStateFile), 2918U);
    Build(after_.state);
    RestoreFifteenMinuteBuffers(after_.state, {true, 0});
    RestoreMovingAverageBuffers(after_.state, {true, 0});
    const EngineState& s = after_.state;
    EXPECT_EQ(s.m15Buffers[1][14], 3.25);
    EXPECT_EQ(s.m15Buffers[0][0], -999.0);
    EXPECT_EQ(s.fifteenMinute[3].m15Index, 14);
    EXPECT_EQ(s.fifteenMinute[3].m15Maximum, 9.5);
    EXPECT_EQ(s.fifteenMinute[3].m15MaximumTime, 45356.5);
    EXPECT_EQ(s.movingBuffers[0][359], 0.1);
    EXPECT_EQ(s.moving[2].ringIndex, 359);
    EXPECT_EQ(s.moving[2].movingAverage, 4.75);
    EXPECT_EQ(s.moving[2].movingMinimum, -2.5);
}

TEST_F(WindowBufferTest, ErrorBitsAndUncleanStartRestoreNothing) {
    FillBuffers();
    ASSERT_EQ(SaveFilled(5.0), 0);
    Build(after_.state);
    RestoreFifteenMinuteBuffers(after_.state, {true, kFifteenMinuteFailedBit});
    RestoreMovingAverageBuffers(after_.state, {false, 0});
    EXPECT_EQ(after_.state.m15Buffers[1][14], -999.0);
    EXPECT_EQ(after_.state.movingBuffers[0][359], -999.0);
}

// Item 3 lost its row since the save: its record no longer matches row 1.
TEST_F(WindowBufferTest, RowOfAnotherItemIsNotTaken) {
    FillBuffers();
    ASSERT_EQ(SaveFilled(5.0), 0);
    Build(after_.state);
    after_.state.fifteenMinute[3].m15Row = -1;
    after_.state.fifteenMinute[2].m15Row = 1;
    RestoreFifteenMinuteBuffers(after_.state, {true, 0});
    EXPECT_THAT(after_.LogText(), HasSubstr("Falscher Index in M15-Datei !"));
    EXPECT_EQ(after_.state.m15Buffers[1][14], -999.0);
    EXPECT_EQ(after_.state.fifteenMinute[2].m15Index, 0);
}

TEST_F(WindowBufferTest, RowWithoutItemIsMarkedAndEndsTheReading) {
    FillBuffers();
    before_.state.fifteenMinute[1].m15Row = -1;
    EXPECT_EQ(SaveFilled(5.0), kFifteenMinuteFailedBit);
    EXPECT_THAT(before_.LogText(), HasSubstr("Falscher Index beim Speichern der M15-Werte !"));
    Build(after_.state);
    RestoreFifteenMinuteBuffers(after_.state, {true, 0});
    EXPECT_THAT(after_.LogText(), HasSubstr("Fehler beim Lesen der M15-Datei !"));
    EXPECT_EQ(after_.state.m15Buffers[1][14], -999.0);  // reading ended at row 0
}

TEST_F(WindowBufferTest, RowLongerThanTheRecordIsAFillFailure) {
    FillBuffers();
    before_.state.m15Buffers[0].resize(17, 1.0);
    EXPECT_EQ(SaveFilled(5.0), kFifteenMinuteFailedBit);
    EXPECT_THAT(before_.LogText(), HasSubstr("Fehler beim Speichern der M15-Werte !"));
    before_.state.m15Buffers[0].resize(16);
    EXPECT_EQ(SaveFilled(5.0), 0);
}

TEST_F(WindowBufferTest, FinalSaveReleasesBothSetsAndWritesDiagnostics) {
    FillBuffers();
    before_.log.Settings().debugLog = true;
    ASSERT_EQ(SaveFilled(5.0, true), 0);
    EXPECT_FALSE(before_.state.m15BuffersExist);
    EXPECT_TRUE(before_.state.movingBuffers.empty());
    EXPECT_EQ(SizeOf(kMovingStateFile), 2918U);
    const std::string log = before_.LogText();
    EXPECT_THAT(log, HasSubstr("Nachtsummen speichern :"));
    EXPECT_THAT(log, HasSubstr("8,000"));
    // The next save has no buffers left to write and leaves their files alone.
    ASSERT_EQ(SaveFilled(5.0), 0);
    EXPECT_EQ(SizeOf(kMovingStateFile), 2918U);
}

TEST_F(WindowBufferTest, BrokenBufferFileIsNotHalfRead) {
    FillBuffers();
    ASSERT_EQ(SaveFilled(5.0), 0);
    PutBytes(kMovingStateFile, host_.files.ReadAll(host_.dir + kMovingStateFile).value() + "x");
    Build(after_.state);
    RestoreMovingAverageBuffers(after_.state, {true, 0});
    EXPECT_THAT(after_.LogText(), HasSubstr("Fehler beim Lesen der gleitenden Mittelwert-Datei !"));
    EXPECT_EQ(after_.state.movingBuffers[0][359], -999.0);
}

}  // namespace
}  // namespace tarvedde
