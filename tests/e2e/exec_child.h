// The child half of starting a program from an end-to-end test: after fork(), replace
// the child with the program. Never returns; 127 when the program cannot be run.
#pragma once

#include <unistd.h>

#include <string>
#include <vector>

namespace tarvedde::testing {

[[noreturn]] inline void ExecChild(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

}  // namespace tarvedde::testing
