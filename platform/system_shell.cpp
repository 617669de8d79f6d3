// posix_spawnp without waiting; waitpid(WNOHANG) on the own children only.
#include "platform/system_shell.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

extern char** environ;

namespace tarvedde {

SystemShell::~SystemShell() {
    UnreapedChildren();
}

bool SystemShell::StartProgram(const std::string& program, const std::vector<std::string>& args) {
    UnreapedChildren();
    std::vector<std::string> argStrings;
    argStrings.reserve(args.size() + 1);
    argStrings.push_back(program);
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argStrings) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    children_.push_back(pid);
    return true;
}

void SystemShell::TerminateProcess(int exitCode) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    _exit(exitCode);
}

std::size_t SystemShell::UnreapedChildren() {
    const auto reaped = [](pid_t pid) {
        int status = 0;
        const pid_t result = waitpid(pid, &status, WNOHANG);
        // -1: someone else reaped it (or it is not ours any more); nothing left to wait for.
        return result == pid || result == -1;
    };
    children_.erase(std::remove_if(children_.begin(), children_.end(), reaped), children_.end());
    return children_.size();
}

std::unique_ptr<Shell> MakeSystemShell() {
    return std::make_unique<SystemShell>();
}

}  // namespace tarvedde
