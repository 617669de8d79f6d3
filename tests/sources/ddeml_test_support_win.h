// The contract suite's DDEML side: our DDEML test server on a thread of its own in this
// process, so the transport under test talks to it through real DDEML conversations.
#pragma once

#include "platform/windows_api.h"

#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "platform/event_loop.h"
#include "sources/ddeml_transport.h"
#include "tests/sources/pump_until.h"
#include "tools/ddeml-testserver/ddeml_test_server.h"

namespace tarvedde::testing {

class DdemlSide {
public:
    static constexpr bool kProcess = true;
    DdemlSide() {
        std::promise<void> ready;
        thread_ = std::thread([&] {
            server_ = DdemlTestServer::Create("PlantSim", "Werte").value();
            ready.set_value();
            MSG message{};
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                DispatchMessageW(&message);
            }
        });
        ready.get_future().wait();
    }
    ~DdemlSide() {
        SetEvent(release_);
        if (server_) {
            Stop();
        }
        thread_.join();
        CloseHandle(release_);
    }
    std::unique_ptr<DdeTransport> MakeTransport(EventLoop& loop, DdeLogSink log) {
        return std::make_unique<DdemlTransport>(loop, std::move(log));
    }
    void Publish(const std::string& item, const std::string& text) {
        Do([&] { server_->Publish(item, text); });
    }
    void SetRequestText(const std::string& item, const std::string& text) {
        Do([&] { server_->SetRequestText(item, text); });
    }
    // A hung server: its thread stops reading messages until released.
    void SetStalled(bool stalled) {
        if (!stalled) {
            SetEvent(release_);
            return;
        }
        ResetEvent(release_);
        server_->Post([this] { WaitForSingleObject(release_, INFINITE); });
    }
    void DropAll() {
        Do([&] { server_->DropAll(); });
    }
    void Stop() {
        Do([&] {
            server_.reset();
            PostQuitMessage(0);
        });
    }
    bool ConversationCountReaches(std::size_t n) {
        std::size_t now = n + 1;
        for (int i = 0; i < 200 && now != n; ++i) {
            Do([&] { now = server_->ConversationCount(); });
            Sleep(5);
        }
        return now == n;
    }

private:
    // Runs `work` on the server's thread and waits for it, answering this thread's DDE
    // messages meanwhile: DDEML ends conversations with messages both sides must answer.
    void Do(const std::function<void()>& work) {
        HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        server_->Post([&] {
            work();
            SetEvent(done);
        });
        MSG message{};
        while (MsgWaitForMultipleObjects(1, &done, FALSE, 1000, QS_ALLINPUT) != WAIT_OBJECT_0) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
        }
        CloseHandle(done);
    }

    HANDLE release_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    std::unique_ptr<DdemlTestServer> server_;
    std::thread thread_;
};

}  // namespace tarvedde::testing
