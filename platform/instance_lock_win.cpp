// Named-mutex single-instance lock; see instance_lock.h.
#include "platform/windows_api.h"

#include <utility>

#include "platform/instance_lock.h"
#include "platform/wide_text_win.h"

namespace tarvedde {

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
    lock.handle_ = mutex;
    return lock;
}

void InstanceLock::Release() {
    if (handle_ == nullptr) {
        return;
    }
    CloseHandle(handle_);
    handle_ = nullptr;
}

}  // namespace tarvedde
