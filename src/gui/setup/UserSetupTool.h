#pragma once

#include <string>

#include "gui/app/AppToolLauncher.h"
#include "gui/app/ScreenServices.h"

namespace kp70 {

class Clock;
class NetworkConnectionDialog;
class NetworkLink;
class PrinterPort;

// The opener of the user setup tool that main() plugs into the AppToolLauncher: it shows
// the Advanced User Setup screen modally over the menu, with the program's port, the
// network link and the address and port last accepted by the network dialog, a parallel
// controller of its own for LPT ports, and the connection summary of the menu. The objects
// given must outlive the opener.
AppToolLauncher::Opener MakeUserSetupOpener(const ScreenServices& services, PrinterPort& port,
                                            NetworkLink& network,
                                            const NetworkConnectionDialog& networkDialog,
                                            const std::string& connectionSummary,
                                            Clock& receiveClock);

}  // namespace kp70
