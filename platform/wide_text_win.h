// UTF-8 <-> UTF-16 at the Windows API boundary, and the system's text for an error code.
// Windows builds only.
#pragma once

#include <string>
#include <string_view>

namespace tarvedde::win {

// Invalid UTF-8 becomes U+FFFD, so a damaged name fails to match instead of matching another.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
// "<message> (<code>)", for an error code from GetLastError.
std::string ErrorText(unsigned long code);

}  // namespace tarvedde::win
