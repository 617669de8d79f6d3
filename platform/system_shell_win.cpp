// CreateProcessW without waiting; the handles of started processes are kept until they end.
#include "platform/windows_api.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/system_shell.h"
#include "platform/wide_text_win.h"
#include "platform/windows_command_line.h"

namespace tarvedde {

SystemShell::~SystemShell() {
    UnreapedChildren();
    for (void* child : children_) {
        CloseHandle(child);
    }
}

bool SystemShell::StartProgram(const std::string& program, const std::vector<std::string>& args) {
    UnreapedChildren();
    // CreateProcessW may write into the command line, so it gets its own buffer.
    std::wstring commandLine = win::Widen(WindowsCommandLine(program, args));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    children_.push_back(process.hProcess);
    return true;
}

void SystemShell::TerminateProcess(int exitCode) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

std::size_t SystemShell::UnreapedChildren() {
    const auto ended = [](void* child) {
        if (WaitForSingleObject(child, 0) != WAIT_OBJECT_0) {
            return false;
        }
        CloseHandle(child);
        return true;
    };
    children_.erase(std::remove_if(children_.begin(), children_.end(), ended), children_.end());
    return children_.size();
}

std::unique_ptr<Shell> MakeSystemShell() {
    return std::make_unique<SystemShell>();
}

}  // namespace tarvedde
