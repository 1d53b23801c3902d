// kp70ctl ports: the serial and parallel ports and USB printers the system has, and whether
// each can be opened; kp70ctl devices: the DEVICE entries of the connection screen with the
// model codes and interface kind each one gets.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iomanip>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Verb.h"
#include "core/app/ModelCatalogue.h"
#include "core/app/Profile.h"
#include "core/transport/ConnectionChoice.h"
#include "core/transport/DeviceEnumerator.h"
#include "core/transport/UsbDiscovery.h"

namespace kp70 {

namespace {

// The text TryOpen gives when the user lacks the rights on a device node.
constexpr const char* kPermissionDenied = "permission denied";
// Serial ports belong to "dialout", parallel ports and USB printers to "lp".
constexpr const char* kSerialGroup = "dialout";
constexpr const char* kPrinterGroup = "lp";

struct PortRow {
    std::string path;
    std::string hardwareId;  // "USB\VID_xxxx&PID_yyyy" when the port is a USB device
    bool canOpen = false;
    std::string why;    // why it cannot be opened
    std::string group;  // the group that grants access, when permission was the reason
};

PortRow Probe(DeviceEnumerator& devices, const std::string& path, const std::string& hardwareId,
              const char* group) {
    PortRow row{path, hardwareId};
    row.canOpen = devices.TryOpen(path, row.why);
    if (row.canOpen) row.why.clear();
    if (!row.canOpen && row.why == kPermissionDenied) row.group = group;
    return row;
}

// A text, or null when there is none.
nlohmann::ordered_json OrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

nlohmann::ordered_json ToJson(const std::vector<PortRow>& rows) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const PortRow& row : rows) {
        nlohmann::ordered_json item{{"path", row.path}, {"canOpen", row.canOpen}};
        item["hardwareId"] = OrNull(row.hardwareId);
        item["error"] = OrNull(row.why);
        item["group"] = OrNull(row.group);
        array.push_back(std::move(item));
    }
    return array;
}

void PrintRows(std::ostream& out, const char* title, const std::vector<PortRow>& rows) {
    out << title << ":\n";
    if (rows.empty()) out << "  (none)\n";
    for (const PortRow& row : rows) {
        out << "  " << TerminalText(row.path);
        if (!row.hardwareId.empty()) out << "  " << TerminalText(row.hardwareId);
        if (row.canOpen) {
            out << "  can be opened\n";
            continue;
        }
        out << "  cannot be opened: " << TerminalText(row.why);
        if (!row.group.empty()) {
            out << "; add your user to the group " << row.group << " (sudo usermod -aG "
                << row.group << " $USER) and log in again";
        }
        out << "\n";
    }
}

int RunPorts(Verb& verb, bool json) {
    CliContext& context = verb.Context();
    if (!context.devices) verb.Fail("device enumeration is not available");
    DeviceEnumerator& devices = *context.devices;

    std::vector<PortRow> serial;
    std::vector<SerialPortInfo> serialPorts = devices.SerialPorts();
    for (const std::string& path : ListPorts(devices, PortListKind::Serial)) {
        std::string id;
        for (const SerialPortInfo& port : serialPorts) {
            if (port.path == path && port.isUsb)
                id = models::UsbHardwareId(port.vendorId, port.productId);
        }
        serial.push_back(Probe(devices, path, id, kSerialGroup));
    }
    std::vector<PortRow> parallel;
    for (const std::string& path : ListPorts(devices, PortListKind::Parallel))
        parallel.push_back(Probe(devices, path, "", kPrinterGroup));
    std::vector<PortRow> usb;
    for (const UsbPrinterInfo& printer : devices.UsbPrinters())
        usb.push_back(Probe(devices, printer.devnode, printer.hardwareId, kPrinterGroup));

    if (json) {
        verb.Json(nlohmann::ordered_json{
            {"serial", ToJson(serial)}, {"parallel", ToJson(parallel)}, {"usb", ToJson(usb)}});
        return kExitDone;
    }
    PrintRows(context.out, "Serial ports", serial);
    PrintRows(context.out, "Parallel ports", parallel);
    PrintRows(context.out, "USB printers", usb);
    return kExitDone;
}

const char* InterfaceName(Attachment kind) {
    switch (kind) {
        case Attachment::Serial:
            return "serial";
        case Attachment::Parallel:
            return "parallel";
        case Attachment::UsbSerial:
            return "USB virtual serial";
        case Attachment::UsbPrinter:
            return "USB printer";
        case Attachment::Ethernet:
            return "Ethernet";
        case Attachment::Wifi:
            return "WiFi";
        default:
            return "none";
    }
}

int RunDevices(Verb& verb, bool json) {
    CliContext& context = verb.Context();
    // The profile's entries come first, as on the connection screen.
    const std::vector<std::string> entries =
        ConnectionChoice::DeviceEntries(Profile(context.profilePath));

    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    std::size_t width = 6;
    for (const std::string& entry : entries) width = std::max(width, TerminalText(entry).size());
    if (!json) {
        context.out << std::left << std::setw(static_cast<int>(width)) << "DEVICE"
                    << "  " << std::setw(11) << "selection" << std::setw(4) << "ok"
                    << "interface\n";
    }
    for (const std::string& entry : entries) {
        const int selection = models::ClassifyAtSelection(entry);
        const int ok = models::ClassifyAtOk(entry);
        const Attachment kind = models::AttachmentOfEntry(entry, selection);
        if (json) {
            array.push_back({{"name", entry},
                             {"selection", selection},
                             {"ok", ok},
                             {"interface", static_cast<int>(kind)}});
            continue;
        }
        context.out << std::left << std::setw(static_cast<int>(width)) << TerminalText(entry)
                    << "  " << std::setw(11) << selection << std::setw(4) << ok
                    << static_cast<int>(kind) << " (" << InterfaceName(kind) << ")";
        if (selection == 0) context.out << "  " << context.catalogue.Message(msg::kInvalidDevice);
        context.out << "\n";
    }
    if (json) verb.Json(array);
    return kExitDone;
}

}  // namespace

void AddPortsCommands(CLI::App& app, CliContext& context) {
    auto portsJson = std::make_shared<bool>(false);
    CLI::App* ports = AddVerb(
        app, context, "ports",
        "list the serial and parallel ports and USB printers, and whether each can be opened",
        [portsJson](Verb& verb) { return RunPorts(verb, *portsJson); });
    ports->add_flag("--json", *portsJson, "print the lists as JSON");

    auto devicesJson = std::make_shared<bool>(false);
    CLI::App* devices = AddVerb(
        app, context, "devices",
        "list the DEVICE entries (the profile's DEVICELIST first) with the model code at "
        "selection, the model code at OK and the interface kind (0 none, 1 serial, 2 parallel, "
        "3 USB virtual serial, 4 USB printer, 6 Ethernet, 7 WiFi)",
        [devicesJson](Verb& verb) { return RunDevices(verb, *devicesJson); });
    devices->add_flag("--json", *devicesJson,
                      "print an array of objects with the keys name, selection, ok, interface");
}

}  // namespace kp70
