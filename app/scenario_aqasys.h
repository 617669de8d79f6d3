// The scenario verbs of the AQASYS retrieval, beside `source aqasys` and the `set` that
// gives the logger a day value (`set A12;03.24;04 "12,5"`):
//   request-file "TEXT"    another program drops $AQASYS_HOLEN, TEXT its first line
//   date-field YYYY-MM-DD  the operator picks the day in the date field (after `start`)
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/result.h"

namespace tarvedde {

class TarveddeMain;

struct AqasysCommand {
    std::optional<std::string> requestFile;  // set: request-file, else date-field
    double dateField = 0.0;
};

// `words` are the tokens after the verb, each with whether it was quoted.
Result<AqasysCommand> ParseAqasysVerb(std::string_view verb,
                                      const std::vector<std::pair<std::string, bool>>& words);
// `engine` is null before `start` and after `kill`.
Status ApplyAqasysCommand(const AqasysCommand& command, FileSystem& files,
                          const std::string& programDir, TarveddeMain* engine);

}  // namespace tarvedde
