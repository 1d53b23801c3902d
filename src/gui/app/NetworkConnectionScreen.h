#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/transport/NetworkLink.h"
#include "gui/app/NetworkConnectionRunner.h"
#include "gui/app/OperationRunner.h"
#include "gui/app/ScreenServices.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kp70 {

struct ConnectionSettings;
class NetworkLink;

// Asks for the address and TCP port of a network printer and checks that a connection can
// be made before the main menu opens. It lives for the whole run, so the tools read the
// accepted address and port from it. For a WiFi entry (port name not beginning with "ETH")
// it offers the two WiFi set-up functions instead of the network setting screen.
class NetworkConnectionScreen : public QDialog, public NetworkConnectionRunner {
    Q_OBJECT

public:
    enum class WifiSetup { Infrastructure, LimitedAp };
    using WifiSetupFunction = std::function<void(WifiSetup which, QWidget* parent)>;
    using SettingScreenFunction = std::function<void(QWidget* parent)>;

    NetworkConnectionScreen(const ScreenServices& services, ConnectionSettings& settings,
                            NetworkLink& link, QWidget* parent = nullptr);
    ~NetworkConnectionScreen() override;

    // NetworkConnectionRunner: prepares the screen for the current port name and runs it.
    bool RunNetworkConnectionScreen(QWidget* parent) override;

    // Sets caption, labels and fields for the current port name, as when the screen opens.
    void PrepareToShow();

    // The printer's dotted IPv4 address (default "192.168.0.254").
    std::string printerAddress() const { return m_printerAddress; }
    // The port that passed the range check at the last OK; 0 before the first.
    std::uint32_t printerPort() const { return m_printerPort; }
    // The TCP port the tools connect to: the accepted one, or the default before any.
    std::uint16_t printerTcpPort() const {
        return m_printerPort > 0 && m_printerPort <= 0xFFFF
                   ? static_cast<std::uint16_t>(m_printerPort)
                   : kDefaultPrinterPort;
    }
    // The socket the tools use for "ETHERNET_II" (through ConnectNetwork with the two above).
    NetworkLink& networkSocket() { return m_link; }
    // True while the connection check runs (only Cancel is offered meanwhile).
    bool isChecking() const { return m_runner->Busy(); }

    // The WiFi set-up component and the network setting screen, plugged in when present.
    void SetWifiSetup(WifiSetupFunction wifiSetup) { m_wifiSetup = std::move(wifiSetup); }
    void SetSettingScreen(SettingScreenFunction screen) { m_settingScreen = std::move(screen); }

public slots:
    void reject() override;

signals:
    // The connection check after OK has ended.
    void connectionChecked(bool connected);

private:
    bool IsWifi() const;
    // The actions offered when no check runs.
    ActionSet IdleActions() const;
    void OnOk();
    void FinishCheck(const Outcome& outcome);
    void OnSettingButton();
    void OnReservedButton();
    void RunWifiSetup(WifiSetup which);

    ScreenServices m_services;
    ConnectionSettings& m_settings;
    NetworkLink& m_link;

    QLineEdit* m_address = nullptr;
    QLineEdit* m_port = nullptr;
    QLabel* m_addressLabel = nullptr;
    QLabel* m_portLabel = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QGroupBox* m_settingGroup = nullptr;
    QPushButton* m_settingButton = nullptr;
    QPushButton* m_reservedButton = nullptr;

    std::string m_printerAddress = kDefaultPrinterAddress;
    QString m_portBoxText = QString::number(kDefaultPrinterPort);
    std::uint32_t m_printerPort = 0;

    WifiSetupFunction m_wifiSetup;
    SettingScreenFunction m_settingScreen;

    // The connection check waits 10 ms plus up to 10 x 50 ms, so it runs here. Cancel
    // during a check closes the runner for good; the next opening starts a fresh one.
    std::unique_ptr<OperationRunner> m_runner;
};

}  // namespace kp70
