// FileSystem on the Win32 API. Names are UTF-8 turned into UTF-16, so "ä" in a name means
// the same file as in Explorer; contents are always binary (no CR LF translation).
// Every call opens and closes what it needs (an AppendFile stays open) and shares the file
// with readers, writers and deleters, so the viewer or an editor may hold it open meanwhile.
#include "platform/windows_api.h"

#include <algorithm>
#include <optional>

#include "platform/path_names.h"
#include "platform/real_file_system.h"
#include "platform/wide_text_win.h"

namespace tarvedde {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

Error SystemError(const std::string& what, const std::string& path) {
    return Error{what + " " + path + ": " + win::ErrorText(GetLastError())};
}

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    bool Close() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE handle_;
};

HANDLE Open(const std::string& path, DWORD access, DWORD disposition) {
    return CreateFileW(win::Widen(path).c_str(), access, kShareAll, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteFully(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

// Append-only access puts every write at the end, even when another program appends too.
// A full disk may take part of the bytes: a second handle cuts them off again, as the
// append-only one cannot move the end of the file.
Status AppendThrough(HANDLE file, const std::string& path, std::string_view bytes) {
    LARGE_INTEGER before{};
    if (!GetFileSizeEx(file, &before)) {
        return SystemError("size", path);
    }
    if (!WriteFully(file, bytes)) {
        Error failure = SystemError("write", path);
        FileHandle cut(Open(path, FILE_WRITE_DATA, OPEN_EXISTING));
        FILE_END_OF_FILE_INFO end{};
        end.EndOfFile = before;
        if (cut.valid()) {
            SetFileInformationByHandle(cut.get(), FileEndOfFileInfo, &end, sizeof end);
        }
        return failure;
    }
    return Status::Ok();
}

HANDLE OpenForAppend(const std::string& path) {
    return Open(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, OPEN_ALWAYS);
}

class WinAppendFile final : public AppendFile {
public:
    WinAppendFile(HANDLE handle, std::string path) : file_(handle), path_(std::move(path)) {}
    Status Append(std::string_view bytes) override {
        return AppendThrough(file_.get(), path_, bytes);
    }

private:
    FileHandle file_;
    std::string path_;
};

std::optional<WIN32_FILE_ATTRIBUTE_DATA> Attributes(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(win::Widen(path).c_str(), GetFileExInfoStandard, &data)) {
        return std::nullopt;
    }
    return data;
}

class RealFileSystem final : public RealFileSystemBase {
public:
    bool Exists(const std::string& path) const override {
        return GetFileAttributesW(win::Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    bool IsDirectory(const std::string& path) const override {
        const DWORD attributes = GetFileAttributesW(win::Widen(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

    Result<std::string> ReadAll(const std::string& path) const override {
        FileHandle file(Open(path, GENERIC_READ, OPEN_EXISTING));
        if (!file.valid()) {
            return SystemError("open", path);
        }
        std::string bytes;
        char buffer[65536];
        for (;;) {
            DWORD n = 0;
            if (!ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) {
                return SystemError("read", path);
            }
            if (n == 0) {
                return bytes;
            }
            bytes.append(buffer, n);
        }
    }

    Status WriteAll(const std::string& path, std::string_view bytes, bool durable) override {
        FileHandle file(Open(path, GENERIC_WRITE, CREATE_ALWAYS));
        if (!file.valid()) {
            return SystemError("open", path);
        }
        if (!WriteFully(file.get(), bytes)) {
            return SystemError("write", path);
        }
        if (durable && !FlushFileBuffers(file.get())) {
            return SystemError("flush", path);
        }
        if (!file.Close()) {
            return SystemError("close", path);
        }
        return Status::Ok();
    }

    Result<std::string> ReadRange(const std::string& path, std::uint64_t offset,
                                  std::size_t length) const override {
        FileHandle file(Open(path, GENERIC_READ, OPEN_EXISTING));
        if (!file.valid()) {
            return SystemError("open", path);
        }
        LARGE_INTEGER start{};
        start.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) {
            return SystemError("seek", path);
        }
        std::string bytes(length, '\0');
        std::size_t got = 0;
        while (got < length) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(length - got, 1u << 30));
            DWORD n = 0;
            if (!ReadFile(file.get(), bytes.data() + got, chunk, &n, nullptr)) {
                return SystemError("read", path);
            }
            if (n == 0) {
                break;
            }
            got += n;
        }
        bytes.resize(got);
        return bytes;
    }

    Status Append(const std::string& path, std::string_view bytes) override {
        FileHandle file(OpenForAppend(path));
        if (!file.valid()) {
            return SystemError("open", path);
        }
        if (Status appended = AppendThrough(file.get(), path, bytes); !appended) {
            return appended;
        }
        if (!file.Close()) {
            return SystemError("close", path);
        }
        return Status::Ok();
    }

    Result<std::unique_ptr<AppendFile>> OpenAppend(const std::string& path) override {
        const HANDLE handle = OpenForAppend(path);
        if (handle == INVALID_HANDLE_VALUE) {
            return SystemError("open", path);
        }
        return std::unique_ptr<AppendFile>(std::make_unique<WinAppendFile>(handle, path));
    }

    Status Remove(const std::string& path) override {
        if (!DeleteFileW(win::Widen(path).c_str())) {
            return SystemError("delete", path);
        }
        return Status::Ok();
    }

    // Replacing the target in one step is what makes the state files' write-then-rename
    // safe; plain rename() refuses an existing target on Windows. A read-only target is
    // refused here too: Windows does, but not every implementation of the call (wine).
    Status Rename(const std::string& from, const std::string& to) override {
        if (const auto target = Attributes(to);
            target && (target->dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return Error{"replace " + to + ": read-only"};
        }
        if (!MoveFileExW(win::Widen(from).c_str(), win::Widen(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return SystemError("rename " + from + " to", to);
        }
        return Status::Ok();
    }

    Result<FileStamp> Stamp(const std::string& path) const override {
        const auto data = Attributes(path);
        if (!data) {
            return SystemError("stat", path);
        }
        const std::uint64_t size = (std::uint64_t{data->nFileSizeHigh} << 32) | data->nFileSizeLow;
        const std::uint64_t ticks = (std::uint64_t{data->ftLastWriteTime.dwHighDateTime} << 32) |
                                    data->ftLastWriteTime.dwLowDateTime;
        // 100 ns ticks since 1601 to ns since 1970, as the POSIX stamp counts.
        constexpr std::int64_t kTicks1601To1970 = 116444736000000000;
        return FileStamp{size, (static_cast<std::int64_t>(ticks) - kTicks1601To1970) * 100};
    }

    std::vector<std::string> List(const std::string& directory) const override {
        std::vector<std::string> names;
        WIN32_FIND_DATAW entry{};
        const std::string pattern = WithTrailingSeparator(directory) + "*";
        const HANDLE find = FindFirstFileW(win::Widen(pattern).c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) {
            return names;
        }
        do {
            const std::wstring_view name = entry.cFileName;
            if (name != L"." && name != L"..") {
                names.push_back(win::Narrow(name));
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
        return names;
    }
};

}  // namespace

std::unique_ptr<FileSystem> MakeRealFileSystem() {
    return std::make_unique<RealFileSystem>();
}

}  // namespace tarvedde
