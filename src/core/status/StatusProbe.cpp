#include "core/status/StatusProbe.h"

#include "core/app/CancelToken.h"
#include "core/app/ConnectionSettings.h"
#include "core/status/StatusLinks.h"
#include "core/transport/NetworkLink.h"
#include "core/transport/PrinterPort.h"

namespace kp70 {

StatusReport ProbeStatus(PrinterPort& port, NetworkLink* network, const std::string& address,
                         std::uint16_t tcpPort, Clock& clock, const CancelToken& cancel,
                         int answerBoundMs) {
    StatusReport report;
    report.boundMs = answerBoundMs;
    report.problem = StatusReport::Problem::SendFailed;
    ConnectionSettings& settings = port.Settings();
    const PortKind kind = PortKindOf(settings.portName);
    if (kind == PortKind::Network) {
        if (!network) return report;
        if (ConnectNetwork(*network, clock, address, tcpPort, 0, &cancel)) {
            NetworkStatusLink link(*network);
            report = StatusSession(link, clock, answerBoundMs).Query(cancel);
        }
        network->CloseSocket();
        return report;
    }
    if (kind != PortKind::Serial && kind != PortKind::Usb) return report;

    const bool wasOpen = port.isOpen();
    const std::uint8_t toolMode = settings.toolMode;
    if (wasOpen) port.Close();
    settings.toolMode = kToolModeSetup;
    if (port.Open()) {
        PortStatusLink link(port);
        report = StatusSession(link, clock, answerBoundMs).Query(cancel);
        port.Close();
    }
    settings.toolMode = toolMode;
    if (wasOpen) port.Open();
    return report;
}

}  // namespace kp70
