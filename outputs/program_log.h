// The program's log operations. Every stamped line goes to _DDE_OPC_LOGALL.TXT with one
// open/append/close, so another program may read or copy the file between two lines;
// the message list keeps the recent lines and moves older ones to _TARVEDDE_LOG.TXT.
// A log file that cannot be written never stops the caller: the operations report it
// with their return value and go on; the first line that lands again is preceded by one
// that counts the lines lost.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/lines_model.h"
#include "platform/locale.h"

namespace tarvedde {

struct LogSettings {
    bool detailLog = false;
    bool debugLog = false;
    bool tabelLog = false;
    int logLevel = 0;
};

inline constexpr std::size_t kMessageListLimit = 200;
inline constexpr std::size_t kStatisticsInfoLimit = 500;

inline constexpr char kLogAllFile[] = "_DDE_OPC_LOGALL.TXT";
inline constexpr char kMessageHistoryFile[] = "_TARVEDDE_LOG.TXT";
inline constexpr char kStatisticsInfoFile[] = "DDE-Info.TXT";
inline constexpr char kRawDataFile[] = "_ROH_LOG.TXT";

// Told when _DDE_OPC_LOGALL.TXT stops taking lines and when it takes them again, so the
// program can tell someone: the headless program its stderr, the desktop its operator.
class LogFileWatcher {
public:
    virtual ~LogFileWatcher() = default;
    virtual void LogFileFailed(const std::string& reason) = 0;
    virtual void LogFileRecovered(int lostLines) = 0;
};

// Told every line meant for _DDE_OPC_LOGALL.TXT, also one the file could not take, so a
// copy elsewhere (the journal) holds what the file holds. `debug`: a debug log line.
class LogMirror {
public:
    virtual ~LogMirror() = default;
    virtual void MirrorLine(std::string_view line, bool debug) = 0;
};

class ProgramLog {
public:
    ProgramLog(FileSystem& files, const Clock& clock, const Locale& locale);

    // Directory of every log file, with the trailing separator.
    void SetProgramDir(std::string programDir) {
        rawData_.reset();
        programDir_ = std::move(programDir);
    }
    const std::string& ProgramDir() const { return programDir_; }

    // Not owned; null: nobody is told.
    void SetWatcher(LogFileWatcher* watcher) { watcher_ = watcher; }
    // Not owned; null: no copy.
    void SetMirror(LogMirror* mirror) { mirror_ = mirror; }

    LogSettings& Settings() { return settings_; }
    const LogSettings& Settings() const { return settings_; }

    // The main window's message list (memF).
    LinesModel& MessageList() { return messageList_; }
    const LinesModel& MessageList() const { return messageList_; }
    // The statistics window's message text (Memo1) and its hidden snapshot text (memoStat).
    LinesModel& StatisticsInfo() { return statisticsInfo_; }
    const LinesModel& StatisticsInfo() const { return statisticsInfo_; }
    LinesModel& StatisticsSnapshot() { return statisticsSnapshot_; }

    // Each returns false when the log file could not be written. WriteLog shows the line
    // in the message list even then; the other three lose it.
    bool WriteLog(std::string_view text);
    bool WriteLogLevel(int level, std::string_view text);
    bool WriteLogDetail(std::string_view text);
    bool WriteLogDebug(std::string_view text);

    void WriteDDEInfo(std::string_view text);
    void FlushMessageList();
    // Keeps the lines when the file cannot be written, so nothing is lost.
    bool FlushDDEInfo();
    // The statistics window shows a file in Memo1: the lines still to be written go to
    // DDE-Info.TXT first, and the shown text never does. False, showing nothing, when the
    // file refused them.
    bool ShowInStatisticsInfo(std::string_view text);
    // The operator's edit of Memo1. Of a file shown, the whole text stays the view's.
    void EditStatisticsInfo(std::string_view text);
    // Writes memoStat to "$$log_" + yyyymmdd_hhnnss_zzz + ".log", never over an existing
    // snapshot: the first free millisecond from now names it.
    bool SaveStatisticsSnapshot();
    // Program end: the whole message list goes to the history file.
    void FlushMessageListAtEnd();
    // One line of the decimal byte values of a received value text. _ROH_LOG.TXT takes a
    // line per item and cycle: the lines wait for FlushRawData, which the end of every
    // cycle calls, and the file is kept open between cycles.
    void WriteRawData(std::string_view utf8Text, char separator);
    // The waiting lines in one append; a failure is logged once, loses them and closes the
    // file, and the next flush opens it again.
    void FlushRawData();
    // The day change, the end of acquisition and switching the raw-data log off close it.
    void CloseRawData() {
        FlushRawData();
        rawData_.reset();
    }

    std::string Stamp() const;
    std::string DebugStamp() const;
    std::string PathOf(std::string_view fileName) const;

private:
    bool AppendToLogAll(const std::string& line, bool debug = false);
    bool WriteStamped(const std::string& line, bool show, bool debug = false);
    void AppendAllLines(LinesModel& model, std::string_view fileName, bool clearOnFailure);
    void AppendDDEInfo(bool clearOnFailure);
    // The lines of statisticsInfo_ still to be written.
    std::vector<std::string> PendingDDEInfo() const;

    FileSystem& files_;
    const Clock& clock_;
    const Locale& locale_;
    std::string programDir_;
    LogSettings settings_;
    LinesModel messageList_;
    LinesModel statisticsInfo_;
    // Lines at the front of statisticsInfo_ that show a file, not lines to be written.
    std::size_t statisticsInfoShown_ = 0;
    LinesModel statisticsSnapshot_;
    LogFileWatcher* watcher_ = nullptr;
    LogMirror* mirror_ = nullptr;
    int lostLines_ = 0;  // since the log file last took a line
    std::unique_ptr<AppendFile> rawData_;
    std::string rawPending_;
};

}  // namespace tarvedde
