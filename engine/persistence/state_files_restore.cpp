// The restores of the running day's state and the re-creation of the accumulator files.
// A file is taken only when its size is a whole number of records; otherwise it is
// treated as unreadable and re-initialised with its message, never half read.
#include <optional>
#include <string>

#include "engine/persistence/state_files.h"
#include "platform/number_format.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

constexpr std::size_t kAllItems = static_cast<std::size_t>(maxItems);

// The file's bytes when it exists and holds whole records only.
std::optional<std::string> ReadRecords(const Configuration& config, const StoreServices& io,
                                       const char* name, std::size_t recordSize) {
    auto bytes = io.host.files.ReadAll(config.PathOf(name));
    if (!bytes || bytes.value().size() % recordSize != 0) {
        return std::nullopt;
    }
    return std::move(bytes.value());
}

bool WriteStateFile(const Configuration& config, const StoreServices& io, const char* name,
                    const BinaryWriter& out) {
    return WriteFileAtomic(io.host.files, config.PathOf(name), out.Data(), true).ok();
}

void InitialiseCounterDifferences(PerItem<CounterDifferenceState>& counters) {
    for (std::size_t n = 1; n <= kAllItems; ++n) {
        counters[n].previousReadingTime = -1.0;
        counters[n].lastReadingTime = -1.0;
    }
}

void ClearMirrorOffsets(PerItem<double>& offsets) {
    for (std::size_t n = 1; n <= kAllItems; ++n) {
        offsets[n] = 0.0;
    }
}

// The item's sums start here again. The start links the items before it reads or creates
// the state, so a sample may have come already: dropping it would lose a pump's whole ON
// period, as a pump that stays ON sends nothing more.
void RestartSampleChain(const StoreServices& io, IntegrationStates& integration, int n) {
    integration.RestartSampleChain(n, io.host.clock.Now(), io.host.clock.ElapsedMs());
}

void ResetAccumulators(ConfigRecord& record) {
    record.count = 0.0;
    record.average = 0.0;
    record.sum = 0.0;
    record.minimum = 99999.0;
    record.maximum = -99999.0;
}

// A decode that returned nullopt but consumed its record met a NaN or an infinity.
bool Damaged(const BinaryReader& in, std::size_t before) {
    return in.Position() != before;
}

// Where a restore of the day accumulators writes.
struct DayAccumulators {
    PerItem<ItemStatistics>& statistics;
    IntegrationStates& integration;
};

void TakeDayAccumulators(const Configuration& config, const StoreServices& io,
                         const DayAccumulators& into, int n, const ConfigRecord& record) {
    ItemStatistics& statistics = into.statistics[n];
    statistics.minimum = statistics.correctionMinimum = record.minimum;
    statistics.maximum = record.maximum;
    statistics.average = record.average;
    statistics.count = record.count;
    // Without a value yet (as in a state created afresh) there is no minimum to keep.
    statistics.correctionCount = record.count > 0.0 ? record.count : -2.0;
    if (IntegratesOwnSamples(config.Items()[n])) {
        into.integration.SetSum(n, record.sum);
    } else {
        statistics.sum = record.sum;
    }
    RestartSampleChain(io, into.integration, n);
}

// Reads the accumulators of items 1.. as far as whole records reach; false when the file
// did not hold all items (those read stay in force). A damaged item starts afresh, and
// its record in `kept` becomes the loaded one with reset accumulators: the save takes
// each record's static part from those bytes and could not read the damaged one.
bool ReadDayAccumulators(const Configuration& config, const StoreServices& io,
                         const DayAccumulators& into, const PerItem<ConfigRecord>& loaded,
                         bool& damaged, std::optional<std::string>& kept) {
    kept = ReadRecords(config, io, kConfigStateFile, kConfigRecordSize);
    if (!kept) {
        return false;
    }
    std::string repaired = *kept;
    BinaryReader in(*kept);
    for (int n = 1; n <= config.Settings().itemCount; ++n) {
        const std::size_t before = in.Position();
        auto record = DecodeConfigRecord(in);
        if (!record && !Damaged(in, before)) {
            return false;
        }
        if (!record) {
            LogDamagedRecord(config, io.log, kConfigStateFile, n);
            damaged = true;
            record = loaded[n];
            ResetAccumulators(*record);
            BinaryWriter fresh;
            EncodeConfigRecord(fresh, *record);
            repaired.replace(before, kConfigRecordSize, fresh.Data());
        }
        TakeDayAccumulators(config, io, into, n, *record);
    }
    kept = std::move(repaired);
    return true;
}

bool ReadNightSums(const Configuration& config, StoredState& stored, IntegrationStates& integration,
                   const StoreServices& io, bool& damaged) {
    const GeneralSettings& settings = config.Settings();
    const auto bytes = ReadRecords(config, io, kNightStateFile, kNightRecordSize);
    if (!bytes || bytes->size() < static_cast<std::size_t>(settings.itemCount) * kNightRecordSize) {
        return false;
    }
    io.log.WriteLogDebug("Nachtsummen lesen :");
    BinaryReader in(*bytes);
    for (int n = 1; n <= settings.itemCount; ++n) {
        const std::size_t before = in.Position();
        LongestOffRecord off;
        const auto record = DecodeNightSumRecord(in, &off);
        if (!record && Damaged(in, before)) {
            LogDamagedRecord(config, io.log, kNightStateFile, n);
            damaged = true;
        }
        stored.nightSums[n] = record.value_or(NightSumRecord{});
        integration.RestoreLongestOff(n, off.duration, off.start, off.end);
        io.log.WriteLogDebug(FormatFixed(stored.nightSums[n].ntSum, settings.formatPrecision,
                                         settings.formatDecimals, io.locale));
    }
    return true;
}

}  // namespace

void LogDamagedRecord(const Configuration& config, ProgramLog& log, const char* fileName, int n) {
    // A buffer record's item number comes from the damaged file itself; the mirror offsets
    // are restored before the configuration load has named the items.
    const bool known = n >= 1 && n <= maxItems && !config.Items()[n].itemName.empty();
    const std::string name = known ? " (" + config.Items()[n].itemName + ")" : std::string();
    log.WriteLog("Ungültige Zahl in " + std::string(fileName) + " bei Item " + std::to_string(n) +
                 name + " ! Neu initialisiert.");
}

bool StateStore::CreateConfigFile(const Configuration& config, IntegrationStates& integration) {
    BinaryWriter out;
    for (int n = 1; n <= config.Settings().itemCount; ++n) {
        ConfigRecord& record = stored_.configRecords[n];
        ResetAccumulators(record);
        integration.SetSum(n, 0.0);
        RestartSampleChain(io_, integration, n);
        EncodeConfigRecord(out, record);
    }
    stored_.configFileBytes.reset();
    stored_.ForgetWritten(config.PathOf(kConfigStateFile));
    if (!WriteStateFile(config, io_, kConfigStateFile, out)) {
        io_.log.WriteLog("Fehler beim Erzeugen von TARVEDDE.COF !");
        return false;
    }
    stored_.configFileBytes = out.Take();
    stored_.configFileEncodedHere = true;
    return true;
}

bool StateStore::CreateNightFile(const Configuration& config) {
    BinaryWriter out;
    for (int n = 1; n <= config.Settings().itemCount; ++n) {
        stored_.nightSums[n] = NightSumRecord{};
        EncodeNightSumRecord(out, stored_.nightSums[n]);
    }
    stored_.ForgetWritten(config.PathOf(kNightStateFile));
    if (!WriteStateFile(config, io_, kNightStateFile, out)) {
        io_.log.WriteLog("Fehler beim Erzeugen von TARVEDDE_NACHT.TVW !");
        return false;
    }
    return true;
}

void StateStore::ConvertConfigFile(const Configuration& config) {
    const auto size = io_.host.files.Size(config.PathOf(kConfigStateFile));
    if (!size || size.value() % kConfigRecordSize == 0) {
        return;
    }
    io_.log.WriteLog("Konfigurations-Datei (.COF) wird konvertiert....");
    stored_.configFileBytes.reset();
    stored_.ForgetWritten(config.PathOf(kConfigStateFile));
    const auto bytes = ReadRecords(config, io_, kConfigStateFile, kLegacyConfigRecordSize);
    BinaryReader in(bytes ? std::string_view(*bytes) : std::string_view());
    BinaryWriter out;
    bool complete = bytes.has_value();
    for (int n = 1; complete && n <= config.Settings().itemCount; ++n) {
        const auto record = DecodeLegacyConfigRecord(in);
        complete = record.has_value();
        if (complete) {
            EncodeConfigRecord(out, *record);
        }
    }
    if (!complete || !WriteStateFile(config, io_, kConfigStateFile, out)) {
        io_.log.WriteLog("Fehler bei Konvertierung der .COF -Datei !");
        return;
    }
    io_.log.WriteLog("ok.");
}

// Only the offsets carry state: the configuration load sets the rest of each record.
void StateStore::RestoreMirrorOffsets(const Configuration& config, PerItem<double>& offsets,
                                      StateMarker marker) {
    if (!io_.host.files.Exists(config.PathOf(kMirrorStateFile)) ||
        !marker.Trusts(kMirrorFailedBit)) {
        ClearMirrorOffsets(offsets);
        io_.log.WriteLog("Spiegelsummen-Offsets neu initialisiert.");
        return;
    }
    const auto bytes = ReadRecords(config, io_, kMirrorStateFile, kMirrorRecordSize);
    if (!bytes || bytes->size() < kAllItems * kMirrorRecordSize) {
        ClearMirrorOffsets(offsets);
        io_.log.WriteLog("Spiegelsummen-Dateigröße 0 ! Neu initialisiert.");
        return;
    }
    BinaryReader in(*bytes);
    for (std::size_t n = 1; n <= kAllItems; ++n) {
        const auto record = DecodeMirrorRecord(in);
        if (!record) {
            LogDamagedRecord(config, io_.log, kMirrorStateFile, static_cast<int>(n));
        }
        offsets[n] = record ? record->mirrorSumOffset : 0.0;
    }
}

void StateStore::RestoreCounterDifferences(const Configuration& config,
                                           PerItem<CounterDifferenceState>& counters,
                                           StateMarker marker) {
    if (!io_.host.files.Exists(config.PathOf(kCounterStateFile)) ||
        !marker.Trusts(kCounterFailedBit)) {
        InitialiseCounterDifferences(counters);
        io_.log.WriteLog("Differenzdatei initialisiert.");
        return;
    }
    const auto bytes = ReadRecords(config, io_, kCounterStateFile, kCounterRecordSize);
    if (bytes && bytes->empty()) {
        InitialiseCounterDifferences(counters);
        io_.log.WriteLog("Differenzdatei=0 ! Neu initialisiert.");
        return;
    }
    if (!bytes || bytes->size() > kAllItems * kCounterRecordSize) {
        io_.log.WriteLog("Fehler beim Lesen der Differenzdatei !");
        InitialiseCounterDifferences(counters);
        io_.log.WriteLog("Differenzdatei neu initialisiert.");
        return;
    }
    BinaryReader in(*bytes);
    bool damaged = false;
    for (std::size_t n = 1; in.Remaining() > 0; ++n) {
        const auto record = DecodeCounterRecord(in);
        if (!record) {
            LogDamagedRecord(config, io_.log, kCounterStateFile, static_cast<int>(n));
            damaged = true;
        }
        counters[n] = record.value_or(CounterDifferenceState{});
    }
    if (damaged) {
        io_.log.WriteLog("Fehler beim Lesen der Differenzdatei !");
    }
}

void StateStore::RestoreDayAccumulators(const Configuration& config,
                                        PerItem<ItemStatistics>& statistics,
                                        IntegrationStates& integration, StateMarker marker) {
    if (config.Settings().nullStart) {
        (void)CreateConfigFile(config, integration);
        return;
    }
    if (!marker.Trusts(kConfigFailedBit)) {
        io_.log.WriteLog("Ihre " + std::string(SourceKindName(config.Settings().sourceKind)) +
                         "-Konfiguration könnte fehlerhaft sein !\r\nTARVEDDE.COF wird neu "
                         "erzeugt.");
        (void)CreateConfigFile(config, integration);
        return;
    }
    bool damaged = false;
    const bool complete =
        ReadDayAccumulators(config, io_, {statistics, integration}, stored_.configRecords, damaged,
                            stored_.configFileBytes);
    stored_.configFileEncodedHere = false;
    if (!complete || damaged) {
        io_.host.op.ShowMessage(
            "Fehler beim Lesen von TARVEDDE.COF !\r\nDie Datei wird jetzt neu erzeugt.");
        io_.log.WriteLog("Fehler beim Lesen von TARVEDDE.COF !");
    }
    if (!complete) {
        (void)CreateConfigFile(config, integration);
    }
}

void StateStore::RestoreNightSums(const Configuration& config, IntegrationStates& integration,
                                  StateMarker marker) {
    if (config.Settings().nullStart) {
        (void)CreateNightFile(config);
        return;
    }
    if (!io_.host.files.Exists(config.PathOf(kNightStateFile)) || !marker.Trusts(kNightFailedBit)) {
        io_.log.WriteLog("TARVEDDE_NACHT.TVW wird neu erzeugt.");
        (void)CreateNightFile(config);
        return;
    }
    bool damaged = false;
    const bool complete = ReadNightSums(config, stored_, integration, io_, damaged);
    if (!complete || damaged) {
        io_.host.op.ShowMessage(
            "Fehler beim Lesen von TARVEDDE_NACHT.TVW !\r\nDie Datei wird jetzt neu erzeugt.");
        io_.log.WriteLog("Fehler beim Lesen von TARVEDDE_NACHT.TVW !");
    }
    if (!complete) {
        (void)CreateNightFile(config);
    }
}

}  // namespace tarvedde
