// Options shared by the desktop and the headless program.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/model/item_model.h"
#include "platform/file_system.h"
#include "platform/result.h"

namespace tarvedde {

struct CommandLine {
    std::string programDir;
    std::optional<SourceKind> sourceKind;  // from --source; otherwise the installation file
    bool headless = false;
    bool help = false;
    // The desktop's screenshot tour: where the pictures go (empty: no tour), and how long
    // the program runs before it.
    std::string screenshotDir;
    int screenshotDelaySeconds = 0;
    // --status: summarise the program directory from its files and end; --stale-after
    // replaces the default stale time.
    bool status = false;
    std::optional<int> staleAfterSeconds;
};

// argv[0] gives the default program directory (the executable's directory).
Result<CommandLine> ParseCommandLine(const std::vector<std::string>& args);
std::string UsageText(const std::string& program);

// The installation's source kind: [Installation] Source of tarvedde-install.ini in the
// program directory ("dde", "aqasys", "opc"); DDE when missing.
Result<SourceKind> ReadInstalledSourceKind(FileSystem& files, const std::string& programDir);
std::optional<SourceKind> ParseSourceKind(const std::string& text);
// The --source option, else the installation file.
Result<SourceKind> ResolveSourceKind(const CommandLine& commandLine, FileSystem& files);

// Parses the arguments; prints the usage and gives the exit status when the program
// has nothing more to do (--help, or an error).
std::optional<int> ParseOrExit(const std::vector<std::string>& args, CommandLine& commandLine);

// The directory of the running executable, with the trailing separator.
std::string ExecutableDirectory(const std::string& argv0);

}  // namespace tarvedde
