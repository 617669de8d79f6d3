#include "outputs/day_file_reader.h"

#include "outputs/data_files.h"
#include "platform/number_format.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

// Strictly digits: StrToInt would take blanks and signs that no writer produces.
std::optional<int> Digits(std::string_view text) {
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<DateParts> ParseDate(std::string_view text) {
    const auto parts = Split(text, kCycleDateSeparator);
    if (parts.size() != 3) {
        return std::nullopt;
    }
    const auto year = Digits(parts[0]);
    const auto month = Digits(parts[1]);
    const auto day = Digits(parts[2]);
    if (!year || !month || !day || !IsValidDate(*year, *month, *day)) {
        return std::nullopt;
    }
    return DateParts{*year, *month, *day};
}

std::optional<int> ParseSecondOfDay(std::string_view text) {
    const auto parts = Split(text, kCycleTimeSeparator);
    if (parts.size() != 3) {
        return std::nullopt;
    }
    const auto hour = Digits(parts[0]);
    const auto minute = Digits(parts[1]);
    const auto second = Digits(parts[2]);
    if (!hour || !minute || !second || !IsValidTime(*hour, *minute, *second, 0)) {
        return std::nullopt;
    }
    return *hour * 3600 + *minute * 60 + *second;
}

}  // namespace

std::optional<DayFileRow> ParseDayFileRow(std::string_view line, int itemCount,
                                          const Locale& locale) {
    const auto fields = Split(line, kDataFieldSeparator);
    if (static_cast<int>(fields.size()) != itemCount + 2) {
        return std::nullopt;
    }
    DayFileRow row;
    const auto date = ParseDate(fields[0]);
    const auto second = ParseSecondOfDay(fields[1]);
    if (!date || !second) {
        return std::nullopt;
    }
    row.date = *date;
    row.secondOfDay = *second;
    for (std::size_t i = 2; i < fields.size(); ++i) {
        if (fields[i] == kNotAvailableText) {
            row.values.emplace_back();
            continue;
        }
        const auto value = StrToFloat(fields[i], locale);
        if (!value) {
            return std::nullopt;
        }
        row.values.emplace_back(value.value());
    }
    return row;
}

std::optional<int> HeaderItemCount(const FileSystem& files, const std::string& headerPath) {
    const auto lines = ReadLines(files, headerPath);
    if (!lines || lines.value().empty()) {
        return std::nullopt;
    }
    const int count = StrToIntDef(lines.value().front(), -1);
    return count < 0 ? std::nullopt : std::optional<int>(count);
}

DayFileFollower::DayFileFollower(const FileSystem& files, std::string path, int itemCount,
                                 const Locale& locale)
    : files_(files), path_(std::move(path)), itemCount_(itemCount), locale_(locale) {}

DayFileFollower::Update DayFileFollower::ReadNew() {
    Update update;
    const auto size = files_.Size(path_);
    if (!size || size.value() == offset_) {
        return update;
    }
    if (size.value() < offset_) {
        update.restarted = true;
        offset_ = 0;
    }
    const auto bytes =
        files_.ReadRange(path_, offset_, static_cast<std::size_t>(size.value() - offset_));
    if (!bytes) {
        return update;
    }
    TakeLines(bytes.value(), update.rows);
    return update;
}

void DayFileFollower::TakeLines(std::string_view bytes, std::vector<DayFileRow>& rows) {
    for (std::size_t start = 0;;) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
            return;
        }
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        offset_ += end + 1 - start;
        start = end + 1;
        if (auto row = ParseDayFileRow(line, itemCount_, locale_)) {
            rows.push_back(std::move(*row));
        } else {
            ++skipped_;
        }
    }
}

}  // namespace tarvedde
