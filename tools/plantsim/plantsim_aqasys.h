// plantsim's AQASYS face: answers the retrieval's requests ("A12;03.15;12": the code, the
// month and two-digit year, the day; a test code alone, "iA5") with one day value per
// parameter code and date. Values come from a data file ("code;dd.mm.yyyy;value" lines)
// and, for a known code without one, are generated from the code and the date, so the
// same request always gets the same text. An unknown code or a request of another shape
// gets no data. Every answer can wait a configured delay, as a slow logger does.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/ini_file.h"
#include "platform/result.h"
#include "sources/socket_dde_server.h"

namespace tarvedde::plantsim {

struct AqasysConfig {
    int service = 1;              // which [Service<n>] answers
    std::set<std::string> codes;  // upper-cased, without ";"
    int delayMs = 0;
    // (code, day number) -> value text, from the data file.
    std::map<std::pair<std::string, int>, std::string> values;
};

// Without an [Aqasys] section: none. Fails on an unreadable data file or a bad line.
Result<std::optional<AqasysConfig>> LoadAqasysConfig(const IniFile& ini, const FileSystem& files);

class AqasysFace final : public DdeRequestAnswerer {
public:
    explicit AqasysFace(AqasysConfig config) : config_(std::move(config)) {}
    Answer AnswerRequest(const std::string& item) override;

private:
    AqasysConfig config_;
};

}  // namespace tarvedde::plantsim
