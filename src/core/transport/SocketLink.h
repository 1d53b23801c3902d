#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/transport/PrinterLink.h"

namespace kp70 {

class Clock;
class NetworkLink;

// A network printer (Ethernet or WiFi) through the TCP socket (NetworkSocket), at the
// address and TCP port of the connection settings. Opening connects with the probe rounds;
// delivery is the printer's end having acknowledged every byte the socket took.
class SocketLink : public PrinterLink {
public:
    // The wait for acknowledgements gives up when none has come for this long.
    static constexpr int kAckStallMs = 10000;
    // Once everything is acknowledged: time for a reset by the printer to arrive.
    static constexpr int kResetSettleMs = 500;

    SocketLink(NetworkLink& socket, Clock& clock, std::string address, std::uint16_t port,
               LinkRequest request);
    ~SocketLink() override;
    SocketLink(const SocketLink&) = delete;
    SocketLink& operator=(const SocketLink&) = delete;

    using PrinterLink::Send;
    Attachment Kind() const override { return Attachment::Ethernet; }
    bool Open(const CancelToken& cancel) override;
    bool IsOpen() const override;
    bool CheckConnection(const CancelToken& cancel) override;
    SendResult Send(const std::uint8_t* data, int length, const CancelToken& cancel) override;
    bool CanAnswer() const override { return true; }
    void TakeReplies(std::vector<std::uint8_t>& bytes) override;
    bool RepliesPending() const override;
    bool StillUp() override;
    Delivery WaitDelivered(const CancelToken& cancel) override;
    void Close() override;
    int LastErrorCode() const override;
    std::string LastErrorText() const override { return m_lastErrorText; }

private:
    bool Probe();

    NetworkLink& m_socket;
    Clock& m_clock;
    std::string m_address;
    std::uint16_t m_port;
    LinkRequest m_request;
    bool m_opened = false;
    std::string m_lastErrorText;
    mutable std::mutex m_takeMutex;  // one consumer of the socket's queue at a time
};

}  // namespace kp70
