// TZif reader and the zone lookups. Every read is bounds-checked against the bytes at
// hand; counts are validated before anything is allocated from them.
#include "platform/time_zone.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

#include "platform/civil_time.h"

namespace tarvedde {
namespace {

// Offsets beyond these bounds (about -25 h .. +26 h) are refused, which keeps the local
// time searches below within one day either side.
constexpr std::int32_t kMinOffsetSeconds = -89999;
constexpr std::int32_t kMaxOffsetSeconds = 93599;
// Far beyond any calendar in use; keeps the arithmetic clear of overflow.
constexpr std::int64_t kLimitMs = std::int64_t{1} << 60;

class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

    std::size_t Remaining() const { return bytes_.size() - pos_; }
    bool Skip(std::uint64_t count) {
        if (count > Remaining()) {
            return false;
        }
        pos_ += static_cast<std::size_t>(count);
        return true;
    }
    std::optional<std::string_view> Bytes(std::size_t count) {
        if (count > Remaining()) {
            return std::nullopt;
        }
        const std::string_view out = bytes_.substr(pos_, count);
        pos_ += count;
        return out;
    }
    // Big-endian two's complement of 1, 4 or 8 bytes.
    std::optional<std::int64_t> Signed(std::size_t size) {
        const auto raw = Bytes(size);
        if (!raw) {
            return std::nullopt;
        }
        std::uint64_t value = 0;
        for (char c : *raw) {
            value = (value << 8) | static_cast<unsigned char>(c);
        }
        if (size < 8 && (value >> (size * 8 - 1)) != 0) {
            value |= ~std::uint64_t{0} << (size * 8);
        }
        return static_cast<std::int64_t>(value);
    }
    std::optional<std::uint32_t> Unsigned32() {
        const auto value = Signed(4);
        return value ? std::optional(static_cast<std::uint32_t>(*value)) : std::nullopt;
    }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

struct Header {
    char version = 0;
    std::uint32_t isUtCount = 0;
    std::uint32_t isStdCount = 0;
    std::uint32_t leapCount = 0;
    std::uint32_t timeCount = 0;
    std::uint32_t typeCount = 0;
    std::uint32_t charCount = 0;

    std::uint64_t BlockSize(std::uint64_t timeSize) const {
        return timeCount * timeSize + timeCount + typeCount * std::uint64_t{6} + charCount +
               leapCount * (timeSize + 4) + isStdCount + isUtCount;
    }
};

std::optional<Header> ReadHeader(ByteReader& reader) {
    const auto magic = reader.Bytes(4);
    const auto version = reader.Bytes(1);
    if (!magic || *magic != "TZif" || !version || !reader.Skip(15)) {
        return std::nullopt;
    }
    Header header;
    header.version = (*version)[0];
    std::array<std::uint32_t*, 6> counts = {&header.isUtCount, &header.isStdCount,
                                            &header.leapCount, &header.timeCount,
                                            &header.typeCount, &header.charCount};
    for (std::uint32_t* count : counts) {
        const auto value = reader.Unsigned32();
        if (!value) {
            return std::nullopt;
        }
        *count = *value;
    }
    return header;
}

// Only the header whose data are used must be complete; the version 1 part of a newer
// file may be empty.
bool CountsFit(const Header& h) {
    return h.typeCount != 0 && h.charCount != 0 &&
           (h.isStdCount == 0 || h.isStdCount == h.typeCount) &&
           (h.isUtCount == 0 || h.isUtCount == h.typeCount);
}

struct Block {
    std::vector<std::int64_t> transitions;
    std::vector<std::int32_t> offsets;
    std::int32_t initialOffset = 0;
};

std::optional<std::vector<std::int32_t>> ReadTypeOffsets(ByteReader& reader, const Header& h) {
    std::vector<std::int32_t> typeOffsets;
    for (std::uint32_t i = 0; i < h.typeCount; ++i) {
        const auto offset = reader.Signed(4);
        const auto isDst = reader.Bytes(1);
        const auto nameIndex = reader.Bytes(1);
        if (!offset || !isDst || !nameIndex || *offset < kMinOffsetSeconds ||
            *offset > kMaxOffsetSeconds ||
            static_cast<unsigned char>((*nameIndex)[0]) >= h.charCount) {
            return std::nullopt;
        }
        typeOffsets.push_back(static_cast<std::int32_t>(*offset));
    }
    return typeOffsets;
}

// The data block after a header; the size has been checked against the bytes at hand.
std::optional<Block> ReadBlock(ByteReader& reader, const Header& h, std::size_t timeSize) {
    Block block;
    for (std::uint32_t i = 0; i < h.timeCount; ++i) {
        const auto at = reader.Signed(timeSize);
        if (!at || (!block.transitions.empty() && *at <= block.transitions.back())) {
            return std::nullopt;
        }
        block.transitions.push_back(*at);
    }
    std::vector<std::uint8_t> typeIndexes;
    for (std::uint32_t i = 0; i < h.timeCount; ++i) {
        const auto index = reader.Bytes(1);
        if (!index || static_cast<unsigned char>((*index)[0]) >= h.typeCount) {
            return std::nullopt;
        }
        typeIndexes.push_back(static_cast<std::uint8_t>((*index)[0]));
    }
    const auto typeOffsets = ReadTypeOffsets(reader, h);
    if (!typeOffsets ||
        !reader.Skip(h.charCount + h.leapCount * (timeSize + 4) + h.isStdCount + h.isUtCount)) {
        return std::nullopt;
    }
    for (std::uint8_t index : typeIndexes) {
        block.offsets.push_back((*typeOffsets)[index]);
    }
    block.initialOffset = typeOffsets->front();
    return block;
}

Error Malformed(const std::string& name, const std::string& what) {
    return Error{"time zone " + name + ": " + what};
}

// "\n<POSIX TZ string>\n" after the 64-bit data; an empty string means no rule.
Result<std::optional<PosixTzRule>> ReadFooter(ByteReader& reader) {
    const auto newline = reader.Bytes(1);
    const auto rest = reader.Bytes(reader.Remaining());
    const std::size_t end = rest ? rest->find('\n') : std::string_view::npos;
    if (!newline || *newline != "\n" || end == std::string_view::npos) {
        return Error{"missing TZ rule footer"};
    }
    if (end == 0) {
        return std::optional<PosixTzRule>();
    }
    auto rule = PosixTzRule::Parse(rest->substr(0, end));
    if (!rule) {
        return rule.error();
    }
    return std::optional<PosixTzRule>(std::move(rule).value());
}

}  // namespace

Result<TimeZone> TimeZone::Parse(std::string_view tzif, std::string name) {
    ByteReader reader(tzif);
    auto header = ReadHeader(reader);
    if (!header) {
        return Malformed(name, "not a TZif file");
    }
    const bool wide = header->version != '\0';
    if (wide && (header->version < '2' || header->version > '4')) {
        return Malformed(name, "unknown TZif version");
    }
    if (wide) {
        if (!reader.Skip(header->BlockSize(4)) || !(header = ReadHeader(reader))) {
            return Malformed(name, "truncated TZif data");
        }
    }
    const std::size_t timeSize = wide ? 8 : 4;
    if (!CountsFit(*header)) {
        return Malformed(name, "inconsistent TZif data");
    }
    if (header->BlockSize(timeSize) > reader.Remaining()) {
        return Malformed(name, "truncated TZif data");
    }
    auto block = ReadBlock(reader, *header, timeSize);
    if (!block) {
        return Malformed(name, "inconsistent TZif data");
    }
    TimeZone zone;
    zone.name_ = std::move(name);
    zone.transitions_ = std::move(block->transitions);
    zone.offsets_ = std::move(block->offsets);
    zone.initialOffset_ = block->initialOffset;
    if (!wide) {
        return zone;
    }
    auto footer = ReadFooter(reader);
    if (!footer) {
        return Malformed(zone.name_, footer.error().message);
    }
    zone.footer_ = std::move(footer).value();
    return zone;
}

Result<TimeZone> TimeZone::System() {
    return System(std::getenv("TZ"), *MakeRealFileSystem());
}

Result<TimeZone> TimeZone::System(const char* tz, const FileSystem& fileSystem,
                                  const std::string& zoneDirectory, const std::string& localtime) {
    if (tz != nullptr && *tz != '\0') {
        const std::string name = tz[0] == ':' ? tz + 1 : tz;
        if (auto zone = Load(name, fileSystem, zoneDirectory)) {
            return zone;
        }
        if (auto rule = FromPosixRule(name)) {
            return rule;
        }
        return Error{"TZ=" + std::string(tz) + " names no time zone"};
    }
    if (auto bytes = fileSystem.ReadAll(localtime)) {
        return Parse(bytes.value(), "localtime");
    }
    return Utc();
}

Result<TimeZone> TimeZone::Load(const std::string& name) {
    return Load(name, *MakeRealFileSystem());
}

Result<TimeZone> TimeZone::Load(const std::string& name, const FileSystem& fileSystem,
                                const std::string& zoneDirectory) {
    if (name.empty() || name.front() == '/' || name.find("..") != std::string::npos ||
        name.find('\0') != std::string::npos) {
        return Error{"invalid time zone name \"" + name + "\""};
    }
    auto bytes = fileSystem.ReadAll(zoneDirectory + "/" + name);
    if (!bytes) {
        return Error{"time zone " + name + " not found: " + bytes.error().message};
    }
    return Parse(bytes.value(), name);
}

Result<TimeZone> TimeZone::FromPosixRule(std::string_view rule) {
    auto parsed = PosixTzRule::Parse(rule);
    if (!parsed) {
        return parsed.error();
    }
    TimeZone zone;
    zone.name_ = std::string(rule);
    zone.initialOffset_ = parsed.value().StandardOffset();
    zone.footer_ = std::move(parsed).value();
    return zone;
}

TimeZone TimeZone::Fixed(int offsetMinutes, std::string name) {
    TimeZone zone;
    zone.name_ = std::move(name);
    const int minutes = std::clamp(offsetMinutes, kMinOffsetSeconds / 60, kMaxOffsetSeconds / 60);
    zone.initialOffset_ = minutes * 60;
    return zone;
}

TimeZone TimeZone::Utc() {
    return Fixed(0, "UTC");
}

std::int32_t TimeZone::OffsetSeconds(std::int64_t utcSeconds) const {
    if (transitions_.empty()) {
        return footer_ ? footer_->OffsetSeconds(utcSeconds) : initialOffset_;
    }
    if (utcSeconds < transitions_.front()) {
        return initialOffset_;
    }
    if (utcSeconds > transitions_.back() && footer_) {
        return footer_->OffsetSeconds(utcSeconds);
    }
    const auto next = std::upper_bound(transitions_.begin(), transitions_.end(), utcSeconds);
    return offsets_[static_cast<std::size_t>(next - transitions_.begin() - 1)];
}

std::int64_t TimeZone::OffsetMs(std::int64_t utcMs) const {
    const std::int64_t clamped = std::clamp(utcMs, -kLimitMs, kLimitMs);
    return std::int64_t{OffsetSeconds(civil::FloorDiv(clamped, 1000))} * 1000;
}

std::int64_t TimeZone::ToLocalMs(std::int64_t utcMs) const {
    const std::int64_t clamped = std::clamp(utcMs, -kLimitMs, kLimitMs);
    return clamped + OffsetMs(clamped);
}

std::int64_t TimeZone::FromLocalMs(std::int64_t localMs) const {
    const std::int64_t local = std::clamp(localMs, -kLimitMs, kLimitMs);
    // The offsets a day either side cover every change that can touch this local time.
    const std::array<std::int64_t, 3> candidates = {
        OffsetMs(local - civil::kMsPerDay), OffsetMs(local), OffsetMs(local + civil::kMsPerDay)};
    std::optional<std::int64_t> earliest;
    for (std::int64_t offset : candidates) {
        const std::int64_t utc = local - offset;
        if (ToLocalMs(utc) == local && (!earliest || utc < *earliest)) {
            earliest = utc;
        }
    }
    if (earliest) {
        return *earliest;
    }
    // Skipped local time: the clocks moved forward, so the smallest offset is the one
    // in effect before the gap.
    return local - *std::min_element(candidates.begin(), candidates.end());
}

}  // namespace tarvedde
