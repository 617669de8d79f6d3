// The German regional settings, built once and shared read-only.
#include "platform/locale.h"

namespace tarvedde {
namespace {

Locale MakeGermanLocale() {
    Locale locale;
    locale.shortMonthNames = {"Jan", "Feb", "Mrz", "Apr", "Mai", "Jun",
                              "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    locale.longMonthNames = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                             "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    locale.shortDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
    locale.longDayNames = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                           "Donnerstag", "Freitag", "Samstag"};
    locale.shortDateFormat = "dd.mm.yyyy";
    locale.longDateFormat = "dddd, d. mmmm yyyy";
    locale.shortTimeFormat = "hh:nn";
    locale.longTimeFormat = "hh:nn:ss";
    return locale;
}

}  // namespace

const Locale& GermanLocale() {
    static const Locale locale = MakeGermanLocale();
    return locale;
}

}  // namespace tarvedde
