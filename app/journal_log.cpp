#include "app/journal_log.h"

#include <charconv>
#include <cstdlib>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarvedde {
namespace {

bool TakeNumber(std::string_view text, std::uint64_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

bool JournalStreamNames(std::string_view variable, std::uint64_t device, std::uint64_t inode) {
    const std::size_t colon = variable.find(':');
    std::uint64_t namedDevice = 0;
    std::uint64_t namedInode = 0;
    return colon != std::string_view::npos && TakeNumber(variable.substr(0, colon), namedDevice) &&
           TakeNumber(variable.substr(colon + 1), namedInode) && namedDevice == device &&
           namedInode == inode;
}

bool StderrIsJournal() {
#ifdef _WIN32
    return false;
#else
    const char* variable = std::getenv("JOURNAL_STREAM");
    struct stat st {};
    return variable != nullptr && ::fstat(STDERR_FILENO, &st) == 0 &&
           JournalStreamNames(variable, static_cast<std::uint64_t>(st.st_dev),
                              static_cast<std::uint64_t>(st.st_ino));
#endif
}

// One write per log line, so lines of the journal never interleave with other output.
void JournalLogMirror::MirrorLine(std::string_view line, bool debug) {
    const std::string_view prefix = debug ? "<7>" : "";
    std::string text;
    std::size_t start = 0;
    for (std::size_t end = line.find("\r\n"); end != std::string_view::npos;
         end = line.find("\r\n", start)) {
        text.append(prefix).append(line.substr(start, end - start)).push_back('\n');
        start = end + 2;
    }
    text.append(prefix).append(line.substr(start)).push_back('\n');
    out_.write(text.data(), static_cast<std::streamsize>(text.size()));
    out_.flush();
}

}  // namespace tarvedde
