#include "gui/setup/UserSetupTool.h"

#include <memory>

#include "gui/setup/AdvancedUserSetupScreen.h"

namespace kp70 {

namespace {

// The screen asks the printer how it is between operations; a printer that says nothing
// within this bound shows no status.
constexpr int kStatusBoundMs = 500;

}  // namespace

AppToolLauncher::Opener MakeUserSetupOpener(const ScreenServices& services,
                                            PrinterLinkFactory& printer,
                                            const std::string& connectionSummary,
                                            Clock& receiveClock) {
    return [services, &printer, &connectionSummary, &receiveClock](QWidget* parent) {
        AdvancedUserSetupScreen screen(services, printer, receiveClock, kStatusBoundMs,
                                       connectionSummary, parent);
        screen.exec();
    };
}

}  // namespace kp70
