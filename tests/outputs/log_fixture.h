// A program log on an in-memory file system with the clock standing at
// 2024-03-05 07:08:09.123, so every stamp is known exactly.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "outputs/day_file_names.h"
#include "outputs/program_log.h"
#include "platform/date_time.h"
#include "platform/memory_file_system.h"
#include "platform/text_encoding.h"
#include "platform/virtual_clock.h"

namespace tarvedde::testing {

inline constexpr char kDir[] = "/prog/";
inline constexpr char kStamp[] = "05.Mrz.24, 07:08:09 > ";

// A golden file of tests/data/outputs, or a text that matches no output.
inline std::string GoldenBytes(const std::string& name) {
    auto bytes =
        MakeRealFileSystem()->ReadAll(std::string(TARVEDDE_TEST_DATA) + "/outputs/" + name);
    return bytes.ok() ? bytes.value() : "<missing golden file " + name + ">";
}

// A whole line of a log file, stamped at the fixture's time; and a matcher for it.
inline std::string Line(const std::string& text) {
    return kStamp + text + "\r\n";
}
inline auto Logged(const std::string& text) {
    return ::testing::HasSubstr(Line(text));
}

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
    void Put(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(fs_.WriteAll(kDir + name, bytes, false));
    }
    // The main log in UTF-8, as the texts stand in the code.
    std::string LogAll() const { return Cp1252ToUtf8(File(kLogAllFile)); }
    // Makes `failing` fail on the program directory's file `name`.
    void FailOn(FileOp failing, const std::string& name) {
        fs_.SetFailurePolicy([failing, path = kDir + name](FileOp op, const std::string& p) {
            return op == failing && p == path;
        });
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

// The day files of 5 March 2024 in the program directory.
class DayFilesFixture : public LogFixture {
protected:
    DayFilesFixture() {
        files_.SetProgramDir(kDir);
        files_.SetRunningDay({2024, 3, 5});
    }
    // The file's text in UTF-8, or "<missing>".
    std::string Text(const std::string& name) const { return Cp1252ToUtf8(File(name)); }

    DayFiles files_{fs_, log_, GermanLocale()};
};

}  // namespace tarvedde::testing
