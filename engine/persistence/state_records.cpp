// Record layouts of the state files; the sizes are checked by the golden-byte tests.
#include "engine/persistence/state_records.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

namespace tarvedde {
namespace {

constexpr int kServerItemCapacity = 100;
constexpr int kLegacyServerItemCapacity = 30;
constexpr int kItemNameCapacity = 30;
constexpr int kUnitCapacity = 10;
constexpr std::size_t kNightReserved = 74 - 3 * sizeof(double);

// Every number a restore takes passes here: a NaN or an infinity damages its record, as
// it would otherwise spread through every statistic, cell and file it reaches.
struct NumberReader {
    BinaryReader& in;
    bool damaged = false;
    double Take(std::optional<double> value) {
        damaged = damaged || (value && !std::isfinite(*value));
        return value.value_or(0.0);
    }
    double Double() { return Take(in.Double()); }
    double Extended() { return Take(in.Extended()); }
    bool Sound() const { return !in.Failed() && !damaged; }
};

void EncodeConfigFields(BinaryWriter& out, const ConfigRecord& record, int serverCapacity) {
    out.ShortText(record.serverItem, serverCapacity);
    out.ShortText(record.itemName, kItemNameCapacity);
    out.ShortText(record.unit, kUnitCapacity);
    out.Int32(record.GrafikRef);
    out.Int32(record.Grafiktyp);
    out.Bool(record.Integral);
    out.Int32(record.Tagesauswahl);
    out.Double(record.UpLimit);
    out.Double(record.LoLimit);
    out.Double(record.calibrationSlope);
    out.Double(record.calibrationIntercept);
    out.Double(record.minimum);
    out.Double(record.maximum);
    out.Double(record.average);
    out.Double(record.sum);
    out.Double(record.count);
}

std::optional<ConfigRecord> DecodeConfigFields(BinaryReader& in, int serverCapacity,
                                               std::size_t size) {
    if (in.Remaining() < size) {
        return std::nullopt;
    }
    NumberReader numbers{in};
    ConfigRecord record;
    record.serverItem = in.ShortText(serverCapacity).value_or("");
    record.itemName = in.ShortText(kItemNameCapacity).value_or("");
    record.unit = in.ShortText(kUnitCapacity).value_or("");
    record.GrafikRef = in.Int32().value_or(0);
    record.Grafiktyp = in.Int32().value_or(0);
    record.Integral = in.Bool().value_or(false);
    record.Tagesauswahl = in.Int32().value_or(0);
    record.UpLimit = numbers.Double();
    record.LoLimit = numbers.Double();
    record.calibrationSlope = numbers.Double();
    record.calibrationIntercept = numbers.Double();
    record.minimum = numbers.Double();
    record.maximum = numbers.Double();
    record.average = numbers.Double();
    record.sum = numbers.Double();
    record.count = numbers.Double();
    if (!numbers.Sound()) {
        return std::nullopt;
    }
    return record;
}

// The slots past the row are empty, not zero: a restart whose window or ring is longer
// (another cycle interval, a longer ring saved in the settings) takes them, and zeros
// would count as samples in every mean and extreme of the day.
void EncodeSlots(BinaryWriter& out, const std::vector<double>& slots, int capacity) {
    const auto capacitySize = static_cast<std::size_t>(capacity);
    const std::size_t used = std::min(slots.size(), capacitySize);
    out.Doubles(std::span(slots).first(used));
    for (std::size_t k = used; k < capacitySize; ++k) {
        out.Double(kMissingValue);
    }
}

std::vector<double> DecodeSlots(NumberReader& numbers, int capacity) {
    std::vector<double> slots(static_cast<std::size_t>(capacity));
    for (double& slot : slots) {
        slot = numbers.Double();
    }
    return slots;
}

}  // namespace

void EncodeConfigRecord(BinaryWriter& out, const ConfigRecord& record) {
    EncodeConfigFields(out, record, kServerItemCapacity);
}

std::optional<ConfigRecord> DecodeConfigRecord(BinaryReader& in) {
    return DecodeConfigFields(in, kServerItemCapacity, kConfigRecordSize);
}

bool OverwriteConfigAccumulators(std::string& records, std::size_t index,
                                 const ConfigRecord& accumulators) {
    if (records.size() < (index + 1) * kConfigRecordSize) {
        return false;
    }
    const std::array values{accumulators.minimum, accumulators.maximum, accumulators.average,
                            accumulators.sum, accumulators.count};
    // Written in place: a save does this for every record, a writer would allocate each time.
    std::size_t at = (index + 1) * kConfigRecordSize - values.size() * sizeof(double);
    for (const double value : values) {
        const auto bits = std::bit_cast<std::uint64_t>(value);
        for (std::size_t i = 0; i < sizeof bits; ++i) {
            records[at++] = static_cast<char>(static_cast<std::uint8_t>(bits >> (8 * i)));
        }
    }
    return true;
}

void EncodeLegacyConfigRecord(BinaryWriter& out, const ConfigRecord& record) {
    EncodeConfigFields(out, record, kLegacyServerItemCapacity);
}

std::optional<ConfigRecord> DecodeLegacyConfigRecord(BinaryReader& in) {
    return DecodeConfigFields(in, kLegacyServerItemCapacity, kLegacyConfigRecordSize);
}

void EncodeNightSumRecord(BinaryWriter& out, const NightSumRecord& record,
                          const LongestOffRecord& longestOff) {
    out.Bool(record.NTadd);
    out.Double(record.ntMinimum);
    out.Double(record.ntMaximum);
    out.Double(0.0);
    out.Double(record.ntSum);
    out.Double(record.ntCount);
    out.Double(record.htSum);
    out.Double(record.htCount);
    out.Double(longestOff.duration);
    out.Double(longestOff.start);
    out.Double(longestOff.end);
    out.Zeros(kNightReserved);
}

std::optional<NightSumRecord> DecodeNightSumRecord(BinaryReader& in, LongestOffRecord* longestOff) {
    if (in.Remaining() < kNightRecordSize) {
        return std::nullopt;
    }
    NumberReader numbers{in};
    NightSumRecord record;
    record.NTadd = in.Bool().value_or(false);
    record.ntMinimum = numbers.Double();
    record.ntMaximum = numbers.Double();
    (void)in.Skip(sizeof(double));
    record.ntSum = numbers.Double();
    record.ntCount = numbers.Double();
    record.htSum = numbers.Double();
    record.htCount = numbers.Double();
    LongestOffRecord off;
    off.duration = numbers.Double();
    off.start = numbers.Double();
    off.end = numbers.Double();
    (void)in.Skip(kNightReserved);
    if (!numbers.Sound()) {
        return std::nullopt;
    }
    if (longestOff != nullptr) {
        *longestOff = off.duration < 0.0 ? LongestOffRecord{} : off;
    }
    return record;
}

void EncodeMirrorRecord(BinaryWriter& out, const MirrorRecord& record) {
    out.Bool(record.mirrorOn);
    out.Int32(record.sourceItem);
    out.Double(record.mirrorSumOffset);
}

std::optional<MirrorRecord> DecodeMirrorRecord(BinaryReader& in) {
    if (in.Remaining() < kMirrorRecordSize) {
        return std::nullopt;
    }
    NumberReader numbers{in};
    MirrorRecord record;
    record.mirrorOn = in.Bool().value_or(false);
    record.sourceItem = in.Int32().value_or(0);
    record.mirrorSumOffset = numbers.Double();
    if (!numbers.Sound()) {
        return std::nullopt;
    }
    return record;
}

void EncodeCounterRecord(BinaryWriter& out, const CounterDifferenceState& record) {
    out.Extended(0.0);
    out.Extended(record.lastReading);
    out.Extended(record.difference);
    out.Double(record.previousReadingTime);
    out.Double(record.lastReadingTime);
}

std::optional<CounterDifferenceState> DecodeCounterRecord(BinaryReader& in) {
    if (in.Remaining() < kCounterRecordSize) {
        return std::nullopt;
    }
    NumberReader numbers{in};
    CounterDifferenceState record;
    (void)in.Skip(10);
    record.lastReading = numbers.Extended();
    record.difference = numbers.Extended();
    record.previousReadingTime = numbers.Double();
    record.lastReadingTime = numbers.Double();
    if (!numbers.Sound()) {
        return std::nullopt;
    }
    return record;
}

void EncodeFifteenMinuteRecord(BinaryWriter& out, const WindowBufferRecord& record) {
    out.Int32(record.item);
    EncodeSlots(out, record.values, kFifteenMinuteSlots);
    out.Int32(record.index);
    out.Extended(0.0);
    out.Extended(record.minimum);
    out.Extended(record.maximum);
    out.Double(record.minimumTime);
    out.Double(record.maximumTime);
}

std::optional<WindowBufferRecord> DecodeFifteenMinuteRecord(BinaryReader& in) {
    if (in.Remaining() < kFifteenMinuteRecordSize) {
        return std::nullopt;
    }
    NumberReader numbers{in};
    WindowBufferRecord record;
    record.item = in.Int32().value_or(0);
    record.values = DecodeSlots(numbers, kFifteenMinuteSlots);
    record.index = in.Int32().value_or(0);
    (void)in.Skip(10);
    record.minimum = numbers.Extended();
    record.maximum = numbers.Extended();
    record.minimumTime = numbers.Double();
    record.maximumTime = numbers.Double();
    if (!numbers.Sound()) {
        return std::nullopt;
    }
    return record;
}

void EncodeMovingRecord(BinaryWriter& out, const WindowBufferRecord& record) {
    out.Int32(record.item);
    EncodeSlots(out, record.values, kMovingSlots);
    out.Int32(record.index);
    out.Extended(record.average);
    out.Extended(record.minimum);
    out.Extended(record.maximum);
}

std::optional<WindowBufferRecord> DecodeMovingRecord(BinaryReader& in) {
    if (in.Remaining() < kMovingRecordSize) {
        return std::nullopt;
    }
    NumberReader numbers{in};
    WindowBufferRecord record;
    record.item = in.Int32().value_or(0);
    record.values = DecodeSlots(numbers, kMovingSlots);
    record.index = in.Int32().value_or(0);
    record.average = numbers.Extended();
    record.minimum = numbers.Extended();
    record.maximum = numbers.Extended();
    if (!numbers.Sound()) {
        return std::nullopt;
    }
    return record;
}

}  // namespace tarvedde
