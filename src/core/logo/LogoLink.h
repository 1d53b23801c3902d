#pragma once

#include <cstdint>
#include <vector>

namespace kp70 {

class NetworkLink;
class PrinterPort;

// Where the logo tool's bytes go: the printer port (serial, parallel, USB or file) or,
// for "ETHERNET_II", the network link. Write failures count only on the port: sends over
// the network are not checked.
class LogoLink {
public:
    explicit LogoLink(PrinterPort& port) : m_port(&port) {}
    explicit LogoLink(NetworkLink& network) : m_network(&network) {}

    // True when all bytes were written (a short write is a failure).
    bool Send(const std::uint8_t* data, int length);
    bool Send(const std::vector<std::uint8_t>& bytes) {
        return Send(bytes.data(), static_cast<int>(bytes.size()));
    }
    // True when a failed send is reported (the port); false for the network.
    bool Checked() const { return m_port != nullptr; }
    // Send, and true only for a failure that counts.
    bool SendFails(const std::vector<std::uint8_t>& bytes) { return !Send(bytes) && Checked(); }
    int LastErrorCode() const;

private:
    PrinterPort* m_port = nullptr;
    NetworkLink* m_network = nullptr;
};

}  // namespace kp70
