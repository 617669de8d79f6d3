// The AQASYS retrieval's year container "DATALOG" + year + ".DLG": one 9-byte record per
// calendar day of the year in date order (the day as a little-endian IEEE double at
// midnight, then the read flag byte, no padding). Its read flags are the retrieval's only
// persistent progress. The file may come from an older installation or be cut short:
// decoding takes whole records only and says whether the size was right.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/result.h"

namespace tarvedde {

inline constexpr std::size_t kDatalogRecordSize = 9;

struct DatalogRecord {
    double day = 0.0;
    bool read = false;

    bool operator==(const DatalogRecord&) const = default;
};

// "DATALOG2024.DLG".
std::string DatalogFileName(int year);
// One record per day from 1 January to 31 December, all with the same flag.
std::vector<DatalogRecord> NewDatalogYear(int year, bool read);

std::string EncodeDatalog(const std::vector<DatalogRecord>& records);
struct DecodedDatalog {
    std::vector<DatalogRecord> records;  // the whole records, a cut-off tail left out
    bool wellSized = false;  // exactly the records of `year`: 365, or 366 in a leap year
};
// A flag byte other than 0 counts as read, as the program tests it.
DecodedDatalog DecodeDatalog(std::string_view bytes, int year);

// The container of one year in a directory.
class DatalogContainer {
public:
    DatalogContainer(FileSystem& files, const std::string& programDir, int year)
        : files_(files), year_(year), path_(programDir + DatalogFileName(year)) {}

    int Year() const { return year_; }
    const std::string& Path() const { return path_; }
    std::string Name() const { return DatalogFileName(year_); }
    bool Exists() const { return files_.Exists(path_); }
    // Fails when the file is missing or unreadable.
    Result<DecodedDatalog> Read() const;
    // Through a temporary file: a crash leaves the old flags or the new, never a mix.
    Status Write(const std::vector<DatalogRecord>& records);
    // The year's records anew, every flag `read`.
    Status Create(bool read) { return Write(NewDatalogYear(year_, read)); }

private:
    FileSystem& files_;
    int year_;
    std::string path_;
};

}  // namespace tarvedde
