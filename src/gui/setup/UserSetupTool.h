#pragma once

#include <string>

#include "gui/app/AppToolLauncher.h"
#include "gui/app/ScreenServices.h"

namespace kp70 {

class Clock;
class PrinterLinkFactory;

// The opener of the user setup tool that main() plugs into the AppToolLauncher: it shows
// the Advanced User Setup screen modally over the menu, with the program's links to the
// chosen printer and the connection summary of the menu. The objects given must outlive
// the opener.
AppToolLauncher::Opener MakeUserSetupOpener(const ScreenServices& services,
                                            PrinterLinkFactory& printer,
                                            const std::string& connectionSummary,
                                            Clock& receiveClock);

}  // namespace kp70
