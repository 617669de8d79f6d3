// The diary interface's file formats; see diary_files.h.
#include "outputs/diary_files.h"

#include <algorithm>

#include "platform/number_format.h"

namespace tarvedde {
namespace {

constexpr int kNameCapacity = 30;
constexpr int kAddressCapacity = 100;
constexpr int kLegacyAddressCapacity = 10;

void EncodeFields(BinaryWriter& out, const DiaryBinding& binding, int addressCapacity) {
    out.ShortText(binding.name, kNameCapacity);
    out.Int32(binding.diaryIndex);
    out.Int32(binding.itemNumber);
    out.ShortText(binding.itemAddress, addressCapacity);
    out.ShortText(binding.itemName, kNameCapacity);
    out.Int32(binding.transferType);
    out.Bool(binding.timeRestricted);
    out.Int32(binding.timeFrameMode);
    out.Int32(binding.allDayMask);
    out.Int32(binding.neverMask);
    out.Bytes(binding.reserved);
}

std::optional<DiaryBinding> DecodeFields(BinaryReader& in, int addressCapacity,
                                         std::size_t recordSize) {
    if (in.Remaining() < recordSize) {
        return std::nullopt;
    }
    DiaryBinding binding;
    binding.name = in.ShortText(kNameCapacity).value_or("");
    binding.diaryIndex = in.Int32().value_or(0);
    binding.itemNumber = in.Int32().value_or(0);
    binding.itemAddress = in.ShortText(addressCapacity).value_or("");
    binding.itemName = in.ShortText(kNameCapacity).value_or("");
    binding.transferType = in.Int32().value_or(-1);
    binding.timeRestricted = in.Bool().value_or(false);
    binding.timeFrameMode = in.Int32().value_or(0);
    binding.allDayMask = in.Int32().value_or(0);
    binding.neverMask = in.Int32().value_or(0);
    const std::string_view reserved = in.Bytes(binding.reserved.size()).value_or("");
    std::copy(reserved.begin(), reserved.end(), binding.reserved.begin());
    return binding;
}

std::string WithoutTrailingBlanks(std::string text) {
    const std::size_t end = text.find_last_not_of(' ');
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

bool IsBlank(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

}  // namespace

void EncodeDiaryBinding(BinaryWriter& out, const DiaryBinding& binding) {
    EncodeFields(out, binding, kAddressCapacity);
}

std::optional<DiaryBinding> DecodeDiaryBinding(BinaryReader& in) {
    return DecodeFields(in, kAddressCapacity, kDiaryBindingSize);
}

std::optional<DiaryBinding> DecodeLegacyDiaryBinding(BinaryReader& in) {
    return DecodeFields(in, kLegacyAddressCapacity, kLegacyDiaryBindingSize);
}

DecodedBindings DecodeBindingFile(std::string_view bytes) {
    DecodedBindings decoded;
    decoded.legacyLayout = bytes.size() % kDiaryBindingSize != 0;
    const std::size_t recordSize =
        decoded.legacyLayout ? kLegacyDiaryBindingSize : kDiaryBindingSize;
    decoded.complete = bytes.size() % recordSize == 0;
    BinaryReader in(bytes);
    while (in.Remaining() >= recordSize) {
        decoded.records.push_back(
            *(decoded.legacyLayout ? DecodeLegacyDiaryBinding(in) : DecodeDiaryBinding(in)));
    }
    return decoded;
}

std::string EncodeBindingFile(const std::vector<DiaryBinding>& records) {
    BinaryWriter out;
    for (const DiaryBinding& record : records) {
        EncodeDiaryBinding(out, record);
    }
    return out.Take();
}

OnlineList ParseOnlineList(const std::vector<std::string>& lines) {
    OnlineList list;
    std::size_t end = lines.size();
    while (end > 0 && IsBlank(lines[end - 1])) {
        --end;
    }
    if (end == 0) {
        return list;
    }
    list.announced = std::max(StrToIntDef(lines[0], 0), 0);
    const int limit = std::min(list.announced, kMaxOnlinePositions);
    for (std::size_t line = 1; line < end; line += 2) {
        if (static_cast<int>(list.positions.size()) >= limit) {
            list.tooManyPairs = true;
            break;
        }
        OnlinePosition position;
        position.indexText = lines[line];
        position.index = StrToIntDef(lines[line], 0);
        position.name = line + 1 < end ? WithoutTrailingBlanks(lines[line + 1]) : "";
        list.positions.push_back(std::move(position));
    }
    return list;
}

std::string DiaryDataText(const std::vector<std::pair<int, std::string>>& entries) {
    std::string text;
    for (const auto& [index, value] : entries) {
        text += std::to_string(index) + "\r\n" + value + "\r\n";
    }
    return text;
}

std::string CutDiaryName(const std::string& utf8) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 && ++chars > 30) {
            return utf8.substr(0, i);
        }
    }
    return utf8;
}

}  // namespace tarvedde
