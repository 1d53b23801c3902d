#include "gui/network/NetworkSettingTool.h"

#include <QWidget>

#include "gui/network/NetworkSettingScreen.h"
#include "gui/network/NetworkSettingTexts.h"
#include "platform/DatagramSocket.h"
#include "platform/WifiPlugin.h"

namespace kp70 {

NetworkConnectionScreen::SettingScreenFunction MakeNetworkSettingOpener(
    const ScreenServices& services, std::string broadcastAddress) {
    return [services, broadcastAddress](QWidget* parent) {
        DatagramSocket sockets(services.clock);
        NetworkSettingScreen screen(services, sockets, broadcastAddress, parent);
        screen.exec();
    };
}

NetworkConnectionScreen::WifiSetupFunction MakeWifiSetup(const ScreenServices& services,
                                                         WifiPlugin& plugin) {
    return [services, &plugin](NetworkConnectionScreen::WifiSetup which, QWidget* parent) {
        if (!plugin.Load()) {
            // Where it was looked for, and why a library that is there could not be used.
            QString text = services.Text(networkscreen::kWifiComponentMissing) + "\n" +
                           QString::fromStdString(plugin.SearchPlaces());
            if (!plugin.NotFound()) text += "\n(" + QString::fromStdString(plugin.Error()) + ")";
            services.ShowText(parent, text);
            return;
        }
        // The component runs its own windows over the network connection screen and returns when
        // done.
        const auto window = static_cast<std::uintptr_t>(parent ? parent->winId() : 0);
        if (which == NetworkConnectionScreen::WifiSetup::Infrastructure) {
            plugin.Infrastructure(window);
        } else {
            plugin.LimitedAp(window);
        }
    };
}

}  // namespace kp70
