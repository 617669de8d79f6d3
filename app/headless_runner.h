// The client without a window: real clock, a poll loop, an operator that never waits.
// Ends cleanly on SIGINT or SIGTERM.
#pragma once

#include "app/command_line.h"

namespace tarvedde {

int RunHeadless(const CommandLine& commandLine, const std::string& lockName);

}  // namespace tarvedde
