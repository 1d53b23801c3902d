#include "gui/firmware/FirmwareTool.h"

#include "core/app/ModelCatalogue.h"
#include "gui/app/FileChooser.h"
#include "gui/firmware/DownloadToolScreen.h"
#include "gui/firmware/FirmwareUpdateScreen.h"

namespace kp70 {

namespace {
constexpr int kStatusBoundMs = 500;
}  // namespace

AppToolLauncher::FirmwareOpener MakeFirmwareOpener(const ScreenServices& services,
                                                   PrinterLinkFactory& links,
                                                   const std::string& connectionSummary) {
    return [services, &links, &connectionSummary](QWidget* parent, int modelCode) {
        DialogFileChooser chooser;
        if (models::UsesTalvo10Download(modelCode)) {
            DownloadToolScreen tool(services, links, connectionSummary, chooser, parent);
            tool.exec();
        } else {
            // The F/W Update screen shows the printer's status when a printer answers within
            // half a second.
            FirmwareUpdateScreen screen(services, links, kStatusBoundMs, connectionSummary, chooser,
                                        parent);
            screen.exec();
        }
    };
}

}  // namespace kp70
