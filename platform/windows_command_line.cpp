#include "platform/windows_command_line.h"

namespace tarvedde {
namespace {

// Backslashes are literal except in a run that ends at a quote: then each pair gives one
// backslash, and an odd one escapes the quote.
void AppendQuoted(std::string& line, const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += arg;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            line.append(2 * backslashes + 1, '\\');
        } else {
            line.append(backslashes, '\\');
        }
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, '\\');
    line += '"';
}

}  // namespace

std::string WindowsCommandLine(const std::string& program, const std::vector<std::string>& args) {
    std::string line = program.find_first_of(" \t") == std::string::npos || program.empty()
                           ? program
                           : '"' + program + '"';
    for (const std::string& arg : args) {
        line += ' ';
        AppendQuoted(line, arg);
    }
    return line;
}

}  // namespace tarvedde
