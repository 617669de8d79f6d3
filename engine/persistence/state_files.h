// The running day's state files: the save at the end of every cycle and at close, the
// restores at start and at the acquisition start, and the re-creation of the two files
// that hold the day accumulators and night sums.
//
// Load: the set is up to 633 240 bytes with 180 items; every cycle rewrites the files whose
// bytes changed (the moving-average rings, four fifths of it, only change with their timer).
// Guarantees: every file is written under a temporary name; once all are written they are
// renamed into place one after the other, and $clean is replaced last the same way. A
// crash while the files are written leaves the previous complete set with its $clean; only
// a crash between two of the renames (microseconds) leaves files of two cycles. A restore never
// reads past a file's end, never half reads a file whose size is not a whole number of records and
// checks every item number and row against the model before it uses it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "engine/config/configuration.h"
#include "engine/model/host.h"
#include "engine/model/processed_values.h"
#include "engine/persistence/state_records.h"
#include "outputs/program_log.h"
#include "platform/file_system.h"
#include "platform/locale.h"

namespace tarvedde {

// Error bits of a save, one per file.
inline constexpr int kMovingFailedBit = 1;
inline constexpr int kCounterFailedBit = 2;
inline constexpr int kMirrorFailedBit = 4;
inline constexpr int kNightFailedBit = 8;
inline constexpr int kConfigFailedBit = 16;
inline constexpr int kFifteenMinuteFailedBit = 32;

// What the start read from $clean.
struct StateMarker {
    bool clean = false;
    int flags = 0;
    bool Trusts(int bit) const { return clean && (flags & bit) == 0; }
};

// The moment a save stands at. An integral item's sum is saved brought up to it, as a day
// protocol would state it: a constant flow sends no samples, and a start after a kill
// begins a new sample chain, so a sum saved as it stands would lose all the time since the
// item's last sample. The sample chain in memory stays as it is. No moment (now < 0): the
// sums as they stand.
struct SaveMoment {
    double now = -1.0;
    std::int64_t nowMs = -1;  // elapsed ms at `now`; -1: the time since by the wall clock
};

// What the state files hold beyond the other subsystems' state: the records of
// TARVEDDE.COF and TARVEDDE_NACHT.TVW and the day of the last flushed save. Only
// StateStore holds one.
struct StoredState {
    PerItem<ConfigRecord> configRecords{};
    PerItem<NightSumRecord> nightSums{};
    // The day (AktuTag) of the last state save that was flushed to disk.
    std::string durableSaveDay;
    // The bytes TARVEDDE.COF holds, as this run last read or wrote them; none after a
    // failure, so the next save reads the file again. Spares reading back every cycle
    // what the previous cycle wrote.
    std::optional<std::string> configFileBytes;
    // Whether this run encoded those bytes itself; bytes read from the file go through
    // the decoder, which checks them, before a save writes its accumulators over them.
    bool configFileEncodedHere = false;
    // Each file of the save as this run last renamed it into place, with its stamp right
    // after. A save whose bytes are the same, while the file still shows that stamp, leaves
    // the file alone: most cycles change nothing in the moving-average rings, the largest
    // file. Any other writer of these files forgets its entry (ForgetWritten).
    struct WrittenFile {
        std::string bytes;
        FileStamp stamp;
    };
    std::map<std::string, WrittenFile, std::less<>> writtenFiles;

    bool StillHolds(const FileSystem& files, const std::string& path, std::string_view bytes) const;
    void RememberWritten(const FileSystem& files, const std::string& path, std::string bytes);
    void ForgetWritten(const std::string& path) { writtenFiles.erase(path); }
};

// Where the store reads and writes files, logs and asks.
struct StoreServices {
    Host& host;
    ProgramLog& log;
    const Locale& locale;
};

// The state store: the running day's state files and the records only they need. It
// reads the configuration; the running values it saves and restores into are handed to
// each call.
class StateStore {
public:
    StateStore(Host& host, ProgramLog& log, const Locale& locale) : io_{host, log, locale} {}

    // The buffers the fifteen-minute values and the moving averages own: the save writes
    // them (M15BUF.TVW, GLEITBUF2.TVW) and the acquisition start's restores fill them.
    // Until they are joined neither file is written nor read.
    void JoinWindowBuffers(FifteenMinuteBuffers& fifteenMinute, MovingAverageBuffers& moving) {
        windows_ = {&fifteenMinute, &moving};
    }

    // Saves every file and replaces $clean with the flags, which it returns (0 all saved,
    // the sum of the failed files' bits, -1 the save failed as a whole). Does nothing and
    // returns 0 unless the items are linked in permanent mode. `finalSave` (program close)
    // also writes the diagnostics and releases both buffer sets. Files are flushed to disk
    // at close and at the first save of a new day (see SaveIsDurable).
    int SaveIntermediateState(const Configuration& config, const ProcessedValues& values,
                              const IntegrationStates& integration, bool itemsLinked,
                              bool finalSave, SaveMoment moment = {});
    bool SaveIsDurable(const Configuration& config, bool finalSave) const;

    // TARVEDDE.COF and TARVEDDE_NACHT.TVW anew with reset accumulators (the integrals
    // restart with them); false on failure.
    bool CreateConfigFile(const Configuration& config, IntegrationStates& integration);
    bool CreateNightFile(const Configuration& config);
    // Rewrites a TARVEDDE.COF of the older record layout in the current one.
    void ConvertConfigFile(const Configuration& config);

    // Start, in this order.
    void RestoreMirrorOffsets(const Configuration& config, PerItem<double>& offsets,
                              StateMarker marker);
    void RestoreCounterDifferences(const Configuration& config,
                                   PerItem<CounterDifferenceState>& counters, StateMarker marker);
    void RestoreDayAccumulators(const Configuration& config, PerItem<ItemStatistics>& statistics,
                                IntegrationStates& integration, StateMarker marker);
    // Also gives back the digital items' longest off periods.
    void RestoreNightSums(const Configuration& config, IntegrationStates& integration,
                          StateMarker marker);
    // Acquisition start, right after the buffers were created for this program run.
    void RestoreMovingAverageBuffers(const Configuration& config, StateMarker marker);
    void RestoreFifteenMinuteBuffers(const Configuration& config, StateMarker marker);

    const PerItem<ConfigRecord>& ConfigRecords() const { return stored_.configRecords; }
    // The configuration load writes the configuration part of each record (LoadTargets).
    PerItem<ConfigRecord>& ConfigRecordsToLoad() { return stored_.configRecords; }
    const PerItem<NightSumRecord>& NightSums() const { return stored_.nightSums; }
    // The night sums the day change and the time frames change reach the next save of
    // TARVEDDE_NACHT.TVW.
    PerItem<NightSumRecord>& NightSumsForDayChange() { return stored_.nightSums; }

private:
    friend struct StateStoreTestAccess;
    // $clean with the flags line, unless it already holds it; false when it could not be written.
    bool WriteCleanMarker(const Configuration& config, std::string line, bool durable);
    StoreServices io_;
    StoredState stored_;
    struct WindowBuffers {
        FifteenMinuteBuffers* fifteenMinute = nullptr;
        MovingAverageBuffers* moving = nullptr;
    };
    WindowBuffers windows_;
};

// The log line of a restored record that held a NaN or an infinity; item n starts afresh.
void LogDamagedRecord(const Configuration& config, ProgramLog& log, const char* fileName, int n);

}  // namespace tarvedde
