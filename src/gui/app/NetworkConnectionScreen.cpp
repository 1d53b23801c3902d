#include "gui/app/NetworkConnectionScreen.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "core/app/ConnectionSettings.h"
#include "core/transport/ConnectionChoice.h"
#include "core/transport/NetworkLink.h"

namespace kp70 {

namespace {

constexpr BilingualText kEthernetCaption{"Ethernet-II Network"};
constexpr BilingualText kWifiCaption{"WLAN(WiFi) Network"};
constexpr BilingualText kAddressLabel{"IP :"};
constexpr BilingualText kPortLabel{"PORT :"};
constexpr BilingualText kOkLabel{"OK"};
constexpr BilingualText kCancelLabel{"Cancel", "취소"};
constexpr BilingualText kSettingGroup{"Setting"};
constexpr BilingualText kNetworkSettingLabel{"Network Setting", "네트워크 설정"};
constexpr BilingualText kReservedLabel{"Reserved"};
constexpr BilingualText kInfrastructureLabel{"Infrastructure"};
constexpr BilingualText kLimitedApLabel{"Limited AP"};
constexpr BilingualText kUsbNotice{"Turn on the printer and Connect a USB cable.",
                                   "프린터를 켜고 USB케이블을 연결하십시오."};
constexpr BilingualText kNoticeCaption{"Notice", "알림"};

// The actions the operation runner switches.
constexpr ActionSet kOkAction = 1;
constexpr ActionSet kCancelAction = 2;
constexpr ActionSet kFieldsAction = 4;     // address and port
constexpr ActionSet kSettingAction = 8;    // "Network Setting" / "Infrastructure"
constexpr ActionSet kReservedAction = 16;  // "Reserved" (off) / "Limited AP"

}  // namespace

NetworkConnectionScreen::NetworkConnectionScreen(const ScreenServices& services,
                                                 ConnectionSettings& settings, NetworkLink& link,
                                                 QWidget* parent)
    : QDialog(parent), m_services(services), m_settings(settings), m_link(link) {
    m_addressLabel = new QLabel(m_services.Text(kAddressLabel), this);
    m_address = new QLineEdit(this);
    m_address->setObjectName("addressEdit");
    // Dotted numbers while typing; the whole address is checked at OK.
    m_address->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("(\\d{1,3}\\.){0,3}\\d{0,3}")), m_address));
    m_portLabel = new QLabel(m_services.Text(kPortLabel), this);
    m_port = new QLineEdit(this);
    m_port->setObjectName("portEdit");
    m_port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,10}")), m_port));

    m_ok = new QPushButton(m_services.Text(kOkLabel), this);
    m_ok->setObjectName("okButton");
    m_ok->setDefault(true);
    m_cancel = new QPushButton(m_services.Text(kCancelLabel), this);
    m_cancel->setObjectName("cancelButton");
    m_cancel->setAutoDefault(false);

    m_settingGroup = new QGroupBox(m_services.Text(kSettingGroup), this);
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

    connect(m_ok, &QPushButton::clicked, this, &NetworkConnectionScreen::OnOk);
    connect(m_cancel, &QPushButton::clicked, this, &NetworkConnectionScreen::reject);
    connect(m_settingButton, &QPushButton::clicked, this,
            &NetworkConnectionScreen::OnSettingButton);
    connect(m_reservedButton, &QPushButton::clicked, this,
            &NetworkConnectionScreen::OnReservedButton);

    PrepareToShow();
}

NetworkConnectionScreen::~NetworkConnectionScreen() = default;

bool NetworkConnectionScreen::IsWifi() const {
    return m_settings.portName.rfind("ETH", 0) != 0;
}

ActionSet NetworkConnectionScreen::IdleActions() const {
    // "Reserved" does nothing for an Ethernet printer; for WiFi it is "Limited AP".
    return kOkAction | kCancelAction | kFieldsAction | kSettingAction |
           (IsWifi() ? kReservedAction : 0);
}

void NetworkConnectionScreen::PrepareToShow() {
    if (!m_runner || m_runner->Closing()) {
        // A check cancelled at the last opening closed its runner; this opening gets a
        // fresh one.
        m_runner = std::make_unique<OperationRunner>();
        m_runner->SetActions({{kOkAction, m_ok},
                              {kCancelAction, m_cancel},
                              {kFieldsAction, m_address},
                              {kFieldsAction, m_port},
                              {kSettingAction, m_settingButton},
                              {kReservedAction, m_reservedButton}});
    }
    m_port->setText(m_portBoxText);
    m_address->setText(QString::fromStdString(m_printerAddress));
    if (IsWifi()) {
        setWindowTitle(m_services.Text(kWifiCaption));
        m_settingButton->setText(m_services.Text(kInfrastructureLabel));
        m_reservedButton->setText(m_services.Text(kLimitedApLabel));
    } else {
        setWindowTitle(m_services.Text(kEthernetCaption));
        m_settingButton->setText(m_services.Text(kNetworkSettingLabel));
        m_reservedButton->setText(m_services.Text(kReservedLabel));
    }
    if (!m_runner->Busy()) m_runner->ShowActions(IdleActions());
}

bool NetworkConnectionScreen::RunNetworkConnectionScreen(QWidget* parent) {
    // Shown over the caller, but owned by whoever built it: the parent is put back
    // afterwards so the caller's destruction never deletes this long-lived screen.
    QWidget* owner = parentWidget();
    if (parent && parent != owner) setParent(parent, windowFlags());
    PrepareToShow();
    const bool accepted = exec() == QDialog::Accepted;
    if (parentWidget() != owner) setParent(owner, windowFlags());
    return accepted;
}

void NetworkConnectionScreen::OnOk() {
    if (m_runner->Busy() || m_runner->Closing()) return;
    m_portBoxText = m_port->text();
    const NetworkTarget target =
        CheckNetworkTarget(m_address->text().toStdString(), m_portBoxText.toStdString());
    // The tools use the port that passed its check, even when the connection then fails.
    if (target.portAccepted) {
        m_printerPort = target.port;
        m_settings.networkPort = target.port;
    }
    if (target.refusal != NetworkRefusal::None) {
        m_services.Show(this, NetworkRefusalNotice(target.refusal, m_services.Korean()));
        return;
    }
    m_printerAddress = target.address;
    m_settings.networkAddress = target.address;

    NetworkLink& link = m_link;
    Clock& clock = m_services.clock;
    const std::string address = target.address;
    const std::uint16_t port = target.port;
    const ActionSet idle = IdleActions();
    m_runner->Run(
        [&link, &clock, address, port, idle](StepContext& context) {
            Outcome outcome = CheckNetworkPrinter(link, clock, address, port, context.cancel);
            outcome.enabled = idle;
            return outcome;
        },
        [this](const Outcome& outcome) { FinishCheck(outcome); }, kCancelAction);
}

void NetworkConnectionScreen::FinishCheck(const Outcome& outcome) {
    if (!outcome.ok()) {
        // "ERROR : Printer check.": the screen stays with its values.
        m_services.ShowAll(this, outcome);
        emit connectionChecked(false);
        return;
    }
    emit connectionChecked(true);
    accept();
}

void NetworkConnectionScreen::reject() {
    if (m_runner->Busy()) {
        // Cancel during the check: stop its probe rounds (the check closes the socket),
        // then leave without reporting the result.
        m_runner->Close({}, [this] { QDialog::reject(); });
        return;
    }
    QDialog::reject();
}

void NetworkConnectionScreen::OnSettingButton() {
    if (IsWifi()) {
        RunWifiSetup(WifiSetup::Infrastructure);
        return;
    }
    if (m_settingScreen) m_settingScreen(this);
}

void NetworkConnectionScreen::OnReservedButton() {
    if (IsWifi()) RunWifiSetup(WifiSetup::LimitedAp);
}

void NetworkConnectionScreen::RunWifiSetup(WifiSetup which) {
    // The WiFi component talks to the printer over USB, outside the printer port.
    m_services.prompter.Show(this, m_services.Text(kUsbNotice), m_services.Text(kNoticeCaption));
    // The set-up function says itself when its component is missing.
    if (m_wifiSetup) m_wifiSetup(which, this);
}

}  // namespace kp70
