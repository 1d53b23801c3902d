#include "core/app/ModelCatalogue.h"

#include <cstdio>

namespace kp70::models {

namespace {

// The model codes the capabilities below single out.
constexpr int kTalvo10 = 2;
constexpr int kTalvo30 = 5;
constexpr int kKp70 = 6;

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool EndsWith(const std::string& text, const char* suffix) {
    const std::string s(suffix);
    return text.size() >= s.size() && text.compare(text.size() - s.size(), s.size(), s) == 0;
}

}  // namespace

const std::vector<std::string>& BuiltInEntries() {
    static const std::vector<std::string> entries = {"KP70 S",    "KP70 P",    "KP70 U-I",
                                                     "KP70 U-II", "KP70 E-II", "KP70 W"};
    return entries;
}

int ClassifyAtSelection(const std::string& e) {
    if (StartsWith(e, "TALVO10")) return 2;
    if (StartsWith(e, "TALVO20II") || StartsWith(e, "QTR-41") || StartsWith(e, "DAV 03II") ||
        StartsWith(e, "LT-2040"))
        return 3;
    if (StartsWith(e, "TALVO20") || StartsWith(e, "NEV330")) return 1;
    if (StartsWith(e, "MX-5100")) return 4;
    if (StartsWith(e, "TALVO30")) return 5;
    if (StartsWith(e, "TALVO40")) return 6;
    if (StartsWith(e, "T40")) return 4;
    if (StartsWith(e, "Nux")) return 5;
    if (StartsWith(e, "KP70")) return 6;
    return 0;
}

int ClassifyAtOk(const std::string& e) {
    int code = 1;
    if (StartsWith(e, "TALVO10")) {
        code = 2;
    } else if (StartsWith(e, "TALVO20II") || StartsWith(e, "QTR-4171") ||
               StartsWith(e, "DAV 03II") || StartsWith(e, "LT-2040")) {
        code = 3;
    } else if (StartsWith(e, "MX-5100")) {
        code = 4;
    } else if (StartsWith(e, "TALVO30") || StartsWith(e, "Nux")) {
        code = 5;
    } else if (StartsWith(e, "TALVO40")) {
        code = 6;
    }
    if (StartsWith(e, "KP70")) code = 6;
    return code;
}

Attachment AttachmentOfEntry(const std::string& e, int modelCode) {
    if (EndsWith(e, "E-II")) return Attachment::Ethernet;
    if (EndsWith(e, "W")) return Attachment::Wifi;
    if (EndsWith(e, "II")) return modelCode != kTalvo10 ? Attachment::UsbPrinter : Attachment::None;
    if (EndsWith(e, "P")) return Attachment::Parallel;
    if (EndsWith(e, "-I")) return Attachment::UsbSerial;
    if (EndsWith(e, "S")) return Attachment::Serial;
    return Attachment::None;
}

std::string UsbHardwareId(unsigned vendorId, unsigned productId) {
    char text[32];
    std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X", vendorId & 0xFFFFu,
                  productId & 0xFFFFu);
    return text;
}

std::string UsbPrinterSearchId(int modelCode) {
    switch (modelCode) {
        case 1:
            return UsbHardwareId(kUsbVendorId, 0x0101);
        case 4:
            return UsbHardwareId(kUsbVendorId, 0x3004);
        case 5:
            return UsbHardwareId(kUsbVendorId, 0x3002);
        case 6:
            return UsbHardwareId(kUsbVendorId, 0x3012);
        default:
            return UsbHardwareId(kUsbVendorId, 0x0102);
    }
}

std::vector<std::string> UsbPrinterOpenIds(int modelCode) {
    switch (modelCode) {
        case 5:
            return {UsbHardwareId(kUsbVendorId, 0x3002), UsbHardwareId(kUsbVendorId, 0x3002)};
        case 6:
            return {UsbHardwareId(kUsbVendorId, 0x3012), UsbHardwareId(kUsbVendorId, 0x3004)};
        case 3:
        case 4:
            return {UsbHardwareId(kUsbVendorId, 0x3004)};
        default:
            return {UsbHardwareId(kUsbVendorId, 0x0101)};
    }
}

std::string UsbSerialModelId(int modelCode) {
    switch (modelCode) {
        case 4:
            return UsbHardwareId(kUsbVendorId, 0x3003);
        case 6:
            return UsbHardwareId(kUsbVendorId, 0x3011);
        default:
            return UsbHardwareId(kUsbVendorId, 0x3001);
    }
}

std::string UsbSerialGeneralId() {
    return UsbHardwareId(kUsbVendorId, 0x3111);
}

bool HardwareIdMatches(const std::string& deviceId, const std::string& prefix) {
    if (deviceId.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = deviceId[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != prefix[i]) return false;
    }
    return true;
}

int MaxBaudrate(int modelCode) {
    return modelCode == kTalvo10 ? 38400 : 115200;
}

bool HasUserSetup(int modelCode) {
    return modelCode != kTalvo10;
}

bool UsesTalvo10Download(int modelCode) {
    return modelCode == kTalvo10;
}

bool PrintsGrayLogos(int modelCode) {
    return modelCode != kTalvo10;
}

int PrintableDots(int modelCode) {
    return modelCode == kTalvo10 ? 384 : 512;
}

const char* FamilyName(int modelCode) {
    return modelCode == kTalvo10 ? "TALVO10" : "KP70";
}

int SmallNvGraphicsKB(int modelCode) {
    return modelCode == kTalvo30 ? 128 : 0;
}

FirmwareLayout FirmwareLayoutOf(int modelCode) {
    if (modelCode == kTalvo30) return FirmwareLayout::Talvo30;
    if (modelCode == kKp70) return FirmwareLayout::Kp70;
    return FirmwareLayout::Other;
}

bool HasLcdFontArea(int modelCode) {
    return modelCode == kKp70;
}

}  // namespace kp70::models
