#include "platform/DatagramSocket.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/app/Clock.h"
#include "platform/PosixIo.h"

namespace kp70 {

namespace {

// The largest datagram kept whole; longer ones still report their real length.
constexpr std::size_t kLargestDatagram = 2048;

int MakeSocket() {
    return ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

bool SetFlag(int fd, int option) {
    const int on = 1;
    return ::setsockopt(fd, SOL_SOCKET, option, &on, sizeof on) == 0;
}

}  // namespace

DatagramSocket::DatagramSocket(Clock& clock) : m_clock(clock) {}

DatagramSocket::~DatagramSocket() {
    Close();
}

std::string DatagramSocket::ReasonText(int err, std::uint16_t port) {
    switch (err) {
        case ENETUNREACH:
        case EHOSTUNREACH:
        case ENETDOWN:
            return "no usable network (the system has no route for it; is the PC connected to "
                   "a network?)";
        case EACCES:
        case EPERM:
            return "not permitted (the system or a firewall refuses it)";
        case EADDRINUSE:
            return "UDP port " + std::to_string(port) +
                   " is in use by another program that does not share it";
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
            return std::string("the system is out of resources (") + std::strerror(err) + ")";
        default:
            return std::strerror(err);
    }
}

std::vector<DatagramFailure> DatagramSocket::Open(std::uint16_t port) {
    Close();
    m_port = port;
    std::vector<DatagramFailure> failures;
    auto fail = [&](DatagramStep step, int err) {
        failures.push_back({step, ReasonText(err, port)});
    };

    m_sendFd = MakeSocket();
    if (m_sendFd < 0) {
        fail(DatagramStep::SendSocket, errno);
    } else if (!SetFlag(m_sendFd, SO_BROADCAST)) {
        fail(DatagramStep::Broadcast, errno);
    }

    m_receiveFd = MakeSocket();
    if (m_receiveFd < 0) {
        fail(DatagramStep::ReceiveSocket, errno);
        return failures;
    }
    // Room for many answers at once; the system may grant less, which only costs answers
    // when hundreds of printers reply together.
    const int bufferBytes = kReceiveBufferBytes;
    (void)::setsockopt(m_receiveFd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    any.sin_port = htons(port);
    if (!SetFlag(m_receiveFd, SO_REUSEADDR) ||
        ::bind(m_receiveFd, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        fail(DatagramStep::Bind, errno);
        // Unbound, it would receive nothing meant for the port: as good as none.
        ::close(m_receiveFd);
        m_receiveFd = -1;
    }
    return failures;
}

std::string DatagramSocket::Send(const std::uint8_t* data, std::size_t size,
                                 const std::string& address, std::uint16_t port) {
    if (m_sendFd < 0) return "no socket to send from";
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1)
        return "'" + address + "' is not an IPv4 address";
    for (;;) {
        const ssize_t n = ::sendto(m_sendFd, data, size, MSG_NOSIGNAL,
                                   reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (n == static_cast<ssize_t>(size)) return "";
        if (n >= 0) return "the datagram went out short";
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // The send buffer is full for a moment: wait a little and try once more.
            m_clock.SleepFor(5);
            const ssize_t again = ::sendto(m_sendFd, data, size, MSG_NOSIGNAL,
                                           reinterpret_cast<const sockaddr*>(&to), sizeof to);
            if (again == static_cast<ssize_t>(size)) return "";
        }
        return ReasonText(errno, m_port);
    }
}

Datagram DatagramSocket::Receive(std::int64_t waitMs) {
    Datagram datagram;
    if (m_receiveFd < 0) {
        datagram.status = Datagram::Status::Failed;
        datagram.reason = "no socket to receive on";
        return datagram;
    }
    if (!posix::WaitReadable(m_receiveFd, m_clock, waitMs)) return datagram;
    std::uint8_t buffer[kLargestDatagram];
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    ssize_t n;
    do {
        // MSG_TRUNC: the real length even of a datagram longer than the buffer.
        n = ::recvfrom(m_receiveFd, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC,
                       reinterpret_cast<sockaddr*>(&from), &fromSize);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) return datagram;
        datagram.status = Datagram::Status::Failed;
        datagram.reason = ReasonText(errno, m_port);
        return datagram;
    }
    datagram.status = Datagram::Status::Received;
    const std::size_t kept = std::min(static_cast<std::size_t>(n), sizeof buffer);
    datagram.bytes.assign(buffer, buffer + kept);
    // A datagram longer than the buffer is padded to its real length, so that its length
    // alone tells that it is no frame.
    datagram.bytes.resize(static_cast<std::size_t>(n), 0);
    char text[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    datagram.sender = text;
    return datagram;
}

std::vector<std::string> DatagramSocket::LocalAddresses() {
    std::vector<std::string> addresses;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return addresses;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        char text[INET_ADDRSTRLEN] = "";
        if (!::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) continue;
        if (std::find(addresses.begin(), addresses.end(), text) == addresses.end())
            addresses.push_back(text);
    }
    ::freeifaddrs(list);
    return addresses;
}

void DatagramSocket::Close() {
    if (m_sendFd >= 0) ::close(m_sendFd);
    if (m_receiveFd >= 0) ::close(m_receiveFd);
    m_sendFd = -1;
    m_receiveFd = -1;
}

}  // namespace kp70
