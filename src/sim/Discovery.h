#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "sim/Hex.h"

struct pollfd;

namespace kp70sim {

class Printer;

// The network side of a virtual printer as discovery sees it: what it answers with, and
// what a set frame asks it to become. Read here from the wire, on its own.
struct NetSettings {
    std::array<std::uint8_t, 4> address{};
    std::array<std::uint8_t, 4> subnet{};
    std::array<std::uint8_t, 4> gateway{};
    std::array<std::uint8_t, 6> mac{};
    bool dhcp = false;
    std::uint16_t port = 0;
    friend bool operator==(const NetSettings&, const NetSettings&) = default;
};

// A 35-byte discovery datagram: AA AA, command, address, subnet, gateway, MAC, DHCP, port
// (high byte first), nine zero bytes, 55 55.
struct NetFrame {
    std::uint8_t command = 0;
    NetSettings settings;
};
// The frame a datagram holds: nullopt unless it is 35 bytes with AA AA in front and 55 55
// behind, as a printer checks.
std::optional<NetFrame> DecodeNetFrame(const std::uint8_t* data, std::size_t size);
Bytes EncodeNetFrame(const NetFrame& frame);

// "a.b.c.d" and "AA:BB:..." for the state file and the log.
std::string AddressText(const std::array<std::uint8_t, 4>& address);
std::string MacAddressText(const std::array<std::uint8_t, 6>& mac);
bool ParseAddressText(const std::string& text, std::array<std::uint8_t, 4>& address);
bool ParseMacAddressText(const std::string& text, std::array<std::uint8_t, 6>& mac);

// The virtual printers that answer discovery (--udp ADDRESS --printers N): printer i
// (1..N) starts with address ADDRESS + i, subnet 255.255.255.0, gateway ADDRESS, MAC
// 02:5A:3D:00:00:i, TCP port 6001 and DHCP off, unless the state file ("network" section)
// says otherwise. One socket on 0.0.0.0:2918 hears the broadcasts; each printer answers
// from a socket bound to its own address (or, when that is no address of this machine, to
// ADDRESS + i), so the tool tells the printers apart by sender as on a real network.
//
//  - a search frame (00) is answered by every printer with its settings (command 01), sent
//    to where the search went (the broadcast address) on port 2918;
//  - a set frame (02) naming a printer's MAC is answered (03) and kept; the end frame (04)
//    that repeats it makes the printer take the settings, keep them in the state file and
//    answer from the new address from then on. A frame naming no printer is ignored.
//
// Faults: silent (no answers; changes still apply), garbage (every answer is 17 bytes of
// junk, no frame), late=MS (every answer leaves MS later, scaled by --time-scale).
class DiscoveryResponder {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::uint16_t kPort = 2918;
    static constexpr int kMaxPrinters = 253;

    DiscoveryResponder(Printer& printer, std::ostream& log);
    ~DiscoveryResponder();
    DiscoveryResponder(const DiscoveryResponder&) = delete;
    DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;

    // Makes the printers and their sockets. False, with `why`.
    bool Start(std::string& why);
    // "udp ADDRESS:2918 printers N".
    std::string ReadyLine() const;
    int Fd() const { return m_listenFd; }
    // Reads and answers what arrived on the listening socket.
    void OnReadable();
    // When the next late answer is due (TimePoint::max() for none).
    TimePoint NextDue() const;
    void RunTimers(TimePoint now);

    // What a datagram from sender to destination makes the printers do; the answers go to
    // Answer. Public for the simulator's own tests.
    struct Answer {
        int printer = 0;  // index into printers()
        Bytes bytes;
        std::string to;  // dotted address, port 2918
    };
    std::vector<Answer> Handle(const std::uint8_t* data, std::size_t size,
                               const std::string& sender, const std::string& destination);

    struct VirtualPrinter {
        NetSettings settings;
        std::optional<NetSettings> pending;  // a set frame waiting for its end frame
        std::array<std::uint8_t, 4> slotAddress{};
        std::string wireAddress;  // where its answers come from
        int fd = -1;
    };
    const std::vector<VirtualPrinter>& printers() const { return m_printers; }
    // Builds the printers from the options and the state file without opening sockets.
    bool MakePrinters(std::string& why);

private:
    void Send(const Answer& answer);
    bool Bind(VirtualPrinter& printer, std::string& why);
    void SaveToState();

    Printer& m_printer;
    std::ostream& m_log;
    std::array<std::uint8_t, 4> m_base{};
    int m_listenFd = -1;
    std::vector<VirtualPrinter> m_printers;
    struct Delayed {
        TimePoint due;
        Answer answer;
    };
    std::vector<Delayed> m_delayed;
};

}  // namespace kp70sim
