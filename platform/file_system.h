// Every file operation of the program goes through FileSystem, so a test can put an
// in-memory or failing file system underneath and check "disk full", "read-only" and
// "rename failed" without a real disk. Paths are UTF-8; contents are raw bytes (the
// Windows-1252 conversion happens in the text helpers, not here).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace tarvedde {

// Enough to tell that a file changed since it was last read.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// A file kept open for appends, for a writer that adds a line many times a day; closed
// when destroyed. Each Append lands whole or not at all, as FileSystem::Append does.
class AppendFile {
public:
    virtual ~AppendFile() = default;
    virtual Status Append(std::string_view bytes) = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual bool Exists(const std::string& path) const = 0;
    virtual bool IsDirectory(const std::string& path) const = 0;
    // Whole file; fails when it is missing or unreadable.
    virtual Result<std::string> ReadAll(const std::string& path) const = 0;
    // Up to `length` bytes from `offset` on: fewer, or none, where the file ends sooner.
    // Fails when the file is missing or unreadable.
    virtual Result<std::string> ReadRange(const std::string& path, std::uint64_t offset,
                                          std::size_t length) const = 0;
    // Creates or truncates, then writes; with `durable` the data reach the disk before return.
    virtual Status WriteAll(const std::string& path, std::string_view bytes, bool durable) = 0;
    // Creates the file when missing; never truncates. Lands whole or not at all: a write
    // cut short (disk full) is cut off again, so the file keeps its old bytes (a file the
    // call created stays, empty).
    virtual Status Append(const std::string& path, std::string_view bytes) = 0;
    // Creates the file when missing and keeps it open for AppendFile::Append. Other
    // programs may read it meanwhile.
    virtual Result<std::unique_ptr<AppendFile>> OpenAppend(const std::string& path) = 0;
    // A missing file is a failure; callers that do not care ignore the status.
    virtual Status Remove(const std::string& path) = 0;
    // Replaces an existing target in one step (POSIX rename semantics). A target that may
    // not be written (read-only) is refused, as Windows does; on POSIX the file takes the
    // target's permission bits.
    virtual Status Rename(const std::string& from, const std::string& to) = 0;
    // For files rewritten every few seconds. WriteScratch writes like WriteAll, but over the
    // bytes of a file already there, where they lie: no file is created per write, and the
    // file system need not flush every version to the disk (ext4 does for a file truncated
    // to nothing and rewritten, and for one renamed over another). SwapInto puts a file so
    // written in the place of its target in one step, as Rename does; where the system can
    // swap two names, the file's name is left holding the old target for the next
    // WriteScratch. The price: after a power cut such a file may hold a state of some
    // seconds earlier, parts of it from two writes; a crash of the program loses nothing.
    virtual Status WriteScratch(const std::string& path, std::string_view bytes) {
        return WriteAll(path, bytes, false);
    }
    virtual Status SwapInto(const std::string& from, const std::string& to) {
        return Rename(from, to);
    }
    virtual Result<std::uint64_t> Size(const std::string& path) const = 0;
    virtual Result<FileStamp> Stamp(const std::string& path) const = 0;
    // Names (not paths) of the entries of a directory; empty when it cannot be read.
    virtual std::vector<std::string> List(const std::string& directory) const = 0;
    virtual Status CreateDirectory(const std::string& path) = 0;
};

// The operating system's file system.
std::unique_ptr<FileSystem> MakeRealFileSystem();

}  // namespace tarvedde
