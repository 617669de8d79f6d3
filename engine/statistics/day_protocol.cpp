#include "engine/statistics/day_protocol.h"

#include <algorithm>
#include <cstdint>

#include "outputs/day_file_names.h"
#include "platform/date_time.h"
#include "platform/rtf_text.h"
#include "platform/text_file.h"

namespace tarvedde {

std::string DayProtocolName(double day) {
    return DayDateText(DecodeDate(day)) + ".RTF";
}

bool SaveDayProtocol(RichTextModel& memo2, double runningDay, const DayProtocolFiles& files) {
    if (memo2.Paragraphs().size() > kDayProtocolLineLimit) {
        files.log.WriteLog("*** Mehr als 5000 Zeilen im Statistik-Memo !");
        memo2.Clear();
        return false;
    }
    const std::string path = files.programDir + DayProtocolName(DateOf(runningDay) - 1.0);
    return WriteFileAtomic(files.files, path, WriteRtf(memo2, files.fontSize), false).ok();
}

bool SaveStatisticsWindow(const RichTextModel& memo2, double runningDay,
                          const DayProtocolFiles& files) {
    const std::string path = files.programDir + DayProtocolName(runningDay);
    if (!WriteFileAtomic(files.files, path, WriteRtf(memo2, files.fontSize), false).ok()) {
        return false;
    }
    files.log.WriteLogDetail("Statistik (.RTF) gesichert.");
    return true;
}

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
        (void)files.files.Remove(path);
        files.log.WriteLog("RTF-Datei defekt ! Gelöscht.)");
        return;
    }
    const auto bytes = files.files.ReadAll(path);
    if (bytes) {
        ReadRtf(bytes.value(), files.fontSize, memo2);
    }
}

}  // namespace tarvedde
