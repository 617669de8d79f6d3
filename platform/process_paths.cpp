#include "platform/process_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tarvedde {

std::string ExecutablePath() {
    std::array<char, 4096> buffer{};
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::string TemporaryDirectory() {
    const char* directory = std::getenv("TMPDIR");
    if (directory != nullptr && directory[0] != '\0') {
        return directory;
    }
    return "/tmp";
}

Result<std::string> MakeTemporaryDirectory(const std::string& prefix) {
    std::string pattern = TemporaryDirectory() + "/" + prefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        return Error{"cannot create a directory " + pattern + ": " + std::strerror(errno)};
    }
    return pattern;
}

Result<std::string> PreparePrivateDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return Error{"directory " + path + ": " + std::strerror(errno)};
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return Error{"directory " + path + ": " + std::strerror(errno)};
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
        return Error{"directory " + path +
                     " is not a directory of this user closed to group and others"};
    }
    return path;
}

Result<std::string> UserRuntimeDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        if (auto directory = PreparePrivateDirectory(runtime)) {
            return directory;
        }
    }
    return PreparePrivateDirectory(TemporaryDirectory() + "/tarvedde-" +
                                   std::to_string(::getuid()));
}

}  // namespace tarvedde
