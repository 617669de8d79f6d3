// An exclusive lock on one file, for "one holder per directory": unlike the named
// single-instance lock it does not depend on the environment (runtime or temporary
// directory), only on the file's path.
//
// The file is created when missing and removed when the holder lets go, so a clean end
// leaves nothing behind. A holder that dies loses the lock with it; on POSIX the file
// stays then (an unheld file means nothing), on Windows the system removes it.
// POSIX: flock; a lock won on a file its holder removed meanwhile is given up and the
// file opened anew. Windows: the file opened without sharing and deleted on close.
// A second taker does not wait (beyond a moment on Windows, where a scanner may have the
// file open): it learns HeldElsewhere() and holds nothing. Two takers in one process also
// exclude each other. When the file cannot be opened or locked the lock holds nothing,
// is not HeldElsewhere() and carries a message for the log.
#pragma once

#include <string>

namespace tarvedde {

class ExclusiveFileLock {
public:
    explicit ExclusiveFileLock(std::string path);
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;
    ~ExclusiveFileLock() { Release(); }

    bool Owns() const { return handle_ != kNoHandle; }
    bool HeldElsewhere() const { return heldElsewhere_; }
    // Empty unless the file could not be opened or locked.
    const std::string& ErrorMessage() const { return errorMessage_; }
    // Removes the file, then lets go; nothing when not owned.
    void Release();

private:
#ifdef _WIN32
    using Handle = void*;  // the open file; CreateFile never gives a null one
    static constexpr Handle kNoHandle = nullptr;
#else
    using Handle = int;  // the locked file's descriptor
    static constexpr Handle kNoHandle = -1;
#endif
    Handle handle_ = kNoHandle;
    bool heldElsewhere_ = false;
    std::string path_;
    std::string errorMessage_;
};

}  // namespace tarvedde
