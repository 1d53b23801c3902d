#pragma once

#include <windows.h>

#include <string>

#include "core/app/ConnectionSettings.h"

namespace kp70 {

// Turns the connection settings into a serial line's DCB, starting from what the driver
// reported (GetCommState): speed, data size, parity, stop bits (the driver's own codes, 0
// one, 1 one and a half, 2 two), binary transfer, and the flow-control rules:
// 1 hardware: CTS output flow, DTR raised, DSR sensitivity, RTS handshake, no output
//   XON/XOFF, no abort on error; input XON/XOFF as it was;
// 2 software: the flow-control fields as the driver reported them;
// 3 none: no handshake lines and no XON/XOFF either way (it would eat the 0x11 and 0x13
//   of binary replies and firmware images).
// Returns an empty text when done, else why the settings cannot be applied (the DCB is then
// left unchanged).
std::string ApplyLineSettings(const ConnectionSettings& settings, DCB& dcb);

}  // namespace kp70
