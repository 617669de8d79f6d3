// A file system that passes every call on and counts what reaches the disk, so a benchmark
// can say how many bytes a cycle writes, and record the operations of one cycle for the
// floor program (file_operations.h) to replay with nothing but POSIX calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_measure.h"
#include "bench/file_operations.h"
#include "platform/file_system.h"

namespace tarvedde::bench {

class CountingFileSystem final : public FileSystem {
    // Defined before the calls below, which deduce its result type.
    template <class Call>
    auto Timed(Call&& call) const {
        const std::int64_t start = WallNs();
        auto result = call();
        fileWallNs_ += WallNs() - start;
        return result;
    }

public:
    // Recorded paths are made relative to `root` when they lie below it.
    CountingFileSystem(FileSystem& inner, std::string root)
        : inner_(inner), root_(std::move(root)) {}

    std::uint64_t BytesWritten() const { return bytesWritten_; }
    std::uint64_t Operations() const { return operations_; }
    // Wall time spent in the file system's calls, reads and looks included.
    std::int64_t FileWallNs() const { return fileWallNs_; }
    // Recording keeps what was written too, so it is switched on for one cycle only.
    void StartRecording() {
        recording_ = true;
        recorded_.clear();
    }
    std::vector<FileOperation> StopRecording() {
        recording_ = false;
        return std::move(recorded_);
    }

    bool Exists(const std::string& path) const override {
        return Timed([&] { return inner_.Exists(path); });
    }
    bool IsDirectory(const std::string& path) const override {
        return Timed([&] { return inner_.IsDirectory(path); });
    }
    Result<std::string> ReadAll(const std::string& path) const override {
        return Timed([&] { return inner_.ReadAll(path); });
    }
    Result<std::string> ReadRange(const std::string& path, std::uint64_t offset,
                                  std::size_t length) const override {
        return Timed([&] { return inner_.ReadRange(path, offset, length); });
    }
    Status WriteAll(const std::string& path, std::string_view bytes, bool durable) override;
    Status Append(const std::string& path, std::string_view bytes) override;
    Result<std::unique_ptr<AppendFile>> OpenAppend(const std::string& path) override;
    Status Remove(const std::string& path) override;
    Status Rename(const std::string& from, const std::string& to) override;
    Status WriteScratch(const std::string& path, std::string_view bytes) override;
    Status SwapInto(const std::string& from, const std::string& to) override;
    Result<std::uint64_t> Size(const std::string& path) const override {
        return Timed([&] { return inner_.Size(path); });
    }
    Result<FileStamp> Stamp(const std::string& path) const override {
        return Timed([&] { return inner_.Stamp(path); });
    }
    std::vector<std::string> List(const std::string& directory) const override {
        return Timed([&] { return inner_.List(directory); });
    }
    Status CreateDirectory(const std::string& path) override;

private:
    class CountedAppendFile;

    void Record(FileOperation::Kind kind, const std::string& path, std::string_view bytes,
                bool durable, const std::string& target = "");
    std::string Relative(const std::string& path) const;

    FileSystem& inner_;
    std::string root_;
    std::uint64_t bytesWritten_ = 0;
    std::uint64_t operations_ = 0;
    mutable std::int64_t fileWallNs_ = 0;
    bool recording_ = false;
    std::vector<FileOperation> recorded_;
};

}  // namespace tarvedde::bench
