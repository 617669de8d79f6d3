// The three files the diary program TARVEGET shares with us: ONLINE.TVW (the positions
// it accepts online values for, written by TARVEGET), the binding file (which item and
// kind of value feeds each position) and the day's diary data file (.TVI, read by
// TARVEGET). All of them come from other programs or old installations, so every reader
// takes damaged bytes: it never reads outside the data and says what it could not take.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/binary_records.h"

namespace tarvedde {

inline constexpr std::size_t kDiaryBindingSize = 212;
inline constexpr std::size_t kLegacyDiaryBindingSize = 122;
// Diary indexes 1..300 have a value; an AQASYS binding file holds one record each.
inline constexpr int kDiaryValueCount = 300;
inline constexpr int kMaxOnlinePositions = 1080;
// No file of the interface is larger in use; a bigger one is damaged and is not read.
inline constexpr std::uint64_t kMaxDiaryFileBytes = 1024 * 1024;
inline constexpr char kDiaryMissingValue[] = "-999.0";
inline constexpr char kOnlineListFile[] = "ONLINE.TVW";
inline constexpr char kPermanentBindingFile[] = "BINDUNG.TVW";
inline constexpr char kAqasysBindingFile[] = "AQABIND.TVW";

// One diary position's binding. In AQASYS mode timeFrameMode and allDayMask hold the
// first and last hour of the transfer instead.
struct DiaryBinding {
    std::string name;  // at most 30 characters
    int diaryIndex = 0;
    int itemNumber = 0;       // 0: not bound
    std::string itemAddress;  // at most 100 characters (10 in the older layout)
    std::string itemName;     // at most 30 characters
    int transferType = -1;    // -1 none, 0..5 (see TransferDiaryData)
    bool timeRestricted = false;
    int timeFrameMode = 0;  // -1 none, 0 same day, 1 with date change
    int allDayMask = 0;     // bit d-1: all day on weekday d (1 Sunday)
    int neverMask = 0;      // bit d-1: never on weekday d
    // Four fields no program reads (8, 8, 4 and 4 bytes), carried along byte for byte.
    std::array<std::uint8_t, 24> reserved{};

    bool operator==(const DiaryBinding&) const = default;
};

// The first 30 characters of a UTF-8 text: what a record's name field holds.
std::string CutDiaryName(const std::string& utf8);

// Exactly kDiaryBindingSize bytes; texts are cut to their field.
void EncodeDiaryBinding(BinaryWriter& out, const DiaryBinding& binding);
// One record, or nullopt (nothing taken) when fewer bytes remain. A length byte above
// its field's capacity is read as the capacity.
std::optional<DiaryBinding> DecodeDiaryBinding(BinaryReader& in);
// The older 122-byte record, whose item address holds at most 10 characters.
std::optional<DiaryBinding> DecodeLegacyDiaryBinding(BinaryReader& in);

// The records of a binding file. Failure: the size fits neither layout's records
// (reading stops at the last whole record of the layout the size suggests).
struct DecodedBindings {
    std::vector<DiaryBinding> records;
    bool legacyLayout = false;  // the size is not a multiple of the current record
    bool complete = true;       // false: the last record was cut short
};
DecodedBindings DecodeBindingFile(std::string_view bytes);
std::string EncodeBindingFile(const std::vector<DiaryBinding>& records);

// ONLINE.TVW: the position count on line 1, then index and name line pairs.
struct OnlinePosition {
    std::string indexText;  // the line as read
    int index = 0;          // 0 when the text is no number (see ValidDiaryIndex)
    std::string name;       // trailing blanks removed
};
struct OnlineList {
    int announced = 0;  // line 1; 0 when it is no number or negative
    std::vector<OnlinePosition> positions;
    // A pair beyond the announced count (or beyond kMaxOnlinePositions) was found;
    // reading stopped there.
    bool tooManyPairs = false;
};
// Blank lines at the end of the file are no pair. A last index without a name line
// gets an empty name.
OnlineList ParseOnlineList(const std::vector<std::string>& lines);

// A diary index the values table has a place for.
inline bool ValidDiaryIndex(int index) {
    return index >= 1 && index <= kDiaryValueCount;
}

// The diary data file's text: index and value text per position, each line ended by
// CR LF, in the order given.
std::string DiaryDataText(const std::vector<std::pair<int, std::string>>& entries);

}  // namespace tarvedde
