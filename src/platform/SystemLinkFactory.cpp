#include "platform/SystemLinkFactory.h"

#include "platform/CPorts.h"
#include "platform/NetworkSocket.h"
#include "platform/ParPortCtl.h"

namespace kp70 {

SystemLinkFactory::SystemLinkFactory(CPorts& port, NetworkSocket& socket, ErrorLog& log,
                                     Clock& clock)
    : DeviceLinkFactory(port, socket, clock,
                        [&log, &clock] { return std::make_unique<ParPortCtl>(log, clock); }) {}

}  // namespace kp70
