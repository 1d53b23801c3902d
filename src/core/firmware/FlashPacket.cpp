#include "core/firmware/FlashPacket.h"

#include <algorithm>
#include <cstring>

namespace kp70 {

FlashAreaInfo FlashAreaOf(FlashArea area) {
    switch (area) {
        case FlashArea::Program:
            return {0x1D0000, 0x1F0000, 0x20, 0x22, 500};
        case FlashArea::ExtFont:
            return {0x080000, 0x180000, 0x0B, 0x1B, 1500};
        case FlashArea::Boot:
            return {0x1F0000, 0x200000, 0x22, 0x23, 400};
        case FlashArea::Font:
            return {0x190000, 0x1B0000, 0x1C, 0x1E, 500};
    }
    return {};
}

FlashPacket FlashPacket::Erase(FlashArea area) {
    const FlashAreaInfo info = FlashAreaOf(area);
    FlashPacket packet;
    packet.m_bytes[0] = 0x40;
    packet.m_bytes[1] = 0xF2;
    packet.m_bytes[2] = info.eraseFirst;
    packet.m_bytes[3] = info.eraseSecond;
    packet.m_length = kHeaderSize + 2;
    packet.StoreChecksum();
    return packet;
}

FlashPacket FlashPacket::Data(std::uint32_t address, const std::uint8_t* data, int n, bool last) {
    n = std::clamp(n, 0, kMaxData);
    FlashPacket packet;
    std::uint8_t* b = packet.m_bytes.data();
    b[0] = 0x40;
    b[1] = last ? 0xF1 : 0xF0;
    b[2] = static_cast<std::uint8_t>(n >> 8);
    b[3] = static_cast<std::uint8_t>(n);
    for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
    if (n > 0) std::memcpy(b + kHeaderSize, data, static_cast<std::size_t>(n));
    packet.m_length = kHeaderSize + n + 2;
    packet.StoreChecksum();
    return packet;
}

void FlashPacket::StoreChecksum() {
    std::uint32_t sum = 0;
    for (int i = kHeaderSize; i < m_length - 2; ++i) sum += m_bytes[static_cast<std::size_t>(i)];
    m_bytes[static_cast<std::size_t>(m_length - 2)] = static_cast<std::uint8_t>(sum >> 8);
    m_bytes[static_cast<std::size_t>(m_length - 1)] = static_cast<std::uint8_t>(sum);
}

std::optional<FlashReply> FlashReplyParser::Feed(std::uint8_t byte) {
    if (!m_dleSeen) {
        m_dleSeen = byte == kDle;
        return std::nullopt;
    }
    m_dleSeen = false;
    if (byte == kAck) return FlashReply::Ack;
    if (byte == kNak) return FlashReply::Nak;
    return std::nullopt;
}

FlashTransfer::FlashTransfer(FlashArea area, std::vector<std::uint8_t> slice)
    : m_info(FlashAreaOf(area)),
      m_slice(std::move(slice)),
      m_position(m_info.start),
      m_current(FlashPacket::Erase(area)) {
    // Bytes the slice lacks go out as 0xFF, the erased flash's own value; the download
    // refuses such a file before it erases anything.
    m_slice.resize(m_info.end - m_info.start, 0xFF);
}

bool FlashTransfer::Advance() {
    if (Complete()) return false;
    const std::uint32_t left = m_info.end - m_position;
    const int n = static_cast<int>(std::min<std::uint32_t>(FlashPacket::kMaxData, left));
    const bool last = left <= static_cast<std::uint32_t>(FlashPacket::kMaxData);
    m_current =
        FlashPacket::Data(m_position, m_slice.data() + (m_position - m_info.start), n, last);
    m_position += static_cast<std::uint32_t>(n);
    return true;
}

}  // namespace kp70
