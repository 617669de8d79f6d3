#include "outputs/datalog_container.h"

#include "platform/binary_records.h"
#include "platform/date_time.h"
#include "platform/text_file.h"

namespace tarvedde {

std::string DatalogFileName(int year) {
    std::string digits = std::to_string(year);
    if (digits.size() < 4) {
        digits.insert(0, 4 - digits.size(), '0');
    }
    return "DATALOG" + digits + ".DLG";
}

std::vector<DatalogRecord> NewDatalogYear(int year, bool read) {
    std::vector<DatalogRecord> records;
    const double first = EncodeDate(year, 1, 1);
    const double last = EncodeDate(year, 12, 31);
    for (double day = first; day <= last; day += 1.0) {
        records.push_back({day, read});
    }
    return records;
}

std::string EncodeDatalog(const std::vector<DatalogRecord>& records) {
    BinaryWriter out;
    for (const DatalogRecord& record : records) {
        out.Double(record.day);
        out.UInt8(record.read ? 1 : 0);
    }
    return out.Take();
}

DecodedDatalog DecodeDatalog(std::string_view bytes, int year) {
    DecodedDatalog decoded;
    BinaryReader in(bytes);
    while (in.Remaining() >= kDatalogRecordSize) {
        const double day = in.Double().value_or(0.0);
        const std::uint8_t flag = in.UInt8().value_or(0);
        decoded.records.push_back({day, flag != 0});
    }
    const std::size_t days = IsValidDate(year, 2, 29) ? 366 : 365;
    decoded.wellSized = bytes.size() == days * kDatalogRecordSize;
    return decoded;
}

Result<DecodedDatalog> DatalogContainer::Read() const {
    auto bytes = files_.ReadAll(path_);
    if (!bytes) {
        return bytes.error();
    }
    return DecodeDatalog(bytes.value(), year_);
}

Status DatalogContainer::Write(const std::vector<DatalogRecord>& records) {
    return WriteFileAtomic(files_, path_, EncodeDatalog(records), false);
}

}  // namespace tarvedde
