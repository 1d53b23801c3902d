#pragma once

#include <cstdint>
#include <vector>

namespace kp70 {

class Clock;
class NetworkLink;
class PrinterPort;

// Where the logo tool's bytes go: the printer port (serial, parallel, USB or file) or,
// for "ETHERNET_II", the network link. A send that does not deliver every byte fails on
// both: a failed or short write on the port, and on the socket a send error (the printer
// closed or reset the connection, EPIPE, ECONNRESET) or a short send. A printer that
// dropped the connection mid-definition must not be reported as holding the logos.
class LogoLink {
public:
    explicit LogoLink(PrinterPort& port) : m_port(&port) {}
    explicit LogoLink(NetworkLink& network) : m_network(&network) {}

    // True when all bytes were written.
    bool Send(const std::uint8_t* data, int length);
    bool Send(const std::vector<std::uint8_t>& bytes) {
        return Send(bytes.data(), static_cast<int>(bytes.size()));
    }
    // Send, and true when it failed.
    bool SendFails(const std::vector<std::uint8_t>& bytes) { return !Send(bytes); }
    // After the last send: true when the link still stands (the port's device is still
    // there; the socket is still connected and takes a zero-length send). A printer that
    // dropped the link while the last bytes sat in the system's buffers did not get them.
    // On the network it first waits, up to kAckWaitMs, for the printer's end to acknowledge
    // every byte: a printer that stopped taking bytes (it accepts but never reads) did not
    // get them either.
    bool StillUp(Clock& clock);
    static constexpr int kAckWaitMs = 10000;
    // The system's error code of the last failed send.
    int LastErrorCode() const;

private:
    PrinterPort* m_port = nullptr;
    NetworkLink* m_network = nullptr;
};

}  // namespace kp70
