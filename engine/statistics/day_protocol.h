// The day protocol files JJJJMMDD.RTF: the statistics window's text saved at the day
// change under the day it describes, and loaded back at start when the running day
// already has one. A protocol grown past 5000 lines is dropped rather than saved, and a
// file that is empty or larger than MaxRTF is deleted rather than loaded, so one runaway
// day cannot block the window at every later start.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "outputs/program_log.h"
#include "platform/file_system.h"
#include "platform/rich_text_model.h"

namespace tarvedde {

inline constexpr std::size_t kDayProtocolLineLimit = 5000;

struct DayProtocolFiles {
    FileSystem& files;
    ProgramLog& log;
    std::string programDir;  // with the trailing separator
    int fontSize = 10;       // ProtoFontsize: the size of paragraphs without their own
};

// "20240305.RTF" for any time of 2024-03-05.
std::string DayProtocolName(double day);

// Ended days' protocols the disk refused. The window is cleared for the new day, so each
// is the only record of its day's statistics: it is written again until the disk takes it.
class UnsavedDayProtocols {
public:
    void Keep(std::string name, std::string rtf) {
        protocols_.emplace_back(std::move(name), std::move(rtf));
    }
    // Writes every kept protocol; each one written is logged and forgotten. `lastChance`:
    // each one still refused is logged.
    void Retry(const DayProtocolFiles& files, bool lastChance = false);
    bool Empty() const { return protocols_.empty(); }

private:
    std::vector<std::pair<std::string, std::string>> protocols_;  // name, RTF text
};

// Saves `memo2` as the protocol of the day before `runningDay`; above 5000 lines it says
// so in the log. False, logged, when the file could not be written; the protocol is then
// kept in `unsaved`.
bool SaveDayProtocol(const RichTextModel& memo2, double runningDay, const DayProtocolFiles& files,
                     UnsavedDayProtocols& unsaved);

// Saves `memo2` as the running day's protocol, as the statistics window's "Speichern"
// does; logged when saved. False when it could not be written.
bool SaveStatisticsWindow(const RichTextModel& memo2, double runningDay,
                          const DayProtocolFiles& files);
// The same without any log line: for the saves the program makes as it runs, whose
// caller tells of a failure once.
bool SaveStatisticsWindowQuietly(const RichTextModel& memo2, double runningDay,
                                 const DayProtocolFiles& files);

// Loads the running day's protocol into `memo2` when it exists. Its size in 128-byte
// units must be 1..maxRtf (MaxRTF); otherwise the file is deleted and that is logged.
// Read failures leave `memo2` as it was.
void LoadDayProtocol(RichTextModel& memo2, double runningDay, int maxRtf,
                     const DayProtocolFiles& files);

}  // namespace tarvedde
