// Delphi's StrToTime and StrToDate. They read operator input and configuration texts,
// so they accept exactly what Delphi's scanner accepts (blanks around every part, an
// optional trailing date separator) and fail with Delphi's message on anything else.
#include "platform/convert_error.h"
#include "platform/date_time.h"

namespace tarvedde {
namespace {

// Delphi's ScanBlanks / ScanNumber / ScanChar / ScanString over one text.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    bool AtEnd() {
        SkipBlanks();
        return pos_ == text_.size();
    }

    // Up to four digits; a fifth stays unread (Delphi stops once the value reaches 1000).
    bool Number(int& value, int& length) {
        SkipBlanks();
        const std::size_t start = pos_;
        value = 0;
        while (pos_ < text_.size() && IsDigit(text_[pos_]) && value < 1000) {
            value = value * 10 + (text_[pos_++] - '0');
        }
        length = static_cast<int>(pos_ - start);
        return length > 0;
    }

    bool Number(int& value) {
        int length = 0;
        return Number(value, length);
    }

    bool Char(char c) {
        SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    bool Word(std::string_view word) {
        SkipBlanks();
        if (text_.size() - pos_ < word.size()) {
            return false;
        }
        for (std::size_t i = 0; i < word.size(); ++i) {
            const char c = text_[pos_ + i];
            if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != word[i]) {
                return false;
            }
        }
        pos_ += word.size();
        return true;
    }

private:
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    void SkipBlanks() {
        while (pos_ < text_.size() && text_[pos_] == ' ') {
            ++pos_;
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// -1 when the text names no half of the day.
int ScanHalfDay(Scanner& scanner) {
    if (scanner.Word("AM")) {
        return 0;
    }
    return scanner.Word("PM") ? 12 : -1;
}

bool ScanTime(Scanner& scanner, const Locale& locale, double& time) {
    int baseHour = ScanHalfDay(scanner);
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    if (!scanner.Number(hour)) {
        return false;
    }
    if (scanner.Char(locale.timeSeparator)) {
        if (!scanner.Number(minute)) {
            return false;
        }
        if (scanner.Char(locale.timeSeparator)) {
            if (!scanner.Number(second)) {
                return false;
            }
            if (scanner.Char(locale.decimalSeparator) && !scanner.Number(millisecond)) {
                return false;
            }
        }
    }
    if (baseHour < 0) {
        baseHour = ScanHalfDay(scanner);
    }
    if (baseHour >= 0) {
        if (hour == 0 || hour > 12) {
            return false;
        }
        hour = hour % 12 + baseHour;
    }
    if (!IsValidTime(hour, minute, second, millisecond)) {
        return false;
    }
    time = EncodeTime(hour, minute, second, millisecond);
    return true;
}

enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

// The first of d, m, y in the short date format decides, as in Delphi's GetDateOrder.
DateOrder OrderOf(std::string_view shortDateFormat) {
    for (const char c : shortDateFormat) {
        switch (c) {
            case 'd':
            case 'D':
                return DateOrder::DayMonthYear;
            case 'y':
            case 'Y':
                return DateOrder::YearMonthDay;
            case 'm':
            case 'M':
                return DateOrder::MonthDayYear;
            default:
                break;
        }
    }
    return DateOrder::MonthDayYear;
}

// Delphi's TwoDigitYearCenturyWindow of 50.
int ExpandTwoDigitYear(int year, int currentYear) {
    const int centuryBase = currentYear - 50;
    year += centuryBase / 100 * 100;
    return year < centuryBase ? year + 100 : year;
}

struct DateFields {
    int year = 0;
    int month = 0;
    int day = 0;
};

bool ScanDateFields(Scanner& scanner, const Locale& locale, int currentYear, DateFields& date) {
    const char separator = locale.dateSeparator;
    const DateOrder order = OrderOf(locale.shortDateFormat);
    int first = 0;
    int firstLength = 0;
    int second = 0;
    if (!scanner.Number(first, firstLength) || !scanner.Char(separator) ||
        !scanner.Number(second)) {
        return false;
    }
    if (!scanner.Char(separator)) {
        date.year = currentYear;
        date.day = order == DateOrder::DayMonthYear ? first : second;
        date.month = order == DateOrder::DayMonthYear ? second : first;
        return true;
    }
    int third = 0;
    int thirdLength = 0;
    if (!scanner.Number(third, thirdLength)) {
        return false;
    }
    const bool yearFirst = order == DateOrder::YearMonthDay;
    const int yearLength = yearFirst ? firstLength : thirdLength;
    date.year = yearFirst ? first : third;
    date.month = order == DateOrder::MonthDayYear ? first : second;
    date.day = order == DateOrder::DayMonthYear ? first : (yearFirst ? third : second);
    if (yearLength <= 2) {
        date.year = ExpandTwoDigitYear(date.year, currentYear);
    }
    return true;
}

}  // namespace

Result<double> StrToTime(std::string_view text, const Locale& locale) {
    Scanner scanner(text);
    double time = 0;
    if (!ScanTime(scanner, locale, time) || !scanner.AtEnd()) {
        return ConvertError(text, "ist keine gültige Zeit");
    }
    return time;
}

Result<double> StrToDate(std::string_view text, int currentYear, const Locale& locale) {
    Scanner scanner(text);
    DateFields date;
    if (ScanDateFields(scanner, locale, currentYear, date)) {
        scanner.Char(locale.dateSeparator);  // "05.03.2024." is accepted
        if (scanner.AtEnd() && IsValidDate(date.year, date.month, date.day)) {
            return EncodeDate(date.year, date.month, date.day);
        }
    }
    return ConvertError(text, "ist kein gültiges Datum");
}

Result<double> StrToDate(std::string_view text, const Locale& locale) {
    return StrToDate(text, 2000, locale);
}

}  // namespace tarvedde
