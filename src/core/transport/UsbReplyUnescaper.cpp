#include "core/transport/UsbReplyUnescaper.h"

namespace kp70 {

void UsbReplyUnescaper::Feed(const std::uint8_t* data, int length, std::vector<std::uint8_t>& out) {
    for (int i = 0; i < length; ++i) {
        const std::uint8_t byte = data[i];
        if (m_pendingEscape) {
            m_pendingEscape = false;
            out.push_back(byte == 0x30 ? std::uint8_t{0x00} : byte);
        } else if (byte == kEscape) {
            m_pendingEscape = true;
        } else {
            out.push_back(byte);
        }
    }
}

}  // namespace kp70
