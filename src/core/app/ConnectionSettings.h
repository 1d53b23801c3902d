#pragma once

#include <cstdint>
#include <string>

#include "core/app/Attachment.h"

namespace kp70 {

// Where an Ethernet printer is looked for until the operator says otherwise.
inline constexpr const char* kDefaultPrinterAddress = "192.168.0.254";
inline constexpr std::uint16_t kDefaultPrinterPort = 6001;

// The chosen printer and port, filled by the connection screen's OK (and, for a network
// printer, the network connection dialog's) and read by the port layer and every tool. Not
// saved between runs. -1 marks an unset serial parameter.
struct ConnectionSettings {
    std::string portName;       // "/dev/ttyS0", "/dev/lp0", "USB", "ETHERNET_II", "WIFI", "FILE"
    int baudRate = -1;          // 115200, 38400, 19200, 9600
    int dataBits = -1;          // 8, 7, 6, 5
    int parity = -1;            // 0 none, 1 odd, 2 even
    int stopBits = 0;           // 0 one stop bit, 2 two stop bits
    int flowControl = -1;       // 1 hardware, 2 software, 3 none
    int modelCode = 0;          // 1..6
    std::uint8_t toolMode = 0;  // 1 logo tool, 2 user setup, 3 firmware tool
    // "ETHERNET_II" and "WIFI": the printer's address and TCP port, as the network dialog
    // accepted them.
    std::string networkAddress = kDefaultPrinterAddress;
    std::uint16_t networkPort = kDefaultPrinterPort;
};

// Tool modes set by the main menu.
inline constexpr std::uint8_t kToolModeLogo = 1;
inline constexpr std::uint8_t kToolModeSetup = 2;
inline constexpr std::uint8_t kToolModeFirmware = 3;

// How the printer a port name stands for is attached: Serial, Parallel, UsbPrinter ("USB"),
// Ethernet ("ETHERNET_II"), File ("FILE") or None. Besides the names the tools use (those,
// and names beginning "COM"/"LPT") it knows this platform's device names: /dev/ttyS*,
// /dev/ttyUSB*, /dev/ttyACM*, /dev/pts/* and other ttys are serial, /dev/lp* and
// /dev/parport* parallel.
Attachment AttachmentOfPort(const std::string& portName);

// The lines describing printer and port that the main menu builds and the tools show.
std::string BuildConnectionSummary(const ConnectionSettings& settings);

}  // namespace kp70
