#include "bench/counting_file_system.h"

namespace tarvedde::bench {

Status CountingFileSystem::WriteAll(const std::string& path, std::string_view bytes, bool durable) {
    Status status = Timed([&] { return inner_.WriteAll(path, bytes, durable); });
    if (status.ok()) {
        bytesWritten_ += bytes.size();
    }
    Record(FileOperation::Kind::Write, path, bytes, durable);
    return status;
}

Status CountingFileSystem::Append(const std::string& path, std::string_view bytes) {
    Status status = Timed([&] { return inner_.Append(path, bytes); });
    if (status.ok()) {
        bytesWritten_ += bytes.size();
    }
    Record(FileOperation::Kind::Append, path, bytes, false);
    return status;
}

// A kept-open file's appends count as appends of the path; the floor replays them as such,
// opening the file each time, so the floor is if anything slower than a kept-open writer.
class CountingFileSystem::CountedAppendFile final : public AppendFile {
public:
    CountedAppendFile(CountingFileSystem& owner, std::string path,
                      std::unique_ptr<AppendFile> inner)
        : owner_(owner), path_(std::move(path)), inner_(std::move(inner)) {}
    Status Append(std::string_view bytes) override {
        Status status = owner_.Timed([&] { return inner_->Append(bytes); });
        if (status.ok()) {
            owner_.bytesWritten_ += bytes.size();
        }
        owner_.Record(FileOperation::Kind::Append, path_, bytes, false);
        return status;
    }

private:
    CountingFileSystem& owner_;
    std::string path_;
    std::unique_ptr<AppendFile> inner_;
};

Result<std::unique_ptr<AppendFile>> CountingFileSystem::OpenAppend(const std::string& path) {
    auto file = Timed([&] { return inner_.OpenAppend(path); });
    if (!file) {
        return file;
    }
    return std::unique_ptr<AppendFile>(
        std::make_unique<CountedAppendFile>(*this, path, std::move(file).value()));
}

Status CountingFileSystem::Remove(const std::string& path) {
    Status status = Timed([&] { return inner_.Remove(path); });
    // Removing a file that is not there writes nothing; the floor must not fail on it.
    if (status.ok()) {
        Record(FileOperation::Kind::Remove, path, {}, false);
    }
    return status;
}

Status CountingFileSystem::Rename(const std::string& from, const std::string& to) {
    Status status = Timed([&] { return inner_.Rename(from, to); });
    if (status.ok()) {
        Record(FileOperation::Kind::Rename, from, {}, false, to);
    }
    return status;
}

Status CountingFileSystem::WriteScratch(const std::string& path, std::string_view bytes) {
    Status status = Timed([&] { return inner_.WriteScratch(path, bytes); });
    if (status.ok()) {
        bytesWritten_ += bytes.size();
    }
    Record(FileOperation::Kind::Scratch, path, bytes, false);
    return status;
}

Status CountingFileSystem::SwapInto(const std::string& from, const std::string& to) {
    Status status = Timed([&] { return inner_.SwapInto(from, to); });
    if (status.ok()) {
        Record(FileOperation::Kind::Swap, from, {}, false, to);
    }
    return status;
}

Status CountingFileSystem::CreateDirectory(const std::string& path) {
    ++operations_;
    return Timed([&] { return inner_.CreateDirectory(path); });
}

void CountingFileSystem::Record(FileOperation::Kind kind, const std::string& path,
                                std::string_view bytes, bool durable, const std::string& target) {
    ++operations_;
    if (recording_) {
        recorded_.push_back({kind, Relative(path), Relative(target), std::string(bytes), durable});
    }
}

std::string CountingFileSystem::Relative(const std::string& path) const {
    return path.starts_with(root_) ? path.substr(root_.size()) : path;
}

}  // namespace tarvedde::bench
