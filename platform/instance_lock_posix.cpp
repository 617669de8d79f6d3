// The lock on POSIX: flock on a lock file; see instance_lock.h.
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
    lock.handle_ = fd;
    return lock;
}

void InstanceLock::Release() {
    if (handle_ < 0) {
        return;
    }
    // Closing the only descriptor of the open file description drops the flock.
    close(handle_);
    handle_ = -1;
}

}  // namespace tarvedde
