// The state files: the byte layouts of their records, checked against bytes placed by hand
// at the offsets the older Windows build uses; then the running day's files between two
// engines on one directory: the first saves, the second restores as after a restart.
// Damaged files and failures at every single file operation of a save; last a whole program
// restarting on damaged files. The round trips of records and whole sets are the fuzz
// targets'; what a marker lets through is in the program start's tests.
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/persistence/state_files.h"
#include "engine/persistence/state_records.h"
#include "platform/ini_document.h"
#include "platform/number_format.h"
#include "platform/text_file.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// Bytes from hex digits.
std::string Hex(const std::string& digits) {
    std::string out;
    for (std::size_t at = 0; at + 1 < digits.size(); at += 2) {
        out += static_cast<char>(std::stoi(digits.substr(at, 2), nullptr, 16));
    }
    return out;
}

// Little-endian doubles and 80-bit extended numbers of the values the tests use.
std::string D(double v) {
    static const std::map<double, std::string> bytes = {
        {1.0, "000000000000F03F"}, {-1.0, "000000000000F0BF"},         {2.0, "0000000000000040"},
        {0.5, "000000000000E03F"}, {4.0, "0000000000001040"},          {1.5, "000000000000F83F"},
        {3.0, "0000000000000840"}, {kMissingValue, "0000000000388FC0"}};
    return Hex(bytes.at(v));
}
std::string X(double v) {
    static const std::map<double, std::string> bytes = {{1.0, "0000000000000080FF3F"},
                                                        {2.0, "00000000000000800040"},
                                                        {-3.5, "00000000000000E000C0"}};
    return Hex(bytes.at(v));
}
std::string I(int v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF),
            static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 24 & 0xFF)};
}

// Slots past a row's end, marked empty.
std::string Empty(std::size_t slots) {
    std::string bytes;
    for (std::size_t k = 0; k < slots; ++k) {
        bytes += D(kMissingValue);
    }
    return bytes;
}

using Piece = std::pair<std::size_t, std::string>;
Piece P(std::size_t offset, std::string bytes) {
    return {offset, std::move(bytes)};
}

// A zeroed record of `size` bytes with the pieces placed at their offsets.
std::string Golden(std::size_t size, const std::vector<Piece>& pieces) {
    std::string bytes(size, '\0');
    for (const auto& [offset, piece] : pieces) {
        bytes.replace(offset, piece.size(), piece);
    }
    EXPECT_EQ(bytes.size(), size);
    return bytes;
}

// Server item, name, unit, graphics, integral, days, limits, calibration, accumulators.
const ConfigRecord kSample{"Zulauf.Q", "Zulauf Ä", "l/s", 2,   1,   true, 127, 1.0,
                           -1.0,       2.0,        0.0,   0.5, 4.0, 1.5,  0.0, 3.0};

// Every record against bytes placed by hand. One byte short of a record nothing is read, so
// the next reader still sees every byte; a damaged length byte never pulls the next field
// into the text.
TEST(StateRecords, EveryRecordIsLaidOutAsTheOlderBuildWroteIt) {
    BinaryWriter config;
    EncodeConfigRecord(config, kSample);
    EXPECT_EQ(config.Data(),
              Golden(228, {P(0, "\x08Zulauf.Q"), P(101, "\x08Zulauf \xC4"), P(132, "\x03l/s"),
                           P(143, I(2)), P(147, I(1)), P(151, "\x01"), P(152, I(127)),
                           P(156, D(1.0)), P(164, D(-1.0)), P(172, D(2.0)), P(188, D(0.5)),
                           P(196, D(4.0)), P(204, D(1.5)), P(220, D(3.0))}));
    ConfigRecord legacy = kSample;
    legacy.serverItem = std::string(40, 'S');
    BinaryWriter old;
    EncodeLegacyConfigRecord(old, legacy);
    EXPECT_EQ(old.Data(),
              Golden(158, {P(0, "\x1E" + std::string(30, 'S')), P(31, "\x08Zulauf \xC4"),
                           P(62, "\x03l/s"), P(73, I(2)), P(77, I(1)), P(81, "\x01"), P(82, I(127)),
                           P(86, D(1.0)), P(94, D(-1.0)), P(102, D(2.0)), P(118, D(0.5)),
                           P(126, D(4.0)), P(134, D(1.5)), P(150, D(3.0))}));
    BinaryWriter night;
    EncodeNightSumRecord(night, NightSumRecord{true, 0.5, 4.0, 2.0, 3.0, 1.0, 1.5},
                         {1.5, -1.0, 2.0});
    EXPECT_EQ(night.Data(), Golden(131, {P(0, "\x01"), P(1, D(0.5)), P(9, D(4.0)), P(25, D(2.0)),
                                         P(33, D(3.0)), P(41, D(1.0)), P(49, D(1.5)), P(57, D(1.5)),
                                         P(65, D(-1.0)), P(73, D(2.0))}));
    BinaryWriter mirror;
    EncodeMirrorRecord(mirror, MirrorRecord{true, 5, 1.0});
    EXPECT_EQ(mirror.Data(), Golden(13, {P(0, "\x01"), P(1, I(5)), P(5, D(1.0))}));
    BinaryWriter counter;
    EncodeCounterRecord(counter, CounterDifferenceState{1.0, 2.0, -1.0, 0.5});
    EXPECT_EQ(counter.Data(),
              Golden(46, {P(10, X(1.0)), P(20, X(2.0)), P(30, D(-1.0)), P(38, D(0.5))}));
    // Item, values, index, minimum, maximum, moving average, times of minimum and maximum.
    BinaryWriter window;
    EncodeFifteenMinuteRecord(window, {7, {1.0, 2.0, 0.5}, 2, -3.5, 2.0, 0.0, 0.5, 4.0});
    EXPECT_EQ(window.Data(), Golden(182, {P(0, I(7)), P(4, D(1.0)), P(12, D(2.0)), P(20, D(0.5)),
                                          P(28, Empty(13)), P(132, I(2)), P(146, X(-3.5)),
                                          P(156, X(2.0)), P(166, D(0.5)), P(174, D(4.0))}));
    BinaryWriter ring;
    EncodeMovingRecord(ring, {180, {4.0}, 359, -3.5, 2.0, 1.0});
    EXPECT_EQ(ring.Data(),
              Golden(2918, {P(0, I(180)), P(4, D(4.0)), P(12, Empty(359)), P(2884, I(359)),
                            P(2888, X(1.0)), P(2898, X(-3.5)), P(2908, X(2.0))}));

    const auto readsNothingOfAShortRecord = [](const BinaryWriter& whole, auto decode) {
        const std::string bytes = whole.Data().substr(0, whole.Data().size() - 1);
        BinaryReader in(bytes);
        return !decode(in) && in.Position() == 0;
    };
    EXPECT_TRUE(readsNothingOfAShortRecord(config, DecodeConfigRecord));
    EXPECT_TRUE(readsNothingOfAShortRecord(old, DecodeLegacyConfigRecord));
    LongestOffRecord off;
    const auto decodeNight = [&off](BinaryReader& in) { return DecodeNightSumRecord(in, &off); };
    EXPECT_TRUE(readsNothingOfAShortRecord(night, decodeNight));
    BinaryReader nightIn(night.Data());
    ASSERT_TRUE(decodeNight(nightIn));
    EXPECT_EQ(off.end, 2.0);
    std::string negative = night.Data();
    negative.replace(57, 8, D(-1.0));
    BinaryReader negativeIn(negative);
    ASSERT_TRUE(decodeNight(negativeIn));
    EXPECT_EQ(off.end, 0.0);  // a negative duration is no period
    EXPECT_TRUE(readsNothingOfAShortRecord(mirror, DecodeMirrorRecord));
    EXPECT_TRUE(readsNothingOfAShortRecord(counter, DecodeCounterRecord));
    EXPECT_TRUE(readsNothingOfAShortRecord(window, DecodeFifteenMinuteRecord));
    EXPECT_TRUE(readsNothingOfAShortRecord(ring, DecodeMovingRecord));
    std::string bytes = config.Data();
    bytes[132] = static_cast<char>(200);  // unit: text[10]
    BinaryReader damaged(bytes);
    const auto record = DecodeConfigRecord(damaged);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->unit.size(), 10U);
    EXPECT_EQ(record->GrafikRef, 2);
}

// Three items in permanent mode with their items linked; item 2 integral, item 3 mirrored.
struct Plant : BareEngine {
    explicit Plant(EngineTestHost& host) : BareEngine(host), env(host) {
        Settings().itemCount = 3;
        itemsLinked = true;
        Settings().savedDay = "05.03.2024";
        Item(2).Integral = true;
        Item(3).mirror = MirrorSetting{true, 1};
        Item(3).itemName = "Ablauf";
        for (int n = 1; n <= 3; ++n) {
            At(stored.configRecords, n).serverItem = "Item." + std::to_string(n);
        }
    }

    // Distinct values in every restored field; `base` tells two sets apart.
    void Fill(double base) {
        for (int n = 1; n <= 3; ++n) {
            const double v = base + n;
            ItemStatistics& s = At(values.statistics, n);
            s.minimum = v - 0.5;
            s.maximum = v + 0.5;
            s.average = v;
            s.count = 10.0 * v;
            s.sum = 100.0 * v;
            integration.SetSum(n, 1000.0 * v);
            At(stored.nightSums, n) = NightSumRecord{n == 2, v, v + 1, v + 2, v + 3, v + 4, v + 5};
            integration.RestoreLongestOff(n, v / 100.0, v, v + 0.5);
        }
        At(values.mirrorSumOffsets, 3) = base + 0.25;
        At(values.mirrorSumOffsets, 180) = base + 0.75;
        At(values.counterDifferences, 1) = {base + 0.1, base + 0.2, base + 0.3, base + 0.4};
        At(values.counterDifferences, 180) = {base + 1.1, base + 1.2, base + 1.3, base + 1.4};
    }
    void RestoreAll(StateMarker marker) {
        store.RestoreMirrorOffsets(config, values.mirrorSumOffsets, marker);
        store.RestoreCounterDifferences(config, values.counterDifferences, marker);
        store.RestoreDayAccumulators(config, values.statistics, integration, marker);
        store.RestoreNightSums(config, integration, marker);
    }
    // The marker as a restart reads it from $clean.
    StateMarker Marker() const {
        const std::string text = Clean();
        if (text == "<missing>") {
            return {};
        }
        const int flags = StrToInt(text.substr(0, text.find('\r'))).value();
        return {flags >= 0, flags};
    }
    std::string LogText() const { return env.ReadText(kLogAllFile); }
    std::string Clean() const { return env.ReadText(kCleanMarkerFile); }

    EngineTestHost& env;
};

class StateFilesTest : public EngineFixture {
protected:
    StateFilesTest() {
        EXPECT_TRUE(before_.store.CreateConfigFile(before_.config, before_.integration));
        EXPECT_TRUE(before_.store.CreateNightFile(before_.config));
    }
    int SaveFilled(double base, bool finalSave = false) {
        before_.Fill(base);
        return before_.store.SaveIntermediateState(
            before_.config, before_.values, before_.integration, before_.itemsLinked, finalSave);
    }
    void PutBytes(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(env_.files.WriteAll(env_.dir + name, bytes, false));
    }
    std::string Bytes(const std::string& name) const {
        return env_.files.ReadAll(env_.dir + name).value_or("");
    }
    std::size_t SizeOf(const std::string& name) const { return Bytes(name).size(); }
    // The program log since the last call; both engines write the one log.
    std::string NewLog() {
        const std::string all = Bytes(kLogAllFile);
        const std::string fresh = all.substr(std::min(logged_, all.size()));
        logged_ = all.size();
        return Cp1252ToUtf8(fresh);
    }
    // Every write of the file's temporary fails from now on.
    void FailWritesOf(const std::string& name) {
        env_.files.SetFailurePolicy([this, name](FileOp op, const std::string& path) {
            return op == FileOp::Write && path == env_.dir + name + ".tmp";
        });
    }
    void ExpectWholeSet() const {
        EXPECT_EQ(SizeOf(kConfigStateFile), 3 * 228U);
        EXPECT_EQ(SizeOf(kNightStateFile), 3 * 131U);
        EXPECT_EQ(SizeOf(kMirrorStateFile), 180 * 13U);
        EXPECT_EQ(SizeOf(kCounterStateFile), 180 * 46U);
    }
    // Whether `plant` holds the values Fill(base) gave the first engine.
    static void ExpectRestored(const Plant& s, double base, bool accumulators, bool night,
                               bool mirror, bool counter) {
        EXPECT_EQ(At(s.values.statistics, 1).average == base + 1, accumulators) << base;
        EXPECT_EQ(s.integration[2].runningSum == 1000.0 * (base + 2), accumulators) << base;
        EXPECT_EQ(At(s.stored.nightSums, 3).ntSum == base + 5, night) << base;
        EXPECT_EQ(s.integration[3].maxOffStart == base + 3 && s.integration[3].maxOffEnd > 0.0,
                  night)
            << base;
        EXPECT_EQ(At(s.values.mirrorSumOffsets, 3) == base + 0.25, mirror) << base;
        EXPECT_EQ(At(s.values.counterDifferences, 180).lastReading == base + 1.1, counter) << base;
    }

    Plant before_{env_};
    Plant after_{env_};
    std::size_t logged_ = 0;
};

// A restart takes every accumulator of a clean save; they also seed the corrections of the
// first value, and the integral item's sum is its running sum. A process that dies while the
// save writes finds the previous set whole. A failure at any single operation costs only the
// file it hit: it keeps the previous content, its bit is logged and set in $clean, and a
// restart takes every other file. A marker that cannot be written keeps the old one.
TEST_F(StateFilesTest, ARestartTakesACleanSaveAndAFailedOperationCostsOnlyTheFileItHit) {
    ASSERT_EQ(SaveFilled(5.0), 0);
    EXPECT_EQ(before_.Clean(), "0\r\n05.03.2024\r\n");
    ExpectWholeSet();
    EXPECT_FALSE(Exists(kFifteenMinuteStateFile));
    EXPECT_FALSE(Exists(kMovingStateFile));
    after_.RestoreAll(after_.Marker());
    ExpectRestored(after_, 5.0, true, true, true, true);
    for (int n = 1; n <= 3; ++n) {
        const ItemStatistics& want = At(before_.values.statistics, n);
        const ItemStatistics& got = At(after_.values.statistics, n);
        EXPECT_EQ(got.correctionMinimum, want.minimum);
        EXPECT_EQ(got.correctionCount, want.count);
        EXPECT_EQ(after_.integration[n].lastSampleTime, -1.0);
    }
    EXPECT_EQ(At(after_.values.statistics, 1).sum, 600.0);
    EXPECT_EQ(At(after_.values.statistics, 2).sum, 0.0);
    EXPECT_EQ(At(after_.values.mirrorSumOffsets, 180), 5.75);
    EXPECT_THAT(Bytes(kConfigStateFile), HasSubstr("Item.3"));  // static part as created
    EXPECT_THAT(NewLog(), Not(HasSubstr("Fehler")));

    const int start = env_.files.OperationCount();
    ASSERT_EQ(SaveFilled(7.0), 0);
    // Four files, each written, renamed and stamped; the unchanged $clean only stamped.
    const int operations = env_.files.OperationCount() - start;
    ASSERT_EQ(operations, 13);

    const auto set = [&] {
        std::map<std::string, std::string> files;
        for (const char* name :
             {kCounterStateFile, kMirrorStateFile, kNightStateFile, kConfigStateFile}) {
            files[name] = Bytes(name);
        }
        return files;
    };
    const auto previous = set();
    std::map<std::string, std::string> seenAtLastWrite;
    env_.files.SetFailurePolicy([&](FileOp op, const std::string& path) {
        if (op == FileOp::Write && path == env_.dir + kConfigStateFile + ".tmp") {
            seenAtLastWrite = set();
        }
        return false;
    });
    ASSERT_EQ(SaveFilled(5.0), 0);
    env_.files.SetFailurePolicy(nullptr);
    EXPECT_EQ(seenAtLastWrite, previous);
    EXPECT_NE(Bytes(kCounterStateFile), previous.at(kCounterStateFile));

    const std::pair<int, const char*> messages[] = {
        {kCounterFailedBit, "Fehler beim Speichern von DIFFBUF.TVW"},
        {kMirrorFailedBit, "Fehler beim Speichern von SPIEGELDATEN.TVW"},
        {kNightFailedBit, "Fehler beim Speichern von TARVEDDE_NACHT.TVW !"},
        {kConfigFailedBit, "Fehler beim Speichern von TARVEDDE.COF !"}};
    int failedBits = 0;
    for (int k = 1; k <= operations; ++k) {
        SCOPED_TRACE(k);
        ASSERT_EQ(SaveFilled(5.0), 0);
        env_.files.FailNthOperation(k);
        (void)NewLog();
        const int flags = SaveFilled(7.0);
        ASSERT_GE(flags, 0);
        failedBits |= flags;
        ExpectWholeSet();
        const std::string log = NewLog();
        for (const auto& [bit, message] : messages) {
            EXPECT_EQ((flags & bit) != 0, log.find(message) != std::string::npos) << message;
        }
        Plant restarted{env_};
        const StateMarker marker = restarted.Marker();
        EXPECT_EQ(marker.flags, flags);
        restarted.RestoreAll(marker);
        EXPECT_EQ(NewLog().find("Spiegelsummen-Offsets neu initialisiert.") != std::string::npos,
                  !marker.Trusts(kMirrorFailedBit));
        ExpectRestored(restarted, 7.0, marker.Trusts(kConfigFailedBit),
                       marker.Trusts(kNightFailedBit), marker.Trusts(kMirrorFailedBit),
                       marker.Trusts(kCounterFailedBit));
    }
    EXPECT_EQ(failedBits,
              kCounterFailedBit | kMirrorFailedBit | kNightFailedBit | kConfigFailedBit);

    // The first save of a day writes every file, also a $clean that would stay the same.
    before_.Settings().savedDay = "06.03.2024";
    FailWritesOf(kCleanMarkerFile);
    EXPECT_EQ(SaveFilled(5.0), 0);
    env_.files.SetFailurePolicy(nullptr);
    EXPECT_THAT(NewLog(), HasSubstr("Fehler beim Schreiben der CLEAN-Datei !"));
    EXPECT_EQ(before_.Clean(), "0\r\n05.03.2024\r\n");
    EXPECT_TRUE(before_.store.SaveIsDurable(before_.config, false));
    Plant restarted{env_};
    restarted.RestoreAll(restarted.Marker());
    ExpectRestored(restarted, 5.0, true, true, true, true);
}

// A file of broken size is re-created or reinitialised, never half read; a config file of
// whole records that ends before the last item keeps the items it holds. The counter file
// holds at most 180 records: one more, or none, reinitialises them all.
TEST_F(StateFilesTest, FilesOfBrokenSizeAreReinitialisedNotHalfRead) {
    ASSERT_EQ(SaveFilled(5.0), 0);
    const std::string saved = Bytes(kConfigStateFile);
    for (const char* name : {kConfigStateFile, kNightStateFile, kMirrorStateFile}) {
        PutBytes(name, Bytes(name) + "x");
    }
    PutBytes(kCounterStateFile, std::string(2 * 46 + 1, '\0'));
    after_.RestoreAll({true, 0});
    ExpectRestored(after_, 5.0, false, false, false, false);
    std::string log = NewLog();
    EXPECT_THAT(log, HasSubstr("Spiegelsummen-Dateigröße 0 ! Neu initialisiert."));
    EXPECT_THAT(log, HasSubstr("Fehler beim Lesen der Differenzdatei !"));
    EXPECT_THAT(log, HasSubstr("Fehler beim Lesen von TARVEDDE.COF !"));
    EXPECT_THAT(log, HasSubstr("Fehler beim Lesen von TARVEDDE_NACHT.TVW !"));
    EXPECT_EQ(SizeOf(kNightStateFile), 3 * 131U);

    PutBytes(kConfigStateFile, saved.substr(0, 2 * 228));
    after_.store.RestoreDayAccumulators(after_.config, after_.values.statistics, after_.integration,
                                        {true, 0});
    EXPECT_THAT(Transcript().back(), HasSubstr("Fehler beim Lesen von TARVEDDE.COF !"));
    EXPECT_EQ(At(after_.values.statistics, 1).average, 6.0);
    EXPECT_EQ(At(after_.values.statistics, 3).average, 0.0);
    EXPECT_EQ(SizeOf(kConfigStateFile), 3 * 228U);
    // Re-creations that cannot be written are reported.
    PutBytes(kConfigStateFile, "x");
    FailWritesOf(kConfigStateFile);
    after_.store.RestoreDayAccumulators(after_.config, after_.values.statistics, after_.integration,
                                        {true, 0});
    FailWritesOf(kNightStateFile);
    EXPECT_FALSE(after_.store.CreateNightFile(after_.config));
    env_.files.SetFailurePolicy(nullptr);
    log = NewLog();
    EXPECT_THAT(log, HasSubstr("Fehler beim Erzeugen von TARVEDDE.COF !"));
    EXPECT_THAT(log, HasSubstr("Fehler beim Erzeugen von TARVEDDE_NACHT.TVW !"));

    BinaryWriter records;
    for (int n = 1; n <= 181; ++n) {
        EncodeCounterRecord(records, {n * 1.0, 0.0, 0.0, 1.0});
    }
    const auto restore = [&](const std::string& bytes) {
        PutBytes(kCounterStateFile, bytes);
        after_.store.RestoreCounterDifferences(after_.config, after_.values.counterDifferences,
                                               {true, 0});
        return At(after_.values.counterDifferences, 180);
    };
    const std::string whole = records.Data().substr(0, 180 * 46);
    EXPECT_EQ(restore(whole).lastReading, 180.0);
    EXPECT_EQ(restore(records.Data()).lastReadingTime, -1.0);
    log = NewLog();
    EXPECT_THAT(log, HasSubstr("Fehler beim Lesen der Differenzdatei !"));
    EXPECT_THAT(log, HasSubstr("Differenzdatei neu initialisiert."));
    EXPECT_EQ(restore(whole).lastReading, 180.0);
    EXPECT_EQ(restore(std::string()).lastReadingTime, -1.0);
    EXPECT_THAT(NewLog(), HasSubstr("Differenzdatei=0 ! Neu initialisiert."));
}

// TARVEDDE.COF of the older layout is converted, unless it is whole current records; the
// next save writes over the converted records. The save keeps what it wrote instead of
// reading it back: a file another program changed meanwhile is written whole again, with
// the static part it held. After a failed write its content is in doubt, and the
// next save reads it again.
TEST_F(StateFilesTest, ConfigFileKeepsItsStaticPartThroughConversionAndSaves) {
    BinaryWriter legacy;
    for (int n = 1; n <= 3; ++n) {
        ConfigRecord record;
        record.serverItem = "Alt." + std::to_string(n);
        record.average = n;
        EncodeLegacyConfigRecord(legacy, record);
    }
    PutBytes(kConfigStateFile, legacy.Data());
    before_.store.ConvertConfigFile(before_.config);
    EXPECT_THAT(NewLog(), HasSubstr("Konfigurations-Datei (.COF) wird konvertiert...."));
    const std::string converted = Bytes(kConfigStateFile);
    ASSERT_EQ(converted.size(), 3 * 228U);
    BinaryReader in(converted);
    for (int n = 1; n <= 3; ++n) {
        const auto record = DecodeConfigRecord(in);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->serverItem, "Alt." + std::to_string(n));
        EXPECT_EQ(record->average, n);
    }
    ASSERT_EQ(SaveFilled(5.0), 0);
    const std::string saved = Bytes(kConfigStateFile);
    EXPECT_THAT(saved, HasSubstr("Alt.3"));
    // 114 legacy records are 79 current ones: such a file counts as converted.
    const std::string bytes(114 * 158, '\0');
    PutBytes(kConfigStateFile, bytes);
    after_.store.ConvertConfigFile(after_.config);
    EXPECT_EQ(Bytes(kConfigStateFile), bytes);
    EXPECT_THAT(NewLog(), Not(HasSubstr("konvertiert")));
    PutBytes(kConfigStateFile, "x");  // neither layout
    after_.store.ConvertConfigFile(after_.config);
    EXPECT_EQ(Bytes(kConfigStateFile), "x");
    EXPECT_THAT(NewLog(), HasSubstr("Fehler bei Konvertierung der .COF -Datei !"));
    ASSERT_EQ(SaveFilled(5.0), 0);
    EXPECT_EQ(Bytes(kConfigStateFile), saved);
    // Saved over its own bytes: new accumulators, the static part untouched.
    ASSERT_EQ(SaveFilled(8.0), 0);
    const std::string next = Bytes(kConfigStateFile);
    BinaryReader again(next);
    for (int n = 1; n <= 3; ++n) {
        const std::size_t start = static_cast<std::size_t>(n - 1) * 228;
        EXPECT_EQ(next.substr(start, 188), saved.substr(start, 188)) << n;
        const auto record = DecodeConfigRecord(again);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->average, At(before_.values.statistics, n).average);
        EXPECT_EQ(record->count, At(before_.values.statistics, n).count);
    }
    ASSERT_EQ(SaveFilled(5.0), 0);
    EXPECT_EQ(Bytes(kConfigStateFile), saved);

    FailWritesOf(kConfigStateFile);
    EXPECT_EQ(SaveFilled(7.0), kConfigFailedBit);
    env_.files.SetFailurePolicy(nullptr);
    PutBytes(kConfigStateFile, saved.substr(0, 228));
    EXPECT_EQ(SaveFilled(5.0), kConfigFailedBit);
    EXPECT_THAT(NewLog(), HasSubstr("Fehler beim Lesen von TARVEDDE.COF !"));
}

class WindowBufferTest : public StateFilesTest {
protected:
    struct Buffers {
        FifteenMinuteBuffers m15;
        MovingAverageBuffers moving;
    };
    // Buffers as an acquisition start creates them: item 1 owns fifteen-minute row 0, item
    // 3 row 1; item 2 owns moving row 0.
    static void Build(BareEngine& plant, Buffers& buffers) {
        buffers = {};
        At(buffers.m15.items, 1).m15Row = 0;
        At(buffers.m15.items, 3).m15Row = 1;
        At(buffers.moving.items, 2).movingRow = 0;
        buffers.m15.rows.assign(2, std::vector<double>(15, -999.0));
        buffers.moving.rows.assign(1, std::vector<double>(360, -999.0));
        buffers.m15.exist = buffers.moving.exist = true;
        plant.store.JoinWindowBuffers(buffers.m15, buffers.moving);
    }
    WindowBufferTest() {
        Build(before_, saved_);
        Build(after_, restored_);
        saved_.m15.rows[1][14] = 3.25;
        At(saved_.m15.items, 3) = {1, 14, 1.5, 9.5, 45356.25, 45356.5};
        saved_.moving.rows[0][359] = 0.1;
        At(saved_.moving.items, 2) = {0, 359, 4.75, -2.5, 8.0};
    }
    void RestoreBoth(StateMarker m15, StateMarker moving) {
        after_.store.RestoreFifteenMinuteBuffers(after_.config, m15);
        after_.store.RestoreMovingAverageBuffers(after_.config, moving);
    }
    FifteenMinuteState& M15(int n) { return At(restored_.m15.items, n); }
    MovingAverageState& Moving(int n) { return At(restored_.moving.items, n); }
    Buffers saved_;
    Buffers restored_;
};

// Saves run only with linked items in permanent mode. Most cycles leave the moving-average
// rings as they were: a file is rewritten when its bytes change, when something else
// touched it since, and in a save that is flushed. Flushing costs tens of milliseconds per
// save: only the close and the first save of a day (and of a program run) wait for the disk.
TEST_F(WindowBufferTest, SavesWriteWhatChangedAndFlushAtCloseAndOncePerDay) {
    before_.itemsLinked = false;
    EXPECT_EQ(SaveFilled(1.0), 0);
    before_.itemsLinked = true;
    before_.Settings().permanentMode = false;
    EXPECT_EQ(SaveFilled(1.0), 0);
    EXPECT_FALSE(Exists(kCleanMarkerFile));
    EXPECT_FALSE(Exists(kMovingStateFile));
    before_.Settings().permanentMode = true;

    const Configuration& c = before_.config;
    const auto stamp = [&](const char* name) {
        return env_.files.Stamp(env_.dir + name).value_or(FileStamp{});
    };
    EXPECT_TRUE(before_.store.SaveIsDurable(c, false));
    ASSERT_EQ(SaveFilled(5.0), 0);
    EXPECT_FALSE(before_.store.SaveIsDurable(c, false));
    EXPECT_TRUE(before_.store.SaveIsDurable(c, true));
    const FileStamp moving = stamp(kMovingStateFile);
    const FileStamp clean = stamp(kCleanMarkerFile);
    const FileStamp counter = stamp(kCounterStateFile);
    ASSERT_EQ(SaveFilled(6.0), 0);
    EXPECT_EQ(stamp(kMovingStateFile), moving);
    EXPECT_EQ(stamp(kCleanMarkerFile), clean);
    EXPECT_NE(stamp(kCounterStateFile), counter);

    saved_.moving.rows[0][0] = 2.5;
    ASSERT_EQ(SaveFilled(6.0), 0);
    EXPECT_NE(stamp(kMovingStateFile), moving);
    const std::string rings = Bytes(kMovingStateFile);
    const std::string windows = Bytes(kFifteenMinuteStateFile);
    ASSERT_TRUE(env_.files.Remove(env_.dir + kMovingStateFile));
    PutBytes(kFifteenMinuteStateFile, std::string(windows.size(), 'x'));
    ASSERT_EQ(SaveFilled(6.0), 0);
    EXPECT_EQ(Bytes(kMovingStateFile), rings);
    EXPECT_EQ(Bytes(kFifteenMinuteStateFile), windows);

    const FileStamp beforeNewDay = stamp(kMovingStateFile);
    before_.Settings().savedDay = "06.03.2024";
    EXPECT_TRUE(before_.store.SaveIsDurable(c, false));
    ASSERT_EQ(SaveFilled(6.0), 0);
    EXPECT_NE(stamp(kMovingStateFile), beforeNewDay);
    EXPECT_FALSE(before_.store.SaveIsDurable(c, false));
}

// Rows survive a restart. An error bit, an unclean start, a file of the wrong size or a
// record whose item owns no row restore nothing; a record goes back to the row its item
// owns now, whatever its place in the file. A window or ring shorter than at
// the save (another cycle or Puffer) keeps the saved extremes and starts at its first slot;
// a row added since the save stays as created. A row holding a NaN or an infinity stays as
// created and the next row is taken.
TEST_F(WindowBufferTest, RowsSurviveOnlyACleanRestartOfWholeRecordsTheyStillOwn) {
    saved_.m15.rows[0][0] = 1.25;
    saved_.m15.rows[1][0] = 7.5;
    At(saved_.m15.items, 1).m15Maximum = 6.5;  // its window stands at slot 0
    ASSERT_EQ(SaveFilled(5.0), 0);
    const std::string windows = Bytes(kFifteenMinuteStateFile);
    const std::string rings = Bytes(kMovingStateFile);
    EXPECT_EQ(windows.size(), 2 * 182U);
    EXPECT_EQ(rings.size(), 2918U);
    RestoreBoth({true, kFifteenMinuteFailedBit}, {false, 0});
    EXPECT_EQ(restored_.m15.rows[1][14], -999.0);
    EXPECT_EQ(restored_.moving.rows[0][359], -999.0);
    RestoreBoth({true, 0}, {true, 0});
    EXPECT_EQ(restored_.m15.rows[1][14], 3.25);
    EXPECT_EQ(restored_.m15.rows[0][0], 1.25);
    EXPECT_EQ(M15(1).m15Maximum, 6.5);
    EXPECT_EQ(M15(3).m15Index, 14);
    EXPECT_EQ(M15(3).m15MaximumTime, 45356.5);
    EXPECT_EQ(restored_.moving.rows[0][359], 0.1);
    EXPECT_EQ(Moving(2).ringIndex, 359);
    EXPECT_EQ(Moving(2).movingMinimum, -2.5);
    EXPECT_THAT(NewLog(), Not(HasSubstr("Fehler beim Lesen")));

    Build(after_, restored_);
    restored_.m15.rows.assign(3, std::vector<double>(14, -999.0));
    restored_.moving.rows[0].assign(200, -999.0);
    RestoreBoth({true, 0}, {true, 0});
    EXPECT_THAT(NewLog(), Not(HasSubstr("Fehler beim Lesen")));
    EXPECT_EQ(restored_.m15.rows[1][0], 7.5);
    EXPECT_EQ(M15(3).m15Index, 0);
    EXPECT_EQ(M15(3).m15Maximum, 9.5);
    EXPECT_EQ(Moving(2).ringIndex, 0);
    EXPECT_EQ(Moving(2).movingMinimum, -2.5);
    EXPECT_EQ(Moving(2).movingMaximum, 8.0);

    Build(after_, restored_);
    std::string m15 = windows;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    m15.replace(4, sizeof nan, reinterpret_cast<const char*>(&nan), sizeof nan);
    PutBytes(kFifteenMinuteStateFile, m15);
    std::string moving = rings;
    moving.replace(2888, 10, std::string("\0\0\0\0\0\0\0\x80\xFF\x7F", 10));  // infinity
    PutBytes(kMovingStateFile, moving);
    RestoreBoth({true, 0}, {true, 0});
    std::string log = NewLog();
    EXPECT_THAT(log, HasSubstr("Ungültige Zahl in M15BUF.TVW bei Item 1 ! Neu initialisiert.\r\n"));
    EXPECT_THAT(log, HasSubstr("Fehler beim Lesen der M15-Datei !"));
    EXPECT_THAT(log,
                HasSubstr("Ungültige Zahl in GLEITBUF2.TVW bei Item 2 ! Neu initialisiert.\r\n"));
    EXPECT_EQ(restored_.m15.rows[0][0], -999.0);
    EXPECT_EQ(restored_.m15.rows[1][14], 3.25);
    EXPECT_EQ(restored_.moving.rows[0][359], -999.0);
    EXPECT_EQ(Moving(2).movingAverage, 0.0);

    // Item 180 keeps no row; item 1 owns row 0, whose record now names item 180.
    Build(after_, restored_);
    PutBytes(kFifteenMinuteStateFile, I(180) + windows.substr(4));
    PutBytes(kMovingStateFile, rings + "x");
    RestoreBoth({true, 0}, {true, 0});
    log = NewLog();
    EXPECT_THAT(log, HasSubstr("Fehler beim Lesen der gleitenden Mittelwert-Datei !"));
    EXPECT_EQ(restored_.moving.rows[0][359], -999.0);
    EXPECT_THAT(log, HasSubstr("Falscher Index in M15-Datei !"));
    EXPECT_EQ(restored_.m15.rows[0][0], -999.0);
    EXPECT_EQ(M15(1).m15Maximum, FifteenMinuteState{}.m15Maximum);
    EXPECT_EQ(restored_.m15.rows[1][14], 3.25);

    // Item 1 got its ring during the run, after item 2's; item 2 then lost its moving
    // average, so the restart gives item 1 row 0.
    At(saved_.moving.items, 1) = {1, 3, 2.0, 1.5, 2.5};
    saved_.moving.rows.emplace_back(360, 6.0);
    ASSERT_EQ(SaveFilled(5.0), 0);
    Build(after_, restored_);
    std::swap(Moving(1), Moving(2));
    RestoreBoth({true, 0}, {true, 0});
    EXPECT_EQ(restored_.moving.rows[0][0], 6.0);
    EXPECT_EQ(Moving(1).ringIndex, 3);
    EXPECT_THAT(NewLog(), HasSubstr("Falscher Index bei gleit.Mittelwert !"));
}

// A row without item or longer than the record fails the save of the set, and a restore
// ends its reading there. The close releases both sets and writes the diagnostics; the
// next save has no buffers left to write and leaves their files alone.
TEST_F(WindowBufferTest, BadRowsFailTheSaveAndTheCloseReleasesTheBuffers) {
    saved_.m15.rows[0].resize(17, 1.0);
    EXPECT_EQ(SaveFilled(5.0), kFifteenMinuteFailedBit);
    EXPECT_THAT(NewLog(), HasSubstr("Fehler beim Speichern der M15-Werte !"));
    saved_.m15.rows[0].resize(16);
    EXPECT_EQ(SaveFilled(5.0), 0);
    At(saved_.m15.items, 1).m15Row = -1;
    EXPECT_EQ(SaveFilled(5.0), kFifteenMinuteFailedBit);
    EXPECT_THAT(NewLog(), HasSubstr("Falscher Index beim Speichern der M15-Werte !"));
    RestoreBoth({true, 0}, {true, 0});
    EXPECT_THAT(NewLog(), HasSubstr("Fehler beim Lesen der M15-Datei !"));
    EXPECT_EQ(restored_.m15.rows[1][14], -999.0);  // reading ended at row 0
    EXPECT_EQ(restored_.moving.rows[0][359], 0.1);

    At(saved_.m15.items, 1).m15Row = 0;
    before_.log.Settings().debugLog = true;
    ASSERT_EQ(SaveFilled(5.0, true), 0);
    EXPECT_FALSE(saved_.m15.exist);
    EXPECT_TRUE(saved_.moving.rows.empty());
    const std::string rings = Bytes(kMovingStateFile);
    const std::string windows = Bytes(kFifteenMinuteStateFile);
    EXPECT_EQ(rings.size(), 2918U);
    EXPECT_EQ(windows.size(), 2 * 182U);
    const std::string log = NewLog();
    EXPECT_THAT(log, HasSubstr("Nachtsummen speichern :"));
    EXPECT_THAT(log, HasSubstr("8,000"));
    const auto statistics = [&] { return before_.log.StatisticsInfo().Lines(); };
    EXPECT_THAT(statistics(), ElementsAre(HasSubstr("Statistik für Ablauf (gespiegelt)"),
                                          HasSubstr("Anzahl=80  Mittel=8,000"),
                                          HasSubstr("Summe/Integral=800,000")));
    ASSERT_EQ(SaveFilled(5.0), 0);
    EXPECT_EQ(Bytes(kMovingStateFile), rings);
    EXPECT_EQ(Bytes(kFifteenMinuteStateFile), windows);
    EXPECT_EQ(statistics().size(), 3U);
}

// A NaN or an infinity in any state file damages that item's record: the item starts
// afresh, the log names item and file, and the next cycles' viewer lines and day-file row
// hold numbers only. Item 1 is mirrored by item 3 and keeps a moving average, item 2 is a
// meter. One record of each file is damaged: the config record of item 1, the night sums
// and counter of item 2, the mirror offset of item 3.
using PoisonedStateTest = EngineFixture;

TEST_F(PoisonedStateTest, DamagedItemsStartAfreshAndNoOutputCarriesThem) {
    WriteIni(
        "[DDE]\nItemcount=3\nIntervall=10\nEinheit=0\nAutoStart=1\nAktuTag=05.03.2024\n"
        "[Items]\nItem1=Q\nItem2=Z\nItem3=S\n[Itemnames]\nItem1=Zulauf\nItem2=Strom\n"
        "Item3=Spiegel\n[Differenz]\nItem2=1\n[Spiegelung]\nItem3=1|1\n[Gleitend]\nItem1=1\n");
    int cycle = 0;
    const auto runCycles = [&](int cycles) {
        for (int i = 0; i < cycles; ++i) {
            ++cycle;
            Source(1).newestText = std::to_string(10 + cycle) + ",5";
            Source(2).newestText = std::to_string(4000 + 7 * cycle);
            Advance(10000);
        }
    };
    SetClock(7, 0, 0);
    Start();
    runCycles(6);
    Main().FormClose();
    main_.reset();
    const auto poison = [&](const char* file, std::size_t offset, const std::string& field) {
        std::string bytes = env_.files.ReadAll(env_.dir + file).value_or("");
        ASSERT_LE(offset + field.size(), bytes.size()) << file;
        bytes.replace(offset, field.size(), field);
        ASSERT_TRUE(env_.files.WriteAll(env_.dir + file, bytes, false));
    };
    const auto bytesOf = [](double v) {
        return std::string(reinterpret_cast<const char*>(&v), sizeof v);
    };
    poison(kConfigStateFile, 204, bytesOf(std::numeric_limits<double>::quiet_NaN()));
    poison(kNightStateFile, 131 + 25, bytesOf(std::numeric_limits<double>::quiet_NaN()));
    poison(kMirrorStateFile, 2 * 13 + 5, bytesOf(std::numeric_limits<double>::infinity()));
    // An Extended NaN: all exponent bits and the integer bit set.
    poison(kCounterStateFile, 46 + 10, std::string("\0\0\0\0\0\0\0\xC0\xFF\x7F", 10));

    SetClock(7, 5, 0);
    Start();
    EXPECT_TRUE(Logged("Ungültige Zahl in TARVEDDE.COF bei Item 1 (Zulauf) ! Neu initialisiert."));
    EXPECT_TRUE(
        Logged("Ungültige Zahl in TARVEDDE_NACHT.TVW bei Item 2 (Strom) ! Neu initialisiert."));
    EXPECT_TRUE(Logged("Ungültige Zahl in SPIEGELDATEN.TVW bei Item 3 ! Neu initialisiert."));
    EXPECT_TRUE(Logged("Ungültige Zahl in DIFFBUF.TVW bei Item 2 (Strom) ! Neu initialisiert."));
    EXPECT_TRUE(Logged("Fehler beim Lesen der Differenzdatei !"));
    EXPECT_LE(Stats(1).count, 1.0);
    EXPECT_TRUE(std::isfinite(Stats(1).average));
    EXPECT_EQ(Night(2).ntSum, 0.0);
    EXPECT_EQ(MirrorOffset(3), 0.0);
    EXPECT_TRUE(std::isfinite(Counter(2).lastReading));
    runCycles(2);
    // The saves after the restart take every file again, the damaged ones too.
    EXPECT_EQ(Read(kCleanMarkerFile), "0\r\n05.03.2024\r\n");
    Lines outputs = Unstamped(Read("AKTDAT.TVV"));
    outputs.push_back(Unstamped(Read("20240305.DAT")).back());
    for (const std::string& line : outputs) {
        const std::string lower = FoldCaseCp1252(line);
        for (const char* bad : {"nan", "inf", "e308", ";;"}) {
            EXPECT_EQ(lower.find(bad), std::string::npos) << line;
        }
    }
    EXPECT_THAT(LogAll(), Not(HasSubstr("Exception")));
    EXPECT_THAT(LogAll(), Not(HasSubstr("Fehler beim Spiegeln")));
}

}  // namespace
}  // namespace tarvedde::testing
