#include "core/transport/SocketLink.h"

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/transport/NetworkLink.h"

namespace kp70 {

namespace {
constexpr int kAckPollMs = 100;
// A connection that dropped is probed and re-made in this many rounds, 50 ms apart.
constexpr int kCheckRounds = 10;
constexpr int kCheckWaitMs = 50;
}  // namespace

SocketLink::SocketLink(NetworkLink& socket, Clock& clock, std::string address, std::uint16_t port,
                       LinkRequest request)
    : m_socket(socket),
      m_clock(clock),
      m_address(std::move(address)),
      m_port(port),
      m_request(request) {}

SocketLink::~SocketLink() {
    Close();
}

bool SocketLink::Open(const CancelToken& cancel) {
    m_opened = true;
    m_lastErrorText.clear();
    if (ConnectNetwork(m_socket, m_clock, m_address, m_port, 0, &cancel, m_request.connectRounds,
                       m_request.connectWaitMs))
        return true;
    m_socket.CloseSocket();
    m_lastErrorText = "no answer from " + m_address + ":" + std::to_string(m_port);
    return false;
}

bool SocketLink::IsOpen() const {
    return m_opened && m_socket.connected();
}

bool SocketLink::Probe() {
    return m_socket.Send(nullptr, 0) == 0;
}

bool SocketLink::CheckConnection(const CancelToken& cancel) {
    // The printer may have dropped the connection (it resets after every write): probe it,
    // and reconnect while the probe fails.
    m_opened = true;
    for (int round = 0; round < kCheckRounds; ++round) {
        if (cancel.Cancelled()) return false;
        m_clock.SleepFor(kCheckWaitMs);
        if (Probe()) return true;
        if (round + 1 < kCheckRounds) m_socket.StartConnect(m_address, m_port);
    }
    m_lastErrorText = "no answer from " + m_address + ":" + std::to_string(m_port);
    return false;
}

SendResult SocketLink::Send(const std::uint8_t* data, int length, const CancelToken& cancel) {
    if (!m_opened) return {0, SendFault::NotOpen, 0};
    if (length <= 0) return {};
    return m_socket.SendBounded(data, length, cancel);
}

void SocketLink::TakeReplies(std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(m_takeMutex);
    for (ReceiveQueue& queue = m_socket.Queue(); !queue.IsEmpty();) bytes.push_back(queue.Get());
}

bool SocketLink::RepliesPending() const {
    return !m_socket.Queue().IsEmpty();
}

bool SocketLink::StillUp() {
    return m_opened && m_socket.connected() && Probe();
}

Delivery SocketLink::WaitDelivered(const CancelToken& cancel) {
    if (!m_opened) return {DeliveryFault::Lost, "the connection is not open"};
    std::int64_t unacknowledged = m_socket.Unacknowledged();
    if (unacknowledged < 0) {
        // The socket cannot tell what was acknowledged: a printer that still holds the
        // connection and takes a probe has what was sent.
        if (!SleepUnlessCancelled(m_clock, kResetSettleMs, cancel))
            return {DeliveryFault::Cancelled, "cancelled"};
        if (StillUp()) return {};
        return {DeliveryFault::Lost,
                "the printer closed the connection before it had taken the last bytes"};
    }
    std::int64_t since = m_clock.Now();
    while (unacknowledged > 0) {
        // A printer that closed or reset the connection will never acknowledge the rest.
        if (!m_socket.connected()) {
            return {DeliveryFault::Lost, "the printer closed the connection with " +
                                             std::to_string(unacknowledged) +
                                             " bytes not acknowledged"};
        }
        if (cancel.Cancelled()) return {DeliveryFault::Cancelled, "cancelled"};
        if (m_clock.Now() - since >= kAckStallMs) {
            return {DeliveryFault::NotTaken, std::to_string(unacknowledged) +
                                                 " bytes not acknowledged within " +
                                                 std::to_string(kAckStallMs / 1000) + " s"};
        }
        m_clock.SleepFor(kAckPollMs);
        const std::int64_t now = m_socket.Unacknowledged();
        if (now < unacknowledged) since = m_clock.Now();
        unacknowledged = now;
    }
    // Every byte was acknowledged. A printer that then closes the connection had them all
    // (printers restart after a firmware update); one that resets it threw away what it had
    // not read yet, which shows within moments.
    if (!SleepUnlessCancelled(m_clock, kResetSettleMs, cancel))
        return {DeliveryFault::Cancelled, "cancelled"};
    if (m_socket.ResetByPeer())
        return {DeliveryFault::Lost,
                "the printer reset the connection before it had read the "
                "last bytes"};
    return {};
}

void SocketLink::Close() {
    if (!m_opened) return;
    m_socket.CloseSocket();
    m_opened = false;
}

int SocketLink::LastErrorCode() const {
    return m_socket.LastErrorCode();
}

}  // namespace kp70
