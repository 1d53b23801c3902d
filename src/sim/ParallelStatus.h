#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kp70sim {

// The automatic status of a printer on a parallel port. Until the host sends "status back
// off" (GS a 0: 1D 61 00) the printer follows every reply with a 4-byte status block;
// GS a n with n other than 0 turns it on again, as does a printer reset. The command may
// arrive split across any number of received chunks.
class ParallelStatus {
public:
    // Paper present, on line, no error.
    static constexpr std::array<std::uint8_t, 4> kBlock = {0x14, 0x00, 0x00, 0x0F};

    // Looks at received bytes up to and including the end of the next GS a n. Returns how
    // many it took (size when no command ends in them). The new setting takes effect at
    // Settle(), so the caller can first decode the bytes taken (replies they cause are still
    // made under the old setting).
    std::size_t Scan(const std::uint8_t* data, std::size_t size);
    void Settle() { m_enabled = m_next; }
    bool Enabled() const { return m_enabled; }

private:
    int m_matched = 0;  // bytes of "1D 61" seen so far
    bool m_enabled = true;
    bool m_next = true;
};

}  // namespace kp70sim
