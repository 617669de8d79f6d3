// tarvedde-scenario: runs a scenario script on a program directory in virtual time.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/scenario_runner.h"
#include "platform/path_names.h"
#include "platform/process_paths.h"

namespace {

const char kUsage[] =
    "usage: tarvedde-scenario --dir PROGRAM_DIR SCRIPT\n"
    "  runs SCRIPT on the engine in virtual time and leaves every output file in\n"
    "  PROGRAM_DIR; exit status 0, 2 for a wrong script or command line, 1 when the\n"
    "  directory or the script cannot be used\n";

std::string NormalisedDirectory(const std::string& dir) {
    return tarvedde::WithTrailingSeparator(tarvedde::Utf8FromPath(
        std::filesystem::absolute(tarvedde::PathFromUtf8(dir)).lexically_normal()));
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args = tarvedde::ProgramArguments(argc, argv);
    args.erase(args.begin(), args.begin() + std::min<std::ptrdiff_t>(1, std::ssize(args)));
    std::string dir;
    std::string script;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (args[i] == "--dir" && i + 1 < args.size()) {
            dir = args[++i];
        } else if (script.empty() && !args[i].starts_with("-")) {
            script = args[i];
        } else {
            std::cerr << "unknown or incomplete option '" << args[i] << "'\n" << kUsage;
            return 2;
        }
    }
    if (dir.empty() || script.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    return tarvedde::RunScenarioFile(NormalisedDirectory(dir), script, std::cerr);
}
