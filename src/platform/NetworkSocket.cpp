#include "platform/NetworkSocket.h"

#include <linux/sockios.h>
#include <linux/tcp.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/app/MessageCatalogue.h"
#include "core/transport/Notifier.h"

namespace kp70 {

namespace {

// The bytes the connection's far end has acknowledged, counted by the connection itself
// (the SYN included); it keeps its count after a reset, when the send queue is gone. -1
// when the system cannot tell.
std::int64_t BytesAcknowledged(int fd) {
    tcp_info info{};
    socklen_t size = sizeof info;
    if (::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0 ||
        size < offsetof(tcp_info, tcpi_bytes_acked) + sizeof info.tcpi_bytes_acked)
        return -1;
    return static_cast<std::int64_t>(info.tcpi_bytes_acked);
}

}  // namespace

NetworkSocket::NetworkSocket(Clock& clock, Notifier& notifier)
    : m_clock(clock), m_notifier(notifier) {}

NetworkSocket::~NetworkSocket() {
    CloseSocket();
}

bool NetworkSocket::StartConnect(const std::string& address, std::uint16_t port) {
    CloseSocket();

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(address.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
        m_lastError = EINVAL;
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        m_lastError = errno;
        ::freeaddrinfo(found);
        return false;
    }
    const int r = ::connect(fd, found->ai_addr, found->ai_addrlen);
    const int err = r == 0 ? 0 : errno;
    ::freeaddrinfo(found);
    m_fd = fd;
    if (r != 0 && err != EINPROGRESS) {
        // Refused at once: the socket stays until the next attempt; probes fail on it.
        m_lastError = err;
        return true;
    }
    if (r == 0) m_connected = true;
    m_wake.Drain();
    try {
        m_thread = std::thread(&NetworkSocket::ReceiveThread, this);
    } catch (const std::system_error& e) {
        m_lastError = e.code().value();
    }
    return true;
}

int NetworkSocket::Send(const std::uint8_t* data, int length) {
    if (m_fd < 0) {
        m_lastError = ENOTCONN;
        return -1;
    }
    if (length <= 0) {
        // A zero-length send succeeds only on an established connection; while it is
        // still being made it fails with EAGAIN, after a refusal with the reason.
        const std::uint8_t none = 0;
        if (::send(m_fd, &none, 0, MSG_NOSIGNAL) == 0) {
            m_connected = true;
            return 0;
        }
        m_lastError = errno;
        return -1;
    }
    const CancelToken never;
    const SendResult result = SendBounded(data, length, never);
    if (result.taken == 0) return -1;
    return result.taken;
}

SendResult NetworkSocket::SendBounded(const std::uint8_t* data, int length,
                                      const CancelToken& cancel) {
    if (m_fd < 0) {
        m_lastError = ENOTCONN;
        return {0, SendFault::NotOpen, ENOTCONN};
    }
    if (length <= 0) return {};
    // The count of acknowledged bytes before the first data byte: what the printer
    // acknowledges afterwards is data.
    if (m_taken.load() == 0) m_ackedBefore = BytesAcknowledged(m_fd);
    posix::WriteBound bound;
    bound.timeoutMs = kSendStallMs;
    bound.fromLastProgress = true;
    bound.cancel = &cancel;
    const posix::WriteOutcome outcome = posix::SendWithin(m_fd, data, length, m_clock, bound);
    m_taken += outcome.written;
    SendResult result{outcome.written, SendFault::None, outcome.error};
    if (outcome.error != 0) {
        m_lastError = outcome.error;
        result.fault = SendFault::Lost;
    } else if (outcome.timedOut) {
        m_lastError = ETIMEDOUT;
        result.fault = SendFault::TimedOut;
        result.error = ETIMEDOUT;
    } else if (outcome.cancelled) {
        result.fault = SendFault::Cancelled;
    }
    return result;
}

void NetworkSocket::CloseSocket() {
    StopThread();
    if (m_fd >= 0 && Unacknowledged() > 0) {
        // The printer stopped taking bytes: reset the connection rather than leave the rest
        // queued behind a closed window, holding the printer's connection for minutes.
        const linger abort{1, 0};
        (void)::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_connected = false;
    m_reset = false;
    m_taken = 0;
    m_ackedBefore = -1;
}

void NetworkSocket::StopThread() {
    if (!m_thread.joinable()) return;
    m_wake.Signal();
    m_thread.join();
    m_wake.Drain();
}

void NetworkSocket::ReceiveThread() {
    bool connecting = !m_connected;
    std::uint8_t chunk[kReceiveChunk];
    for (;;) {
        pollfd fds[2] = {{m_fd, static_cast<short>(connecting ? POLLOUT : POLLIN), 0},
                         {m_wake.Fd(), POLLIN, 0}};
        const int r = ::poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            m_lastError = errno;
            return;
        }
        if (fds[1].revents != 0) return;
        const short events = fds[0].revents;
        if (events == 0) continue;
        if (connecting) {
            // The connection attempt has completed, one way or the other.
            int err = 0;
            socklen_t size = sizeof err;
            (void)::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &size);
            sockaddr_storage peer{};
            socklen_t peerSize = sizeof peer;
            if (err == 0 &&
                ::getpeername(m_fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0) {
                m_connected = true;
                connecting = false;
                continue;
            }
            m_lastError = err != 0 ? err : ENOTCONN;
            m_connected = false;
            return;
        }
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            const int count = static_cast<int>(n);
            if (m_queue.FitsChunk(count)) {
                for (int i = 0; i < count; ++i) m_queue.Put(chunk[i]);
            } else {
                m_notifier.ShowMessage(msg::kQueueReadFull);
            }
        } else if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            continue;
        } else {
            // The printer closed the connection (n == 0) or it broke: nothing is stored,
            // the link is down and later sends fail.
            if (n < 0) m_lastError = errno;
            if (n < 0 && (errno == ECONNRESET || errno == EPIPE)) m_reset = true;
            m_connected = false;
            ::shutdown(m_fd, SHUT_RDWR);
            return;
        }
    }
}

bool NetworkSocket::ResetByPeer() const {
    if (m_reset.load()) return true;
    // A reset that came after the receive thread saw the printer close its end.
    int err = 0;
    socklen_t size = sizeof err;
    if (m_fd >= 0 && !m_connected.load() &&
        ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &size) == 0 &&
        (err == ECONNRESET || err == EPIPE))
        m_reset = true;
    return m_reset.load();
}

std::int64_t NetworkSocket::Unacknowledged() const {
    if (m_fd < 0) return -1;
    const std::int64_t base = m_ackedBefore.load();
    const std::int64_t acked = BytesAcknowledged(m_fd);
    if (base >= 0 && acked >= 0) return std::max<std::int64_t>(0, m_taken.load() - (acked - base));
    int queued = 0;
    if (::ioctl(m_fd, SIOCOUTQ, &queued) != 0) return -1;
    return queued;
}

}  // namespace kp70
