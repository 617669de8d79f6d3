// What the exclusive file lock does the same on every system; see exclusive_file_lock.h.
#include "platform/exclusive_file_lock.h"

#include <utility>

namespace tarvedde {

ExclusiveFileLock::ExclusiveFileLock(ExclusiveFileLock&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)),
      heldElsewhere_(other.heldElsewhere_),
      path_(std::move(other.path_)),
      errorMessage_(std::move(other.errorMessage_)) {}

ExclusiveFileLock& ExclusiveFileLock::operator=(ExclusiveFileLock&& other) noexcept {
    if (this != &other) {
        Release();
        handle_ = std::exchange(other.handle_, kNoHandle);
        heldElsewhere_ = other.heldElsewhere_;
        path_ = std::move(other.path_);
        errorMessage_ = std::move(other.errorMessage_);
    }
    return *this;
}

ExclusiveFileLock::~ExclusiveFileLock() {
    Release();
}

}  // namespace tarvedde
