#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kp70 {

// Printers with an Ethernet interface are found and configured with 35-byte UDP datagrams
// on port 2918: the PC broadcasts one, the printers broadcast theirs back to the same port.
inline constexpr std::uint16_t kDiscoveryPort = 2918;
// Where the PC's frames go unless told otherwise. Tests and the virtual printers use the
// loopback broadcast 127.255.255.255 or a network namespace of their own instead.
inline constexpr const char* kDefaultBroadcastAddress = "255.255.255.255";

using Ipv4Octets = std::array<std::uint8_t, 4>;
using MacBytes = std::array<std::uint8_t, 6>;

// A printer's network settings as a frame carries them.
struct NetworkSettings {
    Ipv4Octets address{};
    Ipv4Octets subnet{};
    Ipv4Octets gateway{};
    MacBytes mac{};
    bool dhcp = false;
    std::uint16_t port = 0;  // the printer's TCP port

    friend bool operator==(const NetworkSettings&, const NetworkSettings&) = default;
};

// The command byte at offset 2.
namespace discovery {
inline constexpr std::uint8_t kSearch = 0x00;
inline constexpr std::uint8_t kSet = 0x02;
inline constexpr std::uint8_t kEndOfChange = 0x04;
}  // namespace discovery

// One frame, the same layout in both directions:
//
//   0  AA AA        header
//   2  command      00 search, 02 set settings, 04 end of settings change
//   3  4 bytes      IPv4 address, first octet first
//   7  4 bytes      subnet mask
//  11  4 bytes      gateway
//  15  6 bytes      MAC address, first byte first
//  21  DHCP         1 on, 0 off (a printer may answer any non-zero value for on)
//  22  TCP port     big-endian
//  24  9 zero bytes
//  33  55 55        trailer
//
// A search frame is zero from offset 3 to 32. Of a reply only offsets 3 .. 23 are read:
// printers differ in what they put in the header, the command and the trailer.
class DiscoveryFrame {
public:
    static constexpr std::size_t kSize = 35;
    using Bytes = std::array<std::uint8_t, kSize>;

    // The search frame (command 00, nothing else).
    static DiscoveryFrame Search();
    // A set frame (command 02) carrying settings; the printer whose MAC address it names
    // takes the other fields as its new settings.
    static DiscoveryFrame Set(const NetworkSettings& settings);
    // A received datagram; nullopt unless it is exactly 35 bytes long.
    static std::optional<DiscoveryFrame> FromBytes(const std::uint8_t* data, std::size_t size);

    std::uint8_t Command() const { return m_bytes[2]; }
    // The same frame with another command (the end frame repeats the set frame).
    DiscoveryFrame WithCommand(std::uint8_t command) const;
    // Offsets 3 .. 23.
    NetworkSettings Settings() const;
    // True when offsets 3 .. 23 are all zero: a search frame (another PC searching) or a
    // blank frame, which describes no printer.
    bool NamesNoPrinter() const;
    const Bytes& bytes() const& { return m_bytes; }
    // Of a temporary frame, a copy: a reference would outlive it.
    Bytes bytes() && { return m_bytes; }

private:
    DiscoveryFrame() = default;
    Bytes m_bytes{};
};

// One row of a search result: the five texts of its columns.
struct DiscoveredPrinter {
    std::string ip;       // "192.168.0.10", or "192.168.0.10 (DHCP)"
    std::string port;     // "6001"
    std::string subnet;   // "255.255.255.0"
    std::string gateway;  // "192.168.0.1"
    std::string mac;      // "00:1A:2B:3C:4D:5E"
    NetworkSettings settings;

    static DiscoveredPrinter From(const NetworkSettings& settings);
};

// The column titles of a search result, in order.
inline constexpr std::array<const char*, 5> kPrinterColumns = {"IP", "Port", "Subnet", "Gateway",
                                                               "Mac Address"};
// Appended to the address of a printer that takes its address by DHCP.
inline constexpr const char* kDhcpSuffix = " (DHCP)";

// "%d.%d.%d.%d".
std::string DottedText(const Ipv4Octets& octets);
// "%02X:%02X:%02X:%02X:%02X:%02X".
std::string MacText(const MacBytes& mac);

// What a click on a search row puts into the setting fields.
struct RowFields {
    std::string address;  // the IP text without the " (DHCP)" suffix
    std::string port;
    std::string subnet;
    std::string gateway;
    bool dhcp = false;  // the IP text has a "D" after its first character
    std::string mac;    // the row's MAC text, which "Change Setting" sends to
};
RowFields FieldsOfRow(const DiscoveredPrinter& row);

}  // namespace kp70
