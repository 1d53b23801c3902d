#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/transport/DeviceEnumerator.h"

namespace kp70::test {

// A DeviceEnumerator whose devices a test lists by hand; nodes in `unopenable` fail TryOpen
// with "permission denied".
class FakeDeviceEnumerator : public DeviceEnumerator {
public:
    std::vector<SerialPortInfo> serial;
    std::vector<std::string> parallel;
    std::vector<UsbPrinterInfo> usb;
    std::vector<std::string> unopenable;
    int usbQueries = 0;
    // The USB printers are switched on only after this many searches.
    int absentQueries = 0;

    std::vector<SerialPortInfo> SerialPorts() override { return serial; }
    std::vector<std::string> ParallelPorts() override { return parallel; }
    std::vector<UsbPrinterInfo> UsbPrinters() override {
        ++usbQueries;
        return usbQueries <= absentQueries ? std::vector<UsbPrinterInfo>{} : usb;
    }
    bool TryOpen(const std::string& devnode, std::string& why) override {
        for (const auto& n : unopenable) {
            if (n == devnode) {
                why = "permission denied";
                return false;
            }
        }
        return true;
    }
};

}  // namespace kp70::test
