// The OPC client component's texts; see opc_texts.h.
#include "sources/opc_texts.h"

#include <cstdio>
#include <utility>

#include "platform/number_format.h"

namespace tarvedde {
namespace {

struct CodeText {
    OpcResult code;
    const char* text;
};

constexpr CodeText kComponentTexts[] = {
    {kOpcEInvalidItemId, "The item definition doesn't conform to the server's syntax."},
    {kOpcEInvalidFilter, "The filter string was not valid."},
    {kOpcEUnknownPath, "The item's access path is not known to the server."},
    {kOpcERange, "The value was out of range."},
    {kOpcEDuplicateName, "Duplicate name not allowed."},
    {kOpcSUnsupportedRate,
     "The server does not support the requested data rate but will use the closest "
     "available rate."},
    {kOpcSClamp, "A value passed to WRITE was accepted but the output was clamped."},
    {kOpcSInUse,
     "The operation cannot be completed because the object still has references that "
     "exist."},
    {kOpcEInvalidConfigFile, "The server's configuration file is an invalid format."},
    {kOpcENotFound, "The server could not locate the requested object."},
    {kOpcEInvalidPid, "The server does not recognise the passed property ID."},
};

// The operating system's texts for the COM codes our transports give; Windows words.
constexpr CodeText kSystemTexts[] = {
    {kENotImpl, "Not implemented"},
    {kENoInterface, "No such interface supported"},
    {kEFail, "Unspecified error"},
    {kEOutOfMemory, "Not enough storage is available to complete this operation."},
    {kEInvalidArg, "The parameter is incorrect."},
    {kClassNotRegistered, "Class not registered"},
    {kRpcServerUnavailable, "The RPC server is unavailable."},
};

const char* Find(const auto& table, OpcResult code) {
    for (const auto& entry : table) {
        if (entry.code == code) {
            return entry.text;
        }
    }
    return nullptr;
}

}  // namespace

std::uint16_t VariantType(const OpcValue& value) {
    switch (value.index()) {
        case 1:
            return kVtR8;
        case 2:
            return kVtI4;
        case 3:
            return kVtBool;
        case 4:
            return kVtBstr;
        default:
            return kVtEmpty;
    }
}

std::string OpcErrorText(OpcResult code, OpcServer* server) {
    if (const char* own = Find(kComponentTexts, code)) {
        return own;
    }
    if (server != nullptr) {
        std::string text;
        if (OpcSucceeded(server->GetErrorString(code, text)) && !text.empty()) {
            return text;
        }
    }
    if (const char* system = Find(kSystemTexts, code)) {
        return system;
    }
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "Unknown error code %.8x", code);
    return buffer;
}

std::string OpcQualityText(std::uint16_t quality) {
    std::string text;
    switch (quality & 0xC0) {
        case 0x00:
            text = "Bad ";
            break;
        case 0x40:
            text = "Uncertain ";
            break;
        case 0xC0:
            text = "Good ";
            break;
        default:
            break;
    }
    constexpr std::pair<int, const char*> kSubStatus[] = {
        {0x04, "Config error "},   {0x08, "not connected "}, {0x0C, "device failure "},
        {0x10, "sensor failure "}, {0x14, "last known "},    {0x18, "comm failure "},
        {0x1C, "out of service "}, {0x44, "last usable "},   {0x50, "sensor cal "},
        {0x54, "egu exceeded "},   {0x58, "sub normal "},    {0xD8, "local override "},
    };
    for (const auto& [subStatus, subText] : kSubStatus) {
        if ((quality & 0xFC) == subStatus) {
            text += subText;
        }
    }
    constexpr const char* kLimits[] = {"limit ok", "limit low", "limit high", "limit const"};
    return text + kLimits[quality & 0x03];
}

std::string VariantTypeName(std::uint16_t type) {
    switch (type) {
        case kVtEmpty:
            return "VT_EMPTY";
        case kVtI2:
            return "VT_I2";
        case kVtI4:
            return "VT_I4";
        case kVtR4:
            return "VT_R4";
        case kVtR8:
            return "VT_R8";
        case kVtDate:
            return "VT_DATE";
        case kVtBstr:
            return "VT_BSTR";
        case kVtBool:
            return "VT_BOOL";
        default:
            return "VT_" + std::to_string(type);
    }
}

std::string AccessRightsText(std::uint32_t rights) {
    switch (rights & (kOpcReadable | kOpcWriteable)) {
        case kOpcReadable:
            return "Read";
        case kOpcWriteable:
            return "Write";
        case kOpcReadable | kOpcWriteable:
            return "Read/Write";
        default:
            return "";
    }
}

std::string OpcValueText(const OpcValue& value) {
    switch (value.index()) {
        case 1:
            return FormatGeneral(std::get<double>(value));
        case 2:
            return std::to_string(std::get<std::int32_t>(value));
        case 3:
            return std::get<bool>(value) ? "True" : "False";
        case 4:
            return std::get<std::string>(value);
        default:
            return "";
    }
}

}  // namespace tarvedde
