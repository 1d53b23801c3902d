#pragma once

class QWidget;

namespace kp70 {

// Shows the network connection dialog for an Ethernet or WiFi entry of the connection
// screen. The dialog reads the port name ("ETHERNET_II" or "WIFI") when it opens.
class NetworkDialogRunner {
public:
    virtual ~NetworkDialogRunner() = default;
    // Runs the dialog modally over parent; true when it ended with OK (connection checked).
    virtual bool RunNetworkDialog(QWidget* parent) = 0;
};

}  // namespace kp70
