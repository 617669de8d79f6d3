#include "engine/statistics/day_protocol.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "outputs/day_file_names.h"
#include "platform/date_time.h"
#include "platform/path_names.h"
#include "platform/rtf_text.h"
#include "platform/text_file.h"

namespace tarvedde {

std::string DayProtocolName(double day) {
    return DayDateText(DecodeDate(day)) + ".RTF";
}

namespace {

bool WriteProtocolFile(const RichTextModel& memo2, const std::string& name,
                       const DayProtocolFiles& files) {
    return WriteFileAtomic(files.files, files.programDir + name, WriteRtf(memo2, files.fontSize),
                           false)
        .ok();
}

bool WriteProtocol(const RichTextModel& memo2, const std::string& name,
                   const DayProtocolFiles& files) {
    if (WriteProtocolFile(memo2, name, files)) {
        return true;
    }
    files.log.WriteLog("Statistik " + name + " konnte nicht gesichert werden !");
    return false;
}

}  // namespace

// A long protocol (warnings every cycle, many starts in a day) is still the only record
// of the day's closing statistics: it is saved whole, and the operator told.
bool SaveDayProtocol(const RichTextModel& memo2, double runningDay, const DayProtocolFiles& files,
                     UnsavedDayProtocols& unsaved) {
    if (memo2.Paragraphs().size() > kDayProtocolLineLimit) {
        files.log.WriteLog("*** Mehr als 5000 Zeilen im Statistik-Memo !");
    }
    const std::string name = DayProtocolName(DateOf(runningDay) - 1.0);
    std::string rtf = WriteRtf(memo2, files.fontSize);
    if (WriteFileAtomic(files.files, files.programDir + name, rtf, false).ok()) {
        return true;
    }
    files.log.WriteLog("Statistik " + name +
                       " konnte nicht gesichert werden ! Sie wird mit jedem Zyklus wiederholt.");
    unsaved.Keep(name, std::move(rtf));
    return false;
}

void UnsavedDayProtocols::Retry(const DayProtocolFiles& files, bool lastChance) {
    std::erase_if(protocols_, [&files](const std::pair<std::string, std::string>& protocol) {
        if (!WriteFileAtomic(files.files, files.programDir + protocol.first, protocol.second, false)
                 .ok()) {
            return false;
        }
        files.log.WriteLog("Statistik " + protocol.first + " nachträglich gesichert.");
        return true;
    });
    if (lastChance) {
        for (const auto& protocol : protocols_) {
            files.log.WriteLog("Statistik " + protocol.first + " konnte nicht gesichert werden !");
        }
    }
}

bool SaveStatisticsWindow(const RichTextModel& memo2, double runningDay,
                          const DayProtocolFiles& files) {
    if (!WriteProtocol(memo2, DayProtocolName(runningDay), files)) {
        return false;
    }
    files.log.WriteLogDetail("Statistik (.RTF) gesichert.");
    return true;
}

bool SaveStatisticsWindowQuietly(const RichTextModel& memo2, double runningDay,
                                 const DayProtocolFiles& files) {
    return WriteProtocolFile(memo2, DayProtocolName(runningDay), files);
}

namespace {

// Kept under another name, not deleted: a protocol the window's own saves made larger
// than MaxRTF holds the day's warnings and intermediate statistics, which the next save
// would otherwise replace with only what came after the start.
void SetAsideDamagedProtocol(const std::string& path, const DayProtocolFiles& files) {
    std::string aside = path + ".defekt";
    for (int n = 2; files.files.Exists(aside) && n < 100; ++n) {
        aside = path + "." + std::to_string(n) + ".defekt";
    }
    const Status renamed = files.files.Rename(path, aside);
    files.log.WriteLog(renamed.ok()
                           ? "RTF-Datei defekt ! Umbenannt in " + FileNameOf(aside) + "."
                           : "RTF-Datei defekt ! Nicht geladen (" + renamed.error().message + ").");
}

}  // namespace

void LoadDayProtocol(RichTextModel& memo2, double runningDay, int maxRtf,
                     const DayProtocolFiles& files) {
    const std::string path = files.programDir + DayProtocolName(runningDay);
    if (!files.files.Exists(path)) {
        return;
    }
    const auto size = files.files.Size(path);
    if (!size) {
        return;
    }
    const std::uint64_t units = size.value() / 128;
    if (units < 1 || units > static_cast<std::uint64_t>(std::max(maxRtf, 0))) {
        SetAsideDamagedProtocol(path, files);
        return;
    }
    const auto bytes = files.files.ReadAll(path);
    if (bytes) {
        ReadRtf(bytes.value(), files.fontSize, memo2);
    }
}

}  // namespace tarvedde
