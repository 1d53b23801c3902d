#pragma once

#include <string>
#include <vector>

#include "core/app/Attachment.h"

namespace kp70 {

// The printer family's names and ids: which model code a DEVICE text stands for, how it is
// attached, and which USB ids its devices carry.
namespace models {

// The built-in DEVICE entries, offered after the profile's entries.
const std::vector<std::string>& BuiltInEntries();

// The model code of an entry no model is recognised in.
inline constexpr int kNoModel = 0;

// Model code while an entry is selected on the connection screen; 0 when unrecognised.
int ClassifyAtSelection(const std::string& entry);

// Model code stored by OK and used by everything after the connection screen.
int ClassifyAtOk(const std::string& entry);

// How the entry's printer is attached, by the entry's ending ("E-II", "W", "II" unless modelCode is
// 2, "P", "S" or "-I"), tested in that order.
Attachment AttachmentOfEntry(const std::string& entry, int modelCode);

// USB vendor id of the family and the hardware-id prefix builder.
inline constexpr unsigned kUsbVendorId = 0x5A3D;
std::string UsbHardwareId(unsigned vendorId, unsigned productId);

// Hardware-id prefix counted at selection of a USB printer-class entry.
std::string UsbPrinterSearchId(int modelCode);
// Hardware-id prefixes tried, in order, when the USB printer-class device is opened.
std::vector<std::string> UsbPrinterOpenIds(int modelCode);
// Model-specific and general hardware-id prefixes of the USB virtual-serial device.
std::string UsbSerialModelId(int modelCode);
std::string UsbSerialGeneralId();

// True when the device's hardware id begins with prefix, comparing the device's id
// upper-cased (ASCII letters only) over the prefix's length.
bool HardwareIdMatches(const std::string& deviceId, const std::string& prefix);

// What a model can do. Code outside the catalogue asks these rather than comparing model
// codes.
//
// The oldest model (TALVO10, code 2): no user setup, a firmware tool of its own (packets
// acknowledged one by one, so a serial port runs its receive thread for it), monochrome
// logos only, 384 printable dots.
bool HasUserSetup(int modelCode);
bool UsesTalvo10Download(int modelCode);
bool PrintsGrayLogos(int modelCode);
int PrintableDots(int modelCode);
// The fastest serial line the model runs: 38400 on TALVO10, else 115200.
int MaxBaudrate(int modelCode);
// The name the tools show for the printer family: "TALVO10" or "KP70".
const char* FamilyName(int modelCode);
// The NV graphics memory of models that have less than the list can fill (TALVO30, code 5:
// 128 KB); 0 for the others.
int SmallNvGraphicsKB(int modelCode);
// Which firmware image layout the model's areas follow: TALVO30 (code 5), KP70 and TALVO40
// (code 6, the only ones with an LCD font area), or the others.
enum class FirmwareLayout { Talvo30, Kp70, Other };
FirmwareLayout FirmwareLayoutOf(int modelCode);
bool HasLcdFontArea(int modelCode);

}  // namespace models
}  // namespace kp70
