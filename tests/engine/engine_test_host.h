// A complete host in memory and virtual time for engine tests: files live in a
// MemoryFileSystem under /plant/, the clock stands at a fixed moment until a test moves
// it, the operator answers from a queue, and the DDE server is in memory: it answers only
// for what a test serves (writing TARVEDDE.INI with WriteText serves what it names, so the
// plant's server runs as configured until a test takes it down), and every conversation
// call of the client is kept in ddeCalls.
#pragma once

#include <string>
#include <vector>

#include "engine/config/settings_schema.h"
#include "engine/model/host.h"
#include "engine/model/item_model.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "platform/instance_locks.h"
#include "platform/memory_file_system.h"
#include "platform/recording_shell.h"
#include "platform/scripted_operator.h"
#include "platform/text_encoding.h"
#include "platform/virtual_clock.h"
#include "platform/virtual_event_loop.h"
#include "sources/in_memory_dde_server.h"

namespace tarvedde::testing {

struct EngineTestHost {
    EngineTestHost() {
        clock.SetLocalTime(EncodeDateTime(2024, 3, 5, 7, 0, 0, 0));
        host.dde = &dde;
        dde.WatchCalls([this](const std::string& call) { ddeCalls.push_back(call); });
    }

    MemoryFileSystem files;
    VirtualClock clock;
    VirtualEventLoop loop{clock};
    ScriptedOperator person;
    RecordingShell shell;
    MemoryInstanceLocks locks;
    InMemoryDdeServer ddeServer;
    InMemoryDdeTransport dde{ddeServer, &loop};
    std::vector<std::string> ddeCalls;
    Host host{files, clock, loop, person, shell, locks};
    std::string dir = "/plant/";
    std::string ddeService;
    std::string ddeTopic;

    // The server answers for service and topic and knows the items (no value yet).
    void Serve(const std::string& service, const std::string& topic,
               const std::vector<std::string>& items) {
        ddeService = service;
        ddeTopic = topic;
        ddeServer.ServeItems(service, topic, items);
    }

    // Serves what TARVEDDE.INI names, as the plant's server would.
    void ServeConfiguredItems() {
        const schema::DdeServerNames names =
            schema::ReadDdeServerNames(IniFile(files, dir + "TARVEDDE.INI"));
        Serve(names.service, names.topic, names.items);
    }

    // A new value of an item, sent to its advise links; how many acknowledged it.
    int Publish(const std::string& item, const std::string& text) {
        return ddeServer.Publish(ddeService, ddeTopic, item, text);
    }

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
        if (name == "TARVEDDE.INI") {
            ServeConfiguredItems();
        }
    }

    // The file's text in UTF-8 with CR LF kept, or "<missing>".
    std::string ReadText(const std::string& name) const {
        auto bytes = files.ReadAll(dir + name);
        return bytes ? Cp1252ToUtf8(bytes.value()) : std::string("<missing>");
    }

    bool Exists(const std::string& name) const { return files.Exists(dir + name); }
};

}  // namespace tarvedde::testing
