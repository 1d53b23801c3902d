#include "gui/app/NetworkConnectionDialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "core/app/Clock.h"
#include "core/app/ConnectionSettings.h"
#include "core/transport/NetworkLink.h"

namespace kp70 {

namespace {

struct Label {
    const char* english;
    const char* korean;
};
constexpr const char* kEthernetCaption = "Ethernet-II Network";
constexpr const char* kWifiCaption = "WLAN(WiFi) Network";
constexpr const char* kAddressLabel = "IP :";
constexpr const char* kPortLabel = "PORT :";
constexpr const char* kOkLabel = "OK";
constexpr Label kCancelLabel{"Cancel", "취소"};
constexpr const char* kSettingGroup = "Setting";
constexpr Label kNetworkSettingLabel{"Network Setting", "네트워크 설정"};
constexpr const char* kReservedLabel = "Reserved";
constexpr const char* kInfrastructureLabel = "Infrastructure";
constexpr const char* kLimitedApLabel = "Limited AP";
constexpr Label kUsbNotice{"Turn on the printer and Connect a USB cable.",
                           "프린터를 켜고 USB케이블을 연결하십시오."};
constexpr Label kNoticeCaption{"Notice", "알림"};
constexpr Label kBadAddress{"Please enter the printer's IPv4 address, for example 192.168.0.254.",
                            "프린터의 IPv4 주소를 입력하십시오. (예: 192.168.0.254)"};
constexpr Label kNoWifiComponent{
    "The WiFi set-up component is not installed, so the printer's WiFi cannot be set up "
    "from this tool.",
    "WiFi 설정 구성 요소가 설치되어 있지 않아 이 도구에서 프린터의 WiFi를 설정할 수 "
    "없습니다."};
constexpr Label kNoSettingScreen{"The network setting screen is not available in this version.",
                                 "이 버전에서는 네트워크 설정 화면을 사용할 수 없습니다."};

// An extra wait between the first connect and the first probe round.
constexpr int kFirstProbeWaitMs = 10;

}  // namespace

NetworkConnectionDialog::NetworkConnectionDialog(const ScreenServices& services,
                                                 ConnectionSettings& settings, NetworkLink& link,
                                                 QWidget* parent)
    : QDialog(parent), m_services(services), m_settings(settings), m_link(link) {
    m_addressLabel = new QLabel(QString::fromUtf8(kAddressLabel), this);
    m_address = new QLineEdit(this);
    m_address->setObjectName("addressEdit");
    // Dotted numbers while typing; the whole address is checked at OK.
    m_address->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("(\\d{1,3}\\.){0,3}\\d{0,3}")), m_address));
    m_portLabel = new QLabel(QString::fromUtf8(kPortLabel), this);
    m_port = new QLineEdit(this);
    m_port->setObjectName("portEdit");
    m_port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,10}")), m_port));

    m_ok = new QPushButton(QString::fromUtf8(kOkLabel), this);
    m_ok->setObjectName("okButton");
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QString::fromUtf8(kCancelLabel.english), this);
    m_cancel->setObjectName("cancelButton");
    m_cancel->setAutoDefault(false);

    m_settingGroup = new QGroupBox(QString::fromUtf8(kSettingGroup), this);
    m_settingButton = new QPushButton(m_settingGroup);
    m_settingButton->setObjectName("settingButton");
    m_settingButton->setAutoDefault(false);
    m_reservedButton = new QPushButton(m_settingGroup);
    m_reservedButton->setObjectName("reservedButton");
    m_reservedButton->setAutoDefault(false);

    auto* fields = new QHBoxLayout;
    fields->addWidget(m_addressLabel);
    fields->addWidget(m_address, 1);
    fields->addWidget(m_portLabel);
    fields->addWidget(m_port);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* group = new QHBoxLayout(m_settingGroup);
    group->addWidget(m_settingButton);
    group->addWidget(m_reservedButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->addWidget(m_settingGroup);

    connect(m_ok, &QPushButton::clicked, this, &NetworkConnectionDialog::OnOk);
    connect(m_cancel, &QPushButton::clicked, this, &NetworkConnectionDialog::reject);
    connect(m_settingButton, &QPushButton::clicked, this,
            &NetworkConnectionDialog::OnSettingButton);
    connect(m_reservedButton, &QPushButton::clicked, this,
            &NetworkConnectionDialog::OnReservedButton);

    PrepareToShow();
}

NetworkConnectionDialog::~NetworkConnectionDialog() {
    if (m_check.joinable()) m_check.join();
}

bool NetworkConnectionDialog::IsWifi() const {
    return m_settings.portName.rfind("ETH", 0) != 0;
}

void NetworkConnectionDialog::PrepareToShow() {
    const bool korean = m_services.catalogue.IsKorean();
    m_port->setText(m_portBoxText);
    m_address->setText(QString::fromStdString(m_printerAddress));
    m_cancel->setText(QString::fromUtf8(korean ? kCancelLabel.korean : kCancelLabel.english));
    if (IsWifi()) {
        setWindowTitle(QString::fromUtf8(kWifiCaption));
        m_settingButton->setText(QString::fromUtf8(kInfrastructureLabel));
        m_reservedButton->setText(QString::fromUtf8(kLimitedApLabel));
        m_reservedButton->setEnabled(true);
    } else {
        setWindowTitle(QString::fromUtf8(kEthernetCaption));
        m_settingButton->setText(
            QString::fromUtf8(korean ? kNetworkSettingLabel.korean : kNetworkSettingLabel.english));
        m_reservedButton->setText(QString::fromUtf8(kReservedLabel));
        m_reservedButton->setEnabled(false);
    }
}

bool NetworkConnectionDialog::RunNetworkDialog(QWidget* parent) {
    // Shown over the caller, but owned by whoever built it: the parent is put back
    // afterwards so the caller's destruction never deletes this long-lived dialog.
    QWidget* owner = parentWidget();
    if (parent && parent != owner) setParent(parent, windowFlags());
    PrepareToShow();
    const bool accepted = exec() == QDialog::Accepted;
    if (parentWidget() != owner) setParent(owner, windowFlags());
    return accepted;
}

bool NetworkConnectionDialog::IsAcceptedPort(std::uint64_t port) {
    return (port >= 1024 && port <= 65534) || port == 515;
}

bool NetworkConnectionDialog::IsIpv4Address(const QString& text) {
    static const QRegularExpression kDotted(
        QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
    const QRegularExpressionMatch match = kDotted.match(text);
    if (!match.hasMatch()) return false;
    for (int i = 1; i <= 4; ++i) {
        if (match.captured(i).toInt() > 255) return false;
    }
    return true;
}

void NetworkConnectionDialog::OnOk() {
    if (m_checking) return;
    const bool korean = m_services.catalogue.IsKorean();

    m_portBoxText = m_port->text();
    bool isNumber = false;
    const std::uint64_t port = m_portBoxText.toULongLong(&isNumber);
    if (!isNumber || !IsAcceptedPort(port)) {
        m_services.ShowMessage(this, 55);  // "Please enter PORT number between 1024 ~ 65534."
        return;
    }
    // The tools use the port that passed this check, even when the connection then fails.
    m_printerPort = static_cast<std::uint32_t>(port);

    const QString address = m_address->text().trimmed();
    if (!IsIpv4Address(address)) {
        m_services.ShowText(this,
                            QString::fromUtf8(korean ? kBadAddress.korean : kBadAddress.english));
        return;
    }
    m_printerAddress = address.toStdString();

    setEnabled(false);
    m_checking = true;
    if (m_check.joinable()) m_check.join();
    const std::string host = m_printerAddress;
    const auto tcpPort = static_cast<std::uint16_t>(m_printerPort);
    m_check = std::thread([this, host, tcpPort] {
        const bool connected =
            ConnectNetwork(m_link, m_services.clock, host, tcpPort, kFirstProbeWaitMs);
        QMetaObject::invokeMethod(
            this, [this, connected] { FinishCheck(connected); }, Qt::QueuedConnection);
    });
}

void NetworkConnectionDialog::FinishCheck(bool connected) {
    if (m_check.joinable()) m_check.join();
    m_checking = false;
    setEnabled(true);
    if (m_rejectAfterCheck) {
        // Cancel was pressed while checking: leave without reporting the result.
        m_rejectAfterCheck = false;
        m_link.CloseSocket();
        QDialog::reject();
        return;
    }
    if (!connected) {
        m_services.ShowMessage(this, 20);  // "ERROR : Printer check."
        m_link.CloseSocket();
        emit connectionChecked(false);
        return;
    }
    // The check only proves the printer answers; the tools connect again when they need it.
    m_link.CloseSocket();
    emit connectionChecked(true);
    accept();
}

void NetworkConnectionDialog::reject() {
    if (m_checking) {
        m_rejectAfterCheck = true;
        return;
    }
    QDialog::reject();
}

void NetworkConnectionDialog::OnSettingButton() {
    if (IsWifi()) {
        RunWifiSetup(WifiSetup::Infrastructure);
        return;
    }
    if (m_settingScreen) {
        m_settingScreen(this);
    } else {
        const bool korean = m_services.catalogue.IsKorean();
        m_services.ShowText(
            this, QString::fromUtf8(korean ? kNoSettingScreen.korean : kNoSettingScreen.english));
    }
}

void NetworkConnectionDialog::OnReservedButton() {
    if (IsWifi()) RunWifiSetup(WifiSetup::LimitedAp);
}

void NetworkConnectionDialog::RunWifiSetup(WifiSetup which) {
    // The WiFi component talks to the printer over USB, outside the printer port.
    const bool korean = m_services.catalogue.IsKorean();
    m_services.prompter.Show(
        this, QString::fromUtf8(korean ? kUsbNotice.korean : kUsbNotice.english),
        QString::fromUtf8(korean ? kNoticeCaption.korean : kNoticeCaption.english));
    if (m_wifiSetup) {
        m_wifiSetup(which, this);
    } else {
        m_services.ShowText(
            this, QString::fromUtf8(korean ? kNoWifiComponent.korean : kNoWifiComponent.english));
    }
}

}  // namespace kp70
