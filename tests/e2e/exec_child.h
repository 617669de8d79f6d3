// Starting a program from an end-to-end test: the child half after fork(), and the wait
// until a started server listens.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "sources/dde_socket_io.h"

namespace tarvedde::testing {

// Replaces the child with the program. Never returns; 127 when the program cannot be run.
[[noreturn]] inline void ExecChild(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

// Starts a program with a private temporary and socket directory under `root` (other tests
// run beside this one), its stdout and stderr appended to `root + output`.
inline pid_t SpawnIsolated(const std::string& root, const std::string& ddeDir,
                           std::vector<std::string> args, const std::string& output) {
    const std::string outputPath = root + output;
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    setenv("TMPDIR", (root + "tmp").c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");
    setenv("TARVEDDE_DDE_DIR", ddeDir.c_str(), 1);
    if (FILE* out = std::freopen(outputPath.c_str(), "a", stderr)) {
        dup2(fileno(out), STDOUT_FILENO);
    }
    ExecChild(std::move(args));
}

using SteadyClock = std::chrono::steady_clock;

inline std::int64_t MsSince(SteadyClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start)
        .count();
}

// A started plantsim takes a moment until its socket listens; false after 10 s.
inline bool WaitForSocket(const std::string& path) {
    const auto start = SteadyClock::now();
    while (MsSince(start) < 10000) {
        if (auto fd = ConnectDdeSocket(path); fd.ok()) {
            close(fd.value());
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

inline bool WaitForDdeSocket(const std::string& ddeDir, const std::string& service) {
    return WaitForSocket(DdeSocketPath(ddeDir, service).value());
}

}  // namespace tarvedde::testing
