#include "core/transport/DeviceLinkFactory.h"

#include "core/transport/ParallelController.h"
#include "core/transport/ParallelLink.h"
#include "core/transport/PortLink.h"
#include "core/transport/PrinterPort.h"
#include "core/transport/SocketLink.h"

namespace kp70 {

DeviceLinkFactory::DeviceLinkFactory(PrinterPort& port, NetworkLink& socket, Clock& clock,
                                     ControllerMaker makeController)
    : m_port(port), m_socket(socket), m_clock(clock), m_makeController(std::move(makeController)) {}

ConnectionSettings& DeviceLinkFactory::Settings() {
    return m_port.Settings();
}

std::unique_ptr<PrinterLink> DeviceLinkFactory::MakeLink(const LinkRequest& request) {
    const ConnectionSettings& settings = m_port.Settings();
    const Attachment kind = AttachmentOfPort(settings.portName);
    if (kind == Attachment::Ethernet) {
        return std::make_unique<SocketLink>(m_socket, m_clock, settings.networkAddress,
                                            settings.networkPort, request);
    }
    if (kind == Attachment::Parallel && request.toolMode == kToolModeSetup && m_makeController)
        return std::make_unique<ParallelLink>(m_makeController(), settings.portName);
    return std::make_unique<PortLink>(m_port, m_clock, request);
}

}  // namespace kp70
