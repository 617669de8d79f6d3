// Parser and evaluator of POSIX TZ strings. Evaluation looks at the switches of the year
// before, the year of and the year after the instant, so rules whose switch crosses a
// year boundary (southern hemisphere, "J365/25" all-year daylight time) come out right.
#include "platform/posix_tz_rule.h"

#include <array>
#include <cctype>
#include <optional>
#include <utility>

#include "platform/civil_time.h"

namespace tarvedde {
namespace {

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
    bool Take(char c) {
        if (Peek() != c || AtEnd()) {
            return false;
        }
        ++pos_;
        return true;
    }
    std::optional<int> Number(int maxValue) {
        if (!std::isdigit(static_cast<unsigned char>(Peek()))) {
            return std::nullopt;
        }
        int value = 0;
        while (std::isdigit(static_cast<unsigned char>(Peek()))) {
            value = value * 10 + (Peek() - '0');
            if (value > maxValue) {
                return std::nullopt;
            }
            ++pos_;
        }
        return value;
    }
    // A zone abbreviation: at least three letters, or anything sensible inside <...>.
    bool Name() {
        std::size_t length = 0;
        if (Take('<')) {
            while (!AtEnd() && Peek() != '>') {
                const char c = Peek();
                if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-') {
                    return false;
                }
                ++pos_;
                ++length;
            }
            return Take('>') && length >= 3;
        }
        while (std::isalpha(static_cast<unsigned char>(Peek()))) {
            ++pos_;
            ++length;
        }
        return length >= 3;
    }
    // [+-]hh[:mm[:ss]] in seconds.
    std::optional<std::int32_t> Duration(int maxHours) {
        int sign = 1;
        if (Take('-')) {
            sign = -1;
        } else {
            Take('+');
        }
        const auto hours = Number(maxHours);
        if (!hours) {
            return std::nullopt;
        }
        std::int32_t seconds = *hours * 3600;
        for (int factor : {60, 1}) {
            if (!Take(':')) {
                break;
            }
            const auto part = Number(59);
            if (!part) {
                return std::nullopt;
            }
            seconds += *part * factor;
        }
        return sign * seconds;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

constexpr int kMaxOffsetHours = 24;
constexpr int kMaxRuleTimeHours = 167;

std::optional<PosixTzRule::Date> ParseDate(Scanner& scanner) {
    using Kind = PosixTzRule::Date::Kind;
    PosixTzRule::Date date;
    if (scanner.Take('M')) {
        const auto month = scanner.Number(12);
        const auto week = scanner.Take('.') ? scanner.Number(5) : std::nullopt;
        const auto weekday = scanner.Take('.') ? scanner.Number(6) : std::nullopt;
        if (!month || *month < 1 || !week || *week < 1 || !weekday) {
            return std::nullopt;
        }
        date.kind = Kind::MonthWeekDay;
        date.month = *month;
        date.week = *week;
        date.weekday = *weekday;
    } else if (scanner.Take('J')) {
        const auto day = scanner.Number(365);
        if (!day || *day < 1) {
            return std::nullopt;
        }
        date.kind = Kind::JulianNoLeap;
        date.day = *day;
    } else {
        const auto day = scanner.Number(365);
        if (!day) {
            return std::nullopt;
        }
        date.kind = Kind::ZeroBasedDay;
        date.day = *day;
    }
    if (scanner.Take('/')) {
        const auto time = scanner.Duration(kMaxRuleTimeHours);
        if (!time) {
            return std::nullopt;
        }
        date.timeSeconds = *time;
    }
    return date;
}

// Days since 1970-01-01 of the switching day in `year`.
std::int64_t SwitchDay(const PosixTzRule::Date& date, std::int64_t year) {
    using Kind = PosixTzRule::Date::Kind;
    const std::int64_t newYear = civil::DaysFromCivil(year, 1, 1);
    switch (date.kind) {
        case Kind::JulianNoLeap:
            return newYear + date.day - 1 + (civil::IsLeapYear(year) && date.day >= 60 ? 1 : 0);
        case Kind::ZeroBasedDay:
            return newYear + date.day;
        case Kind::MonthWeekDay:
            break;
    }
    const std::int64_t first = civil::DaysFromCivil(year, date.month, 1);
    int day = (date.weekday - civil::WeekdayFromDays(first) + 7) % 7 + (date.week - 1) * 7;
    while (day >= civil::DaysInMonth(year, date.month)) {
        day -= 7;
    }
    return first + day;
}

Error Invalid(std::string_view text) {
    return Error{"invalid TZ rule \"" + std::string(text) + "\""};
}

}  // namespace

Result<PosixTzRule> PosixTzRule::Parse(std::string_view text) {
    Scanner scanner(text);
    PosixTzRule rule;
    if (!scanner.Name()) {
        return Invalid(text);
    }
    const auto stdOffset = scanner.Duration(kMaxOffsetHours);
    if (!stdOffset) {
        return Invalid(text);
    }
    // POSIX counts hours west of Greenwich.
    rule.stdOffset_ = -*stdOffset;
    if (scanner.AtEnd()) {
        return rule;
    }
    if (!scanner.Name()) {
        return Invalid(text);
    }
    rule.hasDst_ = true;
    rule.dstOffset_ = rule.stdOffset_ + 3600;
    if (scanner.Peek() != ',' && !scanner.AtEnd()) {
        const auto dstOffset = scanner.Duration(kMaxOffsetHours);
        if (!dstOffset) {
            return Invalid(text);
        }
        rule.dstOffset_ = -*dstOffset;
    }
    if (scanner.AtEnd()) {
        rule.start_ = Date{Date::Kind::MonthWeekDay, 0, 3, 2, 0, 7200};
        rule.end_ = Date{Date::Kind::MonthWeekDay, 0, 11, 1, 0, 7200};
        return rule;
    }
    const auto start = scanner.Take(',') ? ParseDate(scanner) : std::nullopt;
    const auto end = scanner.Take(',') ? ParseDate(scanner) : std::nullopt;
    if (!start || !end || !scanner.AtEnd()) {
        return Invalid(text);
    }
    rule.start_ = *start;
    rule.end_ = *end;
    return rule;
}

std::int64_t PosixTzRule::SwitchUtc(const Date& date, std::int64_t year,
                                    std::int32_t offsetBefore) const {
    return SwitchDay(date, year) * 86400 + date.timeSeconds - offsetBefore;
}

std::int32_t PosixTzRule::OffsetSeconds(std::int64_t utcSeconds) const {
    if (!hasDst_) {
        return stdOffset_;
    }
    const std::int64_t year =
        civil::CivilFromDays(civil::FloorDiv(utcSeconds + stdOffset_, 86400)).year;
    // The latest switch at or before the instant decides. At equal instants the end of
    // daylight time counts first, so a start at the same instant keeps daylight time on.
    std::optional<std::pair<std::int64_t, bool>> latest;
    for (std::int64_t y = year - 1; y <= year + 1; ++y) {
        const std::array<std::pair<std::int64_t, bool>, 2> switches = {
            std::pair{SwitchUtc(end_, y, dstOffset_), false},
            std::pair{SwitchUtc(start_, y, stdOffset_), true}};
        for (const auto& candidate : switches) {
            if (candidate.first <= utcSeconds && (!latest || candidate >= *latest)) {
                latest = candidate;
            }
        }
    }
    return latest && latest->second ? dstOffset_ : stdOffset_;
}

}  // namespace tarvedde
