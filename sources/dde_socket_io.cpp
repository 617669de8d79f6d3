// Local socket helpers of the DDE socket protocol; see dde_socket_io.h.
#include "sources/dde_socket_io.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/process_paths.h"

namespace tarvedde {
namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

std::string DefaultDirectory() {
    std::string own = EnvOr("TARVEDDE_DDE_DIR", "");
    if (!own.empty()) {
        return own;
    }
    std::string runtime = EnvOr("XDG_RUNTIME_DIR", "");
    if (!runtime.empty()) {
        return runtime + "/tarvedde-dde";
    }
    return "/tmp/tarvedde-dde-" + std::to_string(getuid());
}

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

Result<std::string> PrepareDdeDirectory(const std::string& explicitDirectory) {
    const std::string dir = explicitDirectory.empty() ? DefaultDirectory() : explicitDirectory;
    auto prepared = PreparePrivateDirectory(dir);
    if (!prepared) {
        return Error{"DDE " + prepared.error().message};
    }
    return dir;
}

Result<std::string> DdeSocketPath(const std::string& directory, const std::string& service) {
    if (service.empty()) {
        return Error{"empty DDE service name"};
    }
    std::string name;
    for (char c : service) {
        bool plain =
            (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        if (c >= 'a' && c <= 'z') {
            name.push_back(static_cast<char>(c - 'a' + 'A'));
        } else {
            name.push_back(plain ? c : '_');
        }
    }
    std::string path = directory + "/" + name + ".dde";
    if (path.size() >= sizeof(sockaddr_un{}.sun_path)) {
        return Error{"DDE socket path too long: " + path};
    }
    return path;
}

Result<int> ConnectDdeSocket(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        return Error{"DDE socket path too long: " + path};
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return Error{Errno("socket")};
    }
    // Non-blocking, because a blocking connect waits for as long as a hung server's queue
    // of unaccepted connections stays full: for ever.
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        const int why = errno;
        Error error{Errno("connect " + path)};
        close(fd);
        errno = why;
        return error;
    }
    return fd;
}

Result<int> ListenDdeSocket(const std::string& path, const std::string& what) {
    auto probe = ConnectDdeSocket(path);
    if (probe || errno == EAGAIN) {
        if (probe) {
            close(probe.value());
        }
        return Error{what + " already listens at " + path};
    }
    unlink(path.c_str());  // stale: its server is gone
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return Error{std::string("socket: ") + std::strerror(errno)};
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(fd, 16) != 0) {
        Error error{"listen at " + path + ": " + std::strerror(errno)};
        close(fd);
        return error;
    }
    return fd;
}

Status SendAllBytes(int fd, std::string_view bytes, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!bytes.empty()) {
        ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return Error{Errno("send")};
        }
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now())
                        .count();
        pollfd entry{fd, POLLOUT, 0};
        if (left <= 0 || poll(&entry, 1, static_cast<int>(left)) == 0) {
            return Error{"send: time-out"};
        }
    }
    return Status::Ok();
}

ReadOutcome ReadSome(int fd, std::string& out, std::string& error) {
    char buffer[16384];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got > 0) {
            out.append(buffer, static_cast<std::size_t>(got));
            return ReadOutcome::kData;
        }
        if (got == 0) {
            error = "end of stream";
            return ReadOutcome::kClosed;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return ReadOutcome::kWouldBlock;
        }
        error = Errno("read");
        return ReadOutcome::kClosed;
    }
}

bool WaitReadable(int fd, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    int ready = poll(&entry, 1, timeoutMs < 0 ? 0 : timeoutMs);
    return ready > 0;
}

}  // namespace tarvedde
