#include "platform/UdevDeviceEnumerator.h"

#include <fcntl.h>
#include <libudev.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "core/app/ModelCatalogue.h"

namespace kp70 {

namespace {

// Calls visit(device) for every device of the subsystem.
void ForEachDevice(const char* subsystem, const std::function<void(udev_device*)>& visit) {
    udev* context = udev_new();
    if (!context) return;
    udev_enumerate* enumerate = udev_enumerate_new(context);
    if (enumerate) {
        udev_enumerate_add_match_subsystem(enumerate, subsystem);
        udev_enumerate_scan_devices(enumerate);
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
            udev_device* device =
                udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
            if (!device) continue;
            visit(device);
            udev_device_unref(device);
        }
        udev_enumerate_unref(enumerate);
    }
    udev_unref(context);
}

// The USB ids of the usb_device above this device, if there is one.
bool UsbIds(udev_device* device, unsigned& vendor, unsigned& product) {
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
    if (!usb) return false;
    const char* v = udev_device_get_sysattr_value(usb, "idVendor");
    const char* p = udev_device_get_sysattr_value(usb, "idProduct");
    if (!v || !p) return false;
    vendor = static_cast<unsigned>(std::strtoul(v, nullptr, 16));
    product = static_cast<unsigned>(std::strtoul(p, nullptr, 16));
    return true;
}

}  // namespace

std::vector<SerialPortInfo> UdevDeviceEnumerator::SerialPorts() {
    std::vector<SerialPortInfo> ports;
    ForEachDevice("tty", [&](udev_device* device) {
        const char* node = udev_device_get_devnode(device);
        // Virtual consoles and ptys have no parent device; real ports (and USB adapters) do.
        if (!node || !udev_device_get_parent(device)) return;
        SerialPortInfo info;
        info.path = node;
        info.isUsb = UsbIds(device, info.vendorId, info.productId);
        ports.push_back(info);
    });
    return ports;
}

std::vector<std::string> UdevDeviceEnumerator::ParallelPorts() {
    std::vector<std::string> ports;
    for (const char* subsystem : {"printer", "ppdev"}) {
        ForEachDevice(subsystem, [&](udev_device* device) {
            const char* node = udev_device_get_devnode(device);
            const char* name = udev_device_get_sysname(device);
            if (!node || !name) return;
            // Parallel port nodes: lp0.. and parport0..; USB printer nodes are listed apart.
            if (std::strncmp(name, "lp", 2) == 0 || std::strncmp(name, "parport", 7) == 0) {
                if (std::strstr(node, "/usb/") == nullptr) ports.push_back(node);
            }
        });
    }
    return ports;
}

std::vector<UsbPrinterInfo> UdevDeviceEnumerator::UsbPrinters() {
    std::vector<UsbPrinterInfo> printers;
    ForEachDevice("usbmisc", [&](udev_device* device) {
        const char* node = udev_device_get_devnode(device);
        const char* name = udev_device_get_sysname(device);
        if (!node || !name || std::strncmp(name, "lp", 2) != 0) return;
        unsigned vendor = 0, product = 0;
        if (!UsbIds(device, vendor, product)) return;
        printers.push_back({node, models::UsbHardwareId(vendor, product)});
    });
    return printers;
}

bool UdevDeviceEnumerator::TryOpen(const std::string& devnode, std::string& why) {
    const int fd = ::open(devnode.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        if (errno == EACCES || errno == EPERM) why = "permission denied";
        return false;
    }
    ::close(fd);
    return true;
}

}  // namespace kp70
