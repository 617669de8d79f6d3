// tarvedde-headless: the client without a window, for services and the demo.
#include <iostream>

#include "app/command_line.h"
#include "app/headless_runner.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv, argv + argc);
    auto commandLine = tarvedde::ParseCommandLine(args);
    if (!commandLine) {
        std::cerr << commandLine.error().message << '\n' << tarvedde::UsageText(args[0]);
        return 2;
    }
    if (commandLine.value().help) {
        std::cout << tarvedde::UsageText(args[0]);
        return 0;
    }
    // Both programs are the same client, so they share one single-instance lock.
    return tarvedde::RunHeadless(commandLine.value(), "tarvedde");
}
