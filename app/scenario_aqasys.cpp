#include "app/scenario_aqasys.h"

#include "app/scenario_script.h"
#include "engine/frame/tarvedde_main.h"
#include "platform/text_file.h"

namespace tarvedde {

Result<AqasysCommand> ParseAqasysVerb(std::string_view verb,
                                      const std::vector<std::pair<std::string, bool>>& words) {
    if (verb == "request-file") {
        if (words.size() != 1 || !words[0].second) {
            return Error{"expected 'request-file \"TEXT\"'"};
        }
        return AqasysCommand{words[0].first, 0.0};
    }
    if (words.size() != 1 || words[0].second) {
        return Error{"expected 'date-field YYYY-MM-DD'"};
    }
    auto day = ParseLocalDateTime(words[0].first, "00:00:00");
    if (!day) {
        return Error{"bad date '" + words[0].first + "' (YYYY-MM-DD)"};
    }
    return AqasysCommand{std::nullopt, day.value()};
}

Status ApplyAqasysCommand(const AqasysCommand& command, FileSystem& files,
                          const std::string& programDir, TarveddeMain* engine) {
    if (command.requestFile) {
        return AppendLine(files, programDir + kAqasysRequestFile, *command.requestFile);
    }
    if (engine == nullptr) {
        return Error{"'date-field' needs 'start' first"};
    }
    engine->Window().piDate1 = command.dateField;
    engine->Aqasys().piDate1CloseUp(command.dateField);
    return {};
}

}  // namespace tarvedde
