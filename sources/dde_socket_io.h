// Where local DDE services live and the few socket calls both sides share. A service is a
// Unix-domain stream socket named after its service name in a per-user directory that
// only its owner may enter; nothing here ever opens a network address. All descriptors
// are non-blocking and close-on-exec; writes never raise SIGPIPE.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace tarvedde {

using DdeLogSink = std::function<void(const std::string&)>;

// `explicitDirectory` when given, else $TARVEDDE_DDE_DIR, else $XDG_RUNTIME_DIR/tarvedde-dde,
// else /tmp/tarvedde-dde-<uid>. Creates the last component with mode 0700 when missing;
// fails for one that is not a directory of ours or that grants group or others anything.
Result<std::string> PrepareDdeDirectory(const std::string& explicitDirectory);

// The socket path of a service: letters upper-cased (names compare without case), every
// byte other than A-Z, 0-9, '-', '_', '.' replaced by '_'. Fails when empty or too long
// for a socket address.
Result<std::string> DdeSocketPath(const std::string& directory, const std::string& service);

// A connected client socket. Fails at once when no server listens there, and when one
// listens but takes no more connections (a hung server; errno is then EAGAIN).
Result<int> ConnectDdeSocket(const std::string& path);

// A non-blocking listening socket at `path`. A live server there is an error naming
// `what` ("a DDE server already listens at ..."); a stale socket file is replaced.
Result<int> ListenDdeSocket(const std::string& path, const std::string& what);

// Writes all bytes, waiting up to `timeoutMs` in total for room to write.
Status SendAllBytes(int fd, std::string_view bytes, int timeoutMs);

enum class ReadOutcome { kData, kWouldBlock, kClosed };
// One read of what is there, appended to `out`. kClosed for end of stream and errors
// (ECONNRESET and the like); `error` then says which.
ReadOutcome ReadSome(int fd, std::string& out, std::string& error);

// Waits up to `timeoutMs` for `fd` to become readable (or hang up); false on time-out.
bool WaitReadable(int fd, int timeoutMs);

}  // namespace tarvedde
