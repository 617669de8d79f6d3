// A program log on an in-memory file system with the clock standing at
// 2024-03-05 07:08:09.123, so every stamp is known exactly.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "outputs/program_log.h"
#include "platform/date_time.h"
#include "platform/memory_file_system.h"
#include "platform/virtual_clock.h"

namespace tarvedde::testing {

inline constexpr char kDir[] = "/prog/";
inline constexpr char kStamp[] = "05.Mrz.24, 07:08:09 > ";

class LogFixture : public ::testing::Test {
protected:
    LogFixture() {
        clock_.SetLocalTime(EncodeDateTime(2024, 3, 5, 7, 8, 9, 123));
        log_.SetProgramDir(kDir);
    }

    // The file's bytes, or "<missing>".
    std::string File(const std::string& name) const {
        auto bytes = fs_.ReadAll(kDir + name);
        return bytes.ok() ? bytes.value() : "<missing>";
    }
    void FailAppendsTo(const std::string& name) {
        fs_.SetFailurePolicy([path = kDir + name](FileOp op, const std::string& p) {
            return (op == FileOp::Append || op == FileOp::Write) && p == path;
        });
    }

    MemoryFileSystem fs_;
    VirtualClock clock_;
    ProgramLog log_{fs_, clock_, GermanLocale()};
};

}  // namespace tarvedde::testing
