#pragma once

#include "core/transport/DeviceEnumerator.h"

namespace kp70 {

// Device enumeration through libudev: tty devices that have a real parent device (with
// the USB ids of the device behind them, where there is one), lp and parport nodes, and
// USB printer-class nodes (/dev/usb/lp*) with their hardware id built from their USB ids.
class UdevDeviceEnumerator : public DeviceEnumerator {
public:
    std::vector<SerialPortInfo> SerialPorts() override;
    std::vector<std::string> ParallelPorts() override;
    std::vector<UsbPrinterInfo> UsbPrinters() override;
    bool TryOpen(const std::string& devnode, std::string& why) override;
};

}  // namespace kp70
