// Names of the day's data files and the header that records the configuration a day
// data file was written with. Every data file is named after the running day
// (JJJJMMDD); a configuration change during the day moves the day's data and header to
// the next version number (JJJJMMDD_n) instead of mixing two layouts in one file.
//
// Guarantees: creating a day file never empties an existing one; renaming never
// overwrites an earlier version; no failure here stops the caller: each is logged and
// reported through the return value.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "outputs/program_log.h"
#include "platform/date_time.h"
#include "platform/file_system.h"
#include "platform/locale.h"

namespace tarvedde {

// A day's date as the file names spell it.
struct DateTexts {
    std::string year;  // four characters for the years 1000..9999 and 70..999
    std::string month;
    std::string day;
};

// The year as decimal text, with "19" before a text shorter than four characters when
// the year is 70 or more and "20" below 70 (5 -> "205", 99 -> "1999"); month and day
// with a leading "0" to two digits.
DateTexts DayDateTexts(const DateParts& date);
// "20240305".
std::string DayDateText(const DateParts& date);
// "20240305.DAT" and "20240305.AQH": a day's data file and the header of its columns.
std::string DayDataFileName(const DateParts& date);
std::string HeaderFileName(const DateParts& date);

inline constexpr char kViewerDataFile[] = "AKTDAT.TVV";

// The configuration a day data file was written with, as the header file holds it.
struct HeaderItem {
    std::string serverItem;  // source address, [Items]
    double calibrationSlope = 1.0;
    double calibrationIntercept = 0.0;
    std::string itemName;
    int Grafiktyp = 1;
    int GrafikRef = 0;
    std::string conversionUnit;  // cut to 10 characters in the file
};

struct HeaderData {
    int cycleIntervalMs = 0;
    bool permanentMode = true;
    std::vector<HeaderItem> items;
};

// A calibration value as the header holds it: 17 characters right-aligned, 10
// decimals, "." as the decimal point ("     1.0000000000").
std::string HeaderNumberText(double value);

// The day's bound files and the names most recently built. Kind letters: 'D' day data
// (.DAT), 'H' header (.AQH), 'S' sample (.SMP) for CreateTextFile and intermediate
// values (.TVS) for AssignTextFile, 'I' diary data (.TVI), 'V' viewer data (AKTDAT.TVV).
class DayFiles {
public:
    DayFiles(FileSystem& files, ProgramLog& log, const Locale& locale);

    // With the trailing separator.
    void SetProgramDir(std::string programDir) { programDir_ = std::move(programDir); }
    // The day the files are named after.
    void SetRunningDay(const DateParts& day) { runningDay_ = day; }
    // While the postponed day-change statistics are due, the diary and intermediate
    // values still belong to the day before.
    void SetPostponedDayPending(bool pending) { postponedDayPending_ = pending; }

    // Binds the file of kind 'I', 'S' or 'V'; 'S' is also created when missing. False
    // for any other kind (logged) or when the file cannot be created (logged).
    bool AssignTextFile(char kind);
    // Binds the day's file of the kind ('D', 'H', 'S', other: .TVW) and creates it empty
    // when missing; true only when it was newly created. With renameNumber > 0 the file
    // bound so far first becomes JJJJMMDD_<renameNumber><ext>.
    bool CreateTextFile(char kind, int renameNumber);
    // Largest n of the running day's JJJJMMDD_n files of the kind ('D' .DAT, 'H' .AQH,
    // other .TVW); a name whose n is not a number counts as 0; 0 when there is none.
    int HighestRenameNumber(char kind) const;

    // Appends the header to the bound header file; nothing happens when it cannot be
    // written.
    bool WriteHeaderFile(const HeaderData& header);
    // The header exists but holds nothing: created, and the program ended before it was
    // written. It names no configuration, so it is not one that differs.
    bool HeaderIsEmpty() const;
    // False at the first difference from the bound header file, which is logged; a
    // missing or unreadable header differs. Calibration values differ only beyond half
    // a percent of the old value, and only when that half percent is above 0.001.
    bool HeaderMatchesConfiguration(const HeaderData& header);

    const std::string& DayDataPath() const { return dayDataPath_; }
    const std::string& HeaderPath() const { return headerPath_; }
    const std::string& SamplePath() const { return samplePath_; }
    const std::string& IntermediateValuesPath() const { return intermediatePath_; }
    const std::string& DiaryDataPath() const { return diaryPath_; }
    const std::string& ViewerDataPath() const { return viewerPath_; }
    // The name (without directory) built last by AssignTextFile or CreateTextFile, and
    // the pattern JJJJMMDD*<ext> built last by CreateTextFile.
    const std::string& RememberedName() const { return rememberedName_; }
    const std::string& RememberedPattern() const { return rememberedPattern_; }

    // Which files' rows failed to append: the first row that lands again is worth a line
    // in the log. NoteAppend gives true for that first row.
    bool NoteAppend(const std::string& path, bool written);
    // A lock file this program made and could not delete: the next cycle deletes it
    // before it looks for the viewer's lock, so one failed delete does not stop the file
    // for the rest of the run.
    void NoteLockLeft(const std::string& lock) { leftLocks_.insert(lock); }
    // Deletes a lock this program left; false when none was left or it is still there.
    bool RemoveLeftLock(const std::string& lock);
    // Whether the viewer's `lock` stands at `cycleTime`: its first sight is logged with
    // `readingText`. One that stands over a minute was left by a viewer that died holding
    // it, and would stop the file for the rest of the run: it is deleted and logged.
    bool ViewerLockStands(const std::string& lock, double cycleTime,
                          const std::string& readingText);

    FileSystem& Files() { return files_; }
    ProgramLog& Log() { return log_; }
    std::string PathOf(const std::string& name) const { return programDir_ + name; }

private:
    std::string& BoundPath(char kind);
    void RenameBoundFile(const std::string& bound, const std::string& extension, int renameNumber);
    bool CalibrationMatches(const std::string& oldLine, double current, const std::string& address,
                            const char* label);

    FileSystem& files_;
    ProgramLog& log_;
    const Locale& locale_;
    std::string programDir_;
    DateParts runningDay_{};
    bool postponedDayPending_ = false;

    std::string dayDataPath_;
    std::string headerPath_;
    std::string samplePath_;
    std::string otherPath_;
    std::string intermediatePath_;
    std::string diaryPath_;
    std::string viewerPath_;
    std::string rememberedName_;
    std::string rememberedPattern_;
    std::set<std::string> failingAppends_;
    std::set<std::string> leftLocks_;
    std::map<std::string, double> viewerLocksSeen_;  // lock -> cycle time first seen
};

}  // namespace tarvedde
