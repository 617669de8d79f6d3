#include "platform/memory_file_system.h"

#include <algorithm>

namespace tarvedde {
namespace {

std::string ParentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

class MemoryAppendFile final : public AppendFile {
public:
    MemoryAppendFile(MemoryFileSystem& files, std::string path)
        : files_(files), path_(std::move(path)) {}
    Status Append(std::string_view bytes) override { return files_.Append(path_, bytes); }

private:
    MemoryFileSystem& files_;
    std::string path_;
};

std::string StripTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

}  // namespace

void MemoryFileSystem::FailNthOperation(int n) {
    failAt_ = operationCount_ + n;
}

void MemoryFileSystem::FillDiskAtWrite(int n, std::size_t bytes) {
    writesUntilFull_ = n;
    bytesPerWriteWhenFull_ = bytes;
}

std::size_t MemoryFileSystem::WritableBytes(std::size_t others, std::size_t wanted) {
    std::size_t writable = capacity_ > others ? capacity_ - others : 0;
    if (writesUntilFull_ > 1) {
        --writesUntilFull_;
    } else if (writesUntilFull_ == 1) {
        writable = std::min(writable, bytesPerWriteWhenFull_);
    }
    return std::min(writable, wanted);
}

bool MemoryFileSystem::ShouldFail(FileOp op, const std::string& path) const {
    ++operationCount_;
    if (failAt_ != 0 && operationCount_ == failAt_) {
        failAt_ = 0;
        return true;
    }
    return failurePolicy_ && failurePolicy_(op, path);
}

std::size_t MemoryFileSystem::TotalBytes() const {
    std::size_t total = 0;
    for (const auto& [path, entry] : files_) {
        total += entry.bytes.size();
    }
    return total;
}

bool MemoryFileSystem::Exists(const std::string& path) const {
    return files_.count(path) != 0 || IsDirectory(path);
}

bool MemoryFileSystem::IsDirectory(const std::string& path) const {
    const std::string dir = StripTrailingSlash(path);
    if (directories_.count(dir) != 0) {
        return true;
    }
    for (const auto& [file, entry] : files_) {
        if (file.size() > dir.size() && file.compare(0, dir.size(), dir) == 0 &&
            file[dir.size()] == '/') {
            return true;
        }
    }
    return false;
}

Result<std::string> MemoryFileSystem::ReadAll(const std::string& path) const {
    if (ShouldFail(FileOp::Read, path)) {
        return Error{"read " + path + ": injected failure"};
    }
    const auto it = files_.find(path);
    if (it == files_.end()) {
        return Error{"open " + path + ": No such file or directory"};
    }
    return it->second.bytes;
}

Status MemoryFileSystem::WriteAll(const std::string& path, std::string_view bytes, bool) {
    if (ShouldFail(FileOp::Write, path)) {
        return Error{"write " + path + ": injected failure"};
    }
    const auto it = files_.find(path);
    const std::size_t others = TotalBytes() - (it == files_.end() ? 0 : it->second.bytes.size());
    const std::size_t writable = WritableBytes(others, bytes.size());
    Entry& entry = files_[path];
    entry.version = nextVersion_++;
    entry.bytes.assign(bytes.substr(0, writable));
    if (writable < bytes.size()) {
        return Error{"write " + path + ": No space left on device"};
    }
    return Status::Ok();
}

Status MemoryFileSystem::Append(const std::string& path, std::string_view bytes) {
    if (ShouldFail(FileOp::Append, path)) {
        return Error{"write " + path + ": injected failure"};
    }
    const std::size_t writable = WritableBytes(TotalBytes(), bytes.size());
    Entry& entry = files_[path];
    entry.version = nextVersion_++;
    // The bytes that made it are cut off again, as the real file systems do.
    if (writable < bytes.size()) {
        return Error{"write " + path + ": No space left on device"};
    }
    entry.bytes.append(bytes);
    return Status::Ok();
}

Result<std::unique_ptr<AppendFile>> MemoryFileSystem::OpenAppend(const std::string& path) {
    if (ShouldFail(FileOp::Append, path)) {
        return Error{"open " + path + ": injected failure"};
    }
    if (files_.count(path) == 0) {
        files_[path].version = nextVersion_++;
    }
    return std::unique_ptr<AppendFile>(std::make_unique<MemoryAppendFile>(*this, path));
}

Result<std::string> MemoryFileSystem::ReadRange(const std::string& path, std::uint64_t offset,
                                                std::size_t length) const {
    auto bytes = ReadAll(path);
    if (!bytes || offset >= bytes.value().size()) {
        return bytes ? Result<std::string>(std::string()) : bytes;
    }
    return bytes.value().substr(static_cast<std::size_t>(offset), length);
}

Status MemoryFileSystem::Remove(const std::string& path) {
    if (ShouldFail(FileOp::Remove, path)) {
        return Error{"delete " + path + ": injected failure"};
    }
    if (files_.erase(path) == 0) {
        return Error{"delete " + path + ": No such file or directory"};
    }
    return Status::Ok();
}

Status MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
    if (ShouldFail(FileOp::Rename, from)) {
        return Error{"rename " + from + " to " + to + ": injected failure"};
    }
    const auto it = files_.find(from);
    if (it == files_.end()) {
        return Error{"rename " + from + " to " + to + ": No such file or directory"};
    }
    Entry entry = std::move(it->second);
    files_.erase(it);
    files_[to] = std::move(entry);
    return Status::Ok();
}

Result<std::uint64_t> MemoryFileSystem::Size(const std::string& path) const {
    auto stamp = Stamp(path);
    if (!stamp) {
        return stamp.error();
    }
    return stamp.value().size;
}

Result<FileStamp> MemoryFileSystem::Stamp(const std::string& path) const {
    if (ShouldFail(FileOp::Stat, path)) {
        return Error{"stat " + path + ": injected failure"};
    }
    const auto it = files_.find(path);
    if (it == files_.end()) {
        return Error{"stat " + path + ": No such file or directory"};
    }
    return FileStamp{it->second.bytes.size(), it->second.version};
}

std::vector<std::string> MemoryFileSystem::List(const std::string& directory) const {
    const std::string dir = StripTrailingSlash(directory);
    std::vector<std::string> names;
    for (const auto& [file, entry] : files_) {
        if (ParentOf(file) == dir) {
            names.push_back(file.substr(dir.size() + 1));
        }
    }
    return names;
}

Status MemoryFileSystem::CreateDirectory(const std::string& path) {
    if (ShouldFail(FileOp::CreateDirectory, path)) {
        return Error{"create directory " + path + ": injected failure"};
    }
    directories_.insert(StripTrailingSlash(path));
    return Status::Ok();
}

}  // namespace tarvedde
