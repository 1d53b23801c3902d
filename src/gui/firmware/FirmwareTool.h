#pragma once

#include <string>

#include "gui/app/AppToolLauncher.h"
#include "gui/app/ScreenServices.h"

namespace kp70 {

class PrinterLinkFactory;

// The opener of the firmware tools that main() plugs into the AppToolLauncher: the download
// tool for TALVO10 printers (model code 2), the F/W Update screen for every other model,
// modally over the menu, with the program's links to the chosen printer, the connection
// summary of the menu and the real file-open box. The objects given must outlive the opener.
AppToolLauncher::FirmwareOpener MakeFirmwareOpener(const ScreenServices& services,
                                                   PrinterLinkFactory& links,
                                                   const std::string& connectionSummary);

}  // namespace kp70
