#include "platform/DatagramSocket.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/app/VirtualClock.h"

using namespace kp70;

namespace {

// A port of its own for each run, away from the discovery port other programs may hold.
std::uint16_t TestPort() {
    return static_cast<std::uint16_t>(42000 +
                                      ::testing::UnitTest::GetInstance()->random_seed() % 1000);
}

}  // namespace

TEST(DatagramSocket, SendsReceivesAndKnowsThePcsOwnAddress) {
    VirtualClock clock;
    DatagramSocket sockets(clock);
    const std::uint16_t port = TestPort();
    ASSERT_TRUE(sockets.Open(port).empty());
    const std::vector<std::string> own = sockets.LocalAddresses();
    EXPECT_NE(std::find(own.begin(), own.end(), "127.0.0.1"), own.end());

    std::vector<std::uint8_t> frame(35, 0);
    frame[0] = frame[1] = 0xAA;
    frame[33] = frame[34] = 0x55;
    ASSERT_EQ(sockets.Send(frame.data(), frame.size(), "127.0.0.1", port), "");
    Datagram got;
    for (int i = 0; i < 100 && got.status != Datagram::Status::Received; ++i)
        got = sockets.Receive(1000);
    ASSERT_EQ(got.status, Datagram::Status::Received);
    EXPECT_EQ(got.bytes, frame);
    EXPECT_EQ(got.sender, "127.0.0.1");
}

TEST(DatagramSocket, NothingArrivingEndsTheReceiveAfterItsWaitInVirtualTime) {
    VirtualClock clock;
    DatagramSocket sockets(clock);
    ASSERT_TRUE(sockets.Open(static_cast<std::uint16_t>(TestPort() + 1000)).empty());
    const std::int64_t start = clock.Now();
    const Datagram got = sockets.Receive(1000);
    EXPECT_EQ(got.status, Datagram::Status::None);
    EXPECT_GE(clock.Now() - start, 1000);
    EXPECT_EQ(sockets.Send(nullptr, 0, "not an address", 2918),
              "'not an address' is not an IPv4 address");
}

TEST(DatagramSocket, AClosedLinkSaysSoInsteadOfWaiting) {
    VirtualClock clock;
    DatagramSocket sockets(clock);
    EXPECT_EQ(sockets.Receive(1000).status, Datagram::Status::Failed);
    EXPECT_EQ(sockets.Send(nullptr, 0, "127.0.0.1", 2918), "no socket to send from");
    EXPECT_EQ(clock.Now(), 0);
}
