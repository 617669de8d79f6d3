// The headless client as it runs on Windows (message loop, DDEML transport) against our
// DDEML test server as a process: values reach the grid and the day file, and the client
// links again after the server ends its conversations (refusing new ones for a while) and
// after the server is killed and started anew (which Wine does not tell a client).
#include "platform/windows_api.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/headless_runner.h"
#include "platform/wide_text_win.h"
#include "tests/app/scenario_test_files.h"
#include "tests/sources/pump_until.h"

namespace tarvedde::testing {
namespace {

// Three items; the server serves the first two ("Fehlt" is unknown to it). Cycle 1 s.
constexpr char kClientIni[] =
    "[DDE]\nItemcount=3\nIntervall=1\nEinheit=0\nAutoStart=1\nServer=PlantSim\nTopic=Werte\n"
    "[Items]\nItem1=Zulauf\nItem2=Pegel\nItem3=Fehlt\n"
    "[Itemnames]\nItem1=Zulauf\nItem2=Pegel\nItem3=Fehlt\n";

constexpr char kLost[] = "Callback : Konversation abgebrochen !";
constexpr char kRelinked[] = "Verbindung zum Server hergestellt.";

// ddeml-testserver as a child process with its stdin and stdout on pipes.
class ServerProcess {
public:
    explicit ServerProcess(const std::string& items) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        CreatePipe(&startup.hStdInput, &input_, &inherit, 0);
        CreatePipe(&output_, &startup.hStdOutput, &inherit, 0);
        SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
        std::wstring command =
            L"\"" + win::Widen(DDEML_TESTSERVER_PATH) + L"\" PlantSim Werte " + win::Widen(items);
        PROCESS_INFORMATION info{};
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                           &startup, &info)) {
            process_ = info.hProcess;
            CloseHandle(info.hThread);
        }
        CloseHandle(startup.hStdInput);
        CloseHandle(startup.hStdOutput);
    }
    ~ServerProcess() {
        Kill();
        CloseHandle(input_);
        CloseHandle(output_);
    }
    // The server says "ready" once its service is registered, in one write; a server that
    // did not start says nothing.
    bool Ready() {
        char said[5] = {};
        DWORD got = 0;
        return ReadFile(output_, said, sizeof said, &got, nullptr) &&
               std::string(said, got) == "ready";
    }
    // Command lines; not waiting for the answers: the server may need this thread's DDE
    // answers first.
    void Send(const std::string& lines) {
        const std::string bytes = lines + "\n";
        DWORD written = 0;
        WriteFile(input_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    // The process dies at once, as a crashed server does.
    void Kill() {
        if (process_ != nullptr) {
            TerminateProcess(process_, 9);
            WaitForSingleObject(process_, 10000);
            CloseHandle(process_);
            process_ = nullptr;
        }
    }

private:
    HANDLE process_ = nullptr;
    HANDLE input_ = nullptr;
    HANDLE output_ = nullptr;
};

TEST(ClientDdemlE2e, ValuesFlowAndTheClientLinksAgainAfterTheServerEndsOrDies) {
    TempDir root;
    const std::string plantDir = root.Path() + "plant/";
    std::filesystem::create_directories(plantDir);
    root.WriteText("plant/TARVEDDE.INI", kClientIni);
    auto server = std::make_unique<ServerProcess>("Zulauf=1,0 Pegel=3,5");
    ASSERT_TRUE(server->Ready());
    auto created = HeadlessClient::Create({.programDir = plantDir}, "", root.Path());
    ASSERT_TRUE(created.ok());
    HeadlessClient& client = *created.value();
    ASSERT_TRUE(client.Engine().FormCreate());
    client.Engine().FormShow();

    const auto dayFile = [&] {
        for (const auto& entry : std::filesystem::directory_iterator(plantDir)) {
            if (entry.path().extension() == ".DAT") {
                return root.Bytes("plant/" + entry.path().filename().string());
            }
        }
        return std::string("<no day file>");
    };
    const auto log = [&] { return Cp1252ToUtf8(root.Bytes("plant/_DDE_OPC_LOGALL.TXT")); };
    const auto count = [&](const std::string& text) {
        const std::string all = log();
        int n = 0;
        for (auto at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) {
            ++n;
        }
        return n;
    };
    const auto pumpUntil = [&](const std::function<bool()>& done) {
        return PumpUntil(client.Loop(), done, 10000);
    };
    // Zulauf's value reaches the grid and the day file, beside Pegel's and the unknown item's.
    const auto zulaufArrives = [&](const std::string& shown) {
        auto& grid = client.Engine().Grid();
        return pumpUntil([&] {
            return grid.Cell(1, grid.CurrentRow()) == shown &&
                   dayFile().find(";" + shown + ";3,500;0,000\r\n") != std::string::npos;
        });
    };

    EXPECT_EQ(count("***** Fehler ! Advise Item 3: DDE-Fehler: $00004009"), 1) << log();
    ASSERT_TRUE(zulaufArrives("1,000")) << log() << dayFile();

    // The server ends its conversations and refuses new ones for a while: every try of the
    // retry timer fails (and beeps), and the first one after the server accepts again links.
    server->Send("refuse\ndrop");
    ASSERT_TRUE(pumpUntil([&] { return count(kLost) == 1; })) << log();
    const int beeps = client.Beeps();
    ASSERT_TRUE(pumpUntil([&] { return client.Beeps() >= beeps + 2; })) << log();
    EXPECT_EQ(count(kRelinked), 0);
    server->Send("accept");
    ASSERT_TRUE(pumpUntil([&] { return count(kRelinked) == 1; })) << log();
    server->Send("set Zulauf 4,0");
    ASSERT_TRUE(zulaufArrives("4,000")) << log();

    // A killed server, then a new one with another value.
    server->Kill();
    ASSERT_TRUE(pumpUntil([&] { return count(kLost) == 2; })) << log();
    server = std::make_unique<ServerProcess>("Zulauf=5,0 Pegel=3,5");
    ASSERT_TRUE(server->Ready());
    ASSERT_TRUE(pumpUntil([&] { return count(kRelinked) == 2; })) << log();
    EXPECT_TRUE(zulaufArrives("5,000")) << log();
}

}  // namespace
}  // namespace tarvedde::testing
