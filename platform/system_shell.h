// The real shell: starts outside programs without waiting and ends the own process.
// Started children are reaped without blocking on later calls, so none stays a zombie
// for long, and without touching SIGCHLD or other children of the process.
#pragma once

#ifndef _WIN32
#include <sys/types.h>
#endif

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/shell.h"

namespace tarvedde {

class SystemShell final : public Shell {
public:
    SystemShell() = default;
    ~SystemShell() override;
    SystemShell(const SystemShell&) = delete;
    SystemShell& operator=(const SystemShell&) = delete;

    // Looks `program` up in PATH unless it contains a '/'; args exclude the program name.
    // On Windows the search is CreateProcess's (the program's folder, the current one, the
    // system folders, PATH; ".exe" added when the name has no extension).
    bool StartProgram(const std::string& program, const std::vector<std::string>& args) override;
    // Flushes the C and C++ standard streams, then _exit(exitCode): no destructors, no
    // atexit handlers.
    void TerminateProcess(int exitCode) override;

    // Reaps children that ended; returns how many started children still run.
    std::size_t UnreapedChildren();

private:
#ifdef _WIN32
    std::vector<void*> children_;  // process handles
#else
    std::vector<pid_t> children_;
#endif
};

std::unique_ptr<Shell> MakeSystemShell();

}  // namespace tarvedde
