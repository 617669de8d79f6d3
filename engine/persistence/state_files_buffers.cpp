// Restore of the fifteen-minute and moving-average rows at the first acquisition start.
// Records are matched by position and item number, so a configuration that changed which
// items keep rows restores only the rows that still match.
#include <algorithm>
#include <optional>
#include <string>

#include "engine/persistence/state_files.h"

namespace tarvedde {
namespace {

struct BufferRestoreText {
    const char* fileName;
    const char* wrongRow;
    const char* readFailure;
    int bit;
    std::size_t recordSize;
};

int RowOf(const StoredState& stored, int item, bool fifteenMinute) {
    return fifteenMinute ? stored.fifteenMinute[item].m15Row : stored.moving[item].movingRow;
}

void TakeWindowState(StoredState& stored, const WindowBufferRecord& record, bool fifteenMinute) {
    const int n = record.item;
    if (fifteenMinute) {
        FifteenMinuteState& m15 = stored.fifteenMinute[n];
        m15.m15Index = record.index;
        m15.m15Minimum = record.minimum;
        m15.m15Maximum = record.maximum;
        m15.m15MinimumTime = record.minimumTime;
        m15.m15MaximumTime = record.maximumTime;
    } else {
        MovingAverageState& moving = stored.moving[n];
        moving.ringIndex = record.index;
        moving.movingAverage = record.average;
        moving.movingMinimum = record.minimum;
        moving.movingMaximum = record.maximum;
    }
}

// False when the record cannot be taken at all (the reading ends there).
bool RestoreRow(StoredState& stored, ProgramLog& log, const WindowBufferRecord& record,
                std::size_t j, bool fifteenMinute, const BufferRestoreText& text) {
    std::vector<double>& row = (fifteenMinute ? stored.m15Buffers : stored.movingBuffers)[j];
    const bool indexFits =
        record.index >= 0 && static_cast<std::size_t>(record.index) <= row.size();
    if (record.item < 1 || record.item > maxItems || row.size() > record.values.size() ||
        !indexFits) {
        return false;
    }
    if (RowOf(stored, record.item, fifteenMinute) != static_cast<int>(j)) {
        log.WriteLog(text.wrongRow);
        return true;
    }
    std::copy_n(record.values.begin(), row.size(), row.begin());
    TakeWindowState(stored, record, fifteenMinute);
    return true;
}

void RestoreBufferSet(const Configuration& config, StoredState& stored, const StoreServices& io,
                      StateMarker marker, bool fifteenMinute, const BufferRestoreText& text) {
    const bool exist = fifteenMinute ? stored.m15BuffersExist : stored.movingBuffersExist;
    const std::string path = config.PathOf(text.fileName);
    if (!exist || !marker.Trusts(text.bit) || !io.host.files.Exists(path)) {
        return;
    }
    const auto bytes = io.host.files.ReadAll(path);
    if (!bytes || bytes.value().size() % text.recordSize != 0) {
        io.log.WriteLog(text.readFailure);
        return;
    }
    const std::size_t rowCount = (fifteenMinute ? stored.m15Buffers : stored.movingBuffers).size();
    BinaryReader in(bytes.value());
    for (std::size_t j = 0; in.Remaining() > 0 && j < rowCount; ++j) {
        const std::size_t before = in.Position();
        const auto record = fifteenMinute ? DecodeFifteenMinuteRecord(in) : DecodeMovingRecord(in);
        if (!record && in.Position() != before) {
            // A NaN or an infinity: the row stays as created; the next record is whole.
            BinaryReader itemField(std::string_view(bytes.value()).substr(before));
            LogDamagedRecord(config, io.log, text.fileName, itemField.Int32().value_or(0));
            io.log.WriteLog(text.readFailure);
            continue;
        }
        if (!record || !RestoreRow(stored, io.log, *record, j, fifteenMinute, text)) {
            io.log.WriteLog(text.readFailure);
            return;
        }
    }
}

}  // namespace

void StateStore::RestoreFifteenMinuteBuffers(const Configuration& config, StateMarker marker) {
    RestoreBufferSet(
        config, stored_, io_, marker, true,
        {kFifteenMinuteStateFile, "Falscher Index in M15-Datei !",
         "Fehler beim Lesen der M15-Datei !", kFifteenMinuteFailedBit, kFifteenMinuteRecordSize});
}

void StateStore::RestoreMovingAverageBuffers(const Configuration& config, StateMarker marker) {
    RestoreBufferSet(config, stored_, io_, marker, false,
                     {kMovingStateFile, "Falscher Index bei gleit.Mittelwert !",
                      "Fehler beim Lesen der gleitenden Mittelwert-Datei !", kMovingFailedBit,
                      kMovingRecordSize});
}

}  // namespace tarvedde
