#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/app/Clock.h"
#include "core/network/DatagramLink.h"

namespace kp70::test {

// Discovery sockets for tests, on a Clock (a VirtualClock in unit tests): every send is
// recorded with the time it went, heard back from the PC's own address at once (as a
// broadcast is), and answered by the responder with datagrams that arrive the given number
// of milliseconds later. Receive waits on the clock until the next datagram is due, or for
// the whole wait when none is. Thread-safe, for screens whose steps run on a worker.
class FakeDatagramLink : public DatagramLink {
public:
    struct Sent {
        std::vector<std::uint8_t> bytes;
        std::string address;
        std::uint16_t port = 0;
        std::int64_t at = 0;
    };
    struct Arrival {
        std::int64_t afterMs = 0;  // after the send that caused it
        std::vector<std::uint8_t> bytes;
        std::string sender;
    };
    using Responder = std::function<std::vector<Arrival>(const std::vector<std::uint8_t>& sent)>;

    explicit FakeDatagramLink(Clock& clock) : m_clock(clock) {}

    // Script.
    std::vector<std::string> ownAddresses = {"127.0.0.1", "192.168.0.100"};
    std::vector<DatagramFailure> openFailures;
    bool canReceive = true;  // false: Receive fails, as without a receive socket
    std::string sendError;   // a send fails with this reason
    bool hearOwnFrames = true;
    Responder responder;

    // Adds datagrams that arrive afterMs from now, whatever is sent.
    void Deliver(const std::vector<Arrival>& arrivals) {
        std::lock_guard lock(m_mutex);
        Queue(arrivals);
    }

    std::vector<DatagramFailure> Open(std::uint16_t port) override {
        std::lock_guard lock(m_mutex);
        ++opens;
        openPort = port;
        open = true;
        return openFailures;
    }
    std::string Send(const std::uint8_t* data, std::size_t size, const std::string& address,
                     std::uint16_t port) override {
        std::lock_guard lock(m_mutex);
        std::vector<std::uint8_t> bytes(data, data + size);
        if (!sendError.empty()) return sendError;
        m_sent.push_back({bytes, address, port, m_clock.Now()});
        if (hearOwnFrames) Queue({{0, bytes, ownAddresses.front()}});
        if (responder) Queue(responder(bytes));
        return "";
    }
    Datagram Receive(std::int64_t waitMs) override {
        std::unique_lock lock(m_mutex);
        Datagram datagram;
        if (!canReceive || !open) {
            datagram.status = Datagram::Status::Failed;
            datagram.reason = "no socket to receive on";
            return datagram;
        }
        const std::int64_t now = m_clock.Now();
        if (m_pending.empty() || m_pending.front().dueAt > now + waitMs) {
            lock.unlock();
            m_clock.SleepFor(waitMs);
            return datagram;
        }
        const Pending next = m_pending.front();
        m_pending.erase(m_pending.begin());
        lock.unlock();
        if (next.dueAt > now) m_clock.SleepFor(next.dueAt - now);
        datagram.status = Datagram::Status::Received;
        datagram.bytes = next.bytes;
        datagram.sender = next.sender;
        return datagram;
    }
    std::vector<std::string> LocalAddresses() override {
        std::lock_guard lock(m_mutex);
        return ownAddresses;
    }
    void Close() override {
        std::lock_guard lock(m_mutex);
        ++closes;
        open = false;
    }

    std::vector<Sent> Sends() const {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }

    // Read after the operation.
    int opens = 0;
    int closes = 0;
    bool open = false;
    std::uint16_t openPort = 0;

private:
    struct Pending {
        std::int64_t dueAt;
        std::vector<std::uint8_t> bytes;
        std::string sender;
    };
    void Queue(const std::vector<Arrival>& arrivals) {
        const std::int64_t now = m_clock.Now();
        for (const Arrival& a : arrivals) m_pending.push_back({now + a.afterMs, a.bytes, a.sender});
        std::stable_sort(m_pending.begin(), m_pending.end(),
                         [](const Pending& x, const Pending& y) { return x.dueAt < y.dueAt; });
    }

    Clock& m_clock;
    mutable std::mutex m_mutex;
    std::vector<Sent> m_sent;
    std::vector<Pending> m_pending;
};

}  // namespace kp70::test
