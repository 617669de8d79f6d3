// The exclusive file lock on POSIX: flock; see exclusive_file_lock.h.
#include "platform/exclusive_file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <utility>

namespace tarvedde {
namespace {

// A holder removes the file before it lets go, so another taker may have won the lock on
// a file that no longer has the name; only the file the name still leads to counts.
bool StillNamed(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return fstat(fd, &opened) == 0 && lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

constexpr int kRenamedRetries = 100;

}  // namespace

// O_CLOEXEC: programs we start must not inherit the lock and outlive us with it.
ExclusiveFileLock::ExclusiveFileLock(std::string path) : path_(std::move(path)) {
    for (int attempt = 0; attempt < kRenamedRetries; ++attempt) {
        const int fd = open(path_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) {
            errorMessage_ = "Sperrdatei " + path_ + " nicht zu öffnen: " + strerror(errno);
            return;
        }
        int result = 0;
        do {
            result = flock(fd, LOCK_EX | LOCK_NB);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            const int error = errno;
            close(fd);
            heldElsewhere_ = error == EWOULDBLOCK;
            if (!heldElsewhere_) {
                errorMessage_ = "Sperrdatei " + path_ + " nicht zu sperren: " + strerror(error);
            }
            return;
        }
        if (StillNamed(fd, path_)) {
            handle_ = fd;
            return;
        }
        close(fd);
    }
    errorMessage_ = "Sperrdatei " + path_ + " nicht zu sperren: sie verschwindet immer wieder";
}

void ExclusiveFileLock::Release() {
    if (handle_ == kNoHandle) {
        return;
    }
    unlink(path_.c_str());
    close(handle_);
    handle_ = kNoHandle;
}

}  // namespace tarvedde
