#include "engine/statistics/limit_warnings.h"

#include <string>

#include "engine/statistics/time_frames.h"
#include "platform/date_time.h"
#include "platform/number_format.h"

namespace tarvedde {

void LimitWarningDisplay::CheckLimitWarning(int item, double value) {
    const ItemConfig& config = config_.Item(item);
    // The value is converted by now, and its statistics block names the converted unit.
    const std::string& unit =
        config.valueConversion.conversionOn ? config.valueConversion.conversionUnit : config.unit;
    const std::string line = config.itemName + " = " + FormatFixed(value, 12, 2, locale_) + " [" +
                             unit + "]  um " +
                             FormatDateTime("tt", TimeOfDayOf(cycle_.cycleTime), locale_) + " Uhr";
    if (config.effectiveWarnung) {
        window_.lb1().Append(line);
        window_.SetCaption(kLimitWarningCaption);
        window_.Show();
    }

    TextAttributes blank = memo2_.Attributes();
    blank.indent = 0;
    memo2_.SetAttributes(blank);
    memo2_.Append(" ");
    TextAttributes warning;
    warning.bold = true;
    warning.color = "red";
    warning.alignment = TextAlignment::Center;
    memo2_.SetAttributes(warning);
    memo2_.Append((value < config.LoWarn ? "Grenzwert-Unterschreitung !   "
                                         : "Grenzwert-Überschreitung !   ") +
                  line);
    memo2_.SetAttributes(TextAttributes{});
}

}  // namespace tarvedde
