#include "app/command_line.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "platform/ini_file.h"
#include "platform/number_format.h"
#include "platform/path_names.h"
#include "platform/process_paths.h"

namespace tarvedde {

std::optional<SourceKind> ParseSourceKind(const std::string& text) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "dde") {
        return SourceKind::Dde;
    }
    if (lower == "aqasys") {
        return SourceKind::Aqasys;
    }
    if (lower == "opc") {
        return SourceKind::Opc;
    }
    return std::nullopt;
}

std::string ExecutableDirectory(const std::string& argv0) {
    const std::string path = ExecutablePath();
    const std::filesystem::path exe =
        path.empty() ? std::filesystem::absolute(PathFromUtf8(argv0)) : PathFromUtf8(path);
    return WithTrailingSeparator(Utf8FromPath(exe.parent_path()));
}

Result<CommandLine> ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    result.programDir = ExecutableDirectory(args.empty() ? std::string() : args.front());
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--dir" && hasValue) {
            result.programDir =
                Utf8FromPath(std::filesystem::absolute(PathFromUtf8(args[++i])).lexically_normal());
        } else if (arg == "--source" && hasValue) {
            result.sourceKind = ParseSourceKind(args[++i]);
            if (!result.sourceKind) {
                return Error{"unknown source kind '" + args[i] + "' (dde, aqasys or opc)"};
            }
        } else if (arg == "--screenshots" && hasValue) {
            result.screenshotDir =
                Utf8FromPath(std::filesystem::absolute(PathFromUtf8(args[++i])).lexically_normal());
        } else if (arg == "--screenshot-delay" && hasValue) {
            const auto seconds = StrToInt(args[++i]);
            if (!seconds || seconds.value() < 0) {
                return Error{"--screenshot-delay needs a number of seconds, not '" + args[i] + "'"};
            }
            result.screenshotDelaySeconds = seconds.value();
        } else if (arg == "--stale-after" && hasValue) {
            const auto seconds = StrToInt(args[++i]);
            if (!seconds || seconds.value() < 0) {
                return Error{"--stale-after needs a number of seconds, not '" + args[i] + "'"};
            }
            result.staleAfterSeconds = seconds.value();
        } else if (arg == "--status") {
            result.status = true;
        } else if (arg == "--headless") {
            result.headless = true;
        } else if (arg == "--help" || arg == "-h") {
            result.help = true;
        } else {
            return Error{"unknown or incomplete option '" + arg + "'"};
        }
    }
    if (result.headless && !result.screenshotDir.empty()) {
        return Error{"--screenshots needs the desktop program, not --headless"};
    }
    if (result.staleAfterSeconds && !result.status) {
        return Error{"--stale-after belongs to --status"};
    }
    result.programDir = WithTrailingSeparator(std::move(result.programDir));
    return result;
}

std::string UsageText(const std::string& program) {
    return "usage: " + program +
           " [--dir PROGRAM_DIR] [--source dde|aqasys|opc] [--headless]\n"
           "       [--screenshots DIR [--screenshot-delay SECONDS]]\n"
           "       --status [--dir PROGRAM_DIR] [--stale-after SECONDS]\n"
           "  --dir      the program directory (default: the executable's directory)\n"
           "  --source   the data-source kind (default: tarvedde-install.ini, else dde)\n"
           "  --headless run without a window\n"
           "  --screenshots      after the delay (default 0) save a picture of every window\n"
           "                     in DIR, then end the program\n"
           "  --status   summarise the program directory from its files, start nothing;\n"
           "             exit 0 current, 1 warning, 2 stale or not running, 3 no plant\n"
           "  --stale-after      seconds after the last cycle that count as stale\n"
           "                     (default 2 x cycle time + 60)\n";
}

Result<SourceKind> ReadInstalledSourceKind(FileSystem& files, const std::string& programDir) {
    IniFile ini(files, programDir + "tarvedde-install.ini");
    const std::string text = ini.ReadString("Installation", "Source", "dde");
    const auto kind = ParseSourceKind(text);
    if (!kind) {
        return Error{"tarvedde-install.ini: unknown [Installation] Source '" + text + "'"};
    }
    return *kind;
}

}  // namespace tarvedde

namespace tarvedde {

Result<SourceKind> ResolveSourceKind(const CommandLine& commandLine, FileSystem& files) {
    if (commandLine.sourceKind) {
        return *commandLine.sourceKind;
    }
    return ReadInstalledSourceKind(files, commandLine.programDir);
}

std::optional<int> ParseOrExit(const std::vector<std::string>& args, CommandLine& commandLine) {
    const std::string program = args.empty() ? "tarvedde" : args.front();
    auto parsed = ParseCommandLine(args);
    if (!parsed) {
        std::cerr << parsed.error().message << '\n' << UsageText(program);
        return 2;
    }
    if (parsed.value().help) {
        std::cout << UsageText(program);
        return 0;
    }
    commandLine = std::move(parsed).value();
    return std::nullopt;
}

}  // namespace tarvedde
