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

#ifndef _WIN32
// A directory only this user may use: made with mode 0700 when missing; refused when it
// is no directory (a symbolic link counts as none), belongs to another user, or grants
// group or others any permission, since whoever may enter it could squat or swap what
// lies there. The path as given.
Result<std::string> PreparePrivateDirectory(const std::string& path);
// The user's runtime directory: $XDG_RUNTIME_DIR when it is set and private, else
// TemporaryDirectory() + "/tarvedde-<uid>", made private when missing.
Result<std::string> UserRuntimeDirectory();
#endif

}  // namespace tarvedde
