// tarvedde-headless: the client without a window, for services and the demo.
#include <iostream>

#include "app/command_line.h"
#include "app/headless_runner.h"
#include "app/plant_status.h"
#include "platform/process_paths.h"

int main(int argc, char** argv) {
    tarvedde::CommandLine commandLine;
    if (const auto status =
            tarvedde::ParseOrExit(tarvedde::ProgramArguments(argc, argv), commandLine)) {
        return *status;
    }
    if (commandLine.status) {
        return tarvedde::PrintPlantStatus(commandLine.programDir, commandLine.staleAfterSeconds,
                                          std::cout);
    }
    // Both programs are the same client, so they share one single-instance lock.
    return tarvedde::RunHeadless(commandLine, "tarvedde");
}
