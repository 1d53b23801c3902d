#pragma once

#include <string>
#include <vector>

#include "core/transport/DeviceEnumerator.h"

namespace kp70 {

class ErrorLog;

enum class PortListKind { Serial, Parallel };

// The system's serial or parallel port names, sorted.
std::vector<std::string> ListPorts(DeviceEnumerator& devices, PortListKind kind);

// The number (at least 1) of present USB printer-class devices whose hardware id begins
// with idPrefix, or -1 when there is none. Each match is test-opened; one that cannot be
// opened is still counted, and the log says why.
int CountUsbPrinters(DeviceEnumerator& devices, const std::string& idPrefix, ErrorLog* log);

// The serial port of the USB virtual-serial device whose id begins with idPrefix, or "".
std::string FindUsbSerialPort(DeviceEnumerator& devices, const std::string& idPrefix);

// The serial port of the model's USB virtual-serial device: the model's own product id
// decides when it finds a port, the general id is the fallback.
std::string FindUsbSerialPortForModel(DeviceEnumerator& devices, int modelCode);

}  // namespace kp70
