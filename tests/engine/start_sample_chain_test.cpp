// The running-time and flow integrals across a start, with a server that sends each
// item's current value as its advise link starts (as plantsim and a plant's DDE server
// do): that value arrives while the start links the items, before the day's state is
// restored or created, and it begins the item's sample chain. A pump that stays ON sends
// nothing more, so losing that sample would lose its whole first ON period.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/frame/tarvedde_main.h"
#include "platform/date_time.h"
#include "platform/instance_locks.h"
#include "platform/memory_file_system.h"
#include "platform/recording_shell.h"
#include "platform/scripted_operator.h"
#include "platform/virtual_clock.h"
#include "platform/virtual_event_loop.h"
#include "sources/in_memory_dde_server.h"

namespace tarvedde {
namespace {

constexpr char kService[] = "Anwendung";
constexpr char kTopic[] = "Thema";
// Item 1 a pump's running time in hours, item 2 a flow in l/s integrated over seconds.
constexpr char kIni[] =
    "[DDE]\r\nItemcount=2\r\nIntervall=10\r\nEinheit=0\r\nAutoStart=1\r\n"
    "[Items]\r\nItem1=P\r\nItem2=Q\r\n[Itemnames]\r\nItem1=Pumpe\r\nItem2=Zulauf\r\n"
    "[Grafiktyp]\r\nItem1=2\r\n[Integral]\r\nItem1=1\r\nItem2=1\r\n"
    "[IntegralBezug]\r\nItem1=3600\r\nItem2=1\r\n";

class StartSampleChain : public ::testing::Test {
protected:
    // A program life with its own DDE library; an earlier life died and left its
    // marker, so the start asks "Programmstart abbrechen ?".
    void Start() {
        if (main_) {
            main_.reset();
            person_.QueueAnswer(Answer::No);
        } else {
            clock_.SetLocalTime(EncodeDateTime(2024, 3, 5, 7, 0, 0, 0));
            (void)files_.WriteAll("/plant/TARVEDDE.INI", kIni, false);
        }
        // Without a loop the server's value arrives inside the advise start, as the socket
        // transport delivers an item's value while it links the next one.
        dde_ = std::make_unique<InMemoryDdeTransport>(server_);
        host_.dde = dde_.get();
        StartOptions options{"/plant/", SourceKind::Dde, "start-sample-chain-test"};
        main_ = std::make_unique<TarveddeMain>(host_, options);
        ASSERT_TRUE(main_->FormCreate());
        main_->FormShow();
    }
    void Send(const std::string& item, const std::string& text) {
        server_.Publish(kService, kTopic, item, text);
    }
    // The live grid's integral column after the next cycle.
    std::string IntegralShown(int item) {
        loop_.AdvanceBy(10'000);
        return main_->Grid().Cell(item, 5);
    }

    MemoryFileSystem files_;
    VirtualClock clock_;
    VirtualEventLoop loop_{clock_};
    ScriptedOperator person_;
    RecordingShell shell_;
    InMemoryDdeServer server_;
    MemoryInstanceLocks locks_;
    std::unique_ptr<InMemoryDdeTransport> dde_;
    Host host_{files_, clock_, loop_, person_, shell_, locks_};
    std::unique_ptr<TarveddeMain> main_;
};

TEST_F(StartSampleChain, TheValueSentAsTheLinkStartsBeginsTheIntegralOnFreshAndRestoredState) {
    Send("P", "1");
    Send("Q", "10");
    Start();  // no saved state: TARVEDDE.COF is created afresh
    loop_.AdvanceBy(3'600'000);
    Send("P", "0");
    Send("Q", "20");
    EXPECT_EQ(IntegralShown(1), "1,000");
    EXPECT_EQ(main_->Grid().Cell(2, 5), "36000,000");

    Send("P", "1");
    Send("Q", "10");
    Start();  // the state saved by the last cycle is restored
    loop_.AdvanceBy(3'600'000);
    Send("P", "0");
    Send("Q", "0");
    EXPECT_EQ(IntegralShown(1), "2,000");
    EXPECT_EQ(main_->Grid().Cell(2, 5), "72000,000");
}

}  // namespace
}  // namespace tarvedde
