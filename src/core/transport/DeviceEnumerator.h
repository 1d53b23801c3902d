#pragma once

#include <string>
#include <vector>

namespace kp70 {

struct SerialPortInfo {
    std::string path;  // device node, e.g. /dev/ttyUSB0
    bool isUsb = false;
    unsigned vendorId = 0;  // USB ids of the device behind the port, when isUsb
    unsigned productId = 0;
};

struct UsbPrinterInfo {
    std::string devnode;     // e.g. /dev/usb/lp0
    std::string hardwareId;  // "USB\VID_xxxx&PID_yyyy" built from the USB ids
};

// What the system has attached: serial and parallel ports, and USB printer-class devices.
// The real implementation asks libudev; tests pass a double.
class DeviceEnumerator {
public:
    virtual ~DeviceEnumerator() = default;
    virtual std::vector<SerialPortInfo> SerialPorts() = 0;
    virtual std::vector<std::string> ParallelPorts() = 0;
    virtual std::vector<UsbPrinterInfo> UsbPrinters() = 0;
    // Opens the device node for writing and closes it again, to see that it can be used.
    // On failure `why` says what stood in the way (for example "permission denied").
    virtual bool TryOpen(const std::string& devnode, std::string& why) = 0;
};

}  // namespace kp70
