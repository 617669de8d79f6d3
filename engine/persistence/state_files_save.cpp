// The save of the running day's state: one guarded step per file, each setting its own
// error bit, then $clean with the flags. No step deletes anything first: every file goes
// to a temporary name, and the set is renamed into place once all are written.
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "engine/persistence/state_files.h"
#include "platform/number_format.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

constexpr std::size_t kSavedItems = static_cast<std::size_t>(maxItems);

struct SaveContext {
    struct Staged {
        std::string temporary;
        std::string path;
        std::string bytes;
        std::string_view failureText;
        int bit;
    };

    const Configuration& config;
    StoredState& stored;
    FifteenMinuteBuffers* fifteenMinute;
    MovingAverageBuffers* moving;
    const StoreServices& io;
    const ProcessedValues& values;
    const IntegrationStates& integration;
    SaveMoment moment;
    bool finalSave;
    bool durable;
    int flags = 0;
    std::vector<Staged> staged;
    // What TARVEDDE.COF holds once its staged file is renamed into place.
    std::optional<std::string> configFileBytes;

    // Writes the file under its temporary name; CommitStaged renames the whole set. A file
    // that already holds these bytes stays as it is, except in a durable save, which must
    // reach the disk whole. Between durable saves the temporary files are scratch files
    // swapped with their targets, so a save every second creates no file.
    void Write(const char* name, std::string bytes, std::string_view failureText, int bit) {
        std::string path = config.PathOf(name);
        if (!durable && stored.StillHolds(io.host.files, path, bytes)) {
            return;
        }
        stored.ForgetWritten(path);
        std::string temporary = path + ".tmp";
        FileSystem& files = io.host.files;
        if (!(durable ? files.WriteAll(temporary, bytes, true)
                      : files.WriteScratch(temporary, bytes))
                 .ok()) {
            (void)files.Remove(temporary);
            Fail(failureText, bit);
            return;
        }
        staged.push_back(
            {std::move(temporary), std::move(path), std::move(bytes), failureText, bit});
    }
    // The renames follow one another once every file is written, so a crash leaves a
    // mixed set only in the moment of the renames, not for the length of the save.
    void CommitStaged() {
        FileSystem& files = io.host.files;
        for (Staged& file : staged) {
            if (!(durable ? files.Rename(file.temporary, file.path)
                          : files.SwapInto(file.temporary, file.path))
                     .ok()) {
                (void)files.Remove(file.temporary);
                Fail(file.failureText, file.bit);
                continue;
            }
            stored.RememberWritten(io.host.files, file.path, std::move(file.bytes));
        }
        staged.clear();
    }
    void Fail(std::string_view message, int bit) {
        io.log.WriteLog(message);
        flags |= bit;
    }
};

struct BufferSetText {
    const char* fileName;
    const char* wrongRow;
    const char* fillFailure;
    const char* fileFailure;
    int bit;
    std::size_t slotCapacity;
    std::size_t recordSize;
};

// The first item whose row is `row`, or 0.
template <class ItemState>
int ItemOfRow(const Configuration& config, const WindowBufferSet<ItemState>& buffers, int row) {
    for (int n = 1; n <= config.Settings().itemCount; ++n) {
        if (RowOf(buffers.items[n]) == row) {
            return n;
        }
    }
    return 0;
}

void FillRecord(WindowBufferRecord& record, const FifteenMinuteState& m15) {
    record.index = m15.m15Index;
    record.minimum = m15.m15Minimum;
    record.maximum = m15.m15Maximum;
    record.minimumTime = m15.m15MinimumTime;
    record.maximumTime = m15.m15MaximumTime;
}

void FillRecord(WindowBufferRecord& record, const MovingAverageState& moving) {
    record.index = moving.ringIndex;
    record.average = moving.movingAverage;
    record.minimum = moving.movingMinimum;
    record.maximum = moving.movingMaximum;
}

void EncodeRecord(BinaryWriter& out, const WindowBufferRecord& record, const FifteenMinuteState&) {
    EncodeFifteenMinuteRecord(out, record);
}
void EncodeRecord(BinaryWriter& out, const WindowBufferRecord& record, const MovingAverageState&) {
    EncodeMovingRecord(out, record);
}

template <class ItemState>
void SaveBufferSet(SaveContext& save, WindowBufferSet<ItemState>& buffers,
                   const BufferSetText& text) {
    std::vector<std::vector<double>>& rows = buffers.rows;
    BinaryWriter out;
    out.Reserve(rows.size() * text.recordSize);
    for (std::size_t j = 0; j < rows.size(); ++j) {
        const int item = ItemOfRow(save.config, buffers, static_cast<int>(j));
        WindowBufferRecord record;
        if (item == 0) {
            save.Fail(text.wrongRow, text.bit);
        } else if (rows[j].size() > text.slotCapacity) {
            save.Fail(text.fillFailure, text.bit);
        } else {
            record.item = item;
            record.values = rows[j];
            FillRecord(record, buffers.items[item]);
        }
        EncodeRecord(out, record, ItemState{});
        if (save.finalSave) {
            rows[j] = {};
        }
    }
    if (save.finalSave) {
        rows.clear();
        buffers.exist = false;
    }
    save.Write(text.fileName, out.Take(), text.fileFailure, text.bit);
}

void SaveWindowBuffers(SaveContext& save) {
    if (save.fifteenMinute != nullptr && save.fifteenMinute->exist) {
        SaveBufferSet(save, *save.fifteenMinute,
                      {kFifteenMinuteStateFile, "Falscher Index beim Speichern der M15-Werte !",
                       "Fehler beim Speichern der M15-Werte !",
                       "Fehler beim Speichern von M15BUF.TVW", kFifteenMinuteFailedBit,
                       static_cast<std::size_t>(kFifteenMinuteSlots), kFifteenMinuteRecordSize});
    }
    if (save.moving != nullptr && save.moving->exist) {
        SaveBufferSet(save, *save.moving,
                      {kMovingStateFile, "Falscher Index beim Speichern der gleit. Mittelwerte !",
                       "Fehler beim Speichern der gleit. Mittelwerte !",
                       "Fehler beim Speichern von GLEITBUF.TVW", kMovingFailedBit,
                       static_cast<std::size_t>(kMovingSlots), kMovingRecordSize});
    }
}

void SaveCounterDifferences(SaveContext& save) {
    BinaryWriter out;
    out.Reserve(kSavedItems * kCounterRecordSize);
    for (std::size_t n = 1; n <= kSavedItems; ++n) {
        EncodeCounterRecord(out, save.values.counterDifferences[n]);
    }
    save.Write(kCounterStateFile, out.Take(), "Fehler beim Speichern von DIFFBUF.TVW",
               kCounterFailedBit);
}

void WriteMirrorStatistics(const SaveContext& save, int n) {
    const Configuration& config = save.config;
    const StoreServices& io = save.io;
    const GeneralSettings& settings = config.Settings();
    const ItemStatistics& statistics = save.values.statistics[n];
    const auto format = [&](double value) {
        return FormatFixed(value, settings.formatPrecision, settings.formatDecimals, io.locale);
    };
    io.log.WriteDDEInfo("++++++++++ Statistik für " + config.Items()[n].itemName +
                        " (gespiegelt) :  ++++++++++");
    io.log.WriteDDEInfo("Anzahl=" + FormatFixed(statistics.count, 8, 0, io.locale) +
                        "  Mittel=" + format(statistics.average));
    io.log.WriteDDEInfo("Summe/Integral=" + format(statistics.sum));
}

void SaveMirrorOffsets(SaveContext& save) {
    BinaryWriter out;
    out.Reserve(kSavedItems * kMirrorRecordSize);
    for (int n = 1; n <= maxItems; ++n) {
        const MirrorSetting& mirror = save.config.Items()[n].mirror;
        EncodeMirrorRecord(out,
                           {mirror.mirrorOn, mirror.sourceItem, save.values.mirrorSumOffsets[n]});
        if (save.finalSave && mirror.mirrorOn) {
            WriteMirrorStatistics(save, n);
        }
    }
    save.Write(kMirrorStateFile, out.Take(), "Fehler beim Speichern von SPIEGELDATEN.TVW",
               kMirrorFailedBit);
}

void SaveNightSums(SaveContext& save) {
    const Configuration& config = save.config;
    StoredState& stored = save.stored;
    const StoreServices& io = save.io;
    const GeneralSettings& settings = config.Settings();
    if (save.finalSave) {
        io.log.WriteLogDebug("Nachtsummen speichern :");
    }
    BinaryWriter out;
    out.Reserve(static_cast<std::size_t>(settings.itemCount) * kNightRecordSize);
    for (int n = 1; n <= settings.itemCount; ++n) {
        const NightSumRecord& night = stored.nightSums[n];
        const IntegrationState& state = save.integration[n];
        EncodeNightSumRecord(out, night,
                             {state.maxOffDuration, state.maxOffStart, state.maxOffEnd});
        if (save.finalSave) {
            io.log.WriteLogDebug(FormatFixed(night.ntSum, settings.formatPrecision,
                                             settings.formatDecimals, io.locale));
        }
    }
    save.Write(kNightStateFile, out.Take(), "Fehler beim Speichern von TARVEDDE_NACHT.TVW !",
               kNightFailedBit);
}

// The integral item's sum up to the save's moment.
double IntegralAtMoment(const SaveContext& save, int n) {
    const IntegrationState& state = save.integration[n];
    if (save.moment.now < 0.0) {
        return state.runningSum;
    }
    return IntegralUpTo(save.config.Items()[n], state, save.moment.now, save.moment.nowMs);
}

// A mirror of an integral takes its sum from the source's at its next cycle, but the start
// after a kill over midnight closes the day before that cycle, with the saved sum: the
// source's up to the save's moment, less the period's offset.
double SavedSum(const SaveContext& save, int n) {
    const ItemConfig& item = save.config.Items()[n];
    if (IntegratesOwnSamples(item)) {
        return IntegralAtMoment(save, n);
    }
    const double sum = save.values.statistics[n].sum;
    const int source = item.mirror.sourceItem;
    if (!item.mirror.mirrorOn || item.Differenz || source < 1 ||
        source > save.config.Settings().itemCount || source > maxItems ||
        !save.config.Items()[source].Integral || save.moment.now < 0.0) {
        return sum;
    }
    const double upToSave = IntegralAtMoment(save, source) - save.values.mirrorSumOffsets[n];
    // Below the cycle's the source restarted since: the next cycle settles the offset.
    return std::isfinite(upToSave) && upToSave >= sum ? upToSave : sum;
}

ConfigRecord DayAccumulatorRecord(const SaveContext& save, int n) {
    const ItemStatistics& statistics = save.values.statistics[n];
    ConfigRecord record;
    record.minimum = statistics.minimum;
    record.maximum = statistics.maximum;
    record.average = statistics.average;
    record.count = statistics.count;
    record.sum = SavedSum(save, n);
    return record;
}

// Bytes read from the file are decoded (and so checked) and encoded anew; bytes this run
// encoded itself are taken as they are. Either way only the accumulators change.
std::optional<std::string> UpdateDayAccumulators(const SaveContext& save, std::string kept) {
    const int itemCount = save.config.Settings().itemCount;
    const auto count = static_cast<std::size_t>(itemCount);
    if (!save.stored.configFileEncodedHere || kept.size() != count * kConfigRecordSize) {
        BinaryReader in(kept);
        BinaryWriter out;
        out.Reserve(count * kConfigRecordSize);
        for (int n = 1; n <= itemCount; ++n) {
            auto record = DecodeConfigRecord(in);
            if (!record) {
                return std::nullopt;
            }
            EncodeConfigRecord(out, *record);
        }
        kept = out.Take();
    }
    for (int n = 1; n <= itemCount; ++n) {
        if (!OverwriteConfigAccumulators(kept, static_cast<std::size_t>(n - 1),
                                         DayAccumulatorRecord(save, n))) {
            return std::nullopt;
        }
    }
    return kept;
}

// The static part of every record stays as the file holds it: it names the configuration
// the day was recorded with.
void SaveDayAccumulators(SaveContext& save) {
    const Configuration& config = save.config;
    if (config.Settings().itemCount <= 0) {
        return;
    }
    std::optional<std::string>& kept = save.stored.configFileBytes;
    if (!kept) {
        auto bytes = save.io.host.files.ReadAll(config.PathOf(kConfigStateFile));
        kept = bytes ? std::move(bytes).value() : std::string();
        save.stored.configFileEncodedHere = false;
    }
    save.configFileBytes = UpdateDayAccumulators(save, std::move(*kept));
    kept.reset();
    if (!save.configFileBytes) {
        save.Fail("Fehler beim Lesen von TARVEDDE.COF !", kConfigFailedBit);
        return;
    }
    save.Write(kConfigStateFile, *save.configFileBytes, "Fehler beim Speichern von TARVEDDE.COF !",
               kConfigFailedBit);
}

void SaveAllFiles(SaveContext& save) {
    try {
        SaveWindowBuffers(save);
        SaveCounterDifferences(save);
        SaveMirrorOffsets(save);
        SaveNightSums(save);
        SaveDayAccumulators(save);
    } catch (const std::exception&) {
        save.flags = -1;
    }
    save.CommitStaged();
    // Any failure leaves the file's content in doubt; the next save reads it again.
    if (save.flags < 0 || (save.flags & kConfigFailedBit) != 0) {
        save.stored.configFileBytes.reset();
    } else if (save.configFileBytes) {
        save.stored.configFileBytes = std::move(save.configFileBytes);
        save.stored.configFileEncodedHere = true;
    }
}

}  // namespace

bool StoredState::StillHolds(const FileSystem& files, const std::string& path,
                             std::string_view bytes) const {
    const auto kept = writtenFiles.find(path);
    if (kept == writtenFiles.end() || kept->second.bytes != bytes) {
        return false;
    }
    const auto stamp = files.Stamp(path);
    return stamp && stamp.value() == kept->second.stamp;
}

void StoredState::RememberWritten(const FileSystem& files, const std::string& path,
                                  std::string bytes) {
    const auto stamp = files.Stamp(path);
    if (stamp) {
        writtenFiles[path] = {std::move(bytes), stamp.value()};
    } else {
        writtenFiles.erase(path);
    }
}

bool StateStore::WriteCleanMarker(const Configuration& config, std::string line, bool durable) {
    FileSystem& files = io_.host.files;
    const std::string path = config.PathOf(kCleanMarkerFile);
    if (!durable && stored_.StillHolds(files, path, line)) {
        return true;
    }
    stored_.ForgetWritten(path);
    if (!WriteFileAtomic(files, path, line, durable).ok()) {
        return false;
    }
    stored_.RememberWritten(files, path, std::move(line));
    return true;
}

// Flushing the whole set of 180 items costs about 60 ms more per save on a virtual disk
// (bench/state_files_bench.cpp: 75 ms without, 137 ms with), too much for every cycle of
// a one-second interval. Every cycle relies on the rename, which keeps the old or the new
// file whole; the close and the first save of a day (or of a program run) are flushed,
// since they carry the day's result.
bool StateStore::SaveIsDurable(const Configuration& config, bool finalSave) const {
    return finalSave || config.Settings().savedDay != stored_.durableSaveDay;
}

int StateStore::SaveIntermediateState(const Configuration& config, const ProcessedValues& values,
                                      const IntegrationStates& integration, bool itemsLinked,
                                      bool finalSave, SaveMoment moment) {
    if (!itemsLinked || !config.Settings().permanentMode) {
        return 0;
    }
    SaveContext save{config,
                     stored_,
                     windows_.fifteenMinute,
                     windows_.moving,
                     io_,
                     values,
                     integration,
                     moment,
                     finalSave,
                     SaveIsDurable(config, finalSave),
                     0,
                     {},
                     std::nullopt};
    SaveAllFiles(save);
    // The second line names the day the state belongs to: AktuTag alone may be stale (a
    // write that failed at midnight, a settings file put back from a backup).
    const std::string marker =
        std::to_string(save.flags) + "\r\n" + config.Settings().savedDay + "\r\n";
    if (!WriteCleanMarker(config, marker, save.durable)) {
        io_.log.WriteLog("Fehler beim Schreiben der CLEAN-Datei !");
    } else if (save.durable) {
        stored_.durableSaveDay = config.Settings().savedDay;
    }
    return save.flags;
}

}  // namespace tarvedde
