#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/network/DatagramLink.h"
#include "platform/Winsock.h"

namespace kp70 {

class Clock;

// The discovery sockets on Windows: a Winsock UDP send socket with SO_BROADCAST, and a UDP
// receive socket with SO_REUSEADDR (so the tool, kp70ctl and another program on the same PC
// can all listen on the discovery port) bound to the port on every address. Both are
// non-blocking; a receive waits through the Clock, so its time-out runs in virtual time in
// tests. The PC's own addresses are those of every adapter (GetAdaptersAddresses), the
// loopback one included, whatever the host name resolves to.
//
// Errors are given in words, as on Linux: no usable network for the destination, refused by
// the system or a firewall, the port held by a program that does not share it.
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

    // The reason of Winsock error err in words, for the discovery port.
    static std::string ReasonText(int err, std::uint16_t port);

private:
    Clock& m_clock;
    win32::SocketHandle m_send = win32::kNoSocket;
    win32::SocketHandle m_receive = win32::kNoSocket;
    std::uint16_t m_port = 0;
};

}  // namespace kp70
