#include "platform/DatagramSocket.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "core/app/CancelToken.h"
#include "core/network/NetworkSettingSession.h"
#include "platform/WifiPlugin.h"
#include "support/FastClock.h"
#include "support/IsolatedNetwork.h"
#include "support/TempDir.h"

namespace kp70 {
namespace {

using test::FastClock;

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

TEST(DatagramSocket, OwnBroadcastComesBackFromAnAddressOfThePc) {
    FastClock clock;
    DatagramSocket sockets(clock);
    ASSERT_TRUE(sockets.Open(kDiscoveryPort).empty());
    const auto& frame = DiscoveryFrame::Search().bytes();
    ASSERT_EQ(sockets.Send(frame.data(), frame.size(), "127.255.255.255", kDiscoveryPort), "");
    const Datagram datagram = sockets.Receive(1000);
    ASSERT_EQ(datagram.status, Datagram::Status::Received);
    EXPECT_EQ(datagram.bytes, std::vector<std::uint8_t>(frame.begin(), frame.end()));
    EXPECT_TRUE(Contains(sockets.LocalAddresses(), datagram.sender)) << datagram.sender;
}

TEST(DatagramSocket, ReceiveWaitsOnTheClockAndReportsTheRealLength) {
    FastClock clock;
    DatagramSocket sockets(clock);
    ASSERT_TRUE(sockets.Open(kDiscoveryPort).empty());
    EXPECT_EQ(sockets.Receive(500).status, Datagram::Status::None);
    EXPECT_GE(clock.Now(), 500);

    for (std::size_t size : {17u, 3000u}) {
        const std::vector<std::uint8_t> bytes(size, 0x41);
        ASSERT_EQ(sockets.Send(bytes.data(), size, "127.0.0.1", kDiscoveryPort), "");
        const Datagram datagram = sockets.Receive(1000);
        ASSERT_EQ(datagram.status, Datagram::Status::Received);
        EXPECT_EQ(datagram.bytes.size(), size);
    }
    sockets.Close();
    EXPECT_EQ(sockets.Receive(10).status, Datagram::Status::Failed);
}

TEST(DatagramSocket, APortHeldWithoutSharingIsSaidInWords) {
    // Another program bound the port without SO_REUSEADDR.
    const int other = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(kDiscoveryPort);
    if (bind(other, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
        close(other);
        GTEST_SKIP() << "another program shares the port already (a kp70sim?)";
    }
    FastClock clock;
    DatagramSocket sockets(clock);
    const auto failures = sockets.Open(kDiscoveryPort);
    close(other);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].step, DatagramStep::Bind);
    EXPECT_NE(failures[0].reason.find("in use by another program"), std::string::npos);
    EXPECT_EQ(sockets.Receive(10).status, Datagram::Status::Failed);
}

TEST(DatagramSocket, NoRouteForTheBroadcastIsSaidInWords) {
    if (!test::InIsolatedNetwork()) GTEST_SKIP() << "needs a network namespace of its own";
    FastClock clock;
    DatagramSocket sockets(clock);
    ASSERT_TRUE(sockets.Open(kDiscoveryPort).empty());
    const auto& frame = DiscoveryFrame::Search().bytes();
    const std::string reason =
        sockets.Send(frame.data(), frame.size(), kDefaultBroadcastAddress, kDiscoveryPort);
    EXPECT_NE(reason.find("no usable network"), std::string::npos) << reason;
}

TEST(DatagramSocket, OwnFramesOfEveryNetworkOfThePcAreNotListed) {
    // A PC with two networks: its broadcast on the second comes back from an address that
    // is not the first one its name resolves to.
    if (!test::AddLoopbackAddress("10.9.0.1/24")) GTEST_SKIP() << "cannot add a second network";
    FastClock clock;
    DatagramSocket sockets(clock);
    EXPECT_TRUE(Contains(sockets.LocalAddresses(), "10.9.0.1"));
    NetworkSettingSession session(sockets, clock, "10.9.0.255");
    session.Open();
    CancelToken cancel;
    int listed = 0;
    const Outcome outcome = session.Search(cancel, [&](const DiscoveredPrinter&) { ++listed; });
    EXPECT_EQ(listed, 0);
    EXPECT_TRUE(outcome.ok());
}

TEST(WifiPlugin, AbsentComponentSaysWhereItWasLookedFor) {
    test::TempDir empty;
    WifiPlugin plugin({empty.Path().string()});
    EXPECT_FALSE(plugin.Load());
    EXPECT_TRUE(plugin.NotFound());
    EXPECT_NE(plugin.Error().find("libkp70wifi.so"), std::string::npos);
    EXPECT_NE(plugin.SearchPlaces().find(empty.Path().string()), std::string::npos);

    // A file of that name that is no library is found, and why it cannot be used is told.
    test::TempDir broken;
    { std::ofstream(broken.File("libkp70wifi.so")) << "not a library"; }
    WifiPlugin unusable({broken.Path().string()});
    EXPECT_FALSE(unusable.Load());
    EXPECT_FALSE(unusable.NotFound());
    EXPECT_NE(unusable.Error().find(broken.File("libkp70wifi.so")), std::string::npos)
        << unusable.Error();
}

TEST(WifiPlugin, CallsBothOperationsWithTheParentWindow) {
    WifiPlugin plugin({KP70_WIFI_TEST_PLUGIN_DIR});
    ASSERT_TRUE(plugin.Load()) << plugin.Error();
    plugin.LimitedAp(77);
    plugin.Infrastructure(78);
    void* handle = dlopen(KP70_WIFI_TEST_PLUGIN_DIR "/libkp70wifi.so", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_TRUE(handle);
    auto calls = reinterpret_cast<const char* (*)()>(dlsym(handle, "kp70_wifi_test_calls"));
    ASSERT_TRUE(calls);
    EXPECT_STREQ(calls(), "limited-ap 77;infrastructure 78;");
    dlclose(handle);
}

}  // namespace
}  // namespace kp70
