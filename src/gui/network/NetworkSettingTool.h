#pragma once

#include <string>

#include "gui/app/NetworkConnectionScreen.h"

namespace kp70 {

class WifiPlugin;

// What main() plugs into the network connection screen.

// "Network Setting": the network setting screen, shown modally over that screen with
// discovery sockets of its own for as long as it is open; its frames go to
// broadcastAddress.
NetworkConnectionScreen::SettingScreenFunction MakeNetworkSettingOpener(
    const ScreenServices& services, std::string broadcastAddress);

// "Infrastructure" and "Limited AP": the WiFi set-up component's operation with the
// screen's window as parent, or, when the component is not installed, a message that says
// so and where it is looked for. The plug-in must outlive the function.
NetworkConnectionScreen::WifiSetupFunction MakeWifiSetup(const ScreenServices& services,
                                                         WifiPlugin& plugin);

}  // namespace kp70
