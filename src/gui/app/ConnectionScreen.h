#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <thread>

#include "gui/app/ScreenServices.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace kp70 {

struct ConnectionSettings;
class DeviceEnumerator;
class MainMenuRunner;
class NetworkDialogRunner;

// The first screen: the operator picks a DEVICE entry and, depending on how it is
// attached, a port and the serial line settings. OK stores them in ConnectionSettings and
// opens the main menu (for network entries after the network dialog has checked the
// connection); the screen stays open until Cancel.
class ConnectionScreen : public QDialog {
    Q_OBJECT

public:
    ConnectionScreen(const ScreenServices& services, DeviceEnumerator& devices,
                     ConnectionSettings& settings, NetworkDialogRunner& networkDialog,
                     MainMenuRunner& mainMenu, QWidget* parent = nullptr);
    ~ConnectionScreen() override;

    // The model code of the chosen entry as classified at selection; 0 when unrecognised.
    int modelGroup() const { return m_modelGroup; }
    // The InterfaceKind of the chosen entry.
    int interfaceKind() const { return m_interfaceKind; }
    // True while the USB printer search runs (the screen is disabled meanwhile).
    bool isSearching() const { return m_searching; }

public slots:
    void reject() override;

signals:
    // The USB printer search has ended with this many devices (-1 for none).
    void usbSearchFinished(int count);

private:
    void BuildControls();
    void SetKoreanLabels();
    void OnDeviceChanged(int index);
    void OnDataLengthChanged(int index);
    void OnOk();
    bool StoreLineSettings();
    void SetLineSettingsEnabled(bool enabled);
    void FillBaudrates();
    void StartUsbSearch();
    void AppendSearchDot();
    void FinishUsbSearch(int count);

    ScreenServices m_services;
    DeviceEnumerator& m_devices;
    ConnectionSettings& m_settings;
    NetworkDialogRunner& m_networkDialog;
    MainMenuRunner& m_mainMenu;

    QLabel* m_deviceLabel = nullptr;
    QLabel* m_portLabel = nullptr;
    QLabel* m_baudLabel = nullptr;
    QLabel* m_parityLabel = nullptr;
    QLabel* m_dataLengthLabel = nullptr;
    QLabel* m_flowLabel = nullptr;
    QLabel* m_stopBitLabel = nullptr;
    QComboBox* m_device = nullptr;
    QComboBox* m_port = nullptr;
    QComboBox* m_baud = nullptr;
    QComboBox* m_parity = nullptr;
    QComboBox* m_dataLength = nullptr;
    QComboBox* m_flow = nullptr;
    QComboBox* m_stopBit = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;

    int m_modelGroup = 0;
    int m_interfaceKind = 0;

    // The USB search runs its rounds (and their 250 ms waits) on a worker so the window
    // keeps painting; the title dots and the result come back as queued calls.
    std::thread m_usbSearch;
    std::atomic<bool> m_stopSearch{false};
    bool m_searching = false;
    bool m_rejectAfterSearch = false;
    QString m_savedTitle;
};

}  // namespace kp70
