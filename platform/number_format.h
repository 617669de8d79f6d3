// Number texts exactly as Delphi's float formatting writes and reads them. This is the
// program's only number formatter: every value of every cycle passes through it, so
// it is locale-free, exact and does not allocate beyond the returned string.
// Rounding is half away from zero on the exact binary value of the double.
#pragma once

#include <string>
#include <string_view>

#include "platform/locale.h"
#include "platform/result.h"

namespace tarvedde {

// FloatToStrF(value, ffFixed, precision, decimals). Rounds once, at `precision`
// significant digits or at `decimals` places, whichever is coarser, and shows exactly
// `decimals` places without thousand separators. A value that rounds to zero has no
// sign. When the rounded integer part has more than `precision` digits the text is in
// exponent form ("1,23456789012E14"). Precision is clamped to 1..18, decimals to
// 0..18. NaN gives "NAN", infinities "INF" and "-INF".
std::string FormatFixed(double value, int precision, int decimals,
                        const Locale& locale = GermanLocale());

// FloatToStr: at most 15 significant digits, no trailing zeros; exponent form ("1E15",
// "1,5E-5") when the value is 1E15 or more, or less than 1E-4, in magnitude.
std::string FormatGeneral(double value, const Locale& locale = GermanLocale());

// StrToFloat: optional blanks, sign, digits with at most one decimal separator (either
// side may be empty, not both), optional exponent, optional blanks, nothing else. A
// value beyond the double range fails; one too small for it becomes zero.
// Failure message: "'<text>' ist kein gültiger Gleitkommawert".
Result<double> StrToFloat(std::string_view text, const Locale& locale = GermanLocale());

// StrToInt: leading blanks, optional sign, decimal digits or hexadecimal after "$",
// "x" or "0x". Trailing characters, blanks included, fail as in Delphi. Decimal values
// outside the int32 range fail; hexadecimal takes up to 32 bits ("$FFFFFFFF" = -1).
// Failure message: "'<text>' ist kein gültiger Integerwert".
Result<int> StrToInt(std::string_view text);
int StrToIntDef(std::string_view text, int fallback);

// Every '.' and ',' becomes the locale's decimal separator (operators type either).
std::string NormalizeDecimal(std::string_view text, const Locale& locale = GermanLocale());

}  // namespace tarvedde
