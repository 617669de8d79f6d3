// A complete host in memory and virtual time for engine tests: files live in a
// MemoryFileSystem under /plant/, the clock stands at a fixed moment until a test moves
// it, and the operator answers from a queue.
#pragma once

#include <cstdlib>
#include <string>

#include "engine/host.h"
#include "platform/date_time.h"
#include "platform/memory_file_system.h"
#include "platform/recording_shell.h"
#include "platform/scripted_operator.h"
#include "platform/text_encoding.h"
#include "platform/virtual_clock.h"
#include "platform/virtual_event_loop.h"
#include "tests/engine/fake_dde_transport.h"

namespace tarvedde::testing {

// A private directory for single-instance locks, so tests running in parallel (and a
// client running on the machine) never meet each other's locks.
inline const std::string& TestLockDirectory() {
    static const std::string dir = [] {
        std::string pattern = "/tmp/tarvedde-test-locks-XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        return std::string(made != nullptr ? made : "/tmp");
    }();
    return dir;
}

struct EngineTestHost {
    EngineTestHost() {
        clock.SetLocalTime(EncodeDateTime(2024, 3, 5, 7, 0, 0, 0));
        host.dde = &dde;
    }

    MemoryFileSystem files;
    VirtualClock clock;
    VirtualEventLoop loop{clock};
    ScriptedOperator person;
    RecordingShell shell;
    FakeDdeTransport dde;
    Host host{files, clock, loop, person, shell};
    std::string dir = "/plant/";

    // Writes a text file as the Windows programs do: Windows-1252 with CR LF.
    void WriteText(const std::string& name, const std::string& utf8Lines) {
        std::string text;
        for (char c : utf8Lines) {
            if (c == '\n') {
                text += "\r\n";
            } else {
                text += c;
            }
        }
        (void)files.WriteAll(dir + name, Utf8ToCp1252(text), false);
    }

    // The file's text in UTF-8 with CR LF kept, or "<missing>".
    std::string ReadText(const std::string& name) const {
        auto bytes = files.ReadAll(dir + name);
        return bytes ? Cp1252ToUtf8(bytes.value()) : std::string("<missing>");
    }

    bool Exists(const std::string& name) const { return files.Exists(dir + name); }
};

}  // namespace tarvedde::testing
