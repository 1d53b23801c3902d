#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/transport/Notifier.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

class Clock;
class PrinterPort;

// A printer on a serial, USB printer-class or file port, or a parallel port that is only
// written to, through the port object (CPorts). The port keeps the connection settings;
// the link opens it in the tool's mode (a serial port then runs its receive thread when
// the tool reads answers) and takes over as the port's listener, moving each received
// chunk out of m_QueueRead at once, so the port's queue never fills while a sequence is
// busy sending.
class PortLink : public PrinterLink, private ReceiveListener {
public:
    // After the last write: time for the system to notice a line or device that went away
    // (a hang-up, an adapter unplugged) before the link is looked at.
    static constexpr int kHangUpSettleMs = 500;
    // Draining the driver's output gives up when it has not moved for this long.
    static constexpr int kDrainStallMs = 10000;

    PortLink(PrinterPort& port, Clock& clock, LinkRequest request);
    ~PortLink() override;
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    using PrinterLink::Send;
    Attachment Kind() const override { return m_kind; }
    bool Open(const CancelToken& cancel) override;
    bool IsOpen() const override;
    bool CheckConnection(const CancelToken& cancel) override;
    SendResult Send(const std::uint8_t* data, int length, const CancelToken& cancel) override;
    bool CanAnswer() const override;
    bool RequestReplies() override;
    void TakeReplies(std::vector<std::uint8_t>& bytes) override;
    bool RepliesPending() const override;
    bool StillUp() override;
    Delivery WaitDelivered(const CancelToken& cancel) override;
    void Close() override;
    int LastErrorCode() const override;
    std::string LastErrorText() const override;

private:
    void OnDataReceived() override;
    void PutBack();

    PrinterPort& m_port;
    Clock& m_clock;
    LinkRequest m_request;
    Attachment m_kind;
    std::string m_portName;  // as chosen: a print file puts its path in the port name
    bool m_opened = false;
    std::optional<int> m_savedFlow;
    std::uint8_t m_savedToolMode = 0;

    mutable std::mutex m_mutex;
    std::vector<std::uint8_t> m_replies;  // guarded by m_mutex
};

}  // namespace kp70
