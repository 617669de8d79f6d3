#include "outputs/program_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/outputs/log_fixture.h"

namespace tarvedde::testing {
namespace {

using Strings = std::vector<std::string>;

std::string Repeat(const std::string& lineWithEnd, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += lineWithEnd;
    }
    return text;
}

using ProgramLogTest = LogFixture;

// The limit counts the lines shown, so a message with line breaks counts as several; a
// failing history file loses the old lines but not the new one.
TEST_F(ProgramLogTest, AFullMessageListMovesToTheHistoryFileBeforeTheNextLine) {
    const auto append = [this](const std::string& line, int count) {
        for (int i = 0; i < count; ++i) {
            log_.MessageList().Append(line);
        }
    };
    log_.FlushMessageListAtEnd();  // nothing shown: no file
    append("m", 200);
    log_.WriteLog("x");  // 200 lines before it: nothing moved
    EXPECT_EQ(File(kMessageHistoryFile), "<missing>");
    log_.Settings().logLevel = 4;
    EXPECT_TRUE(log_.WriteLogLevel(4, "gespiegelt"));  // every writer flushes first
    std::string history = Repeat("m\r\n", 200) + Line("x");
    EXPECT_EQ(File(kMessageHistoryFile), history);
    EXPECT_EQ(log_.MessageList().Lines(), Strings{std::string(kStamp) + "gespiegelt"});

    append("n", 197);
    const std::string message = "Fehler \r\nin Zeile 2\r\naufgetreten !";
    log_.WriteLog(message);
    EXPECT_EQ(File(kLogAllFile), Line("x") + Line("gespiegelt") + Line(message));
    log_.WriteLog("danach");
    history += Line("gespiegelt") + Repeat("n\r\n", 197) + Line(message);
    EXPECT_EQ(File(kMessageHistoryFile), history);

    append("o", 200);
    FailAppendsTo(kMessageHistoryFile);
    EXPECT_TRUE(log_.WriteLog("weiter"));
    EXPECT_EQ(log_.MessageList().Lines(), Strings{std::string(kStamp) + "weiter"});
    EXPECT_EQ(File(kMessageHistoryFile), history);

    // The program end moves every shown line.
    fs_.SetFailurePolicy(nullptr);
    log_.FlushMessageListAtEnd();
    EXPECT_TRUE(log_.MessageList().Empty());
    EXPECT_EQ(File(kMessageHistoryFile), history + Line("weiter"));
}

// Lines go to the file in Windows-1252 with CR LF after what it holds. Level lines only
// for the exact level; detail lines always go to the file and on screen only with
// DetailLog; debug lines carry milliseconds and need DebugLog. A line the file refuses
// reports false, and the next that gets through counts the gap.
TEST_F(ProgramLogTest, LinesAreAppendedIn1252AndLevelDetailAndDebugLinesFiltered) {
    Put(kLogAllFile, "alt\r\n");
    log_.Settings().logLevel = 3;
    EXPECT_TRUE(log_.WriteLogLevel(5, "Tagebuch"));
    EXPECT_TRUE(log_.WriteLogDebug("aus"));
    EXPECT_TRUE(log_.WriteLog("Zählerstand übernommen"));
    EXPECT_TRUE(log_.WriteLogLevel(3, "NT/HT"));
    EXPECT_TRUE(log_.WriteLogDetail("leise"));
    log_.Settings().detailLog = true;
    EXPECT_TRUE(log_.WriteLogDetail("laut"));
    log_.Settings().debugLog = true;
    EXPECT_TRUE(log_.WriteLogDebug("Pumpe ein."));
    const std::string debugLine = "05.Mrz.24, 07:08:09:123 > Pumpe ein.";
    const std::string written = "alt\r\n" +
                                Line(
                                    "Z\xE4hlerstand \xFC"
                                    "bernommen") +
                                Line("NT/HT") + Line("leise") + Line("laut") + debugLine + "\r\n";
    EXPECT_EQ(File(kLogAllFile), written);
    Strings shown{kStamp + std::string("Zählerstand übernommen"), kStamp + std::string("NT/HT"),
                  kStamp + std::string("laut"), debugLine};
    EXPECT_EQ(log_.MessageList().Lines(), shown);

    FailAppendsTo(kLogAllFile);
    EXPECT_FALSE(log_.WriteLog("voll"));
    EXPECT_FALSE(log_.WriteLogDetail("detail"));
    shown.push_back(kStamp + std::string("voll"));  // the detail line is lost
    EXPECT_EQ(log_.MessageList().Lines(), shown);
    fs_.SetFailurePolicy(nullptr);
    EXPECT_TRUE(log_.WriteLog("wieder da"));
    EXPECT_EQ(
        File(kLogAllFile),
        written + Line("Protokoll war nicht beschreibbar, 2 Zeilen fehlen.") + Line("wieder da"));
    // Twenty-four hours, and minutes after the hour.
    clock_.SetLocalTime(EncodeDateTime(2025, 12, 31, 23, 59, 58, 7));
    EXPECT_EQ(log_.Stamp(), "31.Dez.25, 23:59:58 > ");
    EXPECT_EQ(log_.DebugStamp(), "31.Dez.25, 23:59:58:007 > ");
}

// The overflow is cleared even when the file fails; an explicit flush keeps the lines.
TEST_F(ProgramLogTest, StatisticsInfoOf500IsKeptAndOf501MovesToTheFile) {
    EXPECT_TRUE(log_.FlushDDEInfo());
    EXPECT_EQ(File(kStatisticsInfoFile), "<missing>");  // nothing to write, no file
    for (int i = 0; i < 500; ++i) {
        log_.WriteDDEInfo("s");
    }
    EXPECT_EQ(File(kStatisticsInfoFile), "<missing>");
    log_.WriteDDEInfo("s");
    EXPECT_EQ(File(kStatisticsInfoFile), Repeat("s\r\n", 501));
    EXPECT_TRUE(log_.StatisticsInfo().Empty());

    FailAppendsTo(kStatisticsInfoFile);
    log_.WriteDDEInfo("Mittel=12,5");
    EXPECT_FALSE(log_.FlushDDEInfo());
    EXPECT_EQ(log_.StatisticsInfo().Count(), 1u);
    for (int i = 0; i < 500; ++i) {
        log_.WriteDDEInfo("t");
    }
    EXPECT_TRUE(log_.StatisticsInfo().Empty());

    fs_.SetFailurePolicy(nullptr);
    log_.WriteDDEInfo("Mittel=12,5");
    EXPECT_TRUE(log_.FlushDDEInfo());
    EXPECT_EQ(File(kStatisticsInfoFile), Repeat("s\r\n", 501) + "Mittel=12,5\r\n");
}

// A second snapshot within the millisecond (a day closed again after the clock was set
// back) takes the next free one.
TEST_F(ProgramLogTest, SnapshotIsNamedToTheMillisecondAndNeverReplacesOne) {
    log_.StatisticsSnapshot().SetText("erster");
    EXPECT_TRUE(log_.SaveStatisticsSnapshot());
    log_.StatisticsSnapshot().SetText("zweiter\r\nBlock");
    EXPECT_TRUE(log_.SaveStatisticsSnapshot());
    EXPECT_EQ(File("$$log_20240305_070809_123.log"), "erster\r\n");
    EXPECT_EQ(File("$$log_20240305_070809_124.log"), "zweiter\r\nBlock\r\n");

    clock_.AdvanceMs(1);
    log_.StatisticsSnapshot().Clear();
    EXPECT_TRUE(log_.SaveStatisticsSnapshot());
    EXPECT_EQ(File("$$log_20240305_070809_125.log"), "");
    EXPECT_EQ(fs_.List("/prog").size(), 3u);
}

TEST_F(ProgramLogTest, RawDataLinesOfACycleGoInOneAppendToAFileKeptOpen) {
    log_.WriteRawData("12,5", ';');
    log_.WriteRawData("ä", ',');
    EXPECT_FALSE(fs_.Exists("/prog/" + std::string(kRawDataFile)));
    log_.FlushRawData();
    EXPECT_EQ(File(kRawDataFile), "49;50;44;53;\r\n228,\r\n");

    FailAppendsTo(kRawDataFile);
    log_.WriteRawData("1", ';');
    log_.WriteRawData("1", ';');
    log_.FlushRawData();
    EXPECT_EQ(File(kLogAllFile), std::string(kStamp) + "Fehler beim Speichern der Rohdaten !\r\n");

    // After a failure or a close the next flush opens the file again.
    fs_.SetFailurePolicy(nullptr);
    const auto operationsOf = [&](const char* text) {
        const int before = fs_.OperationCount();
        log_.WriteRawData(text, ';');
        log_.WriteRawData(text, ';');
        log_.FlushRawData();
        return fs_.OperationCount() - before;
    };
    EXPECT_EQ(operationsOf("2"), 2);
    EXPECT_EQ(operationsOf("3"), 1);
    log_.WriteRawData("4", ';');
    log_.CloseRawData();
    EXPECT_EQ(operationsOf("5"), 2);
    EXPECT_EQ(File(kRawDataFile),
              "49;50;44;53;\r\n228,\r\n50;\r\n50;\r\n51;\r\n51;\r\n52;\r\n53;\r\n53;\r\n");
}

}  // namespace
}  // namespace tarvedde::testing
