// The OPC client component's exceptions and the texts it shows for results, qualities,
// variant types, access rights and values. The component never shows a message itself:
// its callers catch EOpcClient (client and group failures) and EOpcEnum (a server that
// cannot be found).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "sources/opc_server.h"

namespace tarvedde {

class EOpcClient : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EOpcEnum : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The text for a result, first found of: the component's own text for the OPC codes it
// knows; the server's GetErrorString (when `server` is given and answers with a text);
// the system's message for the COM codes the transports produce; "Unknown error code
// %.8x".
std::string OpcErrorText(OpcResult code, OpcServer* server);

// Status, sub-status and limit, e.g. 192 -> "Good limit ok".
std::string OpcQualityText(std::uint16_t quality);
// "VT_R8" and the like; an unknown code gives "VT_" and its number.
std::string VariantTypeName(std::uint16_t type);
// "Read", "Write", "Read/Write"; no right gives "".
std::string AccessRightsText(std::uint32_t rights);
// A value's plain text: doubles with the German decimal comma, booleans "True"/"False".
std::string OpcValueText(const OpcValue& value);

}  // namespace tarvedde
