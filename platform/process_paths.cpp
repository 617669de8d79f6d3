#include "platform/process_paths.h"

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

}  // namespace tarvedde
