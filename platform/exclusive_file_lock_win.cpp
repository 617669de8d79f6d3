// The exclusive file lock on Windows: the file open without sharing; see
// exclusive_file_lock.h.
#include "platform/windows_api.h"

#include "platform/exclusive_file_lock.h"
#include "platform/wide_text_win.h"

#include <utility>

namespace tarvedde {
namespace {

// A virus scanner may hold the file open for a moment after its holder ended.
constexpr int kSharingRetries = 10;
constexpr DWORD kSharingRetryMs = 20;

}  // namespace

// DELETE_ON_CLOSE removes the file when the handle closes, also after a crash.
ExclusiveFileLock::ExclusiveFileLock(std::string path) : path_(std::move(path)) {
    const std::wstring widePath = win::Widen(path_);
    for (int attempt = 0;; ++attempt) {
        const HANDLE file =
            CreateFileW(widePath.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            handle_ = file;
            return;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION) {
            errorMessage_ = "Sperrdatei " + path_ + " nicht zu öffnen: " + win::ErrorText(error);
            return;
        }
        if (attempt + 1 >= kSharingRetries) {
            heldElsewhere_ = true;
            return;
        }
        Sleep(kSharingRetryMs);
    }
}

void ExclusiveFileLock::Release() {
    if (handle_ == kNoHandle) {
        return;
    }
    CloseHandle(handle_);
    handle_ = kNoHandle;
}

}  // namespace tarvedde
