// The message of a failed text conversion, worded as Delphi's EConvertError:
// "'<text>' ist kein gültiger Integerwert". Shared by the number and date readers.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "platform/result.h"

namespace tarvedde {

inline Error ConvertError(std::string_view text, std::string_view complaint) {
    std::string message;
    message.reserve(text.size() + complaint.size() + 3);
    message += '\'';
    message += text;
    message += "' ";
    message += complaint;
    return Error{std::move(message)};
}

}  // namespace tarvedde
