#pragma once

#include <string>

#include "gui/app/NetworkConnectionDialog.h"

namespace kp70 {

class WifiPlugin;

// What main() plugs into the network connection dialog.

// "Network Setting": the network setting screen, shown modally over the dialog with
// discovery sockets of its own for as long as it is open; its frames go to
// broadcastAddress.
NetworkConnectionDialog::SettingScreenFunction MakeNetworkSettingOpener(
    const ScreenServices& services, std::string broadcastAddress);

// "Infrastructure" and "Limited AP": the WiFi set-up component's operation with the
// dialog's window as parent, or, when the component is not installed, a message that says
// so and where it is looked for. The plug-in must outlive the function.
NetworkConnectionDialog::WifiSetupFunction MakeWifiSetup(const ScreenServices& services,
                                                         WifiPlugin& plugin);

}  // namespace kp70
