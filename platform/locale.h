// Regional settings as one value. The program formats and parses every number and
// date text with a Locale; the German workstation's settings are the default, so
// texts come out the same on any host whatever its C locale or LANG.
#pragma once

#include <array>
#include <string>

namespace tarvedde {

struct Locale {
    char decimalSeparator = ',';
    char thousandSeparator = '.';
    char dateSeparator = '.';
    char timeSeparator = ':';
    std::array<std::string, 12> shortMonthNames;  // index 0 = January
    std::array<std::string, 12> longMonthNames;
    std::array<std::string, 7> shortDayNames;  // index 0 = Sunday
    std::array<std::string, 7> longDayNames;
    std::string shortDateFormat;
    std::string longDateFormat;
    std::string shortTimeFormat;
    std::string longTimeFormat;
};

// German (Germany) settings of a Windows workstation; strings are UTF-8.
const Locale& GermanLocale();

}  // namespace tarvedde
