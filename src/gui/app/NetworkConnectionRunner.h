#pragma once

class QWidget;

namespace kp70 {

// Shows the network connection screen for an Ethernet or WiFi entry of the connection
// screen. The screen reads the port name ("ETHERNET_II" or "WIFI") when it opens.
class NetworkConnectionRunner {
public:
    virtual ~NetworkConnectionRunner() = default;
    // Runs the screen modally over parent; true when it ended with OK (connection checked).
    virtual bool RunNetworkConnectionScreen(QWidget* parent) = 0;
};

}  // namespace kp70
