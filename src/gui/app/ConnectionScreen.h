#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <string>
#include <vector>

#include "core/transport/ConnectionChoice.h"
#include "gui/app/OperationRunner.h"
#include "gui/app/ScreenServices.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace kp70 {

struct ConnectionSettings;
class DeviceEnumerator;
class MainMenuRunner;
class NetworkConnectionRunner;

// The first screen: the operator picks a DEVICE entry and, depending on how it is
// attached, a port and the serial line settings. OK stores them in ConnectionSettings and
// opens the main menu (for network entries after the network connection screen has checked the
// connection); the screen stays open until Cancel. The rules are ConnectionChoice's; the
// screen shows its lists and notices.
class ConnectionScreen : public QDialog {
    Q_OBJECT

public:
    // preferredPorts: ports PORT selects when it lists them (the virtual printer's links).
    ConnectionScreen(const ScreenServices& services, DeviceEnumerator& devices,
                     ConnectionSettings& settings, NetworkConnectionRunner& networkConnection,
                     MainMenuRunner& mainMenu, std::vector<std::string> preferredPorts = {},
                     QWidget* parent = nullptr);
    ~ConnectionScreen() override;

    // The model code of the chosen entry as classified at selection; 0 when unrecognised.
    int modelCode() const { return m_choice.modelCode(); }
    // How the chosen entry's printer is attached.
    Attachment attachment() const { return m_choice.attachment(); }
    // True while the USB printer search runs (only Cancel is offered meanwhile).
    bool isSearching() const { return m_runner.Busy(); }

public slots:
    void reject() override;

signals:
    // The USB printer search has ended with this many devices (-1 for none).
    void usbSearchFinished(int count);

private:
    void BuildControls();
    void OnDeviceChanged(int index);
    void OnListChanged(ChoiceList list, int index);
    void OnOk();
    void StartUsbSearch();
    void AppendSearchDot();
    void FinishUsbSearch(int count);
    // Shows the choice's lists and OK as they stand (all off while the search runs).
    void Sync();
    void ShowNotices(const std::vector<Notice>& notices);

    ScreenServices m_services;
    DeviceEnumerator& m_devices;
    ConnectionSettings& m_settings;
    NetworkConnectionRunner& m_networkConnection;
    MainMenuRunner& m_mainMenu;
    ConnectionChoice m_choice;

    QComboBox* m_device = nullptr;
    std::array<QComboBox*, kChoiceListCount> m_lists{};
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;

    QString m_savedTitle;
    // The USB search runs its rounds (and their 250 ms waits) here, so the window keeps
    // painting and Cancel stays usable.
    OperationRunner m_runner;
};

}  // namespace kp70
