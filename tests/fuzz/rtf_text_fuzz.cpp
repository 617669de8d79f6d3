// Day protocol files are loaded at every start and on the operator's request.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/rich_text_model.h"
#include "platform/rtf_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvedde::RichTextModel text;
    tarvedde::ReadRtf(std::string_view(reinterpret_cast<const char*>(data), size), 10, text);
    (void)tarvedde::WriteRtf(text, 10);
    return 0;
}
