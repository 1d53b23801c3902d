#pragma once

#include <cstdint>
#include <vector>

namespace kp70 {

// Undoes the escaping a USB printer applies to its replies: 0x1B 0x30 stands for 0x00,
// 0x1B 0x1B for 0x1B, and 0x1B followed by any other byte for that byte. Replies arrive in
// chunks of up to 256 bytes; an escape byte that ends a chunk is kept and applied to the
// first byte of the next chunk, so a pair split by the chunk edge is not lost.
class UsbReplyUnescaper {
public:
    static constexpr std::uint8_t kEscape = 0x1B;

    // Appends the un-escaped bytes of data[0..length) to out.
    void Feed(const std::uint8_t* data, int length, std::vector<std::uint8_t>& out);
    // Forgets a pending escape byte (a new reply starts).
    void Reset() { m_pendingEscape = false; }
    // True when the last chunk ended in an escape byte that waits for its partner.
    bool PendingEscape() const { return m_pendingEscape; }

private:
    bool m_pendingEscape = false;
};

}  // namespace kp70
