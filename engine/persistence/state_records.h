// The record layouts of the running day's state files, byte for byte as the older Windows
// build wrote them, so files of either build restore in the other. Each Encode appends
// exactly one record of its fixed size; each Decode reads one record or returns nullopt
// without reading past the data (a short or damaged record is never half taken). A record
// holding a NaN or an infinity is damaged: Decode consumes it and returns nullopt, so the
// reader's position tells it from a short one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/model/item_model.h"
#include "platform/binary_records.h"

namespace tarvedde {

inline constexpr std::size_t kConfigRecordSize = 228;
inline constexpr std::size_t kLegacyConfigRecordSize = 158;
inline constexpr std::size_t kNightRecordSize = 131;
inline constexpr std::size_t kMirrorRecordSize = 13;
inline constexpr std::size_t kCounterRecordSize = 46;
inline constexpr std::size_t kFifteenMinuteRecordSize = 182;
inline constexpr std::size_t kMovingRecordSize = 2918;
inline constexpr int kFifteenMinuteSlots = 16;
inline constexpr int kMovingSlots = 360;

// One row of a window buffer file: the item it belongs to (0: none) and its state.
struct WindowBufferRecord {
    int item = 0;
    std::vector<double> values;  // at most the record's slot count
    int index = 0;
    double minimum = 0.0;
    double maximum = 0.0;
    double average = 0.0;      // moving average only
    double minimumTime = 0.0;  // fifteen-minute only
    double maximumTime = 0.0;  // fifteen-minute only
};

void EncodeConfigRecord(BinaryWriter& out, const ConfigRecord& record);
std::optional<ConfigRecord> DecodeConfigRecord(BinaryReader& in);
// Writes the accumulators (minimum, maximum, average, sum, count), which end every
// record, over record `index` of `records`, which EncodeConfigRecord wrote; false when
// `records` ends before that record does.
bool OverwriteConfigAccumulators(std::string& records, std::size_t index,
                                 const ConfigRecord& accumulators);
// The older layout with a 30-character server item.
void EncodeLegacyConfigRecord(BinaryWriter& out, const ConfigRecord& record);
std::optional<ConfigRecord> DecodeLegacyConfigRecord(BinaryReader& in);

// A digital item's longest off period so far. It lives in the night record's spare bytes,
// which older files hold as zeros (no period), so a restart's day report still shows it.
struct LongestOffRecord {
    double duration = 0.0;  // days
    double start = 0.0;
    double end = 0.0;
};

void EncodeNightSumRecord(BinaryWriter& out, const NightSumRecord& record,
                          const LongestOffRecord& longestOff = {});
// A negative duration is no period.
std::optional<NightSumRecord> DecodeNightSumRecord(BinaryReader& in,
                                                   LongestOffRecord* longestOff = nullptr);

// A mirrored item's record of SPIEGELDATEN.TVW: its setting and its sum's offset.
struct MirrorRecord {
    bool mirrorOn = false;
    int sourceItem = 0;
    double mirrorSumOffset = 0.0;
};
void EncodeMirrorRecord(BinaryWriter& out, const MirrorRecord& record);
std::optional<MirrorRecord> DecodeMirrorRecord(BinaryReader& in);

void EncodeCounterRecord(BinaryWriter& out, const CounterDifferenceState& record);
std::optional<CounterDifferenceState> DecodeCounterRecord(BinaryReader& in);

// Slots beyond the record's capacity are the caller's error: Encode writes at most
// kFifteenMinuteSlots / kMovingSlots of them. Decode returns all slots of the record.
// The buffer row of a state: the save and the restore match records by it.
inline int RowOf(const FifteenMinuteState& state) {
    return state.m15Row;
}
inline int RowOf(const MovingAverageState& state) {
    return state.movingRow;
}
void EncodeFifteenMinuteRecord(BinaryWriter& out, const WindowBufferRecord& record);
std::optional<WindowBufferRecord> DecodeFifteenMinuteRecord(BinaryReader& in);
void EncodeMovingRecord(BinaryWriter& out, const WindowBufferRecord& record);
std::optional<WindowBufferRecord> DecodeMovingRecord(BinaryReader& in);

}  // namespace tarvedde
