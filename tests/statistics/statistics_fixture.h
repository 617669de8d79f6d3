// The statistics pieces on an in-memory program directory, with the clock at
// 2024-03-05 07:08:09 and a program log there.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "outputs/program_log.h"
#include "platform/date_time.h"
#include "platform/memory_file_system.h"
#include "platform/text_encoding.h"
#include "platform/virtual_clock.h"

namespace tarvedde::testing {

inline constexpr char kDir[] = "/prog/";

class StatisticsFixture : public ::testing::Test {
protected:
    StatisticsFixture() {
        clock_.SetLocalTime(EncodeDateTime(2024, 3, 5, 7, 8, 9, 0));
        log_.SetProgramDir(kDir);
    }
    // A file's text in UTF-8, or "<missing>".
    std::string File(const std::string& name) const {
        auto bytes = fs_.ReadAll(kDir + name);
        return bytes.ok() ? Cp1252ToUtf8(bytes.value()) : "<missing>";
    }
    std::string LogAll() const { return File(kLogAllFile); }

    MemoryFileSystem fs_;
    VirtualClock clock_;
    ProgramLog log_{fs_, clock_, GermanLocale()};
};

}  // namespace tarvedde::testing
