#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/app/ConnectionSettings.h"
#include "core/transport/NetworkLink.h"

namespace kp70 {

class PrinterPort;
class Profile;

// What the firmware tools talk to the printer through. The port also holds the connection
// settings: the port name decides the kind ("ETHERNET_II" goes through the network link with
// the address and TCP port last accepted by the network dialog).
struct FirmwareLinks {
    PrinterPort& port;
    NetworkLink* network = nullptr;
    std::string networkAddress = kDefaultPrinterAddress;
    std::uint16_t networkPort = kDefaultPrinterPort;
    // How long each status answer is waited for when the F/W Update screen asks the printer
    // how it is (when it opens and after each transfer); 0: it never asks.
    int statusBoundMs = 0;
};

// A firmware image is binary: on a serial line with XON/XOFF the driver would take every
// 0x11 and 0x13 of it for flow commands, and a printer busy writing its flash drives no
// handshake lines. The firmware tools therefore open a serial port with flow control none
// (3). The operator's choice is put back when the tool ends, so the next tool opens the
// port with the settings the connection screen showed.
class SerialFlowOverride {
public:
    // Sets flow control none on a serial port, remembering the operator's choice once.
    void Apply(ConnectionSettings& settings) {
        if (PortKindOf(settings.portName) != PortKind::Serial) return;
        if (!m_saved) m_saved = settings.flowControl;
        settings.flowControl = 3;
    }
    // Puts the operator's choice back, if Apply changed it.
    void Restore(ConnectionSettings& settings) {
        if (m_saved) settings.flowControl = *m_saved;
        m_saved.reset();
    }

private:
    std::optional<int> m_saved;
};

// The last image a tool used, kept in its profile section (keys "FOLDER", the absolute path,
// and "FILE", the file's name).
struct LastImage {
    std::string path;
    std::string name;
};
LastImage LoadLastImage(const Profile& profile, const char* section);
// False when the profile could not be written.
bool SaveLastImage(Profile& profile, const char* section, const LastImage& image);
// The file's name without its folder.
std::string FileNameOf(const std::string& path);

}  // namespace kp70
