// Endpoint names and TCP sockets of the OPC socket protocol; see opc_socket_endpoint.h.
#include "sources/opc_socket_endpoint.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "sources/dde_socket_io.h"

namespace tarvedde {
namespace {

constexpr char kSuffix[] = ".opc";

Error SocketError(const std::string& what, int fd) {
    Error error{what + ": " + std::strerror(errno)};
    if (fd >= 0) {
        close(fd);
    }
    return error;
}

}  // namespace

Result<std::string> OpcSocketPath(const std::string& directory, const std::string& endpoint) {
    auto path = DdeSocketPath(directory, endpoint);  // same rules, same length as ".dde"
    if (!path) {
        return Error{"OPC endpoint: " + path.error().message};
    }
    std::string opc = path.value();
    opc.replace(opc.size() - 4, 4, kSuffix);
    return opc;
}

std::vector<std::string> OpcSocketPaths(const std::string& directory) {
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const std::string path = entry.path().string();
        if (entry.path().extension() == kSuffix) {
            paths.push_back(path);
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

Result<int> ConnectOpcTcp(const std::string& host, std::uint16_t port, int timeoutMs) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (int why = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); why != 0) {
        return Error{"OPC host " + host + ": " + gai_strerror(why)};
    }
    Result<int> result = Error{"OPC host " + host + ": no address"};
    for (addrinfo* at = found; at != nullptr; at = at->ai_next) {
        int fd =
            socket(at->ai_family, at->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, at->ai_protocol);
        if (fd < 0) {
            result = SocketError("socket", -1);
            continue;
        }
        if (connect(fd, at->ai_addr, at->ai_addrlen) != 0 && errno != EINPROGRESS) {
            result = SocketError("connect " + host + ":" + service, fd);
            continue;
        }
        pollfd entry{fd, POLLOUT, 0};
        int pending = 0;
        socklen_t size = sizeof(pending);
        if (poll(&entry, 1, timeoutMs) <= 0 ||
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &size) != 0 || pending != 0) {
            errno = pending != 0 ? pending : ETIMEDOUT;
            result = SocketError("connect " + host + ":" + service, fd);
            continue;
        }
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
        result = fd;
        break;
    }
    freeaddrinfo(found);
    return result;
}

Result<int> ListenOpcTcp(const std::string& address, std::uint16_t port) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &socketAddress.sin_addr) != 1) {
        return Error{"OPC listen address " + address + " is not an IPv4 address"};
    }
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return SocketError("socket", -1);
    }
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    if (bind(fd, reinterpret_cast<const sockaddr*>(&socketAddress), sizeof(socketAddress)) != 0 ||
        listen(fd, 16) != 0) {
        return SocketError("listen at " + address + ":" + std::to_string(port), fd);
    }
    return fd;
}

std::uint16_t BoundTcpPort(int fd) {
    sockaddr_in socketAddress{};
    socklen_t size = sizeof(socketAddress);
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&socketAddress), &size) != 0) {
        return 0;
    }
    return ntohs(socketAddress.sin_port);
}

}  // namespace tarvedde
