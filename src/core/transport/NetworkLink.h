#pragma once

#include <cstdint>
#include <string>

#include "core/transport/PrinterLink.h"
#include "core/transport/ReceiveQueue.h"

namespace kp70 {

class CancelToken;
class Clock;

// The TCP link to an Ethernet printer (NetworkSocket in the platform layer). Received
// bytes go to its own ReceiveQueue in chunks of up to 1024 bytes.
class NetworkLink {
public:
    virtual ~NetworkLink() = default;

    // Closes the socket whatever its state, creates it again and starts a connection to
    // address:port without waiting for it. False when the socket cannot be created or the
    // address is not valid.
    virtual bool StartConnect(const std::string& address, std::uint16_t port) = 0;
    // Sends the bytes; returns the count sent, 0 for a zero-length send that succeeded, or
    // -1 on failure (for example while the connection is not up yet, or was refused).
    virtual int Send(const std::uint8_t* data, int length) = 0;
    // Sends all of data, waiting while the printer takes nothing (up to the socket's stall
    // time-out); a cancel ends the wait. Says how much the socket took. Links without a
    // bounded send of their own (test doubles) answer with Send.
    virtual SendResult SendBounded(const std::uint8_t* data, int length, const CancelToken& cancel);
    virtual void CloseSocket() = 0;
    virtual bool connected() const = 0;
    // Bytes the socket took since the connection was made that the printer's end has not
    // acknowledged; -1 when that cannot be told. It stays above 0 when the connection was
    // reset before the printer acknowledged them.
    virtual std::int64_t Unacknowledged() const { return -1; }
    // True when the printer reset the connection instead of closing it: its end threw away
    // bytes it had acknowledged but not read.
    virtual bool ResetByPeer() const { return false; }
    virtual ReceiveQueue& Queue() = 0;
    virtual int LastErrorCode() const = 0;
};

// Connects link to address:port: start the connection, then up to `rounds` rounds (10) of a
// waitMs (50 ms) wait and a zero-length probe send; a failed probe closes, re-creates and
// reconnects the socket. firstWaitMs is an extra wait between the first connect and the
// first round. Returns true when a probe succeeded; after the last failure the socket is
// left for the caller to close after showing its message. A cancel (when given) ends the
// rounds early with false.
bool ConnectNetwork(NetworkLink& link, Clock& clock, const std::string& address, std::uint16_t port,
                    int firstWaitMs = 0, const CancelToken* cancel = nullptr, int rounds = 10,
                    int waitMs = 50);

}  // namespace kp70
