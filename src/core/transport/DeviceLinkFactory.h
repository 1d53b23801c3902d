#pragma once

#include <functional>
#include <memory>

#include "core/transport/PrinterLink.h"

namespace kp70 {

class Clock;
class NetworkLink;
class ParallelController;
class PrinterPort;

// The links of a program's printer devices: a network printer (Ethernet, WiFi) through the
// socket at the settings' address and TCP port; a parallel port whose answers are read (the
// user setup tool, a status query) through a parallel-port controller of the link's own;
// every other port, and a parallel port that is only written to, through the port object.
// The port object holds the connection settings; it and the socket must outlive the links.
class DeviceLinkFactory : public PrinterLinkFactory {
public:
    using ControllerMaker = std::function<std::unique_ptr<ParallelController>()>;

    DeviceLinkFactory(PrinterPort& port, NetworkLink& socket, Clock& clock,
                      ControllerMaker makeController);

    ConnectionSettings& Settings() override;
    std::unique_ptr<PrinterLink> MakeLink(const LinkRequest& request) override;

private:
    PrinterPort& m_port;
    NetworkLink& m_socket;
    Clock& m_clock;
    ControllerMaker m_makeController;
};

}  // namespace kp70
