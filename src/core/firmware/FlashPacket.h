#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace kp70 {

// The flash areas of a TALVO10 printer (model code 2), in the order of the download tool's
// radio buttons. Their addresses are flash addresses, which are also offsets in the tool's
// image file.
enum class FlashArea { Program = 0, ExtFont = 1, Boot = 2, Font = 3 };
inline constexpr int kFlashAreaCount = 4;

struct FlashAreaInfo {
    std::uint32_t start = 0;  // first address
    std::uint32_t end = 0;    // one past the last
    // The erase packet's parameters: start / 65,536 + 3 and end / 65,536 + 3.
    std::uint8_t eraseFirst = 0;
    std::uint8_t eraseSecond = 0;
    int erasePauseMs = 0;  // each of the six pauses after the erase packet
};
FlashAreaInfo FlashAreaOf(FlashArea area);

// The Ext Font area must not be taken from a file that holds "T15S" at 0x80000 (a file of
// the normal font, not the extended one).
inline constexpr std::uint32_t kExtFontMarkOffset = 0x80000;
inline constexpr std::array<std::uint8_t, 4> kNormalFontMark = {'T', '1', '5', 'S'};

// One packet of the TALVO10 flash protocol, all numbers big-endian:
//   erase: 40 F2, the area's two erase parameters, 4 zero bytes, checksum 00 00 (10 bytes)
//   data:  40 F0 (more than 512 bytes of the area remain before it) or 40 F1 (the last),
//          data length n (2 bytes), flash address (4 bytes), n data bytes, checksum
// The checksum is the sum of the data bytes modulo 65,536. A data packet carries at most
// 512 bytes, so it is at most 522 bytes long.
class FlashPacket {
public:
    static constexpr int kMaxData = 512;
    static constexpr int kHeaderSize = 8;
    static constexpr int kCapacity = kHeaderSize + kMaxData + 2;

    FlashPacket() = default;
    static FlashPacket Erase(FlashArea area);
    // The data packet for n (at most 512) bytes at address; last marks the area's last one.
    static FlashPacket Data(std::uint32_t address, const std::uint8_t* data, int n, bool last);

    const std::uint8_t* data() const { return m_bytes.data(); }
    int length() const { return m_length; }
    std::vector<std::uint8_t> Bytes() const {
        return {m_bytes.begin(), m_bytes.begin() + m_length};
    }
    std::uint16_t Checksum() const {
        return static_cast<std::uint16_t>(m_bytes[m_length - 2] << 8 | m_bytes[m_length - 1]);
    }

private:
    // Sums bytes 8 .. length-3 and stores the sum in the last two bytes.
    void StoreChecksum();

    std::array<std::uint8_t, kCapacity> m_bytes{};
    int m_length = 0;
};

// The printer's answers on a serial port: DLE ACK (10 06) takes the packet, DLE NAK (10 15)
// asks for it again. Every other byte, and a DLE followed by anything else, means nothing.
enum class FlashReply { Ack, Nak };

class FlashReplyParser {
public:
    static constexpr std::uint8_t kDle = 0x10;
    static constexpr std::uint8_t kAck = 0x06;
    static constexpr std::uint8_t kNak = 0x15;

    // One received byte; the reply it completes, if any.
    std::optional<FlashReply> Feed(std::uint8_t byte);
    // Forgets a DLE seen before a packet goes out.
    void ClearDle() { m_dleSeen = false; }

private:
    bool m_dleSeen = false;
};

// The packets of one area's download, in order: the erase packet, then the data packets,
// each sent (again) until the printer takes it. slice holds the area's bytes, from its start
// address to its end.
class FlashTransfer {
public:
    FlashTransfer(FlashArea area, std::vector<std::uint8_t> slice);

    // The packet to send now (again after a NAK).
    const FlashPacket& Current() const { return m_current; }
    // The flash address of the next data byte to send.
    std::uint32_t Position() const { return m_position; }
    std::uint32_t Start() const { return m_info.start; }
    std::uint32_t End() const { return m_info.end; }
    // True when the packet just taken was the area's last.
    bool Complete() const { return m_position >= m_info.end; }
    // The printer took the current packet: the next data packet becomes current. False when
    // the area is complete.
    bool Advance();

private:
    FlashAreaInfo m_info;
    std::vector<std::uint8_t> m_slice;
    std::uint32_t m_position;
    FlashPacket m_current;
};

}  // namespace kp70
