// Named-mutex single-instance lock; see instance_lock.h.
#include <windows.h>

#include <utility>

#include "platform/instance_lock.h"
#include "platform/process_paths.h"
#include "platform/wide_text_win.h"

namespace tarvedde {

std::string InstanceLock::TemporaryDirectory() {
    return tarvedde::TemporaryDirectory();
}

std::string InstanceLock::LockFilePath(const std::string& directory, const std::string& name) {
    std::string fileName = "tarvedde-instance-";
    for (const char c : name) {
        const bool portable = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                              (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        fileName.push_back(portable ? c : '_');
    }
    fileName += ".lock";
    if (directory.empty() || directory.back() == '/' || directory.back() == '\\') {
        return directory + fileName;
    }
    return directory + "\\" + fileName;
}

InstanceLock InstanceLock::Acquire(const std::string& name) {
    return AcquireNamed(name);
}

// A backslash in a mutex name only separates a namespace ("Global\..."), so a path
// becomes a name with '/' instead.
InstanceLock InstanceLock::AcquireIn(const std::string& directory, const std::string& name) {
    std::string mutexName = LockFilePath(directory, name);
    for (char& c : mutexName) {
        c = c == '\\' ? '/' : c;
    }
    return AcquireNamed(std::move(mutexName));
}

InstanceLock InstanceLock::AcquireNamed(std::string mutexName) {
    InstanceLock lock;
    lock.path_ = std::move(mutexName);
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, win::Widen(lock.path_).c_str());
    if (mutex == nullptr) {
        lock.errorMessage_ =
            "Sperre " + lock.path_ + " nicht anzulegen: " + win::ErrorText(GetLastError());
        return lock;
    }
    lock.existedAlready_ = GetLastError() == ERROR_ALREADY_EXISTS;
    lock.mutex_ = mutex;
    return lock;
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : mutex_(std::exchange(other.mutex_, nullptr)),
      existedAlready_(other.existedAlready_),
      path_(std::move(other.path_)),
      errorMessage_(std::move(other.errorMessage_)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        Release();
        mutex_ = std::exchange(other.mutex_, nullptr);
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
    if (mutex_ == nullptr) {
        return;
    }
    CloseHandle(mutex_);
    mutex_ = nullptr;
}

}  // namespace tarvedde
