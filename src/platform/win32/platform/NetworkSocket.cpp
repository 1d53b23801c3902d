#include "platform/NetworkSocket.h"

// winsock2.h before windows.h (which Win32Io.cpp's users may pull in).
#include <winsock2.h>

#include <mstcpip.h>
#include <ws2tcpip.h>

#include <algorithm>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/app/MessageCatalogue.h"
#include "core/transport/Notifier.h"

namespace kp70 {

namespace {

SOCKET Native(win32::SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

// What the connection's far end has acknowledged, from the connection's own figures: bytes
// sent less those still in flight. -1 when the system cannot tell (before Windows 10
// version 1703, and on systems that do not offer SIO_TCP_INFO).
std::int64_t BytesAcknowledged(SOCKET socket, std::int64_t* inFlight = nullptr) {
    DWORD version = 0;
    TCP_INFO_v0 info{};
    DWORD size = 0;
    if (::WSAIoctl(socket, SIO_TCP_INFO, &version, sizeof version, &info, sizeof info, &size,
                   nullptr, nullptr) != 0 ||
        size < sizeof info)
        return -1;
    if (inFlight) *inFlight = info.BytesInFlight;
    return static_cast<std::int64_t>(info.BytesOut) - static_cast<std::int64_t>(info.BytesInFlight);
}

bool WouldBlock(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}

}  // namespace

NetworkSocket::NetworkSocket(Clock& clock, Notifier& notifier)
    : m_clock(clock), m_notifier(notifier) {}

NetworkSocket::~NetworkSocket() {
    CloseSocket();
}

bool NetworkSocket::StartConnect(const std::string& address, std::uint16_t port) {
    CloseSocket();
    if (!win32::StartWinsock()) {
        m_lastError = WSASYSNOTREADY;
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(address.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
        m_lastError = WSAEINVAL;
        return false;
    }
    const SOCKET socket =
        ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET) {
        m_lastError = ::WSAGetLastError();
        ::freeaddrinfo(found);
        return false;
    }
    // The receive thread learns of the connection, the data and the end through one event;
    // asking for it makes the socket non-blocking.
    WSAEVENT event = ::WSACreateEvent();
    if (event == WSA_INVALID_EVENT ||
        ::WSAEventSelect(socket, event, FD_CONNECT | FD_READ | FD_CLOSE) != 0) {
        m_lastError = ::WSAGetLastError();
        if (event != WSA_INVALID_EVENT) ::WSACloseEvent(event);
        ::closesocket(socket);
        ::freeaddrinfo(found);
        return false;
    }
    const int r = ::connect(socket, found->ai_addr, static_cast<int>(found->ai_addrlen));
    const int error = r == 0 ? 0 : ::WSAGetLastError();
    ::freeaddrinfo(found);
    m_socket = static_cast<win32::SocketHandle>(socket);
    m_socketEvent = event;
    if (r != 0 && !WouldBlock(error)) {
        // Refused at once: the socket stays until the next attempt; probes fail on it.
        m_lastError = error;
        return true;
    }
    if (r == 0) m_connected = true;
    m_wake.Clear();
    try {
        m_thread = std::thread(&NetworkSocket::ReceiveThread, this, m_socketEvent);
    } catch (const std::system_error& e) {
        m_lastError = e.code().value();
    }
    return true;
}

int NetworkSocket::Send(const std::uint8_t* data, int length) {
    if (m_socket == win32::kNoSocket) {
        m_lastError = WSAENOTCONN;
        return -1;
    }
    if (length <= 0) {
        // A zero-length send succeeds only on an established connection; while it is
        // still being made it fails, after a refusal with the reason.
        const char none = 0;
        if (::send(Native(m_socket), &none, 0, 0) == 0) {
            m_connected = true;
            return 0;
        }
        m_lastError = ::WSAGetLastError();
        return -1;
    }
    const CancelToken never;
    const SendResult result = SendBounded(data, length, never);
    if (result.taken == 0) return -1;
    return result.taken;
}

SendResult NetworkSocket::SendBounded(const std::uint8_t* data, int length,
                                      const CancelToken& cancel) {
    if (m_socket == win32::kNoSocket) {
        m_lastError = WSAENOTCONN;
        return {0, SendFault::NotOpen, WSAENOTCONN};
    }
    if (length <= 0) return {};
    const SOCKET socket = Native(m_socket);
    // The count of acknowledged bytes before the first data byte: what the printer
    // acknowledges afterwards is data.
    if (m_taken.load() == 0) m_ackedBefore = BytesAcknowledged(socket);
    int sent = 0;
    std::int64_t start = m_clock.Now();
    SendResult result;
    while (sent < length) {
        const int n = ::send(socket, reinterpret_cast<const char*>(data) + sent, length - sent, 0);
        if (n > 0) {
            sent += n;
            m_taken += n;
            start = m_clock.Now();
            continue;
        }
        const int error = ::WSAGetLastError();
        if (n < 0 && !WouldBlock(error)) {
            m_lastError = error;
            return {sent, SendFault::Lost, error};
        }
        // The printer takes nothing now (its window is closed): wait a little. A cancel
        // ends the wait; a printer that takes the bytes gets the whole block.
        if (cancel.Cancelled()) return {sent, SendFault::Cancelled, 0};
        const std::int64_t elapsed = m_clock.Now() - start;
        if (elapsed >= kSendStallMs) {
            m_lastError = WSAETIMEDOUT;
            return {sent, SendFault::TimedOut, WSAETIMEDOUT};
        }
        m_clock.SleepFor(win32::WaitSlice(elapsed, kSendStallMs - elapsed));
    }
    result.taken = sent;
    return result;
}

void NetworkSocket::CloseSocket() {
    StopThread();
    if (m_socket != win32::kNoSocket) {
        if (Unacknowledged() > 0) {
            // The printer stopped taking bytes: reset the connection rather than leave the
            // rest queued behind a closed window, holding the printer's connection.
            const linger abort{1, 0};
            ::setsockopt(Native(m_socket), SOL_SOCKET, SO_LINGER,
                         reinterpret_cast<const char*>(&abort), sizeof abort);
        }
        ::closesocket(Native(m_socket));
    }
    if (m_socketEvent) ::WSACloseEvent(m_socketEvent);
    m_socketEvent = nullptr;
    m_socket = win32::kNoSocket;
    m_connected = false;
    m_reset = false;
    m_taken = 0;
    m_ackedBefore = -1;
}

void NetworkSocket::StopThread() {
    if (!m_thread.joinable()) return;
    m_wake.Signal();
    m_thread.join();
    m_wake.Clear();
}

void NetworkSocket::ReceiveThread(void* socketEvent) {
    const SOCKET socket = Native(m_socket);
    char chunk[kReceiveChunk];
    WSAEVENT waits[2] = {socketEvent, m_wake.Get()};
    for (;;) {
        const DWORD woken = ::WSAWaitForMultipleEvents(2, waits, FALSE, WSA_INFINITE, FALSE);
        if (woken != WSA_WAIT_EVENT_0) return;  // closing
        WSANETWORKEVENTS events{};
        if (::WSAEnumNetworkEvents(socket, socketEvent, &events) != 0) {
            m_lastError = ::WSAGetLastError();
            return;
        }
        if (events.lNetworkEvents & FD_CONNECT) {
            // The connection attempt has completed, one way or the other.
            const int error = events.iErrorCode[FD_CONNECT_BIT];
            if (error != 0) {
                m_lastError = error;
                m_connected = false;
                return;
            }
            m_connected = true;
        }
        // How the connection ended, when it did: a reset shows here even where a receive
        // after it reports only that the socket is shut.
        const bool closed = (events.lNetworkEvents & FD_CLOSE) != 0;
        const int closeError = closed ? events.iErrorCode[FD_CLOSE_BIT] : 0;
        if (closeError == WSAECONNRESET || closeError == WSAECONNABORTED) m_reset = true;
        if (events.lNetworkEvents & (FD_READ | FD_CLOSE)) {
            for (;;) {
                const int n = ::recv(socket, chunk, sizeof chunk, 0);
                if (n > 0) {
                    if (m_queue.FitsChunk(n)) {
                        for (int i = 0; i < n; ++i)
                            m_queue.Put(static_cast<std::uint8_t>(chunk[i]));
                    } else {
                        m_notifier.ShowMessage(msg::kQueueReadFull);
                    }
                    continue;
                }
                const int error = n < 0 ? ::WSAGetLastError() : 0;
                if (n < 0 && WouldBlock(error)) break;
                // The printer closed the connection (n == 0) or it broke: nothing is
                // stored, the link is down and later sends fail.
                if (n < 0) m_lastError = error;
                // This end never shuts its side before the thread ends, so a receive that
                // finds it shut (as Wine reports a reset) met a reset as well.
                if (error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN)
                    m_reset = true;
                m_connected = false;
                ::shutdown(socket, SD_BOTH);
                return;
            }
        }
        if (closed) {
            if (closeError != 0) m_lastError = closeError;
            m_connected = false;
            ::shutdown(socket, SD_BOTH);
            return;
        }
    }
}

bool NetworkSocket::ResetByPeer() const {
    if (m_reset.load()) return true;
    // A reset that came after the receive thread saw the printer close its end.
    int error = 0;
    int size = sizeof error;
    if (m_socket != win32::kNoSocket && !m_connected.load() &&
        ::getsockopt(Native(m_socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                     &size) == 0 &&
        (error == WSAECONNRESET || error == WSAECONNABORTED))
        m_reset = true;
    return m_reset.load();
}

std::int64_t NetworkSocket::Unacknowledged() const {
    if (m_socket == win32::kNoSocket) return -1;
    if (m_taken.load() == 0) return 0;
    const std::int64_t base = m_ackedBefore.load();
    std::int64_t inFlight = 0;
    const std::int64_t acked = BytesAcknowledged(Native(m_socket), &inFlight);
    if (base < 0 || acked < 0) return -1;
    // Bytes in flight are unacknowledged whatever the totals say.
    return std::max<std::int64_t>(inFlight, m_taken.load() - (acked - base));
}

}  // namespace kp70
