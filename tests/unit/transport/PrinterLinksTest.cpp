// The three links over the device interfaces: what each does with the port, the socket or
// the parallel controller, and how each decides that the printer took every byte.
#include <gtest/gtest.h>

#include "core/app/CancelToken.h"
#include "core/app/VirtualClock.h"
#include "core/transport/ParallelLink.h"
#include "core/transport/PortLink.h"
#include "core/transport/SocketLink.h"
#include "support/FakeNetworkLink.h"
#include "support/FakeParallelController.h"
#include "support/FakePrinterPort.h"

namespace kp70 {
namespace {

using test::FakeBytes;
using Names = std::vector<std::string>;
const CancelToken& kNever = CancelToken::Never();

TEST(PortLink, OpensInTheToolsModeAndPutsTheOperatorsChoiceBack) {
    VirtualClock clock;
    test::FakePrinterPort port;
    port.Settings() = {"/dev/ttyS0", 115200, 8, 0, 0, 2, 6, kToolModeLogo};
    int flowWhileOpen = 0;
    int modeWhileOpen = 0;
    port.responder = [&](const FakeBytes&) {
        flowWhileOpen = port.Settings().flowControl;
        modeWhileOpen = port.Settings().toolMode;
        return FakeBytes{0x10, 0x06};
    };
    port.Open();  // left open by an earlier tool: closed first, not opened twice
    port.ClearEvents();
    {
        LinkRequest request;
        request.toolMode = kToolModeFirmware;
        request.replies = true;
        request.binary = true;
        PortLink link(port, clock, request);
        ASSERT_TRUE(link.Open(kNever));
        EXPECT_TRUE(link.CanAnswer());
        EXPECT_TRUE(link.Send({0x40, 0xF2}, kNever).Complete(2));
        // The receive thread's chunk is taken from the port's queue at once.
        EXPECT_TRUE(port.QueueRead().IsEmpty());
        std::vector<std::uint8_t> replies;
        link.TakeReplies(replies);
        EXPECT_EQ(replies, (FakeBytes{0x10, 0x06}));
    }                                          // the link closes what it opened
    EXPECT_EQ(flowWhileOpen, 3);               // binary: no XON/XOFF
    EXPECT_EQ(modeWhileOpen, kToolModeSetup);  // the port runs its receive thread
    EXPECT_EQ(port.Settings().flowControl, 2);
    EXPECT_EQ(port.Settings().toolMode, kToolModeLogo);
    EXPECT_EQ(port.NotifyWindow(), nullptr);
    EXPECT_EQ(port.EventNames(), (Names{"Close", "Open", "Write", "Close"}));
}

TEST(PortLink, APrintFileKeepsItsNameItsContentsAndIsDeliveredWhenOnDisk) {
    VirtualClock clock;
    test::FakePrinterPort port;
    port.Settings().portName = "FILE";
    PortLink link(port, clock, {});
    ASSERT_TRUE(link.Open(kNever));
    port.Settings().portName = "/tmp/out.prn";  // as the port does once it has the file
    EXPECT_TRUE(link.Open(kNever));             // no second question, no emptied file
    EXPECT_EQ(port.Count("Open"), 1);
    EXPECT_FALSE(link.CanAnswer());
    EXPECT_TRUE(link.WaitDelivered(kNever).Delivered());
    port.syncResult = false;
    EXPECT_EQ(link.WaitDelivered(kNever).fault, DeliveryFault::Lost);
    link.Close();
    EXPECT_EQ(port.Settings().portName, "FILE");
    EXPECT_TRUE(clock.Sleeps().empty());
}

TEST(PortLink, DeliveryWaitsForTheDriverThenLooksAtTheLine) {
    struct Case {
        std::deque<int> pending;
        int lostAfterBytes;
        DeliveryFault fault;
        std::int64_t waited;
    };
    const Case cases[] = {
        {{}, -1, DeliveryFault::None, 500},
        {{300, 200, 100, 0}, -1, DeliveryFault::None, 3 * 20 + 500},
        {{}, 2, DeliveryFault::Lost, 500},           // the line went behind the writes
        {{40}, -1, DeliveryFault::NotTaken, 10000},  // the driver holds 40 bytes for good
    };
    for (const Case& c : cases) {
        VirtualClock clock;
        test::FakePrinterPort port;
        port.Settings().portName = "USB";
        port.outputPending = c.pending;
        port.linkLostAfterBytes = c.lostAfterBytes;
        PortLink link(port, clock, {});
        ASSERT_TRUE(link.Open(kNever));
        ASSERT_TRUE(link.Send({1, 2, 3}, kNever).Complete(3));
        EXPECT_EQ(link.WaitDelivered(kNever).fault, c.fault);
        EXPECT_EQ(clock.TotalSlept(), c.waited);
    }
}

TEST(PortLink, AUsbPrintersAnswerIsReadBackOnRequest) {
    VirtualClock clock;
    test::FakePrinterPort port;
    port.Settings().portName = "USB";
    port.answersOnReadUsbReply = true;
    port.responder = [](const FakeBytes&) { return FakeBytes{0x12}; };
    PortLink link(port, clock, {});
    ASSERT_TRUE(link.Open(kNever));
    link.Send({0x10, 0x04, 0x01}, kNever);
    EXPECT_FALSE(link.RepliesPending());
    EXPECT_TRUE(link.RequestReplies());
    std::vector<std::uint8_t> replies;
    link.TakeReplies(replies);
    EXPECT_EQ(replies, (FakeBytes{0x12}));
}

TEST(SocketLink, ConnectsInTheRequestsRoundsAndSaysWhoDidNotAnswer) {
    VirtualClock clock;
    test::FakeNetworkLink socket;
    socket.refuse = true;
    LinkRequest once;
    once.connectRounds = 1;
    once.connectWaitMs = 100;
    SocketLink link(socket, clock, "10.0.0.9", 9100, once);
    EXPECT_FALSE(link.Open(kNever));
    EXPECT_EQ(socket.Address(), "10.0.0.9");
    EXPECT_EQ(socket.Port(), 9100);
    EXPECT_EQ(socket.Count("Probe"), 1);
    EXPECT_EQ(clock.Sleeps(), (std::vector<std::int64_t>{100}));
    EXPECT_EQ(socket.EventNames().back(), "CloseSocket");
    EXPECT_EQ(link.LastErrorText(), "no answer from 10.0.0.9:9100");
}

TEST(SocketLink, CheckConnectionProbesAndReconnectsForTenRounds) {
    VirtualClock clock;
    test::FakeNetworkLink socket;
    SocketLink link(socket, clock, "10.0.0.9", 9100, {});
    socket.failingProbes = 3;
    EXPECT_TRUE(link.CheckConnection(kNever));
    EXPECT_EQ(socket.Count("StartConnect"), 3);
    socket.ClearEvents();
    socket.refuse = true;
    EXPECT_FALSE(link.CheckConnection(kNever));
    EXPECT_EQ(socket.Count("Probe"), 10);
}

// Delivered means acknowledged: a printer that then closed the connection had every byte;
// one that closed before, or stopped reading, did not.
TEST(SocketLink, DeliveryIsEveryByteAcknowledged) {
    struct Case {
        std::deque<std::int64_t> unacknowledged;
        bool closed;
        bool reset;
        DeliveryFault fault;
        std::int64_t waited;
    };
    const Case cases[] = {
        {{0}, false, false, DeliveryFault::None, 500},
        {{4096, 2048, 0}, false, false, DeliveryFault::None, 200 + 500},
        {{0}, true, false, DeliveryFault::None, 500},  // took everything, then restarted
        {{0}, true, true, DeliveryFault::Lost, 500},   // reset: it threw away what it had
        {{10240}, false, false, DeliveryFault::NotTaken, 10000},
        {{10240}, true, false, DeliveryFault::Lost, 0},
        {{-1}, false, false, DeliveryFault::None, 500},  // cannot tell: the probe decides
        {{-1}, true, false, DeliveryFault::Lost, 500},
    };
    for (const Case& c : cases) {
        VirtualClock clock;
        test::FakeNetworkLink socket;
        SocketLink link(socket, clock, "10.0.0.9", 9100, {});
        ASSERT_TRUE(link.Open(kNever));
        ASSERT_TRUE(link.Send({1, 2, 3}, kNever).Complete(3));
        clock.ClearSleeps();
        socket.unacknowledged = c.unacknowledged;
        socket.resetByPeer = c.reset;
        if (c.closed) {
            socket.refuse = true;
            socket.CloseSocket();
        }
        EXPECT_EQ(link.WaitDelivered(kNever).fault, c.fault);
        EXPECT_EQ(clock.TotalSlept(), c.waited);
    }
}

TEST(ParallelLink, OneReaderServesEveryRequestAndEveryBlockCounts) {
    auto owned = std::make_unique<test::FakeParallelController>();
    test::FakeParallelController& controller = *owned;
    controller.responder = [](const FakeBytes&) { return FakeBytes{'7', 0x1F}; };
    ParallelLink link(std::move(owned), "LPT1");
    ASSERT_TRUE(link.Open(kNever));
    EXPECT_EQ(controller.PortName(), "LPT1");
    EXPECT_TRUE(link.ReportsStatusItself());
    link.Send({0x1D, 0x28}, kNever);
    EXPECT_TRUE(link.RequestReplies());
    EXPECT_TRUE(link.RequestReplies());
    EXPECT_EQ(controller.Count("StartReader"), 1);
    std::vector<std::uint8_t> replies;
    link.TakeReplies(replies);
    EXPECT_EQ(replies, (FakeBytes{'7', 0x1F}));

    EXPECT_FALSE(link.TakeStatusBlock());
    controller.DeliverStatus({0x10, 0x00, 0x00, 0x0F});
    controller.DeliverStatus({0x10, 0x00, 0x00, 0x0F});  // the same status again
    EXPECT_TRUE(link.TakeStatusBlock());
    EXPECT_FALSE(link.TakeStatusBlock());
    link.StopReplies();
    EXPECT_FALSE(controller.Reading());
    EXPECT_TRUE(link.WaitDelivered(kNever).Delivered());
    link.Close();
    EXPECT_EQ(link.WaitDelivered(kNever).fault, DeliveryFault::Lost);
}

}  // namespace
}  // namespace kp70
