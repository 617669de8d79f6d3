#include "platform/path_names.h"

namespace tarvedde {

bool IsPathSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

bool IsAbsolutePath(std::string_view path) {
    if (!path.empty() && IsPathSeparator(path.front())) {
        return true;
    }
#ifdef _WIN32
    const bool driveLetter =
        path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return driveLetter;
#else
    return false;
#endif
}

std::string FileNameOf(std::string_view path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsPathSeparator(path[i - 1])) {
            return std::string(path.substr(i));
        }
    }
    return std::string(path);
}

std::string WithTrailingSeparator(std::string path) {
    if (path.empty() || !IsPathSeparator(path.back())) {
        path += '/';
    }
    return path;
}

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

}  // namespace tarvedde
