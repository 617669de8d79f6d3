#include "outputs/day_file_names.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/number_format.h"
#include "platform/path_names.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

constexpr std::size_t kHeaderNumberWidth = 17;
constexpr std::size_t kMaxConversionUnit = 10;

std::string TwoDigits(int value) {
    std::string text = std::to_string(value);
    return text.size() < 2 ? "0" + text : text;
}

const char* CreateExtension(char kind) {
    switch (kind) {
        case 'D':
            return ".DAT";
        case 'H':
            return ".AQH";
        case 'S':
            return ".SMP";
        default:
            return ".TVW";
    }
}

const char* VersionExtension(char kind) {
    switch (kind) {
        case 'D':
            return ".DAT";
        case 'H':
            return ".AQH";
        default:
            return ".TVW";
    }
}

bool EndsWithNoCase(const std::string& text, const std::string& end) {
    if (text.size() < end.size()) {
        return false;
    }
    return std::equal(end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
                      [](char a, char b) {
                          return std::toupper(static_cast<unsigned char>(a)) ==
                                 std::toupper(static_cast<unsigned char>(b));
                      });
}

// At most `count` characters of a UTF-8 text (1252 bytes on disk).
std::string FirstCharacters(const std::string& text, std::size_t count) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool leadByte = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (leadByte && characters++ == count) {
            return text.substr(0, i);
        }
    }
    return text;
}

// Lines of a file read one after another; past the end every line is empty.
class LineReader {
public:
    explicit LineReader(std::vector<std::string> lines) : lines_(std::move(lines)) {}
    std::string Next() { return at_ < lines_.size() ? lines_[at_++] : std::string(); }

private:
    std::vector<std::string> lines_;
    std::size_t at_ = 0;
};

}  // namespace

DateTexts DayDateTexts(const DateParts& date) {
    std::string year = std::to_string(date.year);
    if (year.size() < 4) {
        year = (date.year >= 70 ? "19" : "20") + year;
    }
    return {year, TwoDigits(date.month), TwoDigits(date.day)};
}

std::string DayDateText(const DateParts& date) {
    const DateTexts texts = DayDateTexts(date);
    return texts.year + texts.month + texts.day;
}

std::string DayDataFileName(const DateParts& date) {
    return DayDateText(date) + CreateExtension('D');
}

std::string HeaderFileName(const DateParts& date) {
    return DayDateText(date) + CreateExtension('H');
}

std::string HeaderNumberText(double value) {
    std::string text = FormatFixed(value, 18, 10, GermanLocale());
    std::replace(text.begin(), text.end(), GermanLocale().decimalSeparator, '.');
    if (text.size() < kHeaderNumberWidth) {
        text.insert(0, kHeaderNumberWidth - text.size(), ' ');
    }
    return text;
}

DayFiles::DayFiles(FileSystem& files, ProgramLog& log, const Locale& locale)
    : files_(files), log_(log), locale_(locale) {}

bool DayFiles::NoteAppend(const std::string& path, bool written) {
    if (!written) {
        failingAppends_.insert(path);
        return false;
    }
    return failingAppends_.erase(path) != 0;
}

bool DayFiles::RemoveLeftLock(const std::string& lock) {
    if (!leftLocks_.contains(lock) || !DeleteIfExists(files_, lock)) {
        return false;
    }
    leftLocks_.erase(lock);
    return true;
}

bool DayFiles::ViewerLockStands(const std::string& lock, double cycleTime,
                                const std::string& readingText) {
    constexpr double kLeftAfter = 60.0 / 86400.0;
    if (!files_.Exists(lock)) {
        viewerLocksSeen_.erase(lock);
        return false;
    }
    const auto [seen, first] = viewerLocksSeen_.try_emplace(lock, cycleTime);
    if (first) {
        log_.WriteLog(readingText);
        return true;
    }
    seen->second = std::min(seen->second, cycleTime);  // a clock set back
    if (!(cycleTime - seen->second > kLeftAfter) || !files_.Remove(lock).ok()) {
        return true;
    }
    viewerLocksSeen_.erase(seen);
    log_.WriteLog("Sperrdatei " + lock + " seit über einer Minute vorhanden: gelöscht.");
    return false;
}

std::string& DayFiles::BoundPath(char kind) {
    switch (kind) {
        case 'D':
            return dayDataPath_;
        case 'H':
            return headerPath_;
        case 'S':
            return samplePath_;
        default:
            return otherPath_;
    }
}

// The diary and intermediate values of a postponed day change still belong to the
// day whose statistics are due.
bool DayFiles::AssignTextFile(char kind) {
    DateParts day = runningDay_;
    if (postponedDayPending_ && IsValidDate(day.year, day.month, day.day)) {
        day = DecodeDate(EncodeDate(day.year, day.month, day.day) - 1.0);
    }
    switch (kind) {
        case 'I':
            rememberedName_ = DayDateText(day) + ".TVI";
            diaryPath_ = PathOf(rememberedName_);
            return true;
        case 'S':
            rememberedName_ = DayDateText(day) + ".TVS";
            intermediatePath_ = PathOf(rememberedName_);
            if (!CreateEmptyFile(files_, intermediatePath_)) {
                log_.WriteLog("Fehler in AssignTextFile - S");
                return false;
            }
            return true;
        case 'V':
            rememberedName_ = kViewerDataFile;
            viewerPath_ = PathOf(rememberedName_);
            return true;
        default:
            rememberedName_ = "Fehler !";
            log_.WriteLog("AssignTextFile : " + rememberedName_);
            return false;
    }
}

bool DayFiles::CreateTextFile(char kind, int renameNumber) {
    const std::string extension = CreateExtension(kind);
    const std::string dayText = DayDateText(runningDay_);
    rememberedName_ = dayText + extension;
    std::string& bound = BoundPath(kind);
    if (renameNumber > 0) {
        RenameBoundFile(bound, extension, renameNumber);
    }
    rememberedPattern_ = dayText + "*" + extension;
    bound = PathOf(dayText + extension);
    if (files_.Exists(bound)) {
        return false;
    }
    if (!CreateEmptyFile(files_, bound)) {
        log_.WriteLog("CreateTextFile : Fehler (1) " + extension);
        return false;
    }
    return true;
}

// An existing target is an earlier version of the day: it is never replaced, so the
// renaming fails as it would on the workstation's file system.
void DayFiles::RenameBoundFile(const std::string& bound, const std::string& extension,
                               int renameNumber) {
    const std::string newName =
        DayDateText(runningDay_) + "_" + std::to_string(renameNumber) + extension;
    const std::string target = PathOf(newName);
    if (bound.empty() || files_.Exists(target) || !files_.Rename(bound, target)) {
        log_.WriteLog("CreateTextFile : Fehler bei Namensänderung ! " + extension);
        return;
    }
    log_.WriteLogDetail(FileNameOf(bound) + " in " + newName + " umbenannt.");
}

int DayFiles::HighestRenameNumber(char kind) const {
    const std::string extension = VersionExtension(kind);
    const std::string prefix = DayDateText(runningDay_) + "_";
    int highest = 0;
    for (const std::string& name : files_.List(programDir_)) {
        if (name.size() < prefix.size() + extension.size() ||
            name.compare(0, prefix.size(), prefix) != 0 || !EndsWithNoCase(name, extension)) {
            continue;
        }
        const std::string number =
            name.substr(prefix.size(), name.size() - prefix.size() - extension.size());
        highest = std::max(highest, StrToIntDef(number, 0));
    }
    return highest;
}

bool DayFiles::WriteHeaderFile(const HeaderData& header) {
    if (headerPath_.empty()) {
        return false;
    }
    std::vector<std::string> lines;
    lines.push_back(std::to_string(header.items.size()));
    for (const HeaderItem& item : header.items) {
        lines.push_back(item.serverItem);
    }
    lines.emplace_back();
    lines.push_back(std::to_string(header.cycleIntervalMs));
    lines.emplace_back();
    if (header.permanentMode) {
        for (const HeaderItem& item : header.items) {
            lines.push_back(HeaderNumberText(item.calibrationSlope));
            lines.push_back(HeaderNumberText(item.calibrationIntercept));
        }
        lines.emplace_back();
        for (const HeaderItem& item : header.items) {
            lines.push_back(item.itemName);
            lines.push_back(std::to_string(item.Grafiktyp));
            lines.push_back(std::to_string(item.GrafikRef));
            lines.push_back(FirstCharacters(item.conversionUnit, kMaxConversionUnit));
        }
    }
    // Replaced whole: a process that dies while writing it must not leave a header that
    // a restart takes for another configuration.
    return WriteLines(files_, headerPath_, lines, false).ok();
}

bool DayFiles::HeaderIsEmpty() const {
    if (headerPath_.empty()) {
        return false;
    }
    const auto size = files_.Size(headerPath_);
    return size.ok() && size.value() == 0;
}

bool DayFiles::HeaderMatchesConfiguration(const HeaderData& header) {
    LineReader reader(ReadLines(files_, headerPath_).value_or({}));
    const int oldCount = StrToIntDef(reader.Next(), -1);
    if (oldCount < 0) {
        return false;
    }
    const int count = static_cast<int>(header.items.size());
    if (oldCount != count) {
        log_.WriteLogDetail("Konfiguration : Anzahl (alt) " + std::to_string(oldCount) + " <> " +
                            std::to_string(count));
        return false;
    }
    for (const HeaderItem& item : header.items) {
        const std::string old = reader.Next();
        if (old != item.serverItem) {
            log_.WriteLogDetail("Konfiguration : Item (alt) " + old + " <> " + item.serverItem);
            return false;
        }
    }
    reader.Next();
    const int oldInterval = StrToIntDef(reader.Next(), 0);
    if (oldInterval != header.cycleIntervalMs) {
        log_.WriteLogDetail("Konfiguration : Intervall (alt) " + std::to_string(oldInterval) +
                            " <> " + std::to_string(header.cycleIntervalMs));
        return false;
    }
    reader.Next();
    for (const HeaderItem& item : header.items) {
        const std::string oldSlope = reader.Next();
        const std::string oldIntercept = reader.Next();
        if (!CalibrationMatches(oldSlope, item.calibrationSlope, item.serverItem, "M") ||
            !CalibrationMatches(oldIntercept, item.calibrationIntercept, item.serverItem, "T")) {
            return false;
        }
    }
    return true;
}

// Small calibration corrections are part of running a plant and must not split the
// day's data; an old value that cannot be read is a difference.
bool DayFiles::CalibrationMatches(const std::string& oldLine, double current,
                                  const std::string& address, const char* label) {
    const std::string oldText = NormalizeDecimal(oldLine, locale_);
    const auto old = StrToFloat(oldText, locale_);
    if (old) {
        const double tolerance = std::fabs(old.value()) / 200.0;
        if (!(std::fabs(old.value() - current) > tolerance && tolerance > 0.001)) {
            return true;
        }
    }
    log_.WriteLogDetail("Konfiguration Item " + address + " : " + label + "(alt)=" + oldText +
                        " <> " + FormatGeneral(current, locale_));
    return false;
}

}  // namespace tarvedde
