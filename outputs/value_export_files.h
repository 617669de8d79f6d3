// The value export files kept open between their lines: a line costs a look at the name
// and one write instead of an open, a write and a close, which matters with hundreds of
// lines a second on a plant that exports every item. A reader sees each line as soon as
// before. A file whose name is gone or leads to another file (another program deleted,
// moved or replaced it) is let go and the line goes to the file of that name, as the open
// per line did; a new day's name replaces the old day's file.
//
// Guarantees: each line lands whole or not at all; after a failure the file is let go,
// so the next line opens it again. At most kMaxOpen files are held; lines for any beyond
// them are appended the old way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/result.h"

namespace tarvedde {

class ValueExportFiles {
public:
#ifdef _WIN32
    // Windows keeps the program that collects the files from deleting or replacing one
    // held open: there every line opens its file, as before.
    static constexpr std::size_t kMaxOpen = 0;
#else
    static constexpr std::size_t kMaxOpen = 256;
#endif

    explicit ValueExportFiles(FileSystem& files) : files_(files) {}
    ValueExportFiles(const ValueExportFiles&) = delete;
    ValueExportFiles& operator=(const ValueExportFiles&) = delete;

    // Appends `bytes` to `path`, creating it when missing. `slot` names the export of one
    // item (kind and number), whose files follow each other day by day.
    Status Append(const std::string& slot, const std::string& path, std::string_view bytes);

private:
    struct Kept {
        std::string path;
        std::unique_ptr<AppendFile> file;
        std::uint64_t size = 0;  // the file's, after this program's last line
    };
    bool StillOurs(const Kept& kept) const;

    FileSystem& files_;
    std::map<std::string, Kept, std::less<>> kept_;  // by slot
};

}  // namespace tarvedde
