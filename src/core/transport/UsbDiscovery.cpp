#include "core/transport/UsbDiscovery.h"

#include <algorithm>

#include "core/app/ErrorLog.h"
#include "core/app/ModelCatalogue.h"

namespace kp70 {

std::vector<std::string> ListPorts(DeviceEnumerator& devices, PortListKind kind) {
    std::vector<std::string> names;
    if (kind == PortListKind::Serial) {
        for (const SerialPortInfo& port : devices.SerialPorts()) names.push_back(port.path);
    } else {
        names = devices.ParallelPorts();
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

int CountUsbPrinters(DeviceEnumerator& devices, const std::string& idPrefix, ErrorLog* log) {
    int count = 0;
    for (const UsbPrinterInfo& printer : devices.UsbPrinters()) {
        if (!models::HardwareIdMatches(printer.hardwareId, idPrefix)) continue;
        ++count;
        std::string why;
        if (!devices.TryOpen(printer.devnode, why) && log) {
            log->LogLine("Create File error\r\n");
            log->LogLine("%s: %s", printer.devnode.c_str(), why.c_str());
        }
    }
    return count > 0 ? count : -1;
}

std::string FindUsbSerialPort(DeviceEnumerator& devices, const std::string& idPrefix) {
    for (const SerialPortInfo& port : devices.SerialPorts()) {
        if (!port.isUsb) continue;
        if (models::HardwareIdMatches(models::UsbHardwareId(port.vendorId, port.productId),
                                      idPrefix))
            return port.path;
    }
    return "";
}

std::string FindUsbSerialPortForModel(DeviceEnumerator& devices, int modelCode) {
    std::string port = FindUsbSerialPort(devices, models::UsbSerialModelId(modelCode));
    if (port.empty()) port = FindUsbSerialPort(devices, models::UsbSerialGeneralId());
    return port;
}

}  // namespace kp70
