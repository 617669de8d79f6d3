// The in-memory item model: engine-wide settings and the per-item records, held in
// fixed arrays indexed by item number 1..180 for the whole program run (index 0 is
// unused, so item n is always at position n).
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarvedde {

inline constexpr int maxItems = 180;
inline constexpr int maxTablePoints = 50;

// One record per item, indexed by item number 1..180; index 0 exists and is unused.
// The size_t overloads serve loops over the whole array.
template <class T>
class PerItem {
public:
    T& operator[](int n) { return items_[static_cast<std::size_t>(n)]; }
    const T& operator[](int n) const { return items_[static_cast<std::size_t>(n)]; }
    T& operator[](std::size_t n) { return items_[n]; }
    const T& operator[](std::size_t n) const { return items_[n]; }

private:
    std::array<T, maxItems + 1> items_{};
};

// Reset values of the day accumulators.
inline constexpr double kMinimumReset = 999999.9;
inline constexpr double kMaximumReset = -999999.9;
inline constexpr double kMissingValue = -999.0;

enum class SourceKind : int { Dde = 1, Aqasys = 2, Opc = 3 };

// [Fremdwasser] keys of the extraneous-water calculation.
struct ExtraneousWaterSettings {
    int ZulaufMin_ls_index = 0;
    int ZulaufSumme_qbm_index = 0;
    double Zulauf_EwInd_ls = 3.0;  // estimated night inflow of residents and industry, l/s
};

struct GeneralSettings {
    SourceKind sourceKind = SourceKind::Dde;
    bool permanentMode = true;
    int itemCount = 0;
    int intervalCount = 10;
    int intervalUnit = 0;  // 0 seconds, 1 minutes
    int cycleIntervalMs = 10000;
    int bufferSize = 5;
    int movingBufferSize = 360;
    int movingIntervalMs = 10000;
    bool autoStart = false;
    std::string opcHost;
    std::string opcServer;
    std::string ddeService = "Anwendung";
    std::string ddeTopic = "Thema";
    bool saveRawData = false;
    bool viewerOutput = true;
    bool diaryOutput = true;
    int printerIndex = -1;
    bool printAtMidnight = false;
    bool customDayChange = false;
    bool customNewDay = false;
    double customDayChangeTime = 0.0;
    bool varIniScaling = false;
    int formatPrecision = 12;
    int formatDecimals = 3;
    bool firstRun = true;
    bool nullStart = false;
    bool checkDead = true;
    int fifteenMinuteSpan = 15;
    int maxReportSize = 100000;
    int reportFontSize = 10;
    std::string savedDay;
    int opcDeadSeconds = 180;
    int opcCloseCount = 4;
    std::string valuePrefix = "\r\n";
    std::string valueSuffix = "\r\n";
    // Character codes of prefix.txt and suffix.txt, one a line; valuePrefix and
    // valueSuffix are built from them when the item options load.
    std::vector<std::string> prefixCodes{"13", "10"};
    std::vector<std::string> suffixCodes{"13", "10"};
    ExtraneousWaterSettings extraneousWater;
    bool configValid = false;
};

inline const char* SourceKindName(SourceKind kind) {
    return kind == SourceKind::Opc ? "OPC" : "DDE";
}

struct TimeFrame {
    bool on = false;
    double frameStart = 0.0;
    double frameEnd = 0.0;

    bool operator==(const TimeFrame&) const = default;
};

struct ValueConversion {
    bool conversionOn = false;
    std::string varName;
    std::string conversionUnit;
    double conversionFactor = 1.0;
    double conversionDivisor = 1.0;
    int timeBase = 0;  // 0 none, 1 per second, 2 per minute, 3 per hour, 4 per day
};

struct MirrorSetting {
    bool mirrorOn = false;
    int sourceItem = 0;
};

struct ItemConfig {
    std::string serverItem = "0";
    std::string itemName;
    std::string unit;
    double UpWarn = 0.0;
    double LoWarn = 0.0;
    // The item's Warnung switch as the program runs: every load sets it from the settings,
    // and acknowledging the warning window may switch it off until the next load.
    bool effectiveWarnung = false;
    // The validity limits a value is held to: the settings' UpLimit and LoLimit, or on OPC
    // with scaling the user range MinForUser..MaxForUser. Only a load sets them; the
    // configured limits stay in the settings file.
    double effectiveUpLimit = 100000.0;
    double effectiveLoLimit = -100000.0;
    double IntegralLimit = 0.01;
    int IntegralBezug = 1;
    int WarnFlag2 = 0;
    bool WarnComp2 = true;
    double WarnLevel2 = 0.5;
    bool M15_berechnen = true;
    int Tabelle_benutzen = 0;
    TimeFrame timeFrame;
    ValueConversion valueConversion;
    MirrorSetting mirror;
    bool Gleitend = false;
    bool Differenz = false;
    bool Grafikanzeige = true;
    int GrafikRef = 0;
    int Grafiktyp = 1;  // 1 analog, 2 digital
    bool Integral = false;
    int Tagesauswahl = 127;
    // Read again every cycle, so an edit of the settings file shows without a reload.
    bool MaxAusZeit_anzeigen = false;
    int Ganglinie = 0;
    std::string sumUnit;
    double sumDivisor = 1.0;
    std::string viewerSumUnit;
    double viewerSumDivisor = 1.0;
    double calibrationSlope = 1.0;
    double calibrationDivisor = 1.0;
    double calibrationIntercept = 0.0;
    // What EICH.INI holds. Linking calibrates a digital item with 1 and 0; the day's header
    // keeps stating the file's constants, or a restart would take the day for another
    // configuration.
    double fileCalibrationSlope = 1.0;
    double fileCalibrationIntercept = 0.0;
    double MinForUser = 0.0;
    double MaxForUser = 0.0;
    int MinForSPS = 0;
    int MaxForSPS = 0;
    bool Fortlaufend_summieren = false;
    bool Tagesmengen_protokollieren = true;
    double counterReading = 0.0;
    // A day change could not write the reading: the file's older one must not replace it.
    bool counterReadingUnsaved = false;
    bool maintenanceOn = false;

    bool IsDigital() const { return Grafiktyp == 2; }
};

// Whose sum the sample integrator keeps. A mirror marked as an integral takes its sum from
// its source: the sum is its own, which the state files must carry as for any mirror.
inline bool IntegratesOwnSamples(const ItemConfig& item) {
    return item.Integral && !item.mirror.mirrorOn;
}

// The two reference points of an item's calibration (engineering values over raw
// controller values) and the line through them: value = slope × raw + intercept.
struct ItemCalibration {
    double slope = 1.0;
    double intercept = 0.0;
    double MinForUser = 0.0;
    double MaxForUser = 0.0;
    int MinForSPS = 0;
    int MaxForSPS = 0;
    bool operator==(const ItemCalibration&) const = default;
};

struct ItemStatistics {
    double currentValue = 0.0;
    double minimum = kMinimumReset;
    double maximum = kMaximumReset;
    double average = 0.0;
    double count = 0.0;
    double sum = 0.0;
    double previousValue = 0.0;
    double correctionMinimum = 0.0;
    // -2.0: no restored count waits for its first value (a start without restored state).
    double correctionCount = -2.0;
};

// The per-item record of TARVEDDE.COF: the configuration the day was recorded with and
// the day accumulators.
struct ConfigRecord {
    std::string serverItem;
    std::string itemName;
    std::string unit;
    int GrafikRef = 0;
    int Grafiktyp = 1;
    bool Integral = false;
    int Tagesauswahl = 127;
    double UpLimit = 0.0;
    double LoLimit = 0.0;
    double calibrationSlope = 1.0;
    double calibrationIntercept = 0.0;
    double minimum = kMinimumReset;
    double maximum = kMaximumReset;
    double average = 0.0;
    double sum = 0.0;
    double count = 0.0;
};

// An elapsed-clock reading paired with the wall time it was taken at. It measures the
// time since that wall time only while the wall field still holds that value: a wall
// time restored from a file or reset by another module has no elapsed reading.
struct ElapsedMark {
    std::int64_t elapsedMs = -1;
    double wallTime = -1.0;
};

// The elapsed clock's reading at the moment `at`, from its reading `nowMs` at `now`; -1
// (durations by the wall clock) when it lies before this run's elapsed clock began.
inline std::int64_t ElapsedMsAt(double at, double now, std::int64_t nowMs) {
    if (nowMs < 0) {
        return -1;
    }
    constexpr double kMsPerWallDay = 86'400'000.0;
    return std::max<std::int64_t>(-1, nowMs - std::llround((now - at) * kMsPerWallDay));
}

// Per-item state of the item's source: the name it is linked under, its newest value
// text and the transport's handle of the link.
struct ItemSource {
    std::string sourceName;
    std::string newestText;
    std::uint32_t itemHandle = 0;  // the DDE transport's handle (DdeHandle); 0 = none
};

// Per-item state of the sample integrator: the scaling and lower bound of the item's
// set-up, the running sums and the sample chain, and the digital item's switch times.
struct IntegrationState {
    bool isIntegral = false;
    double runningSum = 0.0;
    // Gained after the running day's end, before its day change ran; not saved.
    double newDaySum = 0.0;
    double secondSum = 0.0;
    double lastSampleTime = -1.0;
    double lastSampleValue = 0.0;
    double factor = 1.0;
    double offset = 0.0;
    double lowerBound = 0.0;
    double switchOnTime = 0.0;
    double switchOffTime = 0.0;
    double maxOffDuration = 0.0;
    double lastOffDuration = 0.0;
    double maxOffEnd = 0.0;
    double maxOffStart = 0.0;
    // Elapsed companions of lastSampleTime and switchOffTime: durations come from these,
    // so a clock step or a daylight-saving change adds exactly the time that passed.
    ElapsedMark lastSampleMark;
    ElapsedMark switchOffMark;
};

// The item's sum "up to now": the time since its last sample counted in with the last
// value holding (a digital item's only while switched on), measured by the elapsed clock
// while the sample's mark still belongs to it, else by the wall clock, never negative.
// Without a sample there is no value to hold. The state itself stays as it is.
inline double IntegralUpTo(const ItemConfig& config, const IntegrationState& state, double now,
                           std::int64_t nowMs) {
    if (state.lastSampleTime < 0.0) {
        return state.runningSum;
    }
    const ElapsedMark& mark = state.lastSampleMark;
    const bool byElapsed =
        nowMs >= 0 && mark.elapsedMs >= 0 && mark.wallTime == state.lastSampleTime;
    const double days = byElapsed ? static_cast<double>(nowMs - mark.elapsedMs) / 86'400'000.0
                                  : now - state.lastSampleTime;
    const double increase =
        (days > 0.0 ? days : 0.0) * 86400.0 / (config.IntegralBezug > 1 ? config.IntegralBezug : 1);
    if (config.IsDigital()) {
        return state.lastSampleValue > 0.55 ? state.runningSum + increase : state.runningSum;
    }
    return state.runningSum + increase * state.lastSampleValue;
}

// The item's running sum as shown and reported at `now`: up to then for an item that
// integrates its own samples, a mirror's as it stands.
inline double RunningSumAt(const ItemConfig& config, const IntegrationState& state, double now,
                           std::int64_t nowMs) {
    return IntegratesOwnSamples(config) ? IntegralUpTo(config, state, now, nowMs)
                                        : state.runningSum;
}

class SampleIntegrator;

// The integration state of every item. The sample integrator writes it; the others read
// it, and write only through the named steps below (start, restore, operator reset).
// Where the day that the next day change opens begins: on `now`'s date at the time of day
// the running day ends (midnight, or CustomTime with the postponed day change).
inline double NewDayStart(double now, double dayEnd) {
    return std::floor(now) + (dayEnd - std::floor(dayEnd));
}

class IntegrationStates {
public:
    const IntegrationState& operator[](int n) const { return items_[n]; }
    const IntegrationState& operator[](std::size_t n) const { return items_[n]; }

    // The acquisition start: sums and sample chain begin afresh.
    void ClearForStart(int n) {
        items_[n].runningSum = 0.0;
        items_[n].newDaySum = 0.0;
        items_[n].secondSum = 0.0;
        items_[n].lastSampleTime = -1.0;
    }
    // A sum restored from the state file, or reset by the operator.
    void SetSum(int n, double sum) { items_[n].runningSum = sum; }
    // A digital item's longest off period so far, restored from the state file.
    void RestoreLongestOff(int n, double duration, double start, double end) {
        items_[n].maxOffDuration = duration;
        items_[n].maxOffStart = start;
        items_[n].maxOffEnd = end;
    }
    // The day change: the new day's sum starts with what was gained since the day's end,
    // its off periods at zero; the longest off period's times too, or the new day's report
    // would show the ended day's.
    // A program end before the day change: what was gained since the day's end stays with
    // the running day, whose saved sum the next start's day change closes.
    void KeepNewDayInRunningDay(int n) {
        items_[n].runningSum += items_[n].newDaySum;
        items_[n].newDaySum = 0.0;
    }
    void ClearForNewDay(int n) {
        items_[n].runningSum = items_[n].newDaySum;
        items_[n].newDaySum = 0.0;
        items_[n].maxOffDuration = 0.0;
        items_[n].lastOffDuration = 0.0;
        items_[n].maxOffStart = 0.0;
        items_[n].maxOffEnd = 0.0;
    }
    // A sample that came before (a server sends an item's current value as its link
    // starts) stays the start of the sample chain, counted from now; no sample, no chain.
    void RestartSampleChain(int n, double now, std::int64_t nowMs) {
        IntegrationState& state = items_[n];
        if (state.lastSampleTime < 0.0) {
            return;
        }
        state.lastSampleTime = now;
        state.lastSampleMark = ElapsedMark{nowMs, now};
    }

private:
    friend class SampleIntegrator;
    PerItem<IntegrationState> items_{};
};

// Counter state of a counter-difference item, kept across restarts.
struct CounterDifferenceState {
    double lastReading = 0.0;
    double difference = 0.0;
    double previousReadingTime = -1.0;
    double lastReadingTime = -1.0;  // negative: not initialised
    // The same readings on the elapsed clock, for rates over them; not saved, so -1 until
    // this run has taken two readings.
    std::int64_t previousReadingElapsedMs = -1;
    std::int64_t lastReadingElapsedMs = -1;
    // A reading the limits rejected, until the next one shows whether it was a spike, and
    // when it came; not saved.
    double pendingReading = -1.0;
    double pendingReadingTime = -1.0;
    std::int64_t pendingReadingElapsedMs = -1;
    // Slope and intercept the last reading was calibrated with; not saved, so unknown
    // after a start.
    std::optional<std::pair<double, double>> readingCalibration = std::nullopt;

    // The next reading starts the difference anew, counting nothing (another meter, another
    // calibration).
    void StartAgain() { lastReadingTime = -1.0; }
};

// Fifteen-minute window of an item: the day's lowest and highest level held through a
// whole window, with the cycle times they were reached.
struct FifteenMinuteState {
    int m15Row = -1;
    int m15Index = 0;
    double m15Minimum = kMinimumReset;
    double m15Maximum = kMaximumReset;
    double m15MinimumTime = 0.0;
    double m15MaximumTime = 0.0;
};

// Until a whole window has passed since the day began the extremes are their reset marks,
// which are no measured values.
inline bool HasFullWindow(const FifteenMinuteState& state) {
    return state.m15Minimum != kMinimumReset || state.m15Maximum != kMaximumReset;
}

// Moving average of an item over its ring buffer, with the day's extremes of the mean.
struct MovingAverageState {
    int movingRow = -1;
    int ringIndex = 0;
    double movingAverage = 0.0;
    double movingMinimum = kMinimumReset;
    double movingMaximum = kMaximumReset;
};

// The rows of one kind of window buffer (one row per item that has the feature, -999.0
// marking an empty slot) and every item's place and running state in them. They exist
// from the first acquisition start of a program run until the close.
template <class ItemState>
struct WindowBufferSet {
    std::vector<std::vector<double>> rows;
    bool exist = false;
    PerItem<ItemState> items{};
};
using FifteenMinuteBuffers = WindowBufferSet<FifteenMinuteState>;
using MovingAverageBuffers = WindowBufferSet<MovingAverageState>;

// Night and day sums of an item for the extraneous-water share of the inflow.
struct NightSumRecord {
    bool NTadd = false;
    double ntMinimum = 99999.0;
    double ntMaximum = -99999.0;
    double ntSum = 0.0;
    double ntCount = 0.0;
    double htSum = 0.0;
    double htCount = 0.0;
};

// The part of the day a framed item's times set aside (the ended day period, the night
// while it is kept apart): with the running period's, the day's amount so far.
inline double SetAsideAmount(const NightSumRecord& night) {
    return night.htSum + (night.NTadd ? night.ntSum : 0.0);
}

struct ConversionTable {
    int pointCount = 0;
    std::array<double, maxTablePoints + 1> x{};  // 1-based like the items
    std::array<double, maxTablePoints + 1> y{};
};

using ConversionTables = std::array<ConversionTable, 3>;  // tables 1 and 2

}  // namespace tarvedde
