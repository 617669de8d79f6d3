// An in-memory FileSystem for tests: fast, isolated, and able to fail on purpose.
// Paths are plain keys; a directory exists when it was created or holds a file.
#pragma once

#include <functional>
#include <map>
#include <set>

#include "platform/file_system.h"

namespace tarvedde {

enum class FileOp { Read, Write, Append, Remove, Rename, Stat, CreateDirectory };

class MemoryFileSystem final : public FileSystem {
public:
    // Decides whether an operation on `path` fails; the default never fails.
    using FailurePolicy = std::function<bool(FileOp op, const std::string& path)>;

    void SetFailurePolicy(FailurePolicy policy) { failurePolicy_ = std::move(policy); }
    // Fails the n-th (1-based) operation of any kind from now on, once.
    void FailNthOperation(int n);
    // Writes and appends stop at `bytes` total file content and then fail, as on a full disk.
    void SetCapacity(std::size_t bytes) { capacity_ = bytes; }
    // From the n-th (1-based) write or append from now on, each takes only its first
    // `bytes` bytes and fails, as on a disk that filled up, until FreeDisk.
    void FillDiskAtWrite(int n, std::size_t bytes);
    void FreeDisk() { writesUntilFull_ = 0; }
    int OperationCount() const { return operationCount_; }

    bool Exists(const std::string& path) const override;
    bool IsDirectory(const std::string& path) const override;
    Result<std::string> ReadAll(const std::string& path) const override;
    Status WriteAll(const std::string& path, std::string_view bytes, bool durable) override;
    Status Append(const std::string& path, std::string_view bytes) override;
    // Opening counts as an Append operation, and so does every append through the file.
    Result<std::unique_ptr<AppendFile>> OpenAppend(const std::string& path) override;
    Result<std::string> ReadRange(const std::string& path, std::uint64_t offset,
                                  std::size_t length) const override;
    Status Remove(const std::string& path) override;
    Status Rename(const std::string& from, const std::string& to) override;
    Result<std::uint64_t> Size(const std::string& path) const override;
    Result<FileStamp> Stamp(const std::string& path) const override;
    std::vector<std::string> List(const std::string& directory) const override;
    Status CreateDirectory(const std::string& path) override;

private:
    struct Entry {
        std::string bytes;
        std::int64_t version = 0;
    };

    bool ShouldFail(FileOp op, const std::string& path) const;
    std::size_t TotalBytes() const;
    // How many of `wanted` bytes a write may put down before it stops.
    std::size_t WritableBytes(std::size_t others, std::size_t wanted);

    std::map<std::string, Entry> files_;
    std::set<std::string> directories_;
    FailurePolicy failurePolicy_;
    std::size_t capacity_ = static_cast<std::size_t>(-1);
    std::int64_t nextVersion_ = 1;
    mutable int operationCount_ = 0;
    mutable int failAt_ = 0;
    int writesUntilFull_ = 0;  // 1: full already
    std::size_t bytesPerWriteWhenFull_ = 0;
};

}  // namespace tarvedde
