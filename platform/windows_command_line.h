// The command line CreateProcess takes: one string that the started program splits again
// (CommandLineToArgvW and the C runtimes follow the same rules), so every argument must be
// quoted to come back exactly as given: spaces, quotes, trailing backslashes, empty texts.
// Portable, so its rules are tested everywhere.
#pragma once

#include <string>
#include <vector>

namespace tarvedde {

// The program name is parsed by simpler rules (no escapes; a quote only groups), so it is
// quoted only when it holds a space or tab; it cannot hold a quote on Windows.
std::string WindowsCommandLine(const std::string& program, const std::vector<std::string>& args);

}  // namespace tarvedde
