#include "tools/plantsim/plantsim_aqasys.h"

#include <cstdint>

#include "platform/date_time.h"
#include "platform/number_format.h"
#include "platform/text_file.h"

namespace tarvedde::plantsim {
namespace {

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1) {
        parts.push_back(text.substr(start, at - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

bool AllDigits(const std::string& text, std::size_t length) {
    return text.size() == length && text.find_first_not_of("0123456789") == std::string::npos;
}

// "03.15" and "12": the day of 12 March 2015; nullopt for anything else.
std::optional<int> RequestedDay(const std::string& monthYear, const std::string& dayText) {
    const auto parts = Split(monthYear, '.');
    if (parts.size() != 2 || !AllDigits(parts[0], 2) || !AllDigits(parts[1], 2) ||
        !AllDigits(dayText, 2)) {
        return std::nullopt;
    }
    const int year = 2000 + std::stoi(parts[1]);
    const int month = std::stoi(parts[0]);
    const int day = std::stoi(dayText);
    if (!IsValidDate(year, month, day)) {
        return std::nullopt;
    }
    return static_cast<int>(EncodeDate(year, month, day));
}

// The same code and day always give the same value, 0,00 .. 99,99.
std::string Generated(const std::string& code, int day) {
    std::uint32_t hash = 2166136261u;
    for (const char c : code + "#" + std::to_string(day)) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return FormatFixed((hash % 10000u) / 100.0, 15, 2);
}

}  // namespace

Result<std::optional<AqasysConfig>> LoadAqasysConfig(const IniFile& ini, const FileSystem& files) {
    if (!ini.SectionExists("Aqasys")) {
        return std::optional<AqasysConfig>();
    }
    AqasysConfig config;
    config.service = ini.ReadInteger("Aqasys", "Service", 1);
    config.delayMs = std::max(0, ini.ReadInteger("Aqasys", "DelayMs", 0));
    for (const std::string& code : Split(ini.ReadString("Aqasys", "Codes", ""), ',')) {
        if (!code.empty()) {
            config.codes.insert(Upper(code));
        }
    }
    const std::string dataFile = ini.ReadString("Aqasys", "DataFile", "");
    if (dataFile.empty()) {
        return std::optional<AqasysConfig>(std::move(config));
    }
    const auto lines = ReadLines(files, dataFile);
    if (!lines) {
        return Error{dataFile + ": " + lines.error().message};
    }
    int number = 0;
    for (const std::string& line : lines.value()) {
        ++number;
        if (line.empty()) {
            continue;
        }
        const auto fields = Split(line, ';');
        const auto day = fields.size() == 3 ? StrToDate(fields[1]) : Result<double>(Error{""});
        if (!day || fields[0].empty()) {
            return Error{dataFile + ": line " + std::to_string(number) +
                         ": expected code;dd.mm.yyyy;value"};
        }
        const std::string code = Upper(fields[0]);
        config.codes.insert(code);
        config.values[{code, static_cast<int>(day.value())}] = fields[2];
    }
    return std::optional<AqasysConfig>(std::move(config));
}

DdeRequestAnswerer::Answer AqasysFace::AnswerRequest(const std::string& item) {
    Answer answer;
    answer.delayMs = config_.delayMs;
    const auto parts = Split(item, ';');
    const std::string code = Upper(parts[0]);
    if (config_.codes.count(code) == 0) {
        return answer;
    }
    // A test code comes alone: it is answered with the value of day 0.
    int day = 0;
    if (parts.size() == 3) {
        const auto requested = RequestedDay(parts[1], parts[2]);
        if (!requested) {
            return answer;
        }
        day = *requested;
    } else if (parts.size() != 1) {
        return answer;
    }
    const auto stored = config_.values.find({code, day});
    answer.text = stored != config_.values.end() ? stored->second : Generated(code, day);
    return answer;
}

}  // namespace tarvedde::plantsim
