#include "app/journal_log.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tarvedde {
namespace {

// The journal takes a line per LF; the log file's CR LF inside a message makes lines there.
TEST(JournalLogMirrorTest, EachLineOfAMessageIsAJournalLineAndDebugMarksEveryOne) {
    std::ostringstream out;
    JournalLogMirror mirror(out);
    mirror.MirrorLine("05.Mrz.24, 06:00:00 > Statistik:\r\n  Mittel=1\r\n  Max.=2", false);
    mirror.MirrorLine("dbg\r\n", true);
    mirror.MirrorLine("", false);
    EXPECT_EQ(out.str(), "05.Mrz.24, 06:00:00 > Statistik:\n  Mittel=1\n  Max.=2\n<7>dbg\n<7>\n\n");
}

}  // namespace
}  // namespace tarvedde
