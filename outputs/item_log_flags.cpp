#include "outputs/item_log_flags.h"

#include <optional>

#include "outputs/program_log.h"
#include "platform/binary_records.h"
#include "platform/file_system.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

// No blank before the path: the message stays as the older Windows build wrote it.
constexpr char kWriteFailure[] = "Fehler beim Schreiben der ";

std::optional<ItemLogFlags> ReadRecord(BinaryReader& reader) {
    const auto bytes = reader.Bytes(kItemLogFlagsRecordSize);
    if (!bytes) {
        return std::nullopt;
    }
    // Any non-zero byte is on, as the Windows build tests a Boolean.
    return ItemLogFlags{(*bytes)[0] != 0, (*bytes)[1] != 0, (*bytes)[2] != 0, (*bytes)[3] != 0};
}

void ReportReadFailure(ProgramLog& log, int record, const std::string& path) {
    log.WriteLog("Fehler " + std::to_string(record) + " beim Lesen der " + path);
}

}  // namespace

void LoadItemLogFlags(const FileSystem& files, const std::string& path, ItemLogFlagsArray& flags,
                      ProgramLog& log) {
    if (!files.Exists(path)) {
        return;
    }
    const auto bytes = files.ReadAll(path);
    if (!bytes) {
        ReportReadFailure(log, 1, path);
        return;
    }
    BinaryReader reader(bytes.value());
    for (int item = 1; reader.Remaining() > 0; ++item) {
        const auto record = item <= kItemLogFlagsRecords ? ReadRecord(reader) : std::nullopt;
        if (!record) {
            ReportReadFailure(log, item, path);
            return;
        }
        flags[static_cast<std::size_t>(item)] = *record;
    }
}

bool SaveItemLogFlags(FileSystem& files, const std::string& path, const ItemLogFlagsArray& flags,
                      ProgramLog& log) {
    BinaryWriter writer;
    for (int item = 1; item <= kItemLogFlagsRecords; ++item) {
        const ItemLogFlags& f = flags[static_cast<std::size_t>(item)];
        writer.Bool(f.logSingleValues);
        writer.Bool(f.logMovingAverage);
        writer.Bool(f.logIntegral);
        writer.Bool(f.logCounterDifference);
    }
    if (WriteFileAtomic(files, path, writer.Data(), false).ok()) {
        return true;
    }
    log.WriteLog(kWriteFailure + path);
    return false;
}

}  // namespace tarvedde
