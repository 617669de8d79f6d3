// Where OPC servers over the local socket protocol are found. An endpoint (one serving
// process, any number of servers) is a Unix-domain socket "<NAME>.opc" in the DDE
// directory (name rules as for DDE services, dde_socket_io.h); a host other than this
// machine is reached at a TCP port, which a server opens only when its operator asks,
// and then on the loopback address unless told another.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/result.h"

namespace tarvedde {

inline constexpr std::uint16_t kOpcDefaultTcpPort = 51340;

Result<std::string> OpcSocketPath(const std::string& directory, const std::string& endpoint);
// The "*.opc" sockets of the directory, sorted; none when it cannot be read.
std::vector<std::string> OpcSocketPaths(const std::string& directory);

// A connected non-blocking TCP socket, within `timeoutMs`.
Result<int> ConnectOpcTcp(const std::string& host, std::uint16_t port, int timeoutMs);
// A listening non-blocking TCP socket on `address` ("127.0.0.1" unless configured);
// port 0 takes a free one.
Result<int> ListenOpcTcp(const std::string& address, std::uint16_t port);
std::uint16_t BoundTcpPort(int fd);

}  // namespace tarvedde
