#include "gui/app/ConnectionScreen.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "core/app/BilingualText.h"
#include "core/app/ConnectionSettings.h"
#include "core/app/ErrorLog.h"
#include "gui/app/MainMenuRunner.h"
#include "gui/app/NetworkConnectionRunner.h"

namespace kp70 {

namespace {

constexpr BilingualText kDeviceLabel{"DEVICE", "프린터종류"};
constexpr BilingualText kCancelLabel{"Cancel", "취소"};
constexpr BilingualText kOkLabel{"OK"};

// The lists below DEVICE, in ChoiceList order: their labels and object names.
struct ListControl {
    BilingualText label;
    const char* labelName;
    const char* listName;
};
constexpr std::array<ListControl, kChoiceListCount> kListControls{{
    {{"PORT", "포트"}, "portLabel", "portCombo"},
    {{"Baudrate", "통신속도"}, "baudLabel", "baudCombo"},
    {{"Parity", "패리티"}, "parityLabel", "parityCombo"},
    {{"Data Length", "테이터 길이"}, "dataLengthLabel", "dataLengthCombo"},
    {{"Flow control", "플로우 컨트롤"}, "flowLabel", "flowCombo"},
    {{"Stop Bit", "스톱 비트"}, "stopBitLabel", "stopBitCombo"},
}};

// The actions the operation runner switches: choosing a DEVICE entry, and Cancel, which
// stays usable while the USB search runs.
constexpr ActionSet kChooseAction = 1;
constexpr ActionSet kCancelAction = 2;

bool SameItems(const QComboBox* list, const std::vector<std::string>& items) {
    if (list->count() != static_cast<int>(items.size())) return false;
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i).toStdString() != items[static_cast<std::size_t>(i)]) return false;
    }
    return true;
}

}  // namespace

ConnectionScreen::ConnectionScreen(const ScreenServices& services, DeviceEnumerator& devices,
                                   ConnectionSettings& settings,
                                   NetworkConnectionRunner& networkConnection,
                                   MainMenuRunner& mainMenu,
                                   std::vector<std::string> preferredPorts, QWidget* parent)
    : QDialog(parent),
      m_services(services),
      m_devices(devices),
      m_settings(settings),
      m_networkConnection(networkConnection),
      m_mainMenu(mainMenu),
      m_choice(devices, std::move(preferredPorts)) {
    BuildControls();

    // DEVICE: the profile's entries ahead of the built-in ones, nothing selected.
    for (const std::string& entry : ConnectionChoice::DeviceEntries(m_services.profile))
        m_device->addItem(QString::fromStdString(entry));
    m_device->setCurrentIndex(-1);
    setWindowTitle(QString::fromUtf8(texts::kConnectionTitle));

    m_runner.SetActions({{kChooseAction, m_device}, {kCancelAction, m_cancel}});
    m_runner.ShowActions(kChooseAction | kCancelAction);
    Sync();

    connect(m_device, &QComboBox::currentIndexChanged, this, &ConnectionScreen::OnDeviceChanged);
    for (int i = 0; i < kChoiceListCount; ++i) {
        const auto list = static_cast<ChoiceList>(i);
        connect(m_lists[static_cast<std::size_t>(i)], &QComboBox::currentIndexChanged, this,
                [this, list](int index) { OnListChanged(list, index); });
    }
    connect(m_ok, &QPushButton::clicked, this, &ConnectionScreen::OnOk);
    connect(m_cancel, &QPushButton::clicked, this, &ConnectionScreen::reject);
}

ConnectionScreen::~ConnectionScreen() = default;

void ConnectionScreen::BuildControls() {
    auto* form = new QFormLayout;
    auto addRow = [&](const BilingualText& text, const char* labelName, QComboBox* list) {
        auto* label = new QLabel(m_services.Text(text), this);
        label->setObjectName(labelName);
        form->addRow(label, list);
    };
    m_device = new QComboBox(this);
    m_device->setObjectName("deviceCombo");
    m_device->setMinimumContentsLength(16);
    addRow(kDeviceLabel, "deviceLabel", m_device);
    for (std::size_t i = 0; i < kListControls.size(); ++i) {
        m_lists[i] = new QComboBox(this);
        m_lists[i]->setObjectName(kListControls[i].listName);
        addRow(kListControls[i].label, kListControls[i].labelName, m_lists[i]);
    }
    m_lists[static_cast<std::size_t>(ChoiceList::Port)]->setMinimumContentsLength(16);

    m_ok = new QPushButton(m_services.Text(kOkLabel), this);
    m_ok->setObjectName("okButton");
    m_ok->setDefault(true);
    m_cancel = new QPushButton(m_services.Text(kCancelLabel), this);
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

void ConnectionScreen::Sync() {
    const bool busy = m_runner.Busy();
    for (std::size_t i = 0; i < m_lists.size(); ++i) {
        QComboBox* list = m_lists[i];
        const ChoiceListState& state = m_choice.List(static_cast<ChoiceList>(i));
        const QSignalBlocker block(list);
        if (!SameItems(list, state.items)) {
            list->clear();
            for (const std::string& item : state.items) list->addItem(QString::fromStdString(item));
        }
        list->setCurrentIndex(state.selected);
        list->setEnabled(!busy && state.enabled);
    }
    m_ok->setEnabled(!busy && m_choice.OkEnabled());
}

void ConnectionScreen::ShowNotices(const std::vector<Notice>& notices) {
    for (const Notice& notice : notices) m_services.Show(this, notice);
}

void ConnectionScreen::OnDeviceChanged(int index) {
    // Clearing the selection (after a failed USB search) is not a choice of the operator.
    if (index < 0 || m_runner.Busy()) return;
    const ChoiceStep step = m_choice.ChooseDevice(m_device->itemText(index).toStdString());
    if (step.searchUsb) {
        StartUsbSearch();
        return;
    }
    Sync();
    ShowNotices(step.notices);
}

void ConnectionScreen::OnListChanged(ChoiceList list, int index) {
    m_choice.Select(list, index);
    Sync();
}

void ConnectionScreen::StartUsbSearch() {
    m_savedTitle = windowTitle();
    setWindowTitle(QString::fromUtf8(texts::kSearchingTitle));
    DeviceEnumerator& devices = m_devices;
    Clock& clock = m_services.clock;
    ErrorLog* log = &m_services.log;
    const int modelCode = m_choice.modelCode();
    const bool started = m_runner.Run(
        [this, &devices, &clock, log, modelCode](StepContext& context) {
            Outcome outcome;
            // The outcome's count carries the number of printers found (-1 for none).
            outcome.count = SearchUsbPrinters(
                devices, clock, modelCode, context.cancel,
                [this, &context] { context.Post([this] { AppendSearchDot(); }); }, log);
            outcome.enabled = kChooseAction | kCancelAction;
            return outcome;
        },
        [this](const Outcome& outcome) { FinishUsbSearch(outcome.count); }, kCancelAction);
    if (!started) {
        FinishUsbSearch(-1);
        return;
    }
    Sync();
}

void ConnectionScreen::AppendSearchDot() {
    if (m_runner.Busy()) setWindowTitle(windowTitle() + QLatin1Char('.'));
}

void ConnectionScreen::FinishUsbSearch(int count) {
    setWindowTitle(m_savedTitle);
    const ChoiceStep step = m_choice.UsbSearchEnded(count);
    if (step.clearDevice) {
        const QSignalBlocker block(m_device);
        m_device->setCurrentIndex(-1);
    }
    Sync();
    ShowNotices(step.notices);
    emit usbSearchFinished(count);
}

void ConnectionScreen::reject() {
    if (m_runner.Busy()) {
        // Cancel while searching: stop the search between two rounds, then leave without
        // reporting its result.
        m_runner.Close({}, [this] {
            setWindowTitle(m_savedTitle);
            QDialog::reject();
        });
        return;
    }
    QDialog::reject();
}

void ConnectionScreen::OnOk() {
    if (m_runner.Busy() || !m_choice.OkEnabled()) return;
    const OkStep step = m_choice.Ok(m_settings);
    ShowNotices(step.notices);
    switch (step.next) {
        case AfterOk::MainMenu:
            m_mainMenu.RunMainMenu(this);
            break;
        case AfterOk::NetworkDialog: {
            const bool accepted = m_networkConnection.RunNetworkConnectionScreen(this);
            if (m_choice.NetworkDialogEnded(m_settings, accepted)) m_mainMenu.RunMainMenu(this);
            break;
        }
        case AfterOk::Stay:
            break;
    }
}

}  // namespace kp70
