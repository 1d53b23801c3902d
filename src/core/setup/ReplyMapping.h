#pragma once

#include <optional>

#include "core/setup/SetupReplyParser.h"

namespace kp70 {

struct SetupValues;

// Settings whose value text travels through a 16-byte buffer: at most 15 characters.
inline constexpr std::size_t kSettingTextLength = 15;

// Decides whether a completed reply reaches the setting state: replies the mapping ignores
// (an unknown setting number, or a value a setting does not know, such as "256" for the
// paper type) give nothing, and nothing marks them received. For the settings whose text
// goes through the per-setting buffer the text is cut to kSettingTextLength.
std::optional<SetupReply> MapReply(const SetupReply& reply);

// Applies a reply that MapReply passed onto values and marks its setting received.
// Returns false (and changes nothing) for a reply the mapping ignores.
bool ApplyReply(SetupValues& values, const SetupReply& reply);

// True when a reply's value text is one the printer sends: decimal digits only (for the
// receive buffer, one of the forms the mapping knows). A line that garbles the text, such
// as "?\x7F#", still maps onto some value (the code page list's first entry, a margin of 0),
// so a text that is not clean must never be written back as if the printer had said it.
bool IsCleanReply(const SetupReply& reply);

// The left margin in dots from the printer's reply text: the first digit is the high byte,
// the remaining digits the low byte ("144" is 300 dots, "20" 512, "5" 5).
int MarginFromReply(const std::string& text);

}  // namespace kp70
