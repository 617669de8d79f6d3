#include "platform/windows_api.h"
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/process_paths.h"
#include "platform/wide_text_win.h"

namespace tarvedde {

std::string ExecutablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            return win::Narrow(buffer);
        }
        buffer.resize(buffer.size() * 2);  // truncated: long paths reach 32767 characters
    }
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) {
        args.push_back(win::Narrow(wide[i]));
    }
    LocalFree(wide);
    return args;
}

std::string TemporaryDirectory() {
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 2, buffer);
    std::string path = n > 0 && n <= MAX_PATH + 1 ? win::Narrow(buffer) : std::string(".");
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) {
        path.pop_back();
    }
    return path;
}

Result<std::string> MakeTemporaryDirectory(const std::string& prefix) {
    const std::string base = TemporaryDirectory() + "\\" + prefix;
    // Tick count and process id make a clash unlikely; CreateDirectoryW refuses an existing
    // one, so a clash only costs another try.
    const unsigned long long seed = GetTickCount64() ^ (GetCurrentProcessId() * 2654435761ULL);
    for (unsigned long long attempt = 0; attempt < 100; ++attempt) {
        const std::string path = base + std::to_string((seed + attempt * 7919ULL) % 1000000ULL);
        if (CreateDirectoryW(win::Widen(path).c_str(), nullptr)) {
            return path;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return Error{"cannot create a directory " + path + ": " +
                         win::ErrorText(GetLastError())};
        }
    }
    return Error{"cannot create a directory " + base + "*: all names taken"};
}

}  // namespace tarvedde
