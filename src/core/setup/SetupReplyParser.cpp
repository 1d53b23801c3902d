#include "core/setup/SetupReplyParser.h"

namespace kp70 {

void SetupReplyParser::Reset() {
    m_state = State::WaitHeader;
    m_number = 0;
    m_digits = 0;
    m_text.clear();
}

std::optional<SetupReply> SetupReplyParser::Feed(std::uint8_t byte) {
    switch (m_state) {
        case State::WaitHeader:
            if (byte == 0x37) m_state = State::WaitIdentifier;
            break;
        case State::WaitIdentifier:
            // Anything but the identifier is dropped while the header stays recognised.
            if (byte == 0x27) m_state = State::Number;
            break;
        case State::Number:
            if (byte == 0x1F) {
                m_state = State::Value;
            } else if (m_digits < 3) {
                // Kept in one byte on purpose: the printer's numbers are 0..255.
                const auto digit = static_cast<std::uint8_t>(byte - 0x30);
                m_number = m_digits == 0 ? digit : static_cast<std::uint8_t>(m_number * 10 + digit);
                ++m_digits;
            }
            break;
        case State::Value:
            if (byte != 0x00) {
                if (m_text.size() < kMaxValueLength) m_text.push_back(static_cast<char>(byte));
                break;
            }
            SetupReply reply{m_number, std::move(m_text)};
            Reset();
            return reply;
    }
    return std::nullopt;
}

}  // namespace kp70
