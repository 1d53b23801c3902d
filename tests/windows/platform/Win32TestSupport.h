#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/transport/Notifier.h"
#include "platform/Winsock.h"

namespace kp70::test {

// Polls cond in real time until it holds or the guard runs out: guards against a hang in
// a test that waits for another thread; never used to assert on durations.
inline bool WaitUntil(const std::function<bool()>& cond, int guardMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(guardMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// True under Wine, which stands in for Windows in these tests but cannot show everything
// (it reports a connection the peer reset as closed in order).
inline bool RunningUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Records every message the transport shows.
class RecordingNotifier : public Notifier {
public:
    void ShowMessage(int n, const std::string& suffix) override {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({n, suffix});
    }
    int Count(int n) const {
        std::lock_guard lock(m_mutex);
        int count = 0;
        for (const auto& m : m_messages) count += m.first == n;
        return count;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<int, std::string>> m_messages;
};

// A TCP listener on 127.0.0.1 playing the printer (blocking Winsock calls).
class Listener {
public:
    Listener() {
        kp70::win32::StartWinsock();
        m_socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_socket, 4);
        int size = sizeof a;
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&a), &size);
        m_port = ntohs(a.sin_port);
    }
    ~Listener() {
        if (m_peer != INVALID_SOCKET) ::closesocket(m_peer);
        if (m_socket != INVALID_SOCKET) ::closesocket(m_socket);
    }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    std::uint16_t Port() const { return m_port; }
    bool Accept() {
        m_peer = ::accept(m_socket, nullptr, nullptr);
        return m_peer != INVALID_SOCKET;
    }
    // A small receive window, so that a peer that stops reading stops the sender soon.
    void ShrinkWindow() {
        const int bytes = 4096;
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes),
                     sizeof bytes);
    }
    void Send(const std::vector<std::uint8_t>& bytes) {
        ::send(m_peer, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
               0);
    }
    std::vector<std::uint8_t> Receive(std::size_t expected) {
        std::vector<std::uint8_t> got(expected);
        std::size_t done = 0;
        while (done < expected) {
            const int n = ::recv(m_peer, reinterpret_cast<char*>(got.data() + done),
                                 static_cast<int>(expected - done), 0);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        got.resize(done);
        return got;
    }
    // Closes the accepted connection; with reset, the peer sees an error instead of an end.
    void Hang(bool reset) {
        if (reset) {
            const linger abort{1, 0};
            ::setsockopt(m_peer, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                         sizeof abort);
        }
        ::closesocket(m_peer);
        m_peer = INVALID_SOCKET;
    }

private:
    SOCKET m_socket = INVALID_SOCKET;
    SOCKET m_peer = INVALID_SOCKET;
    std::uint16_t m_port = 0;
};

}  // namespace kp70::test
