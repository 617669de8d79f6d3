// Restore of the fifteen-minute and moving-average rows at the first acquisition start.
// Rows are handed out anew in item order at each start, while a row given during the last
// run (a feature switched on then) came after the others: a record goes back to the row its
// item owns now, and one whose item keeps no row is dropped.
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

void TakeWindowState(FifteenMinuteState& m15, const WindowBufferRecord& record, int index) {
    m15.m15Index = index;
    m15.m15Minimum = record.minimum;
    m15.m15Maximum = record.maximum;
    m15.m15MinimumTime = record.minimumTime;
    m15.m15MaximumTime = record.maximumTime;
}

void TakeWindowState(MovingAverageState& moving, const WindowBufferRecord& record, int index) {
    moving.ringIndex = index;
    moving.movingAverage = record.average;
    moving.movingMinimum = record.minimum;
    moving.movingMaximum = record.maximum;
}

std::optional<WindowBufferRecord> DecodeRecord(BinaryReader& in, const FifteenMinuteState&) {
    return DecodeFifteenMinuteRecord(in);
}
std::optional<WindowBufferRecord> DecodeRecord(BinaryReader& in, const MovingAverageState&) {
    return DecodeMovingRecord(in);
}

// False when the record cannot be taken at all (the reading ends there). `taken` marks the
// rows already restored: a second record of the same item is not laid over the first.
template <class ItemState>
bool RestoreRow(WindowBufferSet<ItemState>& buffers, std::vector<bool>& taken, ProgramLog& log,
                const WindowBufferRecord& record, const BufferRestoreText& text) {
    if (record.item < 1 || record.item > maxItems || record.index < 0) {
        return false;
    }
    const int j = RowOf(buffers.items[record.item]);
    if (j < 0 || static_cast<std::size_t>(j) >= buffers.rows.size() ||
        taken[static_cast<std::size_t>(j)]) {
        log.WriteLog(text.wrongRow);
        return true;
    }
    std::vector<double>& row = buffers.rows[static_cast<std::size_t>(j)];
    if (row.size() > record.values.size()) {
        return false;
    }
    taken[static_cast<std::size_t>(j)] = true;
    std::copy_n(record.values.begin(), row.size(), row.begin());
    // A window or ring shorter than at the save (another cycle or Puffer) keeps the day's
    // extremes and goes on at its first slot, where the saved position no longer lies.
    const bool indexFits = static_cast<std::size_t>(record.index) < row.size();
    TakeWindowState(buffers.items[record.item], record, indexFits ? record.index : 0);
    return true;
}

template <class ItemState>
void RestoreBufferSet(const Configuration& config, WindowBufferSet<ItemState>* buffers,
                      const StoreServices& io, StateMarker marker, const BufferRestoreText& text) {
    const std::string path = config.PathOf(text.fileName);
    if (buffers == nullptr || !buffers->exist || !marker.Trusts(text.bit) ||
        !io.host.files.Exists(path)) {
        return;
    }
    const auto bytes = io.host.files.ReadAll(path);
    if (!bytes || bytes.value().size() % text.recordSize != 0) {
        io.log.WriteLog(text.readFailure);
        return;
    }
    BinaryReader in(bytes.value());
    std::vector<bool> taken(buffers->rows.size(), false);
    // A save writes at most one record per item; the records of items that lost their row
    // may stand before those still owned, so the reading does not stop at the row count.
    for (int record = 0; in.Remaining() > 0 && record < maxItems; ++record) {
        const std::size_t before = in.Position();
        const auto decoded = DecodeRecord(in, ItemState{});
        if (!decoded && in.Position() != before) {
            // A NaN or an infinity: the row stays as created; the next record is whole.
            BinaryReader itemField(std::string_view(bytes.value()).substr(before));
            LogDamagedRecord(config, io.log, text.fileName, itemField.Int32().value_or(0));
            io.log.WriteLog(text.readFailure);
            continue;
        }
        if (!decoded || !RestoreRow(*buffers, taken, io.log, *decoded, text)) {
            io.log.WriteLog(text.readFailure);
            return;
        }
    }
}

}  // namespace

void StateStore::RestoreFifteenMinuteBuffers(const Configuration& config, StateMarker marker) {
    RestoreBufferSet(
        config, windows_.fifteenMinute, io_, marker,
        {kFifteenMinuteStateFile, "Falscher Index in M15-Datei !",
         "Fehler beim Lesen der M15-Datei !", kFifteenMinuteFailedBit, kFifteenMinuteRecordSize});
}

void StateStore::RestoreMovingAverageBuffers(const Configuration& config, StateMarker marker) {
    RestoreBufferSet(config, windows_.moving, io_, marker,
                     {kMovingStateFile, "Falscher Index bei gleit.Mittelwert !",
                      "Fehler beim Lesen der gleitenden Mittelwert-Datei !", kMovingFailedBit,
                      kMovingRecordSize});
}

}  // namespace tarvedde
