#pragma once

namespace kp70 {

// How a printer is attached. A DEVICE entry says it by its name's ending
// (models::AttachmentOfEntry: "S", "P", "U-I", "U-II", "E-II", "W"); a port name by what it
// names (AttachmentOfPort: a serial or parallel device, "USB", "ETHERNET_II", "FILE"),
// which never tells a USB virtual serial port from a serial one, nor WiFi from Ethernet.
// The numbers are the interface kinds kp70ctl devices shows.
enum class Attachment : int {
    None = 0,
    Serial = 1,
    Parallel = 2,
    UsbSerial = 3,   // a USB device that offers a serial port
    UsbPrinter = 4,  // a USB printer-class device
    Ethernet = 6,
    Wifi = 7,
    File = 8,  // a print file instead of a printer
};

}  // namespace kp70
