#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/transport/DeviceEnumerator.h"

namespace kp70 {

// Adds serial ports that the system's enumeration cannot see, such as the virtual printer's
// pseudo-terminal link (/tmp/kp70sim/ttyKP70), to the ports of another enumerator. They come
// from the environment variable KP70_EXTRA_PORTS (paths separated by ':'); a path is listed
// only while it exists.
class ExtraPortsEnumerator : public DeviceEnumerator {
public:
    static constexpr const char* kEnvironmentVariable = "KP70_EXTRA_PORTS";

    ExtraPortsEnumerator(DeviceEnumerator& inner, std::vector<std::string> extraSerialPorts)
        : m_inner(inner), m_extra(std::move(extraSerialPorts)) {}

    // The paths of a ':'-separated list, empty parts skipped.
    static std::vector<std::string> SplitPaths(const char* list) {
        std::vector<std::string> paths;
        std::string current;
        for (const char* c = list ? list : ""; *c; ++c) {
            if (*c == ':') {
                if (!current.empty()) paths.push_back(current);
                current.clear();
            } else {
                current += *c;
            }
        }
        if (!current.empty()) paths.push_back(current);
        return paths;
    }

    std::vector<SerialPortInfo> SerialPorts() override {
        std::vector<SerialPortInfo> ports = m_inner.SerialPorts();
        for (const std::string& path : m_extra) {
            std::error_code error;
            if (std::filesystem::exists(path, error)) ports.push_back({path});
        }
        return ports;
    }
    std::vector<std::string> ParallelPorts() override { return m_inner.ParallelPorts(); }
    std::vector<UsbPrinterInfo> UsbPrinters() override { return m_inner.UsbPrinters(); }
    bool TryOpen(const std::string& devnode, std::string& why) override {
        return m_inner.TryOpen(devnode, why);
    }

private:
    DeviceEnumerator& m_inner;
    std::vector<std::string> m_extra;
};

}  // namespace kp70
