#pragma once

#include "core/transport/DeviceLinkFactory.h"

namespace kp70 {

class CPorts;
class Clock;
class ErrorLog;
class NetworkSocket;

// The one way the programs reach a printer: the links of the system's port object and
// network socket, with a ParPortCtl for each parallel-port link that reads the printer's
// answers. The port object and the socket must outlive the links.
class SystemLinkFactory : public DeviceLinkFactory {
public:
    SystemLinkFactory(CPorts& port, NetworkSocket& socket, ErrorLog& log, Clock& clock);
};

}  // namespace kp70
