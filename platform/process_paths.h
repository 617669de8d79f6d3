// What the operating system tells the process about itself, as UTF-8: its own file, its
// command line, and a place for scratch directories.
#pragma once

#include <string>
#include <vector>

#include "platform/result.h"

namespace tarvedde {

// The running executable's full path; empty when the system does not tell.
std::string ExecutablePath();
// The program's arguments, argv[0] first. On Windows they are read again from the wide
// command line, since argv holds them in the ANSI code page.
std::vector<std::string> ProgramArguments(int argc, char** argv);
// $TMPDIR (else /tmp) on POSIX, the user's temporary directory on Windows; no trailing
// separator.
std::string TemporaryDirectory();
// A new, empty directory there whose name starts with `prefix`; its path without a
// trailing separator.
Result<std::string> MakeTemporaryDirectory(const std::string& prefix);

}  // namespace tarvedde
