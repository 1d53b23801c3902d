#pragma once

#include <algorithm>
#include <deque>

#include "core/transport/NetworkLink.h"
#include "support/FakeLinkRecorder.h"

namespace kp70::test {

// A NetworkLink that records every call and answers sends from a script. A connection is
// up after a zero-length probe succeeds; failingProbes probes fail first (refuse: all do).
// Data sent while the connection is down fails (-1). With failAfterBytes the printer drops
// the connection after that many data bytes: the send that reaches the limit is short and
// every later one fails, as on a socket the peer closed. Answers go into Queue() at once.
class FakeNetworkLink : public NetworkLink, public FakeLinkRecorder {
public:
    Responder responder;
    int failingProbes = 0;
    bool refuse = false;
    int failAfterBytes = -1;
    // The printer drops the connection once it has this many data bytes: later sends still
    // land in the socket's buffers and succeed; only a probe sees the connection gone.
    int linkLostAfterBytes = -1;
    // Bytes the printer's end has not acknowledged, in turn (the last one stays); -1: the
    // socket cannot tell.
    mutable std::deque<std::int64_t> unacknowledged{0};
    bool resetByPeer = false;

    bool StartConnect(const std::string& address, std::uint16_t port) override {
        {
            std::lock_guard lock(m_mutex);
            m_connected = false;
            m_address = address;
            m_port = port;
        }
        Record("StartConnect");
        return true;
    }
    int Send(const std::uint8_t* data, int length) override {
        bool ok;
        int sent = length;
        {
            std::lock_guard lock(m_mutex);
            if (length == 0) {
                ok = !refuse && failingProbes == 0 &&
                     (linkLostAfterBytes < 0 || m_sentBytes < linkLostAfterBytes);
                if (failingProbes > 0) --failingProbes;
                m_connected = ok;
            } else {
                ok = m_connected;
                if (ok && failAfterBytes >= 0) {
                    sent = std::min(length, failAfterBytes - m_sentBytes);
                    ok = sent > 0;
                    if (ok) m_sentBytes += sent;
                } else if (ok) {
                    m_sentBytes += length;
                }
            }
        }
        // A short send records only the bytes the printer got.
        FakeBytes bytes(data, data + (ok ? sent : length));
        Record(length == 0 ? "Probe" : "Send", bytes, ok);
        if (!ok) return -1;
        if (length > 0 && responder) Deliver(responder(bytes));
        return sent;
    }
    void CloseSocket() override {
        {
            std::lock_guard lock(m_mutex);
            m_connected = false;
        }
        Record("CloseSocket");
    }
    bool connected() const override {
        std::lock_guard lock(m_mutex);
        return m_connected;
    }
    bool ResetByPeer() const override { return resetByPeer; }
    std::int64_t Unacknowledged() const override {
        std::lock_guard lock(m_mutex);
        const std::int64_t value = unacknowledged.front();
        if (unacknowledged.size() > 1) unacknowledged.pop_front();
        return value;
    }
    ReceiveQueue& Queue() override { return m_queue; }
    int LastErrorCode() const override { return 0; }

    std::string Address() const {
        std::lock_guard lock(m_mutex);
        return m_address;
    }
    std::uint16_t Port() const {
        std::lock_guard lock(m_mutex);
        return m_port;
    }
    // Bytes arriving from the printer now.
    void Deliver(const FakeBytes& bytes) {
        for (std::uint8_t b : bytes) m_queue.Put(b);
    }

private:
    bool m_connected = false;
    int m_sentBytes = 0;
    std::string m_address;
    std::uint16_t m_port = 0;
    ReceiveQueue m_queue;
};

}  // namespace kp70::test
