#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "core/network/NetworkSettingSession.h"
#include "gui/app/OperationRunner.h"
#include "gui/app/ScreenServices.h"

namespace kp70 {

class DatagramLink;
class NetworkSettingForm;

// The network setting screen's controller ("Ethernet-II Network Setting"): "Search
// Printer" lists every printer that answers the discovery broadcast, a click on a row
// fills the fields, "Change Setting" sends the fields to the printer of that row and
// "Manually change" (shown when Ctrl was held as the screen opened) to a MAC address made
// from the three boxes. The searches and changes are steps of a NetworkSettingSession on
// the operation runner, so the screen keeps painting through their receive windows; EXIT
// or the close box during one stops it (a change still sends its end frame first).
class NetworkSettingScreen : public QDialog {
    Q_OBJECT

public:
    // link: the discovery sockets; frames go to broadcastAddress.
    NetworkSettingScreen(const ScreenServices& services, DatagramLink& link,
                         std::string broadcastAddress = kDefaultBroadcastAddress,
                         QWidget* parent = nullptr);
    ~NetworkSettingScreen() override;

    NetworkSettingForm& form() const { return *m_form; }
    // True while a search or change runs.
    bool busy() const { return m_runner.Busy(); }

public slots:
    void reject() override;

signals:
    // A search or change has ended (or was declined) and its notices were shown.
    void operationFinished();

private:
    void OnSearch();
    void OnRowClicked(int row);
    void OnChange(ChangeKind kind);
    // Runs the session's Open, shows its set-up notices, then runs next.
    void OpenThen(std::function<void()> next);
    void Finish(const Outcome& outcome);
    void CloseScreen();

    ScreenServices m_services;
    NetworkSettingSession m_session;
    NetworkSettingForm* m_form = nullptr;
    std::vector<DiscoveredPrinter> m_rows;
    bool m_closing = false;
    // Declared last: shut down first, before the session its steps use.
    OperationRunner m_runner;
};

}  // namespace kp70
