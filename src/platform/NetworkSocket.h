#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "core/transport/NetworkLink.h"
#include "core/transport/ReceiveQueue.h"
#include "platform/PosixIo.h"

namespace kp70 {

class Clock;
class Notifier;

// The TCP link to an Ethernet printer: a non-blocking stream socket whose connection is
// checked with zero-length sends (ConnectNetwork), and a receive thread that moves what the
// printer sends into Queue() in chunks of up to 1024 bytes. A chunk the queue cannot take
// is dropped with msg::kQueueReadFull. A failed receive stores nothing; when the printer closes the
// connection, `connected` is cleared and the socket is shut down.
//
// Threads: StartConnect, Send and CloseSocket belong to the owner's thread; the receive
// thread only fills the queue and the connected flag. CloseSocket (and StartConnect, which
// begins with it) wakes the receive thread through an eventfd and joins it; the thread
// blocks nowhere but in that poll.
class NetworkSocket : public NetworkLink {
public:
    static constexpr int kReceiveChunk = 1024;
    // A send gives up when the printer has taken nothing for this long.
    static constexpr int kSendStallMs = 10000;

    NetworkSocket(Clock& clock, Notifier& notifier);
    ~NetworkSocket() override;
    NetworkSocket(const NetworkSocket&) = delete;
    NetworkSocket& operator=(const NetworkSocket&) = delete;

    bool StartConnect(const std::string& address, std::uint16_t port) override;
    // length 0 is the connection probe: 0 only when the connection is up. Otherwise the
    // count sent (fewer when the printer stopped taking bytes), or -1 when nothing went out.
    int Send(const std::uint8_t* data, int length) override;
    SendResult SendBounded(const std::uint8_t* data, int length,
                           const CancelToken& cancel) override;
    void CloseSocket() override;
    bool connected() const override { return m_connected.load(); }
    std::int64_t Unacknowledged() const override;
    bool ResetByPeer() const override;
    ReceiveQueue& Queue() override { return m_queue; }
    int LastErrorCode() const override { return m_lastError.load(); }

private:
    void ReceiveThread();
    void StopThread();

    Clock& m_clock;
    Notifier& m_notifier;
    int m_fd = -1;
    std::atomic<bool> m_connected{false};
    mutable std::atomic<bool> m_reset{false};
    std::atomic<int> m_lastError{0};
    std::atomic<std::int64_t> m_taken{0};  // bytes the socket took since the connection began
    std::atomic<std::int64_t> m_ackedBefore{-1};  // acknowledged before the first of them
    ReceiveQueue m_queue;
    std::thread m_thread;
    posix::WakeFd m_wake;
};

}  // namespace kp70
