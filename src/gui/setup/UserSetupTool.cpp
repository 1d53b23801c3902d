#include "gui/setup/UserSetupTool.h"

#include <memory>

#include "gui/app/NetworkConnectionDialog.h"
#include "gui/setup/AdvancedUserSetupScreen.h"
#include "platform/ParPortCtl.h"

namespace kp70 {

AppToolLauncher::Opener MakeUserSetupOpener(const ScreenServices& services, PrinterPort& port,
                                            NetworkLink& network,
                                            const NetworkConnectionDialog& networkDialog,
                                            const std::string& connectionSummary,
                                            Clock& receiveClock) {
    return [services, &port, &network, &networkDialog, &connectionSummary,
            &receiveClock](QWidget* parent) {
        UserSetupLinks links{
            port,
            network,
            networkDialog.printerAddress(),
            networkDialog.printerTcpPort(),
            [services] { return std::make_unique<ParPortCtl>(services.log, services.clock); },
            receiveClock,
        };
        AdvancedUserSetupScreen screen(services, std::move(links), connectionSummary, parent);
        screen.exec();
    };
}

}  // namespace kp70
