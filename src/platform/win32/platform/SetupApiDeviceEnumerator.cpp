#include "platform/SetupApiDeviceEnumerator.h"

#include <windows.h>

#include <setupapi.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <vector>

#include "platform/Win32Io.h"

namespace kp70 {

namespace {

// The Ports device class (COM and LPT ports) and the USB printer-class device interface.
constexpr GUID kPortsClass = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr GUID kUsbPrintInterface = {
    0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};

// Calls visit(data) with the text of every string value of an HKLM key.
void ForEachRegistryText(const char* key, const std::function<void(const std::string&)>& visit) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof name;
        BYTE data[1024];
        DWORD dataSize = sizeof data - 1;
        DWORD type = 0;
        const LONG result =
            ::RegEnumValueA(handle, index, name, &nameSize, nullptr, &type, data, &dataSize);
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) break;
        if (type != REG_SZ) continue;
        data[dataSize] = 0;
        visit(std::string(reinterpret_cast<const char*>(data)));
    }
    ::RegCloseKey(handle);
}

// The first string of a device's hardware-id list.
std::string FirstHardwareId(HDEVINFO set, SP_DEVINFO_DATA& device) {
    char ids[2048] = {};
    DWORD type = 0;
    if (!::SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, &type,
                                             reinterpret_cast<BYTE*>(ids), sizeof ids - 2, nullptr))
        return "";
    return ids;
}

struct PortsClassEntry {
    std::string name;  // COM3, LPT1
    std::string hardwareId;
};

// Every present device of the Ports class with its port name and first hardware id.
std::vector<PortsClassEntry> PortsClassEntries() {
    std::vector<PortsClassEntry> entries;
    HDEVINFO set = ::SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return entries;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        char name[64] = {};
        DWORD size = sizeof name - 1;
        DWORD type = 0;
        const bool named =
            ::RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(name),
                               &size) == ERROR_SUCCESS &&
            type == REG_SZ;
        ::RegCloseKey(key);
        if (named && name[0]) entries.push_back({name, FirstHardwareId(set, device)});
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return entries;
}

void AddOnce(std::vector<std::string>& names, const std::string& name) {
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(name);
}

}  // namespace

bool UsbIdsOf(const std::string& hardwareId, unsigned& vendorId, unsigned& productId) {
    std::string id = hardwareId;
    for (char& c : id) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::size_t vid = id.find("VID_");
    const std::size_t pid = id.find("PID_");
    if (id.rfind("USB\\", 0) != 0 || vid == std::string::npos || pid == std::string::npos)
        return false;
    auto hex = [&](std::size_t at, unsigned& value) {
        const std::string digits = id.substr(at + 4, 4);
        if (digits.size() != 4 || !std::all_of(digits.begin(), digits.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c)) != 0;
            }))
            return false;
        value = static_cast<unsigned>(std::strtoul(digits.c_str(), nullptr, 16));
        return true;
    };
    return hex(vid, vendorId) && hex(pid, productId);
}

std::string ParallelPortNameOf(const std::string& value) {
    const std::size_t first = value.find('\\');
    if (first == std::string::npos) return value;
    const std::size_t second = value.find('\\', first + 1);
    if (second == std::string::npos) return value;
    return value.substr(second + 1);
}

std::vector<SerialPortInfo> SetupApiDeviceEnumerator::SerialPorts() {
    std::vector<std::string> names;
    ForEachRegistryText("HARDWARE\\DEVICEMAP\\SERIALCOMM",
                        [&](const std::string& name) { AddOnce(names, name); });
    const std::vector<PortsClassEntry> entries = PortsClassEntries();
    for (const PortsClassEntry& entry : entries) {
        if (win32::IsDosPortName(entry.name, "COM")) AddOnce(names, entry.name);
    }
    std::vector<SerialPortInfo> ports;
    for (const std::string& name : names) {
        SerialPortInfo info;
        info.path = name;
        for (const PortsClassEntry& entry : entries) {
            if (entry.name == name)
                info.isUsb = UsbIdsOf(entry.hardwareId, info.vendorId, info.productId);
        }
        ports.push_back(info);
    }
    return ports;
}

std::vector<std::string> SetupApiDeviceEnumerator::ParallelPorts() {
    std::vector<std::string> names;
    ForEachRegistryText("HARDWARE\\DEVICEMAP\\PARALLEL PORTS", [&](const std::string& value) {
        AddOnce(names, ParallelPortNameOf(value));
    });
    for (const PortsClassEntry& entry : PortsClassEntries()) {
        if (win32::IsDosPortName(entry.name, "LPT")) AddOnce(names, entry.name);
    }
    return names;
}

std::vector<UsbPrinterInfo> SetupApiDeviceEnumerator::UsbPrinters() {
    std::vector<UsbPrinterInfo> printers;
    HDEVINFO set = ::SetupDiGetClassDevsA(&kUsbPrintInterface, nullptr, nullptr,
                                          DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return printers;
    SP_DEVICE_INTERFACE_DATA interface {};
    interface.cbSize = sizeof interface;
    for (DWORD index = 0;
         ::SetupDiEnumDeviceInterfaces(set, nullptr, &kUsbPrintInterface, index, &interface);
         ++index) {
        DWORD size = 0;
        ::SetupDiGetDeviceInterfaceDetailA(set, &interface, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
        std::vector<unsigned char> buffer(size);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!::SetupDiGetDeviceInterfaceDetailA(set, &interface, detail, size, nullptr, &device))
            continue;
        printers.push_back({detail->DevicePath, FirstHardwareId(set, device)});
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return printers;
}

bool SetupApiDeviceEnumerator::TryOpen(const std::string& devnode, std::string& why) {
    // Ports are opened as the tools open them, without sharing; a USB printer's interface
    // is shared, as the port layer opens it.
    const bool port = win32::IsDosPortName(devnode, "COM") || win32::IsDosPortName(devnode, "LPT");
    const std::string device = win32::DeviceNameOf(devnode);
    HANDLE handle =
        ::CreateFileA(device.c_str(), GENERIC_WRITE, port ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        why = win32::OpenErrorReason(::GetLastError());
        return false;
    }
    ::CloseHandle(handle);
    return true;
}

}  // namespace kp70
