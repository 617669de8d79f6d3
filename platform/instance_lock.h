// The single-instance lock: a system-wide named lock that tells whether another holder
// already had it, as the Windows program learns from CreateMutex + ERROR_ALREADY_EXISTS.
//
// On Linux it is an flock on "<dir>/tarvedde-instance-<name>.lock", where <dir> is the
// user's runtime directory (UserRuntimeDirectory: $XDG_RUNTIME_DIR, else a private
// "$TMPDIR/tarvedde-<uid>"), so no other user can hold it, and <name> keeps only
// [A-Za-z0-9._-] (anything else becomes '_'). Without a private directory the lock
// reports "did not exist" with a message.
// The kernel drops the lock when the holder ends or dies, so a crash leaves no stale
// lock; the file itself stays (removing it would let two holders lock different files).
// A second holder does not wait and does not fail: it learns ExistedAlready() and owns
// nothing. Two locks on one name in one process also see each other. When the lock file
// cannot be opened the lock reports "did not exist" and carries a message for the log.
//
// On Windows it is a named mutex, which the system drops with its last holder: Acquire
// names it <name> itself, AcquireIn after LockFilePath (the directory only keeps tests
// apart); Path() is that name.
#pragma once

#include <string>

namespace tarvedde {

class InstanceLock {
public:
    static InstanceLock Acquire(const std::string& name);
    // The same in an explicit directory instead of the user's runtime directory.
    static InstanceLock AcquireIn(const std::string& directory, const std::string& name);
    static std::string LockFilePath(const std::string& directory, const std::string& name);
    // $TMPDIR when set and not empty, else /tmp; the user's temporary directory on Windows.
    static std::string TemporaryDirectory();

    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    bool ExistedAlready() const { return existedAlready_; }
    // True while this object holds its share of the lock. Every holder, the first and
    // those that found it existing, keeps the lock alive until all of them have ended.
    bool Owns() const { return handle_ != kNoHandle; }
    // Empty unless the lock file could not be opened or locked.
    const std::string& ErrorMessage() const { return errorMessage_; }
    const std::string& Path() const { return path_; }
    void Release();

private:
    InstanceLock() = default;

#ifdef _WIN32
    static InstanceLock AcquireNamed(std::string mutexName);
    using Handle = void*;  // the mutex
    static constexpr Handle kNoHandle = nullptr;
#else
    using Handle = int;  // the lock file's descriptor
    static constexpr Handle kNoHandle = -1;
#endif
    Handle handle_ = kNoHandle;
    bool existedAlready_ = false;
    std::string path_;
    std::string errorMessage_;
};

}  // namespace tarvedde
