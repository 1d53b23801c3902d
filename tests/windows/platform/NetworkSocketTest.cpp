#include "platform/NetworkSocket.h"

#include <gtest/gtest.h>

#include <thread>

#include "Win32TestSupport.h"
#include "core/app/CancelToken.h"
#include "core/app/VirtualClock.h"
#include "support/FastClock.h"

using namespace kp70;
using kp70::test::Listener;
using kp70::test::WaitUntil;

namespace {

class NetworkSocketTest : public ::testing::Test {
protected:
    NetworkSocketTest() : socket(clock, notifier) {}
    VirtualClock clock;
    test::RecordingNotifier notifier;
    NetworkSocket socket;
};

std::uint16_t ClosedPort() {
    Listener gone;
    return gone.Port();
}

}  // namespace

TEST_F(NetworkSocketTest, ConnectsProbesAndCarriesBytesBothWays) {
    Listener printer;
    ASSERT_TRUE(ConnectNetwork(socket, clock, "127.0.0.1", printer.Port()));
    ASSERT_TRUE(printer.Accept());
    EXPECT_TRUE(socket.connected());
    EXPECT_EQ(socket.Send(nullptr, 0), 0);

    const std::vector<std::uint8_t> command = {0x1D, 0x28, 0x45, 0x00, 0x1B, 0x40};
    EXPECT_EQ(socket.Send(command.data(), static_cast<int>(command.size())), 6);
    EXPECT_EQ(printer.Receive(6), command);
    // Everything the printer read was acknowledged, or the system cannot tell at all.
    ASSERT_TRUE(WaitUntil([&] { return socket.Unacknowledged() <= 0; }));

    std::vector<std::uint8_t> reply(3000);
    for (std::size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<std::uint8_t>(i * 13);
    printer.Send(reply);
    ASSERT_TRUE(WaitUntil([&] { return socket.Queue().Count() == 3000; }));
    std::vector<std::uint8_t> got;
    while (!socket.Queue().IsEmpty()) got.push_back(socket.Queue().Get());
    EXPECT_EQ(got, reply);
    EXPECT_EQ(notifier.Count(41), 0);
}

TEST_F(NetworkSocketTest, RefusedConnectionFailsAfterTenRounds) {
    const std::uint16_t port = ClosedPort();
    EXPECT_FALSE(ConnectNetwork(socket, clock, "127.0.0.1", port));
    EXPECT_EQ(clock.Sleeps(), std::vector<std::int64_t>(10, 50));
    EXPECT_FALSE(socket.connected());
    const std::uint8_t byte = 0x40;
    EXPECT_EQ(socket.Send(&byte, 1), -1);
    EXPECT_FALSE(socket.StartConnect("300.1.2.3", 6001));
}

TEST_F(NetworkSocketTest, PeerCloseOrResetClearsConnectedAndStoresNothing) {
    for (bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "orderly close");
        Listener printer;
        ASSERT_TRUE(ConnectNetwork(socket, clock, "127.0.0.1", printer.Port()));
        ASSERT_TRUE(printer.Accept());
        const int before = socket.Queue().Count();
        printer.Hang(reset);
        ASSERT_TRUE(WaitUntil([&] { return !socket.connected(); }));
        EXPECT_EQ(socket.Queue().Count(), before);
        if (!reset || !test::RunningUnderWine()) {
            EXPECT_EQ(socket.ResetByPeer(), reset);
        }
        EXPECT_EQ(socket.Send(nullptr, 0), -1);
        socket.CloseSocket();
    }
}

TEST(NetworkSocketStall, APrinterThatStopsReadingEndsTheSendAtTheBoundOrACancel) {
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "stalled");
        test::FastClock clock;
        test::RecordingNotifier notifier;
        NetworkSocket socket(clock, notifier);
        Listener printer;
        printer.ShrinkWindow();
        ASSERT_TRUE(ConnectNetwork(socket, clock, "127.0.0.1", printer.Port()));
        ASSERT_TRUE(printer.Accept());
        const std::vector<std::uint8_t> block(64 * 1024 * 1024, 0x55);
        CancelToken token;
        std::thread stopper;
        if (cancel) stopper = std::thread([&] { token.Cancel(); });
        const SendResult result =
            socket.SendBounded(block.data(), static_cast<int>(block.size()), token);
        if (stopper.joinable()) stopper.join();
        EXPECT_EQ(result.fault, cancel ? SendFault::Cancelled : SendFault::TimedOut);
        EXPECT_LT(result.taken, static_cast<int>(block.size()));
        socket.CloseSocket();
    }
}

TEST_F(NetworkSocketTest, CloseWakesTheReceiveThreadAndReconnectWorks) {
    Listener printer;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(ConnectNetwork(socket, clock, "127.0.0.1", printer.Port()));
        ASSERT_TRUE(printer.Accept());
        printer.Send({static_cast<std::uint8_t>(round)});
        ASSERT_TRUE(WaitUntil([&] { return !socket.Queue().IsEmpty(); }));
        EXPECT_EQ(socket.Queue().Get(), round);
        socket.CloseSocket();
        EXPECT_FALSE(socket.connected());
        printer.Hang(false);
    }
}
