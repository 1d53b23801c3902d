#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/network/DatagramLink.h"

namespace kp70 {

class Clock;

// The discovery sockets on Linux: a UDP send socket with SO_BROADCAST, and a UDP receive
// socket with SO_REUSEADDR (so the tool, kp70ctl and a virtual printer on the same PC can
// all listen on the discovery port) bound to the port on every address. Both are
// non-blocking; a receive waits through the Clock, so its time-out runs in virtual time in
// tests. The PC's own addresses are those of every interface (getifaddrs), whatever the
// host name resolves to.
//
// Errors are given in words: ENETUNREACH means there is no usable network for the
// destination, EACCES/EPERM that the system refuses, EADDRINUSE that another program holds
// the port without sharing it.
class DatagramSocket : public DatagramLink {
public:
    // Datagrams of many printers that answer at once wait here until they are read.
    static constexpr int kReceiveBufferBytes = 1 << 20;

    explicit DatagramSocket(Clock& clock);
    ~DatagramSocket() override;
    DatagramSocket(const DatagramSocket&) = delete;
    DatagramSocket& operator=(const DatagramSocket&) = delete;

    std::vector<DatagramFailure> Open(std::uint16_t port) override;
    std::string Send(const std::uint8_t* data, std::size_t size, const std::string& address,
                     std::uint16_t port) override;
    Datagram Receive(std::int64_t waitMs) override;
    std::vector<std::string> LocalAddresses() override;
    void Close() override;

    // The reason of errno err in words, for the discovery port.
    static std::string ReasonText(int err, std::uint16_t port);

private:
    Clock& m_clock;
    int m_sendFd = -1;
    int m_receiveFd = -1;
    std::uint16_t m_port = 0;
};

}  // namespace kp70
