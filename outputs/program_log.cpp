#include "outputs/program_log.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/date_time.h"
#include "platform/text_encoding.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

// A text with CR LF inside (several messages have one) stands on as many lines of the
// text area as it shows, so the 200- and 500-line limits count what the operator sees.
void AppendShown(LinesModel& model, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t end = text.find("\r\n"); end != std::string_view::npos;
         end = text.find("\r\n", start)) {
        model.Append(std::string(text.substr(start, end - start)));
        start = end + 2;
    }
    model.Append(std::string(text.substr(start)));
}

}  // namespace

ProgramLog::ProgramLog(FileSystem& files, const Clock& clock, const Locale& locale)
    : files_(files), clock_(clock), locale_(locale) {}

std::string ProgramLog::Stamp() const {
    return FormatDateTime("dd.mmm.yy, hh:mm:ss > ", clock_.Now(), locale_);
}

std::string ProgramLog::DebugStamp() const {
    return FormatDateTime("dd.mmm.yy, hh:mm:ss:zzz > ", clock_.Now(), locale_);
}

std::string ProgramLog::PathOf(std::string_view fileName) const {
    return programDir_ + std::string(fileName);
}

bool ProgramLog::AppendToLogAll(const std::string& line, bool debug) {
    if (mirror_ != nullptr) {
        mirror_->MirrorLine(line, debug);
    }
    if (lostLines_ == 0) {
        const Status written = AppendLine(files_, PathOf(kLogAllFile), line);
        if (!written) {
            lostLines_ = 1;
            if (watcher_ != nullptr) {
                watcher_->LogFileFailed(written.error().message);
            }
        }
        return written.ok();
    }
    const std::string gap = Stamp() + "Protokoll war nicht beschreibbar, " +
                            std::to_string(lostLines_) + " Zeilen fehlen.";
    if (!AppendLines(files_, PathOf(kLogAllFile), {gap, line})) {
        ++lostLines_;
        return false;
    }
    const int lost = std::exchange(lostLines_, 0);
    if (watcher_ != nullptr) {
        watcher_->LogFileRecovered(lost);
    }
    return true;
}

bool ProgramLog::WriteLog(std::string_view text) {
    FlushMessageList();
    std::string line = Stamp();
    line += text;
    AppendShown(messageList_, line);
    return AppendToLogAll(line);
}

bool ProgramLog::WriteLogLevel(int level, std::string_view text) {
    if (level != settings_.logLevel) {
        return true;
    }
    return WriteStamped(Stamp() + std::string(text), /*show=*/true);
}

bool ProgramLog::WriteLogDetail(std::string_view text) {
    return WriteStamped(Stamp() + std::string(text), settings_.detailLog);
}

bool ProgramLog::WriteLogDebug(std::string_view text) {
    if (!settings_.debugLog) {
        return true;
    }
    return WriteStamped(DebugStamp() + std::string(text), /*show=*/true, /*debug=*/true);
}

// The file first: a line that could not be written is not shown either.
bool ProgramLog::WriteStamped(const std::string& line, bool show, bool debug) {
    if (!AppendToLogAll(line, debug)) {
        return false;
    }
    if (show) {
        FlushMessageList();
        AppendShown(messageList_, line);
    }
    return true;
}

void ProgramLog::AppendAllLines(LinesModel& model, std::string_view fileName, bool clearOnFailure) {
    const bool written = AppendLines(files_, PathOf(fileName), model.Lines()).ok();
    if (written || clearOnFailure) {
        model.Clear();
    }
}

void ProgramLog::WriteDDEInfo(std::string_view text) {
    AppendShown(statisticsInfo_, text);
    // Below a file shown, a line is written at once: the operator's edits of the view do
    // not decide what DDE-Info.TXT gets.
    if (statisticsInfoShown_ > 0) {
        if (AppendLines(files_, PathOf(kStatisticsInfoFile), PendingDDEInfo()).ok()) {
            statisticsInfoShown_ = statisticsInfo_.Count();
        }
        return;
    }
    if (statisticsInfo_.Count() > kStatisticsInfoLimit) {
        AppendDDEInfo(/*clearOnFailure=*/true);
    }
}

void ProgramLog::EditStatisticsInfo(std::string_view text) {
    statisticsInfo_.SetText(text);
    if (statisticsInfoShown_ > 0) {
        statisticsInfoShown_ = statisticsInfo_.Count();
    }
}

std::vector<std::string> ProgramLog::PendingDDEInfo() const {
    const std::vector<std::string>& lines = statisticsInfo_.Lines();
    return {
        lines.begin() + static_cast<std::ptrdiff_t>(std::min(statisticsInfoShown_, lines.size())),
        lines.end()};
}

void ProgramLog::AppendDDEInfo(bool clearOnFailure) {
    const std::vector<std::string> pending = PendingDDEInfo();
    const bool written =
        pending.empty() || AppendLines(files_, PathOf(kStatisticsInfoFile), pending).ok();
    if (written || clearOnFailure) {
        statisticsInfo_.Clear();
        statisticsInfoShown_ = 0;
    }
}

bool ProgramLog::ShowInStatisticsInfo(std::string_view text) {
    if (!FlushDDEInfo()) {
        return false;
    }
    statisticsInfo_.SetText(text);
    statisticsInfoShown_ = statisticsInfo_.Count();
    return true;
}

void ProgramLog::FlushMessageList() {
    if (messageList_.Count() > kMessageListLimit) {
        AppendAllLines(messageList_, kMessageHistoryFile, /*clearOnFailure=*/true);
    }
}

bool ProgramLog::FlushDDEInfo() {
    if (statisticsInfo_.Empty()) {
        return true;
    }
    AppendDDEInfo(/*clearOnFailure=*/false);
    return statisticsInfo_.Empty();
}

void ProgramLog::FlushMessageListAtEnd() {
    if (!messageList_.Empty()) {
        AppendAllLines(messageList_, kMessageHistoryFile, /*clearOnFailure=*/true);
    }
}

// A day closed again after the clock was set back would replace the first closing's
// snapshot: a taken name moves the new one on by a millisecond.
bool ProgramLog::SaveStatisticsSnapshot() {
    constexpr int kSnapshotNameTries = 1000;
    const double now = clock_.Now();
    for (int ms = 0; ms < kSnapshotNameTries; ++ms) {
        const double at = now + ms / static_cast<double>(kMsPerDay);
        const std::string path =
            PathOf("$$log_" + FormatDateTime("yyyymmdd_hhnnss_zzz", at, locale_) + ".log");
        if (!files_.Exists(path)) {
            return files_.WriteAll(path, Utf8ToCp1252(statisticsSnapshot_.Text()), false).ok();
        }
    }
    WriteLog("Statistik-Schnappschuss konnte nicht gesichert werden !");
    return false;
}

// The decimal digits and separators are ASCII: no conversion to 1252 needed.
void ProgramLog::WriteRawData(std::string_view utf8Text, char separator) {
    for (const char byte : Utf8ToCp1252(utf8Text)) {
        rawPending_ += std::to_string(static_cast<unsigned char>(byte));
        rawPending_ += separator;
    }
    rawPending_ += "\r\n";
}

void ProgramLog::FlushRawData() {
    if (rawPending_.empty()) {
        return;
    }
    std::string lines = std::move(rawPending_);
    rawPending_.clear();
    if (!rawData_) {
        auto opened = files_.OpenAppend(PathOf(kRawDataFile));
        if (!opened) {
            WriteLog("Fehler beim Speichern der Rohdaten !");
            return;
        }
        rawData_ = std::move(opened).value();
    }
    if (!rawData_->Append(lines).ok()) {
        rawData_.reset();
        WriteLog("Fehler beim Speichern der Rohdaten !");
    }
}

}  // namespace tarvedde
