#include "gui/app/ConnectionScreen.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/app/Clock.h"
#include "core/app/ConnectionSettings.h"
#include "core/app/ErrorLog.h"
#include "core/app/Language.h"
#include "core/app/ModelCatalogue.h"
#include "core/transport/UsbDiscovery.h"
#include "gui/app/MainMenuRunner.h"
#include "gui/app/NetworkDialogRunner.h"

namespace kp70 {

namespace {

// The screen's labels: English, and the Korean form set under a Korean locale.
struct Label {
    const char* english;
    const char* korean;
};
constexpr Label kDeviceLabel{"DEVICE", "프린터종류"};
constexpr Label kPortLabel{"PORT", "포트"};
constexpr Label kBaudLabel{"Baudrate", "통신속도"};
constexpr Label kParityLabel{"Parity", "패리티"};
constexpr Label kDataLengthLabel{"Data Length", "테이터 길이"};
constexpr Label kFlowLabel{"Flow control", "플로우 컨트롤"};
constexpr Label kStopBitLabel{"Stop Bit", "스톱 비트"};
constexpr Label kCancelLabel{"Cancel", "취소"};
constexpr const char* kOkLabel = "OK";

const QStringList kBaudrates{"115200", "38400", "19200", "9600"};
const QStringList kBaudratesModel2{"38400", "19200", "9600"};
const QStringList kParities{"NONE", "ODD", "EVEN"};
const QStringList kDataLengths{"8 Bits", "7 Bits", "6 Bits", "5 Bits"};
const QStringList kFlowControls{"H/W", "S/W", "NONE"};
const QStringList kStopBits{"1", "2"};

// A USB printer is looked for in up to 16 rounds, 250 ms apart.
constexpr int kUsbSearchRounds = 16;
constexpr int kUsbSearchWaitMs = 250;

QComboBox* MakeList(QWidget* parent, const char* name, const QStringList& items) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    return list;
}

}  // namespace

ConnectionScreen::ConnectionScreen(const ScreenServices& services, DeviceEnumerator& devices,
                                   ConnectionSettings& settings, NetworkDialogRunner& networkDialog,
                                   MainMenuRunner& mainMenu, QWidget* parent)
    : QDialog(parent),
      m_services(services),
      m_devices(devices),
      m_settings(settings),
      m_networkDialog(networkDialog),
      m_mainMenu(mainMenu) {
    BuildControls();
    if (m_services.catalogue.IsKorean()) SetKoreanLabels();

    // DEVICE: the profile's entries ahead of the built-in ones, nothing selected.
    for (const std::string& entry : ProfileDeviceEntries(m_services.profile))
        m_device->addItem(QString::fromStdString(entry));
    for (const std::string& entry : models::BuiltInEntries())
        m_device->addItem(QString::fromStdString(entry));
    m_device->setCurrentIndex(-1);

    setWindowTitle(QString::fromUtf8(texts::kConnectionTitle));

    m_port->setEnabled(false);
    SetLineSettingsEnabled(false);
    m_ok->setEnabled(false);

    connect(m_device, &QComboBox::currentIndexChanged, this, &ConnectionScreen::OnDeviceChanged);
    connect(m_dataLength, &QComboBox::currentIndexChanged, this,
            &ConnectionScreen::OnDataLengthChanged);
    connect(m_ok, &QPushButton::clicked, this, &ConnectionScreen::OnOk);
    connect(m_cancel, &QPushButton::clicked, this, &ConnectionScreen::reject);
}

ConnectionScreen::~ConnectionScreen() {
    m_stopSearch = true;
    if (m_usbSearch.joinable()) m_usbSearch.join();
}

void ConnectionScreen::BuildControls() {
    auto makeLabel = [this](const char* name, const Label& text) {
        auto* label = new QLabel(QString::fromUtf8(text.english), this);
        label->setObjectName(name);
        return label;
    };
    m_deviceLabel = makeLabel("deviceLabel", kDeviceLabel);
    m_portLabel = makeLabel("portLabel", kPortLabel);
    m_baudLabel = makeLabel("baudLabel", kBaudLabel);
    m_parityLabel = makeLabel("parityLabel", kParityLabel);
    m_dataLengthLabel = makeLabel("dataLengthLabel", kDataLengthLabel);
    m_flowLabel = makeLabel("flowLabel", kFlowLabel);
    m_stopBitLabel = makeLabel("stopBitLabel", kStopBitLabel);

    m_device = MakeList(this, "deviceCombo", {});
    m_port = MakeList(this, "portCombo", {});
    m_baud = MakeList(this, "baudCombo", kBaudrates);
    m_parity = MakeList(this, "parityCombo", kParities);
    m_dataLength = MakeList(this, "dataLengthCombo", kDataLengths);
    m_flow = MakeList(this, "flowCombo", kFlowControls);
    m_stopBit = MakeList(this, "stopBitCombo", kStopBits);
    m_device->setMinimumContentsLength(16);
    m_port->setMinimumContentsLength(16);

    auto* form = new QFormLayout;
    form->addRow(m_deviceLabel, m_device);
    form->addRow(m_portLabel, m_port);
    form->addRow(m_baudLabel, m_baud);
    form->addRow(m_parityLabel, m_parity);
    form->addRow(m_dataLengthLabel, m_dataLength);
    form->addRow(m_flowLabel, m_flow);
    form->addRow(m_stopBitLabel, m_stopBit);

    m_ok = new QPushButton(QString::fromUtf8(kOkLabel), this);
    m_ok->setObjectName("okButton");
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QString::fromUtf8(kCancelLabel.english), this);
    m_cancel->setObjectName("cancelButton");
    m_cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

void ConnectionScreen::SetKoreanLabels() {
    m_deviceLabel->setText(QString::fromUtf8(kDeviceLabel.korean));
    m_portLabel->setText(QString::fromUtf8(kPortLabel.korean));
    m_baudLabel->setText(QString::fromUtf8(kBaudLabel.korean));
    m_parityLabel->setText(QString::fromUtf8(kParityLabel.korean));
    m_dataLengthLabel->setText(QString::fromUtf8(kDataLengthLabel.korean));
    m_flowLabel->setText(QString::fromUtf8(kFlowLabel.korean));
    m_stopBitLabel->setText(QString::fromUtf8(kStopBitLabel.korean));
    m_cancel->setText(QString::fromUtf8(kCancelLabel.korean));
}

void ConnectionScreen::SetLineSettingsEnabled(bool enabled) {
    for (QComboBox* list : {m_baud, m_parity, m_dataLength, m_flow, m_stopBit})
        list->setEnabled(enabled);
}

void ConnectionScreen::FillBaudrates() {
    m_baud->clear();
    m_baud->addItems(m_modelGroup == 2 ? kBaudratesModel2 : kBaudrates);
    m_baud->setCurrentIndex(0);
}

void ConnectionScreen::OnDeviceChanged(int index) {
    // Clearing the selection (after a failed USB search) is not a choice of the operator.
    if (index < 0 || m_searching) return;
    const std::string entry = m_device->itemText(index).toStdString();

    m_modelGroup = models::ClassifyAtSelection(entry);
    if (m_modelGroup == 0) {
        // "Invalid Device!". The other controls keep their state, but OK is disabled: left
        // enabled it would open the menu for the previous entry's port with the unknown name.
        m_services.ShowMessage(this, 9);
        m_interfaceKind = kInterfaceNone;
        m_ok->setEnabled(false);
        return;
    }

    m_interfaceKind = models::InterfaceKindOf(entry, m_modelGroup);
    switch (m_interfaceKind) {
        case kInterfaceEthernet:
        case kInterfaceWifi:
            m_port->setEnabled(false);
            SetLineSettingsEnabled(false);
            m_ok->setEnabled(true);
            return;
        case kInterfaceUsbPrinter:
            StartUsbSearch();
            return;
        case kInterfaceParallel: {
            m_port->clear();
            for (const std::string& name : ListPorts(m_devices, PortListKind::Parallel))
                m_port->addItem(QString::fromStdString(name));
            if (m_port->count() == 0) {
                m_services.ShowMessage(this, 12);  // "Not exist LPT port on your system."
                m_port->setCurrentIndex(-1);
                return;
            }
            m_port->setCurrentIndex(0);
            m_port->setEnabled(true);
            SetLineSettingsEnabled(false);
            break;
        }
        case kInterfaceSerial:
        case kInterfaceUsbSerial:
            m_port->clear();
            if (m_interfaceKind == kInterfaceSerial) {
                for (const std::string& name : ListPorts(m_devices, PortListKind::Serial))
                    m_port->addItem(QString::fromStdString(name));
                if (m_port->count() == 0) {
                    m_services.ShowMessage(this, 13);  // "Not exist COM port on your system."
                    m_port->setCurrentIndex(-1);
                    return;
                }
            } else {
                // The port of the printer's USB-serial device; added even when none was found.
                m_port->addItem(
                    QString::fromStdString(FindUsbSerialPortForModel(m_devices, m_modelGroup)));
            }
            m_port->setCurrentIndex(0);
            m_port->setEnabled(true);
            SetLineSettingsEnabled(true);
            FillBaudrates();
            break;
        default:
            break;
    }
    m_ok->setEnabled(m_modelGroup != 0 && m_interfaceKind != kInterfaceNone);
}

void ConnectionScreen::OnDataLengthChanged(int /*index*/) {
    // Five data bits allow only one stop bit.
    const QString previous = m_stopBit->currentText();
    const bool fiveBits = m_dataLength->currentText() == QLatin1String("5 Bits");
    m_stopBit->clear();
    m_stopBit->addItems(fiveBits ? QStringList{"1"} : kStopBits);
    const int found = m_stopBit->findText(previous);
    m_stopBit->setCurrentIndex(found >= 0 ? found : (fiveBits ? 0 : -1));
}

void ConnectionScreen::StartUsbSearch() {
    m_savedTitle = windowTitle();
    setWindowTitle(QString::fromUtf8(texts::kSearchingTitle));
    setEnabled(false);
    m_searching = true;
    m_stopSearch = false;
    if (m_usbSearch.joinable()) m_usbSearch.join();

    const std::string idPrefix = models::UsbPrinterSearchId(m_modelGroup);
    m_usbSearch = std::thread([this, idPrefix] {
        int count = -1;
        for (int round = 0; round < kUsbSearchRounds && !m_stopSearch; ++round) {
            count = CountUsbPrinters(m_devices, idPrefix, &m_services.log);
            if (count >= 1) break;
            QMetaObject::invokeMethod(
                this, [this] { AppendSearchDot(); }, Qt::QueuedConnection);
            m_services.clock.SleepFor(kUsbSearchWaitMs);
        }
        QMetaObject::invokeMethod(
            this, [this, count] { FinishUsbSearch(count); }, Qt::QueuedConnection);
    });
}

void ConnectionScreen::AppendSearchDot() {
    if (m_searching) setWindowTitle(windowTitle() + QLatin1Char('.'));
}

void ConnectionScreen::FinishUsbSearch(int count) {
    if (m_usbSearch.joinable()) m_usbSearch.join();
    m_searching = false;
    setWindowTitle(m_savedTitle);
    setEnabled(true);
    if (m_rejectAfterSearch) {
        // Cancel was pressed while searching: leave without reporting the result.
        m_rejectAfterSearch = false;
        QDialog::reject();
        return;
    }

    if (count == 1) {
        m_port->setEnabled(false);
        SetLineSettingsEnabled(false);
        m_ok->setEnabled(true);
    } else {
        // "Turn on your USB printer\r\nand Try again." or "...There are too many device
        // connected!"; the operator must choose the entry again.
        m_services.ShowMessage(this, count < 1 ? 10 : 11);
        m_ok->setEnabled(false);
        m_port->setCurrentIndex(-1);
        m_device->setCurrentIndex(-1);
    }
    emit usbSearchFinished(count);
}

void ConnectionScreen::reject() {
    if (m_searching) {
        m_rejectAfterSearch = true;
        m_stopSearch = true;
        return;
    }
    QDialog::reject();
}

bool ConnectionScreen::StoreLineSettings() {
    if (m_baud->currentIndex() < 0) {
        m_services.ShowMessage(this, 5);
        return false;
    }
    m_settings.baudRate = m_baud->currentText().toInt();

    if (m_dataLength->currentIndex() < 0) {
        m_services.ShowMessage(this, 6);
        return false;
    }
    m_settings.dataBits = m_dataLength->currentText().section(QLatin1Char(' '), 0, 0).toInt();

    if (m_parity->currentIndex() < 0) {
        m_services.ShowMessage(this, 7);
        return false;
    }
    m_settings.parity = m_parity->currentIndex();

    if (m_stopBit->currentText().isEmpty()) {
        m_services.ShowMessage(this, 53);
        return false;
    }
    m_settings.stopBits = m_stopBit->currentText() == QLatin1String("2") ? 2 : 0;

    if (m_flow->currentIndex() < 0) {
        m_services.ShowMessage(this, 8);
        return false;
    }
    m_settings.flowControl = m_flow->currentIndex() + 1;
    return true;
}

void ConnectionScreen::OnOk() {
    m_settings.portName = m_port->currentText().toStdString();
    m_settings.modelCode = models::ClassifyAtOk(m_device->currentText().toStdString());

    switch (m_interfaceKind) {
        case kInterfaceUsbPrinter:
            m_settings.portName = "USB";
            m_mainMenu.RunMainMenu(this);
            break;
        case kInterfaceEthernet:
            m_settings.portName = "ETHERNET_II";
            if (m_networkDialog.RunNetworkDialog(this)) m_mainMenu.RunMainMenu(this);
            break;
        case kInterfaceWifi: {
            // The dialog offers its WiFi functions while the name does not begin with "ETH";
            // afterwards the printer is reached over TCP like an Ethernet one.
            m_settings.portName = "WIFI";
            const bool accepted = m_networkDialog.RunNetworkDialog(this);
            m_settings.portName = "ETHERNET_II";
            if (accepted) m_mainMenu.RunMainMenu(this);
            break;
        }
        case kInterfaceParallel:
            m_mainMenu.RunMainMenu(this);
            break;
        case kInterfaceSerial:
        case kInterfaceUsbSerial:
            if (StoreLineSettings()) m_mainMenu.RunMainMenu(this);
            break;
        default:
            break;
    }
}

}  // namespace kp70
