// The headless client as it runs on Windows (message loop, DDEML transport) against our
// DDEML test server as a separate process: values reach the live grid and the day file;
// a conversation the server ends is noticed, and while the server refuses, the client
// keeps trying until it links again; a killed server is noticed too (Wine tells a client
// nothing then: the transport's watch finds the server's window gone) and a new one is
// linked.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/headless_runner.h"
#include "platform/wide_text_win.h"
#include "tests/app/scenario_test_files.h"

namespace tarvedde::testing {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Three items; the server serves the first two ("Fehlt" is unknown to it). Cycle 1 s.
constexpr char kClientIni[] =
    "[DDE]\nItemcount=3\nIntervall=1\nEinheit=0\nAutoStart=1\nServer=PlantSim\nTopic=Werte\n"
    "[Items]\nItem1=Zulauf\nItem2=Pegel\nItem3=Fehlt\n"
    "[Itemnames]\nItem1=Zulauf\nItem2=Pegel\nItem3=Fehlt\n";

constexpr char kLost[] = "Callback : Konversation abgebrochen !";
constexpr char kRelinked[] = "Verbindung zum Server hergestellt.";

std::int64_t MsSince(SteadyClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start)
        .count();
}

std::string DayFileText(const std::string& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() == ".DAT") {
            std::ifstream file(entry.path(), std::ios::binary);
            return std::string((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        }
    }
    return "<no day file>";
}

// ddeml-testserver as a child process with its stdin and stdout on pipes.
class ServerProcess {
public:
    explicit ServerProcess(const std::string& initialItems) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        HANDLE childIn = nullptr;
        HANDLE childOut = nullptr;
        CreatePipe(&childIn, &input_, &inherit, 0);
        CreatePipe(&output_, &childOut, &inherit, 0);
        SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childIn;
        startup.hStdOutput = childOut;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        std::wstring command = L"\"" + win::Widen(DDEML_TESTSERVER_PATH) + L"\" PlantSim Werte " +
                               win::Widen(initialItems);
        PROCESS_INFORMATION info{};
        started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &info) != 0;
        CloseHandle(childIn);
        CloseHandle(childOut);
        if (started_) {
            process_ = info.hProcess;
            CloseHandle(info.hThread);
        }
    }
    ~ServerProcess() {
        Kill();
        CloseHandle(input_);
        CloseHandle(output_);
    }
    // The next line the server writes; "ready" once its service is registered.
    std::string ReadLine() {
        std::string line;
        char c = 0;
        DWORD got = 0;
        while (ReadFile(output_, &c, 1, &got, nullptr) && got == 1 && c != '\n') {
            line += c;
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();  // a text-mode stdout
        }
        return line;
    }
    // Not waiting for the answer: the server may need this thread's DDE answers first.
    void Send(const std::string& line) {
        const std::string bytes = line + "\n";
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
    bool started() const { return started_; }

private:
    bool started_ = false;
    HANDLE process_ = nullptr;
    HANDLE input_ = nullptr;
    HANDLE output_ = nullptr;
};

class ClientDdemlE2e : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(plantDir_);
        std::filesystem::create_directories(root_.Path() + "locks");
        root_.WriteText("plant/TARVEDDE.INI", kClientIni);
        StartServer("Zulauf=1,0 Pegel=3,5");
        StartOptions options;
        options.programDir = plantDir_;
        auto created = HeadlessClient::Create(options, "", root_.Path() + "locks");
        ASSERT_TRUE(created.ok());
        client_ = std::move(created).value();
        ASSERT_TRUE(client_->Engine().FormCreate());
        client_->Engine().FormShow();
    }
    void TearDown() override { client_.reset(); }

    void StartServer(const std::string& items) {
        server_ = std::make_unique<ServerProcess>(items);
        ASSERT_TRUE(server_->started());
        ASSERT_EQ(server_->ReadLine(), "ready");
    }
    TarveddeMain& Engine() { return client_->Engine(); }
    const std::string& NewestText(int item) {
        return client_->Engine().Dde().Sources()[item].newestText;
    }
    const std::string& GridValue(int item) {
        return Engine().Grid().Cell(item, Engine().Grid().CurrentRow());
    }
    bool PumpUntil(const std::function<bool()>& done, int limitMs) {
        const auto start = SteadyClock::now();
        while (!done() && MsSince(start) < limitMs) {
            client_->Loop().ProcessPendingEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return done();
    }
    std::string LogText() const { return Cp1252ToUtf8(root_.Bytes("plant/_DDE_OPC_LOGALL.TXT")); }
    int LogCount(const std::string& text) const {
        const std::string log = LogText();
        int count = 0;
        for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
            ++count;
        }
        return count;
    }
    bool WaitForLogCount(const std::string& text, int count, int limitMs) {
        return PumpUntil([&] { return LogCount(text) >= count; }, limitMs);
    }
    // The server's value of Zulauf reaches the grid and the day file.
    bool WaitForZulauf(const std::string& text, const std::string& shown) {
        return PumpUntil(
            [&] {
                return NewestText(1) == text && GridValue(1) == shown &&
                       DayFileText(plantDir_).find(";" + shown + ";3,500;0,000\r\n") !=
                           std::string::npos;
            },
            10000);
    }

    TempDir root_;
    const std::string plantDir_ = root_.Path() + "plant/";
    std::unique_ptr<ServerProcess> server_;
    std::unique_ptr<HeadlessClient> client_;
};

TEST_F(ClientDdemlE2e, ValuesFlowAndTheClientLinksAgainAfterTheServerEndsOrDies) {
    EXPECT_EQ(LogCount("Datenerfassung gestartet."), 1) << LogText();
    EXPECT_EQ(LogCount("***** Fehler ! Advise Item 3: DDE-Fehler: $00004009"), 1);
    EXPECT_EQ(LogCount("Achtung ! Nur 2 von 3 Werten werden übertragen."), 1);
    ASSERT_TRUE(WaitForZulauf("1,0", "1,000")) << LogText() << DayFileText(plantDir_);
    EXPECT_EQ(NewestText(2), "3,5");
    server_->Send("set Zulauf 2,5");
    ASSERT_TRUE(WaitForZulauf("2,5", "2,500")) << DayFileText(plantDir_);

    // The server ends the conversation and refuses new ones for a while: every try of the
    // retry timer fails, and the first one after the server accepts again links.
    server_->Send("refuse");
    server_->Send("drop");
    ASSERT_TRUE(WaitForLogCount(kLost, 1, 5000)) << LogText();
    EXPECT_EQ(LogCount("Es wird versucht, die Verbindung wiederherzustellen..."), 1);
    const int beeps = client_->Beeps();
    PumpUntil([] { return false; }, 3500);
    EXPECT_GE(client_->Beeps() - beeps, 2) << LogText();
    EXPECT_EQ(LogCount(kRelinked), 0);
    server_->Send("accept");
    ASSERT_TRUE(WaitForLogCount(kRelinked, 1, 5000)) << LogText();
    server_->Send("set Zulauf 4,0");
    ASSERT_TRUE(WaitForZulauf("4,0", "4,000")) << LogText();

    // A killed server, then a new one with other values.
    server_->Kill();
    ASSERT_TRUE(WaitForLogCount(kLost, 2, 5000)) << LogText();
    StartServer("Zulauf=5,0 Pegel=3,5");
    ASSERT_TRUE(WaitForLogCount(kRelinked, 2, 5000)) << LogText();
    ASSERT_TRUE(WaitForZulauf("5,0", "5,000")) << LogText();
    EXPECT_EQ(LogCount(kLost), 2);
    EXPECT_EQ(LogCount("Datenerfassung gestartet."), 3) << LogText();
}

}  // namespace
}  // namespace tarvedde::testing
