// tarvedde-scenario: runs a scenario script on a program directory in virtual time.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/scenario_runner.h"

namespace {

const char kUsage[] =
    "usage: tarvedde-scenario --dir PROGRAM_DIR SCRIPT\n"
    "  runs SCRIPT on the engine in virtual time and leaves every output file in\n"
    "  PROGRAM_DIR; exit status 0, 2 for a wrong script or command line, 1 when the\n"
    "  directory or the script cannot be used\n";

std::string NormalisedDirectory(const std::string& dir) {
    std::string path = std::filesystem::absolute(dir).lexically_normal().string();
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
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
