#pragma once

#include <termios.h>

#include <string>

#include "core/app/ConnectionSettings.h"

namespace kp70 {

// Turns the connection settings into a serial line's termios, starting from what the line
// had: speed, data size, parity, stop bits, raw binary transfer, and the flow-control rules
// (1 hardware: RTS/CTS on, output XON/XOFF off, input XON/XOFF as it was; 2 software: both
// XON/XOFF bits as they were; 3 none: neither RTS/CTS nor XON/XOFF). Returns an empty text
// when done, else why the settings cannot be applied (the line is then left unchanged).
std::string ApplyLineSettings(const ConnectionSettings& settings, termios& tio);

}  // namespace kp70
