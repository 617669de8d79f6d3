// FileSystem on POSIX calls. Every call opens and closes what it needs, so another
// program (the viewer, an editor) may touch the files between two calls; only an
// AppendFile stays open, for the writers that add lines all day.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/real_file_system.h"

namespace tarvedde {
namespace {

// What OpenRegular answers for a pipe, a device or a directory.
constexpr int kNotAPlainFile = -2;

Error SystemError(const std::string& what, const std::string& path) {
    return Error{what + " " + path + ": " + std::strerror(errno)};
}

Error OpenError(int fd, const std::string& path) {
    if (fd == kNotAPlainFile) {
        return Error{"open " + path + ": not a plain file"};
    }
    return SystemError("open", path);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    // Closing can report a delayed write error; callers that write must look at it.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// Another program's pipe, device or directory under one of our names is refused at once:
// its open would wait for a reader or a writer, a read of a device might never end. The
// open does not wait for a pipe's other end; a lease (an NFS delegation, a Samba oplock)
// is still waited for, and the descriptor blocks again once it is known to be a file.
int OpenRegular(const std::string& path, int flags, mode_t mode = 0644) {
    flags |= O_CLOEXEC | O_NOCTTY;
    int fd = ::open(path.c_str(), flags | O_NONBLOCK, mode);
    if (fd < 0 && errno == EWOULDBLOCK) {
        fd = ::open(path.c_str(), flags, mode);
    }
    if (fd < 0) {
        return fd;
    }
    struct stat st {};
    int answer = fd;
    if (::fstat(fd, &st) != 0) {
        answer = -1;
    } else if (!S_ISREG(st.st_mode)) {
        answer = kNotAPlainFile;
    } else if (const int status = ::fcntl(fd, F_GETFL);
               status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        answer = -1;
    }
    if (answer != fd) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return answer;
}

bool WriteFully(int fd, std::string_view bytes, std::size_t* written = nullptr) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        if (written != nullptr) {
            *written += static_cast<std::size_t>(n);
        }
    }
    return true;
}

// The tail that every whole-file write shares; `truncate` cuts off what an overwrite in
// place left beyond the new end.
Status WriteThrough(FileDescriptor& fd, const std::string& path, std::string_view bytes,
                    bool truncate, bool sync) {
    if (fd.get() < 0) {
        return OpenError(fd.get(), path);
    }
    if (!WriteFully(fd.get(), bytes)) {
        return SystemError("write", path);
    }
    if (truncate && ::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0) {
        return SystemError("truncate", path);
    }
    if (sync && ::fsync(fd.get()) != 0) {
        return SystemError("fsync", path);
    }
    if (!fd.Close()) {
        return SystemError("close", path);
    }
    return Status::Ok();
}

// A file put in the place of another through a rename must not turn a read-only target
// writable nor take the group's write from a shared one: it gets the target's permission
// bits, and a target we may not write is refused, as Windows refuses a read-only one. A
// target without any write bit counts as read-only for root too, as the read-only
// attribute does on Windows for an administrator.
Status TakeTargetPermissions(const std::string& from, const std::string& to) {
    struct stat target {};
    if (::stat(to.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) {
        return Status::Ok();
    }
    const bool readOnly = (target.st_mode & 0222) == 0;
    if (readOnly || ::access(to.c_str(), W_OK) != 0) {
        return readOnly ? Error{"replace " + to + ": read-only"} : SystemError("replace", to);
    }
    // Once per save and cycle: after the first swap the temporary already has the bits.
    struct stat source {};
    const mode_t bits = target.st_mode & 0777;
    if (::lstat(from.c_str(), &source) != 0 || !S_ISREG(source.st_mode) ||
        ((source.st_mode & 0777) != bits && ::chmod(from.c_str(), bits) != 0)) {
        return SystemError("chmod", from);
    }
    return Status::Ok();
}

// One write per append on a descriptor opened with O_APPEND, which leaves the offset at
// the end of what was written, so a write cut short by a full disk is cut off again
// without asking for the size first.
Status AppendThrough(int fd, const std::string& path, std::string_view bytes) {
    std::size_t written = 0;
    if (WriteFully(fd, bytes, &written)) {
        return Status::Ok();
    }
    Error failure = SystemError("write", path);
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    if (written > 0 && end >= static_cast<off_t>(written)) {
        while (::ftruncate(fd, end - static_cast<off_t>(written)) != 0 && errno == EINTR) {
        }
    }
    return failure;
}

// A file kept open for appends.
class PosixAppendFile final : public AppendFile {
public:
    PosixAppendFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

    Status Append(std::string_view bytes) override {
        return AppendThrough(fd_.get(), path_, bytes);
    }

private:
    FileDescriptor fd_;
    std::string path_;
};

class RealFileSystem final : public RealFileSystemBase {
public:
    bool Exists(const std::string& path) const override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0;
    }

    bool IsDirectory(const std::string& path) const override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    Result<std::string> ReadAll(const std::string& path) const override {
        FileDescriptor fd(OpenRegular(path, O_RDONLY));
        if (fd.get() < 0) {
            return OpenError(fd.get(), path);
        }
        std::string bytes;
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return SystemError("read", path);
            }
            if (n == 0) {
                return bytes;
            }
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
    }

    Result<std::string> ReadRange(const std::string& path, std::uint64_t offset,
                                  std::size_t length) const override {
        FileDescriptor fd(OpenRegular(path, O_RDONLY));
        if (fd.get() < 0) {
            return OpenError(fd.get(), path);
        }
        std::string bytes(length, '\0');
        std::size_t got = 0;
        while (got < length) {
            const ssize_t n = ::pread(fd.get(), bytes.data() + got, length - got,
                                      static_cast<off_t>(offset + got));
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return SystemError("read", path);
            }
            if (n == 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
        return bytes;
    }

    Status WriteAll(const std::string& path, std::string_view bytes, bool durable) override {
        FileDescriptor fd(OpenRegular(path, O_WRONLY | O_CREAT | O_TRUNC));
        return WriteThrough(fd, path, bytes, false, durable);
    }

    // A full disk may take part of the bytes: they are cut off again, so a later append
    // never glues a new line to a fragment.
    Status Append(const std::string& path, std::string_view bytes) override {
        FileDescriptor fd(OpenRegular(path, O_WRONLY | O_CREAT | O_APPEND));
        if (fd.get() < 0) {
            return OpenError(fd.get(), path);
        }
        if (Status appended = AppendThrough(fd.get(), path, bytes); !appended) {
            return appended;
        }
        if (!fd.Close()) {
            return SystemError("close", path);
        }
        return Status::Ok();
    }

    Result<std::unique_ptr<AppendFile>> OpenAppend(const std::string& path) override {
        const int fd = OpenRegular(path, O_WRONLY | O_CREAT | O_APPEND);
        if (fd < 0) {
            return OpenError(fd, path);
        }
        return std::unique_ptr<AppendFile>(std::make_unique<PosixAppendFile>(fd, path));
    }

    Status Remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0) {
            return SystemError("delete", path);
        }
        return Status::Ok();
    }

    Status Rename(const std::string& from, const std::string& to) override {
        if (Status taken = TakeTargetPermissions(from, to); !taken) {
            return taken;
        }
        if (::rename(from.c_str(), to.c_str()) != 0) {
            return SystemError("rename " + from + " to", to);
        }
        return Status::Ok();
    }

    // Overwrites in place (no O_TRUNC, which ext4 answers with a flush on close). A file
    // made here goes to the disk once: after the swap it stands under the real name, and a
    // power cut must not find it empty there.
    Status WriteScratch(const std::string& path, std::string_view bytes) override {
        // Usually kept from the last swap; a link put there is refused, not written through.
        int raw = OpenRegular(path, O_WRONLY | O_NOFOLLOW);
        bool created = false;
        if (raw == -1 && errno == ENOENT) {
            created = true;
            raw = OpenRegular(path, O_WRONLY | O_CREAT | O_EXCL);
            if (raw == -1 && errno == EEXIST) {
                created = false;
                raw = OpenRegular(path, O_WRONLY | O_NOFOLLOW);
            }
        }
        FileDescriptor fd(raw);
        return WriteThrough(fd, path, bytes, true, created);
    }

    // Without a target yet, or on a file system that cannot exchange, a plain rename.
    Status SwapInto(const std::string& from, const std::string& to) override {
        if (Status taken = TakeTargetPermissions(from, to); !taken) {
            return taken;
        }
#ifdef RENAME_EXCHANGE
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) == 0) {
            return Status::Ok();
        }
#endif
        return Rename(from, to);
    }

    Result<FileStamp> Stamp(const std::string& path) const override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            return SystemError("stat", path);
        }
        return FileStamp{
            static_cast<std::uint64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    }

    std::vector<std::string> List(const std::string& directory) const override {
        std::vector<std::string> names;
        std::error_code ec;
        for (std::filesystem::directory_iterator it(directory, ec), end; !ec && it != end;
             it.increment(ec)) {
            names.push_back(it->path().filename().string());
        }
        return names;
    }
};

}  // namespace

std::unique_ptr<FileSystem> MakeRealFileSystem() {
    return std::make_unique<RealFileSystem>();
}

}  // namespace tarvedde
