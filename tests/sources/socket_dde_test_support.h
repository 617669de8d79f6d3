// Test helpers for the socket DDE transport: a private DDE directory, a SocketDdeServer
// on a thread of its own, a scripted raw peer, and a client loop pumped until a condition.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/poll_event_loop.h"
#include "sources/dde_socket_io.h"
#include "sources/dde_wire_protocol.h"
#include "sources/socket_dde_server.h"
#include "tests/sources/pump_until.h"

namespace tarvedde::testing {

class TempDdeDirectory {
public:
    TempDdeDirectory() {
        char pattern[] = "/tmp/dde-test-XXXXXX";
        root_ = mkdtemp(pattern);
        path_ = root_ + "/dde";
    }
    ~TempDdeDirectory() { std::system(("rm -rf '" + root_ + "'").c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string root_;
    std::string path_;
};

class ServerThread {
public:
    ServerThread(const std::string& dir, const std::string& service, const std::string& topic)
        : clock_(MakeSystemClock()) {
        std::promise<bool> ready;
        thread_ = std::thread([&, this] {
            loop_ = PollEventLoop::Create(*clock_).value();
            auto server = SocketDdeServer::Create(*loop_, dir, service, topic,
                                                  [this](const std::string& line) {
                                                      std::lock_guard lock(logMutex_);
                                                      log_ += line + "\n";
                                                  });
            if (server) {
                server_ = std::move(server).value();
            }
            ready.set_value(server.ok());
            if (server_) {
                loop_->Run();
            }
        });
        started_ = ready.get_future().get();
    }
    ~ServerThread() {
        if (started_) {
            Stop();
        }
        thread_.join();
    }
    // Runs `work` with the server on the server's thread and waits for it.
    void Do(const std::function<void(SocketDdeServer&)>& work) {
        std::promise<void> done;
        loop_->Post([&] {
            if (server_) {
                work(*server_);
            }
            done.set_value();
        });
        done.get_future().wait();
    }
    // The server goes as a killed process's would: its sockets close.
    void Stop() {
        std::promise<void> done;
        loop_->Post([&] {
            server_.reset();
            loop_->Quit();
            done.set_value();
        });
        done.get_future().wait();
        started_ = false;
    }
    std::string Log() {
        std::lock_guard lock(logMutex_);
        return log_;
    }

private:
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<PollEventLoop> loop_;
    std::unique_ptr<SocketDdeServer> server_;
    std::thread thread_;
    bool started_ = false;
    std::mutex logMutex_;
    std::string log_;
};

// Listens at a service's socket path and runs `script` on the first connection, with a
// blocking descriptor, on a thread of its own.
class RawPeer {
public:
    RawPeer(const std::string& path, std::function<void(int fd)> script) {
        listenFd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        listen(listenFd_, 4);
        thread_ = std::thread([this, script = std::move(script)] {
            int fd = accept(listenFd_, nullptr, nullptr);
            if (fd >= 0) {
                script(fd);
                close(fd);
            }
        });
    }
    ~RawPeer() {
        shutdown(listenFd_, SHUT_RDWR);
        thread_.join();
        close(listenFd_);
    }

    // Reads one frame (blocking); false at the end of the stream.
    static bool ReadFrame(int fd, DdeFrameDecoder& decoder, DdeMessage& message) {
        std::string error;
        while (decoder.Next(message, error) == DdeFrameDecoder::Outcome::kNeedMore) {
            char buffer[4096];
            ssize_t got = read(fd, buffer, sizeof(buffer));
            if (got <= 0) {
                return false;
            }
            decoder.Feed(std::string_view(buffer, static_cast<std::size_t>(got)));
        }
        return true;
    }
    static void Write(int fd, const std::string& bytes) {
        (void)!write(fd, bytes.data(), bytes.size());
    }
    static std::string ReplyFrame(std::uint32_t sequence, std::string data = {}) {
        return EncodeDdeFrame({DdeFrameType::kReply, sequence, 0, {}, std::move(data)});
    }

private:
    int listenFd_ = -1;
    std::thread thread_;
};

}  // namespace tarvedde::testing
