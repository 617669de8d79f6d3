// Value texts come from the process-data server and from operators' dialog entries.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/config/config_steps.h"
#include "engine/processing/value_steps.h"
#include "platform/ini_file.h"
#include "platform/locale.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const tarvedde::Locale& locale = tarvedde::GermanLocale();
    const double value = tarvedde::ParseValueText(text, locale);
    (void)value;
    if (const auto number = tarvedde::config::ParseNumber(text, locale)) {
        FUZZ_CHECK(!std::isnan(*number));
    }
    (void)tarvedde::config::ParseNormalized(text, locale);
    (void)tarvedde::ParseIniInteger(text);
    return 0;
}
