// Little-endian field codec for the state files; see binary_records.h.
#include "platform/binary_records.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/extended_float.h"
#include "platform/text_encoding.h"

namespace tarvedde {
namespace {

// One append per field: a save encodes hundreds of thousands of bytes per cycle, and a
// push_back per byte checks the capacity every time.
template <class T>
void AppendLittleEndian(std::string& out, T value) {
    char bytes[sizeof(T)];
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bytes[i] = static_cast<char>(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    out.append(bytes, sizeof(T));
}

template <class T>
T LoadLittleEndian(const unsigned char* bytes) {
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        value = static_cast<T>(value | static_cast<T>(T{bytes[i]} << (8 * i)));
    }
    return value;
}

std::size_t ClampCapacity(int capacity) {
    return static_cast<std::size_t>(std::clamp(capacity, 0, 255));
}

}  // namespace

void BinaryWriter::Int32(std::int32_t value) {
    AppendLittleEndian(data_, static_cast<std::uint32_t>(value));
}

void BinaryWriter::UInt16(std::uint16_t value) {
    AppendLittleEndian(data_, value);
}

void BinaryWriter::UInt8(std::uint8_t value) {
    data_.push_back(static_cast<char>(value));
}

void BinaryWriter::Bool(bool value) {
    data_.push_back(value ? '\1' : '\0');
}

void BinaryWriter::Double(double value) {
    AppendLittleEndian(data_, std::bit_cast<std::uint64_t>(value));
}

// Ring buffers are hundreds of doubles a row; on a little-endian host their bytes are the
// file's bytes.
void BinaryWriter::Doubles(std::span<const double> values) {
    if constexpr (std::endian::native == std::endian::little) {
        data_.append(reinterpret_cast<const char*>(values.data()), values.size_bytes());
    } else {
        for (const double value : values) {
            Double(value);
        }
    }
}

void BinaryWriter::Extended(double value) {
    Bytes(DoubleToExtended(value));
}

void BinaryWriter::ShortText(std::string_view utf8, int capacity) {
    const std::size_t size = ClampCapacity(capacity);
    std::string text = Utf8ToCp1252(utf8);
    text.resize(std::min(text.size(), size));
    UInt8(static_cast<std::uint8_t>(text.size()));
    data_ += text;
    Zeros(size - text.size());
}

void BinaryWriter::Bytes(std::span<const std::uint8_t> bytes) {
    data_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void BinaryWriter::Bytes(std::string_view bytes) {
    data_ += bytes;
}

void BinaryWriter::Zeros(std::size_t count) {
    data_.append(count, '\0');
}

const unsigned char* BinaryReader::Consume(std::size_t count) {
    if (count > Remaining()) {
        failed_ = true;
        return nullptr;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(data_.data() + position_);
    position_ += count;
    return bytes;
}

std::optional<std::int32_t> BinaryReader::Int32() {
    const unsigned char* bytes = Consume(4);
    if (bytes == nullptr) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(LoadLittleEndian<std::uint32_t>(bytes));
}

std::optional<std::uint16_t> BinaryReader::UInt16() {
    const unsigned char* bytes = Consume(2);
    if (bytes == nullptr) {
        return std::nullopt;
    }
    return LoadLittleEndian<std::uint16_t>(bytes);
}

std::optional<std::uint8_t> BinaryReader::UInt8() {
    const unsigned char* bytes = Consume(1);
    if (bytes == nullptr) {
        return std::nullopt;
    }
    return bytes[0];
}

std::optional<bool> BinaryReader::Bool() {
    const std::optional<std::uint8_t> byte = UInt8();
    if (!byte) {
        return std::nullopt;
    }
    return *byte != 0;
}

std::optional<double> BinaryReader::Double() {
    const unsigned char* bytes = Consume(8);
    if (bytes == nullptr) {
        return std::nullopt;
    }
    return std::bit_cast<double>(LoadLittleEndian<std::uint64_t>(bytes));
}

std::optional<double> BinaryReader::Extended() {
    const unsigned char* bytes = Consume(10);
    if (bytes == nullptr) {
        return std::nullopt;
    }
    ExtendedBytes extended;
    std::memcpy(extended.data(), bytes, extended.size());
    return ExtendedToDouble(extended);
}

std::optional<std::string> BinaryReader::ShortText(int capacity) {
    const std::size_t size = ClampCapacity(capacity);
    const unsigned char* bytes = Consume(size + 1);
    if (bytes == nullptr) {
        return std::nullopt;
    }
    const std::size_t length = std::min<std::size_t>(bytes[0], size);
    return Cp1252ToUtf8({reinterpret_cast<const char*>(bytes + 1), length});
}

std::optional<std::string_view> BinaryReader::Bytes(std::size_t count) {
    const unsigned char* bytes = Consume(count);
    if (bytes == nullptr) {
        return std::nullopt;
    }
    return std::string_view(reinterpret_cast<const char*>(bytes), count);
}

bool BinaryReader::Skip(std::size_t count) {
    return Consume(count) != nullptr;
}

}  // namespace tarvedde
