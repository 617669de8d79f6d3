// The client against a fake peer on the service's socket path: values for items the
// client never asked for change nothing, and a malformed frame ends the conversation with
// log lines while the client goes on and links again later. The transport's own tests
// try the other malformed frames and a server that accepts no connection.
#include <future>

#include "tests/e2e/client_e2e_support.h"
#include "tests/sources/socket_dde_test_support.h"

namespace tarvedde::testing {
namespace {

using namespace std::chrono_literals;

// Answers the connect and the advise starts as a server would; true once `items` links
// stand.
bool AcceptLinks(int fd, DdeFrameDecoder& decoder, int items) {
    DdeMessage message;
    int advised = 0;
    while (advised < items && RawPeer::ReadFrame(fd, decoder, message)) {
        advised += message.type == DdeFrameType::kAdviseStart ? 1 : 0;
        RawPeer::Write(fd, RawPeer::ReplyFrame(message.sequence));
    }
    return advised == items;
}

std::string DataFrame(const std::string& item, const std::string& text) {
    return EncodeDdeFrame({DdeFrameType::kData, 0, 0, item, text + '\0'});
}

void WaitForClientEnd(int fd) {
    char byte = 0;
    while (read(fd, &byte, 1) > 0) {
    }
}

class ClientFakePeerE2e : public ClientE2e {
protected:
    // A peer for the next connection; the previous one no longer listens.
    void NextPeer(std::function<void(int fd)> script) {
        peer_.reset();
        unlink(DdeSocketPath(ddeDir_, "PlantSim").value().c_str());
        peer_ = std::make_unique<RawPeer>(DdeSocketPath(ddeDir_, "PlantSim").value(),
                                          std::move(script));
    }
    // Released by the test; a peer waits at most 20 s for it.
    static bool Await(std::shared_future<void> go) {
        return go.wait_for(20s) == std::future_status::ready;
    }

    // Peers end after the client (TearDown), whose end ends their reads.
    std::unique_ptr<RawPeer> peer_;
};

TEST_F(ClientFakePeerE2e, UnknownItemsAreIgnoredAndBrokenFramesEndOnlyTheConversation) {
    std::promise<void> sendMalformed;
    std::shared_future<void> malformedGo = sendMalformed.get_future().share();
    NextPeer([malformedGo](int fd) {
        DdeFrameDecoder decoder;
        if (!AcceptLinks(fd, decoder, 3)) {
            return;
        }
        RawPeer::Write(fd, DataFrame("Unbekannt", "77,0\r\n") + DataFrame("zulauf", "12,5\r\n"));
        if (Await(malformedGo)) {
            RawPeer::Write(fd, std::string("\x0b\0\0\0\x09", 5) + std::string(10, '\0'));
            WaitForClientEnd(fd);
        }
    });
    StartClient();
    EXPECT_EQ(LogCount("3 Werte werden übertragen."), 1) << LogText();
    ASSERT_TRUE(PumpUntil([&] { return GridValue(1) == "12,500"; }, 5000)) << LogText();
    EXPECT_EQ(NewestText(1), "12,5\r\n");
    EXPECT_EQ(NewestText(2), "");
    EXPECT_EQ(NewestText(3), "");

    sendMalformed.set_value();
    ASSERT_TRUE(WaitForLogCount(kLost, 1, 5000)) << LogText();
    EXPECT_EQ(LogCount("lost: malformed frame: unknown frame type 9"), 1) << LogText();

    NextPeer([](int fd) {
        DdeFrameDecoder decoder;
        if (AcceptLinks(fd, decoder, 3)) {
            RawPeer::Write(fd, DataFrame("Zulauf", "13,5\r\n"));
            WaitForClientEnd(fd);
        }
    });
    ASSERT_TRUE(WaitForLogCount(kRelinked, 1, 10000)) << LogText();
    EXPECT_TRUE(PumpUntil([&] { return GridValue(1) == "13,500"; }, 5000)) << LogText();
}

}  // namespace
}  // namespace tarvedde::testing
