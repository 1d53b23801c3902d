#include "gui/setup/UserSetupTool.h"

#include <memory>

#include "gui/app/NetworkConnectionDialog.h"
#include "gui/setup/AdvancedUserSetupScreen.h"
#include "platform/ParPortCtl.h"

namespace kp70 {

namespace {

// The screen asks the printer how it is between operations; a printer that says nothing
// within this bound shows no status.
constexpr int kStatusBoundMs = 500;

}  // namespace

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
            kStatusBoundMs,
        };
        AdvancedUserSetupScreen screen(services, std::move(links), connectionSummary, parent);
        screen.exec();
    };
}

}  // namespace kp70
