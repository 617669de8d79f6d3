// The headless program's log lines for the journal. systemd connects stderr to the
// journal and names that stream in JOURNAL_STREAM ("device:inode"); a child whose stderr
// was redirected elsewhere inherits the variable, so only a stderr that is that very
// stream counts. The journal wants UTF-8 lines ended by LF, the log file has Windows-1252
// and CR LF: the copy is made from the lines in memory, before the file's conversion.
#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>

#include "outputs/program_log.h"

namespace tarvedde {

// False for a variable that is not "device:inode" in decimal.
bool JournalStreamNames(std::string_view variable, std::uint64_t device, std::uint64_t inode);
// Whether stderr is the stream JOURNAL_STREAM names; always false on Windows.
bool StderrIsJournal();

// Each line of a log text (a message with CR LF inside is several) as a line of its own;
// debug lines carry sd-daemon's "<7>" so the journal files them as debug. The log knows
// no other severity: the rest take the unit's level.
class JournalLogMirror final : public LogMirror {
public:
    explicit JournalLogMirror(std::ostream& out) : out_(out) {}
    void MirrorLine(std::string_view line, bool debug) override;

private:
    std::ostream& out_;
};

}  // namespace tarvedde
