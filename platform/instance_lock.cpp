// The lock's name and ownership, the same on every system; see instance_lock.h.
#include "platform/instance_lock.h"

#include <utility>

#include "platform/path_names.h"
#include "platform/process_paths.h"

namespace tarvedde {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

bool IsPortableNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
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
    if (directory.empty() || IsPathSeparator(directory.back())) {
        return directory + fileName;
    }
    return directory + kSeparator + fileName;
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)),
      existedAlready_(other.existedAlready_),
      path_(std::move(other.path_)),
      errorMessage_(std::move(other.errorMessage_)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        Release();
        handle_ = std::exchange(other.handle_, kNoHandle);
        existedAlready_ = other.existedAlready_;
        path_ = std::move(other.path_);
        errorMessage_ = std::move(other.errorMessage_);
    }
    return *this;
}

InstanceLock::~InstanceLock() {
    Release();
}

}  // namespace tarvedde
