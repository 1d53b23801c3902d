#include "platform/DatagramSocket.h"

// Winsock first: the helper headers build on it.
#include <winsock2.h>

#include <iphlpapi.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <vector>

#include "core/app/Clock.h"
#include "platform/Win32Io.h"

namespace kp70 {

namespace {

// The largest datagram kept whole; longer ones still report their real length.
constexpr int kLargestDatagram = 2048;

SOCKET Native(win32::SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

SOCKET MakeSocket() {
    const SOCKET socket =
        ::WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET) return socket;
    u_long nonBlocking = 1;
    ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    return socket;
}

bool SetFlag(SOCKET socket, int option) {
    const BOOL on = TRUE;
    return ::setsockopt(socket, SOL_SOCKET, option, reinterpret_cast<const char*>(&on),
                        sizeof on) == 0;
}

// True when the receive socket has a datagram waiting, looked at without waiting.
bool Readable(SOCKET socket) {
    WSAPOLLFD poll{};
    poll.fd = socket;
    poll.events = POLLRDNORM;
    return ::WSAPoll(&poll, 1, 0) > 0 && (poll.revents & (POLLRDNORM | POLLERR | POLLHUP)) != 0;
}

}  // namespace

DatagramSocket::DatagramSocket(Clock& clock) : m_clock(clock) {}

DatagramSocket::~DatagramSocket() {
    Close();
}

std::string DatagramSocket::ReasonText(int err, std::uint16_t port) {
    switch (err) {
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
        case WSAENETDOWN:
            return "no usable network (the system has no route for it; is the PC connected to "
                   "a network?)";
        case WSAEACCES:
            return "not permitted (the system or a firewall refuses it)";
        case WSAEADDRINUSE:
            return "UDP port " + std::to_string(port) +
                   " is in use by another program that does not share it";
        case WSAEMFILE:
        case WSAENOBUFS:
            return "the system is out of resources (" + win32::SocketErrorText(err) + ")";
        case WSASYSNOTREADY:
        case WSAVERNOTSUPPORTED:
        case WSANOTINITIALISED:
            return "Windows Sockets cannot be started (" + win32::SocketErrorText(err) + ")";
        default:
            return win32::SocketErrorText(err);
    }
}

std::vector<DatagramFailure> DatagramSocket::Open(std::uint16_t port) {
    Close();
    m_port = port;
    std::vector<DatagramFailure> failures;
    auto fail = [&](DatagramStep step, int err) {
        failures.push_back({step, ReasonText(err, port)});
    };
    if (!win32::StartWinsock()) {
        fail(DatagramStep::SendSocket, WSASYSNOTREADY);
        fail(DatagramStep::ReceiveSocket, WSASYSNOTREADY);
        return failures;
    }

    const SOCKET send = MakeSocket();
    if (send == INVALID_SOCKET) {
        fail(DatagramStep::SendSocket, ::WSAGetLastError());
    } else {
        m_send = static_cast<win32::SocketHandle>(send);
        if (!SetFlag(send, SO_BROADCAST)) fail(DatagramStep::Broadcast, ::WSAGetLastError());
    }

    const SOCKET receive = MakeSocket();
    if (receive == INVALID_SOCKET) {
        fail(DatagramStep::ReceiveSocket, ::WSAGetLastError());
        return failures;
    }
    // Room for many answers at once; the system may grant less, which only costs answers
    // when hundreds of printers reply together.
    const int bufferBytes = kReceiveBufferBytes;
    ::setsockopt(receive, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bufferBytes),
                 sizeof bufferBytes);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    any.sin_port = htons(port);
    if (!SetFlag(receive, SO_REUSEADDR) ||
        ::bind(receive, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        fail(DatagramStep::Bind, ::WSAGetLastError());
        // Unbound, it would receive nothing meant for the port: as good as none.
        ::closesocket(receive);
        return failures;
    }
    m_receive = static_cast<win32::SocketHandle>(receive);
    return failures;
}

std::string DatagramSocket::Send(const std::uint8_t* data, std::size_t size,
                                 const std::string& address, std::uint16_t port) {
    if (m_send == win32::kNoSocket) return "no socket to send from";
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1)
        return "'" + address + "' is not an IPv4 address";
    auto sendOnce = [&] {
        return ::sendto(Native(m_send), reinterpret_cast<const char*>(data), static_cast<int>(size),
                        0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    };
    int n = sendOnce();
    if (n == static_cast<int>(size)) return "";
    if (n >= 0) return "the datagram went out short";
    int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK) {
        // The send buffer is full for a moment: wait a little and try once more.
        m_clock.SleepFor(5);
        n = sendOnce();
        if (n == static_cast<int>(size)) return "";
        error = ::WSAGetLastError();
    }
    return ReasonText(error, m_port);
}

Datagram DatagramSocket::Receive(std::int64_t waitMs) {
    Datagram datagram;
    if (m_receive == win32::kNoSocket) {
        datagram.status = Datagram::Status::Failed;
        datagram.reason = "no socket to receive on";
        return datagram;
    }
    const SOCKET socket = Native(m_receive);
    const std::int64_t start = m_clock.Now();
    while (!Readable(socket)) {
        const std::int64_t elapsed = m_clock.Now() - start;
        if (elapsed >= waitMs) return datagram;
        m_clock.SleepFor(win32::WaitSlice(elapsed, waitMs - elapsed));
    }
    std::vector<char> buffer(kLargestDatagram);
    sockaddr_in from{};
    int fromSize = sizeof from;
    int n = ::recvfrom(socket, buffer.data(), kLargestDatagram, 0,
                       reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (n < 0) {
        const int error = ::WSAGetLastError();
        if (error == WSAEWOULDBLOCK) return datagram;
        // A datagram longer than the buffer: Windows says so and keeps the front part. It is
        // reported at a length above a frame's, so that its length alone tells it is none.
        if (error == WSAEMSGSIZE) {
            n = kLargestDatagram + 1;
        } else if (error == WSAECONNRESET) {
            // The answer of an earlier send to a port nobody listened on: no datagram.
            return datagram;
        } else {
            datagram.status = Datagram::Status::Failed;
            datagram.reason = ReasonText(error, m_port);
            return datagram;
        }
    }
    datagram.status = Datagram::Status::Received;
    const int kept = std::min(n, kLargestDatagram);
    datagram.bytes.assign(buffer.begin(), buffer.begin() + kept);
    datagram.bytes.resize(static_cast<std::size_t>(n), 0);
    char text[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    datagram.sender = text;
    return datagram;
}

std::vector<std::string> DatagramSocket::LocalAddresses() {
    std::vector<std::string> addresses;
    auto add = [&](const std::string& text) {
        if (!text.empty() && std::find(addresses.begin(), addresses.end(), text) == addresses.end())
            addresses.push_back(text);
    };
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        result = ::GetAdaptersAddresses(
            AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
            nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result == NO_ERROR) {
        for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter;
             adapter = adapter->Next) {
            for (auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
                const sockaddr* address = unicast->Address.lpSockaddr;
                if (!address || address->sa_family != AF_INET) continue;
                char text[INET_ADDRSTRLEN] = "";
                const auto* in = reinterpret_cast<const sockaddr_in*>(address);
                if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) add(text);
            }
        }
    }
    // The loopback address is the PC's own even where the system lists no adapter for it.
    add("127.0.0.1");
    return addresses;
}

void DatagramSocket::Close() {
    if (m_send != win32::kNoSocket) ::closesocket(Native(m_send));
    if (m_receive != win32::kNoSocket) ::closesocket(Native(m_receive));
    m_send = win32::kNoSocket;
    m_receive = win32::kNoSocket;
}

}  // namespace kp70
