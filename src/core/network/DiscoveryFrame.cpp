#include "core/network/DiscoveryFrame.h"

#include <cstdio>

namespace kp70 {

namespace {

constexpr std::size_t kCommandAt = 2;
constexpr std::size_t kAddressAt = 3;
constexpr std::size_t kSubnetAt = 7;
constexpr std::size_t kGatewayAt = 11;
constexpr std::size_t kMacAt = 15;
constexpr std::size_t kDhcpAt = 21;
constexpr std::size_t kPortAt = 22;

template <std::size_t N>
void Put(DiscoveryFrame::Bytes& bytes, std::size_t at, const std::array<std::uint8_t, N>& field) {
    for (std::size_t i = 0; i < N; ++i) bytes[at + i] = field[i];
}

template <std::size_t N>
std::array<std::uint8_t, N> Take(const DiscoveryFrame::Bytes& bytes, std::size_t at) {
    std::array<std::uint8_t, N> field{};
    for (std::size_t i = 0; i < N; ++i) field[i] = bytes[at + i];
    return field;
}

}  // namespace

DiscoveryFrame DiscoveryFrame::Search() {
    DiscoveryFrame frame;
    frame.m_bytes[0] = 0xAA;
    frame.m_bytes[1] = 0xAA;
    frame.m_bytes[kCommandAt] = discovery::kSearch;
    frame.m_bytes[33] = 0x55;
    frame.m_bytes[34] = 0x55;
    return frame;
}

DiscoveryFrame DiscoveryFrame::Set(const NetworkSettings& settings) {
    DiscoveryFrame frame = Search();
    frame.m_bytes[kCommandAt] = discovery::kSet;
    Put(frame.m_bytes, kAddressAt, settings.address);
    Put(frame.m_bytes, kSubnetAt, settings.subnet);
    Put(frame.m_bytes, kGatewayAt, settings.gateway);
    Put(frame.m_bytes, kMacAt, settings.mac);
    frame.m_bytes[kDhcpAt] = settings.dhcp ? 1 : 0;
    frame.m_bytes[kPortAt] = static_cast<std::uint8_t>(settings.port >> 8);
    frame.m_bytes[kPortAt + 1] = static_cast<std::uint8_t>(settings.port & 0xFF);
    return frame;
}

std::optional<DiscoveryFrame> DiscoveryFrame::FromBytes(const std::uint8_t* data,
                                                        std::size_t size) {
    if (size != kSize || !data) return std::nullopt;
    DiscoveryFrame frame;
    for (std::size_t i = 0; i < kSize; ++i) frame.m_bytes[i] = data[i];
    return frame;
}

DiscoveryFrame DiscoveryFrame::WithCommand(std::uint8_t command) const {
    DiscoveryFrame frame = *this;
    frame.m_bytes[kCommandAt] = command;
    return frame;
}

bool DiscoveryFrame::NamesNoPrinter() const {
    for (std::size_t i = 3; i <= 23; ++i)
        if (m_bytes[i] != 0) return false;
    return true;
}

NetworkSettings DiscoveryFrame::Settings() const {
    NetworkSettings settings;
    settings.address = Take<4>(m_bytes, kAddressAt);
    settings.subnet = Take<4>(m_bytes, kSubnetAt);
    settings.gateway = Take<4>(m_bytes, kGatewayAt);
    settings.mac = Take<6>(m_bytes, kMacAt);
    settings.dhcp = m_bytes[kDhcpAt] != 0;
    settings.port = static_cast<std::uint16_t>((m_bytes[kPortAt] << 8) | m_bytes[kPortAt + 1]);
    return settings;
}

std::string DottedText(const Ipv4Octets& octets) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", octets[0], octets[1], octets[2], octets[3]);
    return text;
}

std::string MacText(const MacBytes& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

DiscoveredPrinter DiscoveredPrinter::From(const NetworkSettings& settings) {
    DiscoveredPrinter row;
    row.ip = DottedText(settings.address);
    if (settings.dhcp) row.ip += kDhcpSuffix;
    row.port = std::to_string(settings.port);
    row.subnet = DottedText(settings.subnet);
    row.gateway = DottedText(settings.gateway);
    row.mac = MacText(settings.mac);
    row.settings = settings;
    return row;
}

RowFields FieldsOfRow(const DiscoveredPrinter& row) {
    RowFields fields;
    // The address ends at its first space: "192.168.0.10 (DHCP)" gives "192.168.0.10".
    fields.address = row.ip.substr(0, row.ip.find(' '));
    fields.dhcp = row.ip.find('D', 1) != std::string::npos;
    fields.port = row.port;
    fields.subnet = row.subnet;
    fields.gateway = row.gateway;
    fields.mac = row.mac;
    return fields;
}

}  // namespace kp70
