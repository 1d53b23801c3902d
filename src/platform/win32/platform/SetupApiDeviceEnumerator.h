#pragma once

#include "core/transport/DeviceEnumerator.h"

namespace kp70 {

// Device enumeration on Windows: the serial ports the system lists
// (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM) with the USB ids of the device behind each one, read
// from the first hardware id of its entry in the Ports class (SetupAPI), so a USB virtual
// serial printer's COM port is found by its ids; the parallel ports (PARALLEL PORTS and the
// Ports class); and the USB printer-class device interfaces ({28D78FAD-...}) with their
// device paths and first hardware ids ("USB\VID_5A3D&PID_3012&REV_0100").
class SetupApiDeviceEnumerator : public DeviceEnumerator {
public:
    std::vector<SerialPortInfo> SerialPorts() override;
    std::vector<std::string> ParallelPorts() override;
    std::vector<UsbPrinterInfo> UsbPrinters() override;
    bool TryOpen(const std::string& devnode, std::string& why) override;
};

// The USB ids in a hardware id such as "USB\VID_5A3D&PID_3011&REV_0100" (any case). False
// when it names no USB device.
bool UsbIdsOf(const std::string& hardwareId, unsigned& vendorId, unsigned& productId);

// The port name of a PARALLEL PORTS value such as "\DosDevices\LPT1": the text after its
// second backslash ("LPT1"); the value itself when it has fewer.
std::string ParallelPortNameOf(const std::string& value);

}  // namespace kp70
