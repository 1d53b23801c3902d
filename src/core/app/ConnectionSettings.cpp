#include "core/app/ConnectionSettings.h"

#include "core/app/ModelCatalogue.h"

#include <cstdio>

namespace kp70 {

namespace {
bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}
}  // namespace

Attachment AttachmentOfPort(const std::string& name) {
    if (name == "USB") return Attachment::UsbPrinter;
    if (name == "FILE") return Attachment::File;
    if (StartsWith(name, "ETH")) return Attachment::Ethernet;
    if (StartsWith(name, "COM")) return Attachment::Serial;
    if (StartsWith(name, "LPT")) return Attachment::Parallel;
    if (StartsWith(name, "/dev/lp") || StartsWith(name, "/dev/parport") ||
        StartsWith(name, "/dev/usb/lp"))
        return Attachment::Parallel;
    if (StartsWith(name, "/dev/tty") || StartsWith(name, "/dev/pts/") ||
        StartsWith(name, "/dev/rfcomm"))
        return Attachment::Serial;
    // A link such as the virtual printer's /tmp/kp70sim/ttyKP70 names a terminal too, and
    // one such as /tmp/kp70sim/lpKP70 a parallel port, like /dev/lp0.
    const auto slash = name.find_last_of('/');
    if (slash != std::string::npos && StartsWith(name.substr(slash + 1), "tty"))
        return Attachment::Serial;
    if (slash != std::string::npos && StartsWith(name.substr(slash + 1), "lp"))
        return Attachment::Parallel;
    return Attachment::None;
}

std::string BuildConnectionSummary(const ConnectionSettings& s) {
    const std::string prefix = std::string(models::FamilyName(s.modelCode)) + " - ";
    const Attachment kind = AttachmentOfPort(s.portName);
    if (kind == Attachment::UsbPrinter) return "KP 70\r\nUSB-II Interface";
    if (kind != Attachment::Serial) return prefix + s.portName;

    char line[64];
    std::string text = prefix + s.portName + "\r\n";
    std::snprintf(line, sizeof line, "Baud : %d\r\n", s.baudRate);
    text += line;
    std::snprintf(line, sizeof line, "Data : %d bit\r\n", s.dataBits);
    text += line;
    text += s.parity == 0   ? "None Parity\r\n"
            : s.parity == 1 ? "Odd Parity\r\n"
                            : "Even Parity\r\n";
    // One line break after the flow-control line whatever the setting.
    text += s.flowControl == 1   ? "H/W Flow control\r\n"
            : s.flowControl == 2 ? "S/W Flow control\r\n"
                                 : "None Flow control\r\n";
    text += s.stopBits == 2 ? "Two Stop Bits" : "One Stop Bit";
    return text;
}

}  // namespace kp70
