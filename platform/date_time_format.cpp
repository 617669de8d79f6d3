// Delphi's FormatDateTime. Names of files, log stamps and operator texts are written
// with it, so the scanner follows Delphi's token rules exactly, including the ones
// that surprise: "mm" right after an "h" token means minutes, any letter (even one
// that is no specifier) ends that "after h" state, and formats nest two levels deep.
#include <algorithm>
#include <array>
#include <charconv>

#include "platform/date_time.h"

namespace tarvedde {
namespace {

char ToUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsUpperLetter(char c) {
    return c >= 'A' && c <= 'Z';
}

class DateTimeWriter {
public:
    DateTimeWriter(double dateTime, const Locale& locale)
        : locale_(locale),
          date_(DecodeDate(dateTime)),
          time_(DecodeTime(dateTime)),
          dayOfWeek_(DayOfWeek(dateTime)) {}

    // Delphi stops expanding formats at the third level ("ddddd" inside "ddddd").
    void Append(std::string_view pattern, int depth = 0);
    std::string Take() { return std::move(out_); }

private:
    void AppendToken(char token, char starter, int count, std::string_view pattern,
                     std::size_t& pos, int depth);
    void AppendDay(int count, int depth);
    void AppendMonth(int count);
    void AppendNumber(int value, int minDigits);
    template <std::size_t N>
    void AppendName(const std::array<std::string, N>& names, int oneBasedIndex);

    const Locale& locale_;
    const DateParts date_;
    const TimeParts time_;
    const int dayOfWeek_;
    std::string out_;
};

void DateTimeWriter::Append(std::string_view pattern, int depth) {
    if (depth >= 2) {
        return;
    }
    char lastToken = ' ';
    std::size_t pos = 0;
    while (pos < pattern.size()) {
        const char starter = pattern[pos++];
        char token = ToUpper(starter);
        if (IsUpperLetter(token)) {
            if (token == 'M' && lastToken == 'H') {
                token = 'N';
            }
            lastToken = token;
        }
        int count = 1;
        if (std::string_view("YMDHNSZTC").find(token) != std::string_view::npos) {
            for (; pos < pattern.size() && pattern[pos] == starter; ++pos) {
                ++count;
            }
        }
        AppendToken(token, starter, count, pattern, pos, depth);
    }
}

void DateTimeWriter::AppendToken(char token, char starter, int count, std::string_view pattern,
                                 std::size_t& pos, int depth) {
    switch (token) {
        case 'Y':
            if (count <= 2) {
                return AppendNumber(date_.year % 100, 2);
            }
            return AppendNumber(date_.year, 4);
        case 'M':
            return AppendMonth(count);
        case 'D':
            return AppendDay(count, depth);
        case 'H':
            return AppendNumber(time_.hour, std::min(count, 2));
        case 'N':
            return AppendNumber(time_.minute, std::min(count, 2));
        case 'S':
            return AppendNumber(time_.second, std::min(count, 2));
        case 'Z':
            return AppendNumber(time_.millisecond, std::min(count, 3));
        case 'T':
            return Append(count == 1 ? locale_.shortTimeFormat : locale_.longTimeFormat, depth + 1);
        case 'C':
            Append(locale_.shortDateFormat, depth + 1);
            if (time_.hour != 0 || time_.minute != 0 || time_.second != 0) {
                out_ += ' ';
                Append(locale_.longTimeFormat, depth + 1);
            }
            return;
        case '/':
            out_ += locale_.dateSeparator;
            return;
        case ':':
            out_ += locale_.timeSeparator;
            return;
        case '\'':
        case '"': {
            // Quoted text runs to the matching quote or to the end.
            const std::size_t close = std::min(pattern.find(starter, pos), pattern.size());
            out_.append(pattern.substr(pos, close - pos));
            pos = std::min(close + 1, pattern.size());
            return;
        }
        default:
            out_ += starter;
    }
}

void DateTimeWriter::AppendDay(int count, int depth) {
    switch (count) {
        case 1:
        case 2:
            return AppendNumber(date_.day, count);
        case 3:
            return AppendName(locale_.shortDayNames, dayOfWeek_);
        case 4:
            return AppendName(locale_.longDayNames, dayOfWeek_);
        case 5:
            return Append(locale_.shortDateFormat, depth + 1);
        default:
            return Append(locale_.longDateFormat, depth + 1);
    }
}

void DateTimeWriter::AppendMonth(int count) {
    switch (count) {
        case 1:
        case 2:
            return AppendNumber(date_.month, count);
        case 3:
            return AppendName(locale_.shortMonthNames, date_.month);
        default:
            return AppendName(locale_.longMonthNames, date_.month);
    }
}

void DateTimeWriter::AppendNumber(int value, int minDigits) {
    std::array<char, 16> digits{};
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    const auto length = static_cast<int>(written.ptr - digits.data());
    if (length < minDigits) {
        out_.append(static_cast<std::size_t>(minDigits - length), '0');
    }
    out_.append(digits.data(), written.ptr);
}

// Index 0 is what a date outside the calendar decodes to; it names nothing.
template <std::size_t N>
void DateTimeWriter::AppendName(const std::array<std::string, N>& names, int oneBasedIndex) {
    if (oneBasedIndex >= 1 && static_cast<std::size_t>(oneBasedIndex) <= N) {
        out_ += names[static_cast<std::size_t>(oneBasedIndex - 1)];
    }
}

}  // namespace

std::string FormatDateTime(std::string_view pattern, double dateTime, const Locale& locale) {
    DateTimeWriter writer(dateTime, locale);
    writer.Append(pattern.empty() ? std::string_view("c") : pattern);
    return writer.Take();
}

}  // namespace tarvedde
