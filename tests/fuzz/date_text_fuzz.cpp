// Dates in TARVEDDE.INI (AktuTag, the start dates of items) are typed by hand. The first
// two input bytes give the current year of the two-digit-year window, the rest is the
// text. A date read is a whole day that its own "dd.mm.yyyy" text reads back as.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/date_time.h"
#include "platform/locale.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvedde;
    if (size < 2) {
        return 0;
    }
    const int currentYear = 1 + (data[0] * 256 + data[1]) % 9999;
    const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
    const Locale& locale = GermanLocale();
    for (const auto& date : {StrToDate(text, currentYear, locale), StrToDate(text, locale)}) {
        if (!date) {
            continue;
        }
        FUZZ_CHECK(std::isfinite(date.value()) && DateOf(date.value()) == date.value());
        const auto again = StrToDate(FormatDateTime("dd.mm.yyyy", date.value(), locale), locale);
        FUZZ_CHECK(again && again.value() == date.value());
    }
    if (const auto time = StrToTime(text, locale)) {
        FUZZ_CHECK(time.value() >= 0.0 && time.value() < 1.0);
    }
    return 0;
}
