// Reads and writes the flat little-endian records of the state files (no header, no
// padding of our own: a record is exactly the fields written, in order). The files are
// shared with the older Windows build, so every field has the Delphi layout: Integer,
// Word, Byte, Boolean (one byte), Double, Extended (10 bytes) and string[n] (length byte,
// n bytes of Windows-1252, unused bytes zero).
//
// Load: 180 item records of a few hundred bytes at every start; reads are plain byte
// copies. Guarantee: BinaryReader never touches a byte outside its view. A read that does
// not fit returns nullopt, leaves the cursor where it was and marks the reader as failed,
// so a caller may read a whole record and check Failed() once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarvedde {

class BinaryWriter {
public:
    void Int32(std::int32_t value);
    void UInt16(std::uint16_t value);
    void UInt8(std::uint8_t value);
    void Bool(bool value);
    void Double(double value);
    void Doubles(std::span<const double> values);
    // Stored as 80-bit extended; converts exactly (see extended_float.h).
    void Extended(double value);
    // string[capacity]: the UTF-8 text is converted to Windows-1252 and cut to `capacity`
    // bytes; always writes capacity + 1 bytes. `capacity` is clamped to 0..255.
    void ShortText(std::string_view utf8, int capacity);
    void Bytes(std::span<const std::uint8_t> bytes);
    void Bytes(std::string_view bytes);
    // Alignment gaps and reserved fields.
    void Zeros(std::size_t count);
    // Room for `bytes` more, so a file of fixed-size records grows its buffer once.
    void Reserve(std::size_t bytes) { data_.reserve(data_.size() + bytes); }

    const std::string& Data() const { return data_; }
    std::string Take() { return std::move(data_); }

private:
    std::string data_;
};

class BinaryReader {
public:
    explicit BinaryReader(std::string_view data) : data_(data) {}

    std::optional<std::int32_t> Int32();
    std::optional<std::uint16_t> UInt16();
    std::optional<std::uint8_t> UInt8();
    // Any non-zero byte is true, as Delphi tests a Boolean.
    std::optional<bool> Bool();
    std::optional<double> Double();
    std::optional<double> Extended();
    // Consumes capacity + 1 bytes. A length byte above the capacity (a damaged file) is
    // taken as the capacity, so the text never includes bytes of the next field.
    std::optional<std::string> ShortText(int capacity);
    std::optional<std::string_view> Bytes(std::size_t count);
    bool Skip(std::size_t count);

    std::size_t Position() const { return position_; }
    std::size_t Remaining() const { return data_.size() - position_; }
    // True once any read or skip did not fit.
    bool Failed() const { return failed_; }

private:
    // The next `count` bytes, or nullptr (and failed_) when fewer remain.
    const unsigned char* Consume(std::size_t count);

    std::string_view data_;
    std::size_t position_ = 0;
    bool failed_ = false;
};

}  // namespace tarvedde
