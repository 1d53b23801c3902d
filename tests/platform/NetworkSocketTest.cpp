#include "platform/NetworkSocket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "core/app/VirtualClock.h"
#include "platform/PlatformTestSupport.h"

using namespace kp70;
using kp70::test::RecordingNotifier;
using kp70::test::WaitUntil;

namespace {

// A TCP listener on 127.0.0.1 playing the printer.
class Listener {
public:
    Listener() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_fd, 4);
        socklen_t size = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &size);
        m_port = ntohs(a.sin_port);
    }
    ~Listener() {
        if (m_peer >= 0) ::close(m_peer);
        if (m_fd >= 0) ::close(m_fd);
    }
    std::uint16_t Port() const { return m_port; }
    int Accept() {
        m_peer = ::accept(m_fd, nullptr, nullptr);
        return m_peer;
    }
    void Send(const std::vector<std::uint8_t>& bytes) {
        ASSERT_EQ(::send(m_peer, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    std::vector<std::uint8_t> Receive(std::size_t expected) {
        std::vector<std::uint8_t> got(expected);
        std::size_t done = 0;
        while (done < expected) {
            const ssize_t n = ::recv(m_peer, got.data() + done, expected - done, 0);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        got.resize(done);
        return got;
    }
    // Closes the accepted connection; with reset, the peer sees an error instead of an end.
    void Hang(bool reset) {
        if (reset) {
            linger l{1, 0};
            ::setsockopt(m_peer, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        }
        ::close(m_peer);
        m_peer = -1;
    }

private:
    int m_fd = -1;
    int m_peer = -1;
    std::uint16_t m_port = 0;
};

// A port on which nobody listens: bound once, then released.
std::uint16_t ClosedPort() {
    Listener gone;
    return gone.Port();
}

class NetworkSocketTest : public ::testing::Test {
protected:
    NetworkSocketTest() : socket(clock, notifier) {}
    VirtualClock clock;
    RecordingNotifier notifier;
    NetworkSocket socket;
};

}  // namespace

TEST_F(NetworkSocketTest, ConnectsProbesAndCarriesBytesBothWays) {
    Listener printer;
    ASSERT_TRUE(ConnectNetwork(socket, clock, "127.0.0.1", printer.Port()));
    ASSERT_GE(printer.Accept(), 0);
    EXPECT_TRUE(socket.connected());
    EXPECT_EQ(clock.Sleeps().front(), 50);
    EXPECT_EQ(socket.Send(nullptr, 0), 0);

    const std::vector<std::uint8_t> command = {0x1D, 0x28, 0x45, 0x00, 0x1B, 0x40};
    EXPECT_EQ(socket.Send(command.data(), static_cast<int>(command.size())), 6);
    EXPECT_EQ(printer.Receive(6), command);

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
    EXPECT_EQ(socket.Send(nullptr, 0), -1);
    const std::uint8_t byte = 0x40;
    EXPECT_EQ(socket.Send(&byte, 1), -1);
    socket.CloseSocket();
    EXPECT_EQ(socket.Send(&byte, 1), -1);
}

TEST_F(NetworkSocketTest, AddressThatIsNoAddressIsRejected) {
    EXPECT_FALSE(socket.StartConnect("300.1.2.3", 6001));
    EXPECT_FALSE(socket.connected());
    EXPECT_EQ(socket.Send(nullptr, 0), -1);
}

TEST_F(NetworkSocketTest, ChunkThatDoesNotFitIsDroppedWithMessage41) {
    Listener printer;
    ASSERT_TRUE(ConnectNetwork(socket, clock, "127.0.0.1", printer.Port()));
    ASSERT_GE(printer.Accept(), 0);
    std::vector<std::uint8_t> fill(4095, 0x5A);
    printer.Send(fill);
    ASSERT_TRUE(WaitUntil([&] { return socket.Queue().Count() == 4095; }));
    printer.Send({0x01});
    ASSERT_TRUE(WaitUntil([&] { return notifier.Count(41) == 1; }));
    EXPECT_EQ(socket.Queue().Count(), 4095);
    for (int i = 0; i < 4095; ++i) ASSERT_EQ(socket.Queue().Get(), 0x5A);
    printer.Send({0x02, 0x03});
    ASSERT_TRUE(WaitUntil([&] { return socket.Queue().Count() == 2; }));
    EXPECT_EQ(socket.Queue().Get(), 0x02);
}

TEST_F(NetworkSocketTest, PeerCloseOrResetClearsConnectedAndStoresNothing) {
    for (bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "orderly close");
        Listener printer;
        ASSERT_TRUE(ConnectNetwork(socket, clock, "127.0.0.1", printer.Port()));
        ASSERT_GE(printer.Accept(), 0);
        ASSERT_TRUE(WaitUntil([&] { return socket.connected(); }));
        const int before = socket.Queue().Count();
        printer.Hang(reset);
        ASSERT_TRUE(WaitUntil([&] { return !socket.connected(); }));
        EXPECT_EQ(socket.Queue().Count(), before);
        const std::uint8_t byte = 0x40;
        EXPECT_EQ(socket.Send(&byte, 1), -1);
        EXPECT_EQ(socket.Send(nullptr, 0), -1);
        socket.CloseSocket();
    }
}

TEST_F(NetworkSocketTest, ReconnectAfterCloseWorks) {
    Listener printer;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(ConnectNetwork(socket, clock, "127.0.0.1", printer.Port()));
        ASSERT_GE(printer.Accept(), 0);
        printer.Send({static_cast<std::uint8_t>(round)});
        ASSERT_TRUE(WaitUntil([&] { return !socket.Queue().IsEmpty(); }));
        EXPECT_EQ(socket.Queue().Get(), round);
        socket.CloseSocket();
        EXPECT_FALSE(socket.connected());
        printer.Hang(false);
    }
}
