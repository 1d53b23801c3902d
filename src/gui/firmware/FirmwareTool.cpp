#include "gui/firmware/FirmwareTool.h"

#include "gui/app/FileChooser.h"
#include "gui/app/NetworkConnectionDialog.h"
#include "gui/firmware/DownloadToolDialog.h"
#include "gui/firmware/FirmwareUpdateScreen.h"

namespace kp70 {

AppToolLauncher::FirmwareOpener MakeFirmwareOpener(const ScreenServices& services,
                                                   PrinterPort& port, NetworkLink& network,
                                                   const NetworkConnectionDialog& networkDialog,
                                                   const std::string& connectionSummary) {
    return [services, &port, &network, &networkDialog, &connectionSummary](QWidget* parent,
                                                                           int modelCode) {
        // The F/W Update screen shows the printer's status when a printer answers within
        // half a second.
        const FirmwareLinks links{port, &network, networkDialog.printerAddress(),
                                  networkDialog.printerTcpPort(), 500};
        DialogFileChooser chooser;
        if (modelCode == 2) {
            DownloadToolDialog tool(services, links, connectionSummary, chooser, parent);
            tool.exec();
        } else {
            FirmwareUpdateScreen screen(services, links, connectionSummary, chooser, parent);
            screen.exec();
        }
    };
}

}  // namespace kp70
