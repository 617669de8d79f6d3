// flock-based single-instance lock; see instance_lock.h.
#include "platform/instance_lock.h"

#include "platform/process_paths.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace tarvedde {
namespace {

bool IsPortableNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

// Opening an existing file first matters in a sticky /tmp: with protected_regular the
// kernel refuses O_CREAT on a file another user created. Read access is enough for
// flock. O_CLOEXEC keeps programs we start from inheriting the lock and outliving us.
int OpenLockFile(const std::string& path) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW;
    int fd = open(path.c_str(), flags);
    if (fd < 0 && errno == ENOENT) {
        fd = open(path.c_str(), flags | O_CREAT, 0644);
    }
    return fd;
}

int FlockNonBlocking(int fd, int operation) {
    int result = 0;
    do {
        result = flock(fd, operation | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

// Another starter may hold the exclusive lock for the moment between its test and its
// downgrade; wait that out briefly.
bool TakeShare(int fd) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int error = FlockNonBlocking(fd, LOCK_SH);
        if (error == 0) {
            return true;
        }
        if (error != EWOULDBLOCK) {
            return false;
        }
        usleep(1000);
    }
    return false;
}

}  // namespace

std::string InstanceLock::TemporaryDirectory() {
    return tarvedde::TemporaryDirectory();
}

std::string InstanceLock::LockFilePath(const std::string& directory, const std::string& name) {
    std::string fileName = "tarvedde-instance-";
    for (const char c : name) {
        fileName.push_back(IsPortableNameChar(c) ? c : '_');
    }
    fileName += ".lock";
    if (directory.empty() || directory.back() == '/') {
        return directory + fileName;
    }
    return directory + "/" + fileName;
}

// In a shared directory anyone could hold the lock first and so stop or mislead our start.
InstanceLock InstanceLock::Acquire(const std::string& name) {
    auto directory = UserRuntimeDirectory();
    if (!directory) {
        InstanceLock lock;
        lock.path_ =
            LockFilePath(TemporaryDirectory() + "/tarvedde-" + std::to_string(getuid()), name);
        lock.errorMessage_ =
            "Sperrdatei " + lock.path_ + " nicht anzulegen: " + directory.error().message;
        return lock;
    }
    return AcquireIn(directory.value(), name);
}

InstanceLock InstanceLock::AcquireIn(const std::string& directory, const std::string& name) {
    InstanceLock lock;
    lock.path_ = LockFilePath(directory, name);
    const int fd = OpenLockFile(lock.path_);
    if (fd < 0) {
        lock.errorMessage_ = "Sperrdatei " + lock.path_ + " nicht zu öffnen: " + strerror(errno);
        return lock;
    }
    // Like a named mutex, the lock exists as long as any holder runs: every holder keeps a
    // shared lock, and a starter that cannot get it exclusively knows another one runs.
    const int error = FlockNonBlocking(fd, LOCK_EX);
    if (error != 0 && error != EWOULDBLOCK) {
        close(fd);
        lock.errorMessage_ = "Sperrdatei " + lock.path_ + " nicht zu sperren: " + strerror(error);
        return lock;
    }
    lock.existedAlready_ = error == EWOULDBLOCK;
    if (!TakeShare(fd)) {
        close(fd);
        return lock;
    }
    lock.fd_ = fd;
    return lock;
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      existedAlready_(other.existedAlready_),
      path_(std::move(other.path_)),
      errorMessage_(std::move(other.errorMessage_)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = std::exchange(other.fd_, -1);
        existedAlready_ = other.existedAlready_;
        path_ = std::move(other.path_);
        errorMessage_ = std::move(other.errorMessage_);
    }
    return *this;
}

InstanceLock::~InstanceLock() {
    Release();
}

void InstanceLock::Release() {
    if (fd_ < 0) {
        return;
    }
    // Closing the only descriptor of the open file description drops the flock.
    close(fd_);
    fd_ = -1;
}

}  // namespace tarvedde
