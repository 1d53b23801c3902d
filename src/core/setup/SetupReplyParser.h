#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kp70 {

// A completed reply to "read one setting": the setting number and its value text.
struct SetupReply {
    int number = 0;  // 0..255
    std::string text;
};

// Reassembles the printer's replies "7" 27 digits 1F value 00 from single received bytes.
// Bytes before a reply header are dropped. The setting number is kept as one byte (three
// digits at most count, further ones are ignored); the value text keeps at most
// kMaxValueLength characters, further ones are dropped until the closing 00.
class SetupReplyParser {
public:
    static constexpr std::size_t kMaxValueLength = 99;  // a 100-byte buffer with its zero

    // Takes one byte; returns the reply this byte completed, if any.
    std::optional<SetupReply> Feed(std::uint8_t byte);
    // Forgets a partly received reply.
    void Reset();

private:
    enum class State { WaitHeader, WaitIdentifier, Number, Value };
    State m_state = State::WaitHeader;
    std::uint8_t m_number = 0;
    int m_digits = 0;
    std::string m_text;
};

}  // namespace kp70
