// A program directory in memory with a scripted operator and a virtual clock, for the
// configuration loader's tests. Files are written as UTF-8 text and stored as 1252 with
// CR LF, as the program finds them on disk.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/configuration_loader.h"
#include "engine/engine_state.h"
#include "platform/ini_file.h"
#include "platform/instance_locks.h"
#include "platform/memory_file_system.h"
#include "platform/recording_shell.h"
#include "platform/scripted_operator.h"
#include "platform/text_encoding.h"
#include "platform/virtual_clock.h"
#include "platform/virtual_event_loop.h"

namespace tarvedde {

using Lines = std::vector<std::string>;

class LoaderTest : public ::testing::Test {
protected:
    static constexpr char kDir[] = "/p/";

    LoaderTest() {
        state_.programDir = kDir;
        log_.SetProgramDir(kDir);
        timer_ = loop_.CreateTimer("TimerDDE", 10000, [] {});
        state_.timerDDE = timer_.get();
    }

    void Put(const std::string& name, const Lines& lines) {
        std::string text;
        for (const std::string& line : lines) {
            text += line + "\r\n";
        }
        PutBytes(name, Utf8ToCp1252(text));
    }
    void PutBytes(const std::string& name, std::string_view bytes) {
        ASSERT_TRUE(files_.WriteAll(kDir + name, bytes, false));
    }
    bool Exists(const std::string& name) const { return files_.Exists(kDir + name); }
    std::string Read(const std::string& file, const std::string& section, const std::string& key) {
        return IniFile(files_, kDir + file).ReadString(section, key, "<none>");
    }

    // The main settings file: [DDE] with the given source kind's items, then `more`.
    void PutIni(const Lines& more) { Put(kMainIniFile, more); }

    void Load(SourceKind kind = SourceKind::Dde) {
        state_.settings.sourceKind = kind;
        LoadConfiguration(state_);
    }

    // Log lines without their time stamp.
    Lines LogTexts() {
        Lines texts;
        for (const std::string& line : log_.MessageList().Lines()) {
            const std::size_t stamp = line.find(" > ");
            texts.push_back(stamp == std::string::npos ? line : line.substr(stamp + 3));
        }
        return texts;
    }
    bool Logged(const std::string& text) {
        const Lines texts = LogTexts();
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
    const Lines& Shown() const { return op_.Transcript(); }

    ItemConfig& Item(int n) { return state_.items[static_cast<std::size_t>(n)]; }
    ItemStatistics& Statistics(int n) { return state_.statistics[static_cast<std::size_t>(n)]; }
    ConfigRecord& Record(int n) { return state_.configRecords[static_cast<std::size_t>(n)]; }

    MemoryFileSystem files_;
    VirtualClock clock_;
    VirtualEventLoop loop_{clock_};
    ScriptedOperator op_;
    RecordingShell shell_;
    MemoryInstanceLocks locks_;
    Host host_{files_, clock_, loop_, op_, shell_, locks_};
    ProgramLog log_{files_, clock_, GermanLocale()};
    EngineState state_{host_, log_, GermanLocale()};
    std::unique_ptr<Timer> timer_;
};

}  // namespace tarvedde
