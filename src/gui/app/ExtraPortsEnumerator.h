#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/app/ConnectionSettings.h"
#include "core/transport/DeviceEnumerator.h"

namespace kp70 {

// Adds ports that the system's enumeration cannot see, such as the virtual printer's
// pseudo-terminal links (/tmp/kp70sim/ttyKP70, /tmp/kp70sim/lpKP70), to the ports of another
// enumerator. They come from the environment variable KP70_EXTRA_PORTS (paths separated by
// ':'); a path that names a parallel port (AttachmentOfPort) joins the parallel ports, any other
// the serial ports, and a path is listed only while it exists.
class ExtraPortsEnumerator : public DeviceEnumerator {
public:
    static constexpr const char* kEnvironmentVariable = "KP70_EXTRA_PORTS";

    ExtraPortsEnumerator(DeviceEnumerator& inner, std::vector<std::string> extraPorts)
        : m_inner(inner), m_extra(std::move(extraPorts)) {}

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
        for (const std::string& path : Present(false)) ports.push_back({path});
        return ports;
    }
    std::vector<std::string> ParallelPorts() override {
        std::vector<std::string> ports = m_inner.ParallelPorts();
        for (std::string& path : Present(true)) ports.push_back(std::move(path));
        return ports;
    }
    std::vector<UsbPrinterInfo> UsbPrinters() override { return m_inner.UsbPrinters(); }
    bool TryOpen(const std::string& devnode, std::string& why) override {
        return m_inner.TryOpen(devnode, why);
    }

private:
    // The extra paths of one kind that exist now.
    std::vector<std::string> Present(bool parallel) const {
        std::vector<std::string> paths;
        for (const std::string& path : m_extra) {
            std::error_code error;
            if ((AttachmentOfPort(path) == Attachment::Parallel) == parallel &&
                std::filesystem::exists(path, error))
                paths.push_back(path);
        }
        return paths;
    }

    DeviceEnumerator& m_inner;
    std::vector<std::string> m_extra;
};

}  // namespace kp70
