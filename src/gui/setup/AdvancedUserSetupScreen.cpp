#include "gui/setup/AdvancedUserSetupScreen.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <initializer_list>

#include "core/app/Clock.h"
#include "core/setup/ReplyMapping.h"
#include "core/setup/SetupLists.h"
#include "core/setup/SetupProfile.h"
#include "core/setup/WriteBlock.h"
#include "core/transport/ParallelController.h"
#include "core/transport/PrinterPort.h"

namespace kp70 {

namespace {

using namespace setupscreen;

constexpr int kMessageDefaults = 49;    // "Are you sure?(Y/N) ..."
constexpr int kMessageNvBudget = 50;    // "Out of range the MAX NV memory Size! ..." (%d)
constexpr int kMessageThreadFail = 52;  // "ERROR : Cannot create receive thread!"
constexpr int kMessageStopBit = 54;     // the stop-bit warning
constexpr int kMessageMargin = 61;      // "Please input a value between 0 ~ 512."

// After the last reply of a network read the buttons rest this long.
constexpr int kNetworkPauseMs = 800;
// The parallel-port read timer is waited for in slices, so a close need not wait for it.
constexpr int kTimerSliceMs = 100;

template <typename List>
QStringList Items(const List& list) {
    QStringList items;
    for (const char* text : list) items << QString::fromUtf8(text);
    return items;
}

QStringList CodePageItems() {
    QStringList items;
    for (const auto& entry : setup::CodePages()) items << QString::fromUtf8(entry.text);
    return items;
}

// The row of controls to the right of a label.
QHBoxLayout* AddRow(QGridLayout* grid, QLabel* label, std::initializer_list<QWidget*> widgets) {
    const int row = grid->rowCount();
    grid->addWidget(label, row, 0);
    auto* controls = new QHBoxLayout;
    for (QWidget* widget : widgets) controls->addWidget(widget);
    controls->addStretch(1);
    grid->addLayout(controls, row, 1);
    return controls;
}

// Shows a number in its field unless the field already holds it (or holds nothing while
// the value is not a number yet), so a field being typed into is left alone.
void ShowNumber(QLineEdit* field, int value) {
    bool ok = false;
    const int shown = field->text().toInt(&ok);
    if (ok && shown == value) return;
    if (value == SetupValues::kUnset && field->text().isEmpty()) return;
    field->setText(QString::number(value));
}

}  // namespace

AdvancedUserSetupScreen::AdvancedUserSetupScreen(const ScreenServices& services,
                                                 UserSetupLinks links,
                                                 std::string connectionSummary, QWidget* parent)
    : QDialog(parent),
      m_services(services),
      m_links(std::move(links)),
      m_summary(std::move(connectionSummary)) {
    const ConnectionSettings& settings = m_links.port.Settings();
    m_korean = m_services.catalogue.IsKorean();
    m_modelCode = settings.modelCode;
    m_kind = PortKindOf(settings.portName);

    setWindowTitle(QString::fromUtf8(texts::kSetupTitle));
    // The receive-buffer list comes from the profile; the code page keys are written each
    // time the screen opens.
    m_receiveBuffers = LoadReceiveBufferList(m_services.profile, m_korean);
    WriteCodePageKeys(m_services.profile);

    BuildWidgets();
    ApplyModelRules();
    ShowValues();
    UpdateControls();
}

AdvancedUserSetupScreen::~AdvancedUserSetupScreen() {
    m_stopping = true;
    m_cancelRead = true;
    if (m_session && m_phase != Phase::Closed) {
        if (!m_worker.Post([this] { m_session->Close(false); })) m_session->Close(false);
    }
    WaitForWorker();
}

// ---- building ----

QLabel* AdvancedUserSetupScreen::MakeLabel(QWidget* parent, const char* name, const Text& text) {
    auto* label = new QLabel(text.In(m_korean), parent);
    label->setObjectName(QString::fromUtf8(name));
    return label;
}

AdvancedUserSetupScreen::RadioPair AdvancedUserSetupScreen::MakePair(
    QWidget* parent, const char* name, const Text& label, const Text& first, const Text& second,
    int SetupValues::*field) {
    const QString base = QString::fromUtf8(name);
    RadioPair pair;
    pair.label = MakeLabel(parent, (base + "Label").toUtf8().constData(), label);
    pair.first = new QRadioButton(first.In(m_korean), parent);
    pair.first->setObjectName(base + "First");
    pair.second = new QRadioButton(second.In(m_korean), parent);
    pair.second->setObjectName(base + "Second");
    pair.group = new QButtonGroup(parent);
    pair.group->addButton(pair.first, 0);
    pair.group->addButton(pair.second, 1);
    pair.field = field;
    return pair;
}

QComboBox* AdvancedUserSetupScreen::MakeList(QWidget* parent, const char* name,
                                             const QStringList& items, int SetupValues::*field) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromUtf8(name));
    list->addItems(items);
    list->setCurrentIndex(-1);
    m_lists.push_back({list, field});
    const ListBinding binding = m_lists.back();
    connect(list, &QComboBox::activated, this,
            [this, binding](int index) { OnListActivated(binding, index); });
    return list;
}

QLineEdit* AdvancedUserSetupScreen::MakeNumberField(QWidget* parent, const char* name,
                                                    int SetupValues::*field) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromUtf8(name));
    // Digits only; the range is checked when the fields are read for a write.
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), edit));
    edit->setMaximumWidth(60);
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
        bool ok = false;
        const int value = text.toInt(&ok);
        m_values.*field = ok ? value : SetupValues::kUnset;
    });
    return edit;
}

void AdvancedUserSetupScreen::BuildWidgets() {
    auto* layout = new QVBoxLayout(this);

    // MODEL: the connection summary of the main menu.
    auto* modelRow = new QHBoxLayout;
    modelRow->addWidget(MakeLabel(this, "modelLabel", kModel));
    m_modelText = new QLabel(QString::fromStdString(m_summary).replace("\r\n", "\n"), this);
    m_modelText->setObjectName("modelText");
    m_modelText->setFrameShape(QFrame::StyledPanel);
    m_modelText->setMinimumWidth(240);
    modelRow->addWidget(m_modelText, 1);
    layout->addLayout(modelRow);

    auto* groups = new QHBoxLayout;
    layout->addLayout(groups);

    // ---- left group ----
    m_leftGroup = new QGroupBox(kLeftGroup.In(m_korean), this);
    m_leftGroup->setObjectName("setupGroup");
    QWidget* left = m_leftGroup;
    auto* leftGrid = new QGridLayout(m_leftGroup);
    groups->addWidget(m_leftGroup, 3);

    m_paperWidth =
        MakePair(left, "paperWidth", kPaperWidth, k80mm, k58mm, &SetupValues::paperWidth);
    m_columnList =
        MakeList(left, "columnList", Items(setup::kColumnChoices), &SetupValues::columnChoice);
    AddRow(leftGrid, m_paperWidth.label, {m_paperWidth.first, m_paperWidth.second, m_columnList});

    m_paperType = MakePair(left, "paperType", kPaperType, kBlack, k2Color, &SetupValues::paperType);
    m_twoColorDensityList = MakeList(left, "twoColorDensityList", Items(setup::kTwoColorDensities),
                                     &SetupValues::twoColorDensity);
    AddRow(leftGrid, m_paperType.label,
           {m_paperType.first, m_paperType.second, m_twoColorDensityList});

    m_waterMark =
        MakePair(left, "waterMark", kWaterMark, kDisable, kEnable, &SetupValues::waterMark);
    m_imageNumberLabel = MakeLabel(left, "imageNumberLabel", kImageNumber);
    m_imageNumber = MakeNumberField(left, "imageNumber", &SetupValues::imageNumber);
    AddRow(leftGrid, m_waterMark.label,
           {m_waterMark.first, m_waterMark.second, m_imageNumberLabel, m_imageNumber});

    m_cuttingAdjust = MakePair(left, "cuttingAdjust", kCuttingAdjust, kOffUse, kOnUse,
                               &SetupValues::cuttingAdjust);
    m_lines = MakeNumberField(left, "lines", &SetupValues::lines);
    AddRow(leftGrid, m_cuttingAdjust.label,
           {m_cuttingAdjust.first, m_cuttingAdjust.second, m_lines,
            MakeLabel(left, "linesLabel", kLines)});

    m_drawerWithCutting = MakePair(left, "drawerWithCutting", kDrawerWithCutting, kDisable, kEnable,
                                   &SetupValues::drawerWithCutting);
    AddRow(leftGrid, m_drawerWithCutting.label,
           {m_drawerWithCutting.first, m_drawerWithCutting.second});

    m_bellTypeLengthLabel = MakeLabel(left, "bellTypeLengthLabel", kBellTypeLength);
    m_bellTypeList =
        MakeList(left, "bellTypeList", Items(setup::kBellTypes), &SetupValues::bellType);
    m_bellLengthList =
        MakeList(left, "bellLengthList", Items(setup::kBellLengths), &SetupValues::bellLength);
    m_bellUnit = MakeLabel(left, "bellUnitLabel", kTimes);
    AddRow(leftGrid, m_bellTypeLengthLabel, {m_bellTypeList, m_bellLengthList, m_bellUnit});

    m_codePageList = MakeList(left, "codePageList", CodePageItems(), &SetupValues::codePage);
    AddRow(leftGrid, MakeLabel(left, "codePageLabel", kCodePage), {m_codePageList});

    m_nvGraphicList =
        MakeList(left, "nvGraphicList", Items(setup::kNvGraphicSizes), &SetupValues::nvGraphic);
    AddRow(leftGrid, MakeLabel(left, "nvGraphicLabel", kNvGraphic),
           {m_nvGraphicList, MakeLabel(left, "nvGraphicUnit", kKbyte)});

    m_nvUserList = MakeList(left, "nvUserList", Items(setup::kNvUserSizes), &SetupValues::nvUser);
    AddRow(leftGrid, MakeLabel(left, "nvUserLabel", kNvUser),
           {m_nvUserList, MakeLabel(left, "nvUserUnit", kKbyte)});

    m_cuttingMode =
        MakePair(left, "cuttingMode", kCuttingMode, kPartial, kFullCut, &SetupValues::cuttingMode);
    AddRow(leftGrid, m_cuttingMode.label, {m_cuttingMode.first, m_cuttingMode.second});

    m_printSpeedList =
        MakeList(left, "printSpeedList", Items(setup::kPrintSpeeds), &SetupValues::printSpeed);
    AddRow(leftGrid, MakeLabel(left, "printSpeedLabel", kPrintSpeed),
           {m_printSpeedList, MakeLabel(left, "printSpeedUnit", kMmPerSec)});

    m_margin = MakeNumberField(left, "leftMargin", &SetupValues::leftMargin);
    AddRow(leftGrid, MakeLabel(left, "leftMarginLabel", kLeftMargin),
           {m_margin, MakeLabel(left, "leftMarginUnit", kDotRange)});

    m_drawerInSelfTest = MakePair(left, "drawerInSelfTest", kDrawerInSelfTest, kEnable, kDisable,
                                  &SetupValues::drawerInSelfTest);
    AddRow(leftGrid, m_drawerInSelfTest.label,
           {m_drawerInSelfTest.first, m_drawerInSelfTest.second});

    // Only a Korean printer has a bold Korean font; elsewhere the row is reserved.
    m_boldFont = MakePair(left, "boldFont", m_korean ? kBoldKoreanFont : kReserved, kOff, kOn,
                          &SetupValues::boldKoreanFont);
    AddRow(leftGrid, m_boldFont.label, {m_boldFont.first, m_boldFont.second});

    QStringList buffers;
    for (const std::string& entry : m_receiveBuffers) buffers << QString::fromStdString(entry);
    m_receiveBufferList = MakeList(left, "receiveBufferList", buffers, &SetupValues::receiveBuffer);
    AddRow(leftGrid, MakeLabel(left, "receiveBufferLabel", kReceiveBuffer),
           {m_receiveBufferList, MakeLabel(left, "receiveBufferUnit", kKbyte)});

    m_stopBit = MakePair(left, "stopBit", kStopBit, kOne, kTwo, &SetupValues::stopBit);
    AddRow(leftGrid, m_stopBit.label, {m_stopBit.first, m_stopBit.second});

    m_setupCode = new QLineEdit(left);
    m_setupCode->setObjectName("setupCode");
    m_setupCode->setMaxLength(8);
    m_setupCode->setMaximumWidth(100);
    connect(m_setupCode, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_values.setupCode = text.toStdString(); });
    AddRow(leftGrid, MakeLabel(left, "setupCodeLabel", kSetupCode), {m_setupCode});

    // The margin and code fields select all their text when they gain focus.
    m_margin->installEventFilter(this);
    m_setupCode->installEventFilter(this);

    // ---- right group ----
    m_rightGroup = new QGroupBox(kRightGroup.In(m_korean), this);
    m_rightGroup->setObjectName("newOptionGroup");
    QWidget* right = m_rightGroup;
    auto* rightGrid = new QGridLayout(m_rightGroup);
    groups->addWidget(m_rightGroup, 2);

    m_emulation = MakePair(right, "emulation", kEmulation, kEpson, kStar, &SetupValues::emulation);
    AddRow(rightGrid, m_emulation.label, {m_emulation.first, m_emulation.second});

    m_densityLabel = MakeLabel(right, "densityLabel", kDensity);
    m_densityList = MakeList(right, "densityList", Items(setup::kDensities), &SetupValues::density);
    AddRow(rightGrid, m_densityLabel, {m_densityList});

    m_autoCut = MakePair(right, "autoCut", kAutoCut, kOnUse, kOffUse, &SetupValues::autoCut);
    AddRow(rightGrid, m_autoCut.label, {m_autoCut.first, m_autoCut.second});

    m_selfTest =
        MakePair(right, "selfTest", kSelfTest, kSelfTestChoice, kHexaDump, &SetupValues::selfTest);
    AddRow(rightGrid, m_selfTest.label, {m_selfTest.first, m_selfTest.second});

    m_kitchenBell =
        MakePair(right, "kitchenBell", kKitchenBell, kOffUse, kOnUse, &SetupValues::kitchenBell);
    AddRow(rightGrid, m_kitchenBell.label, {m_kitchenBell.first, m_kitchenBell.second});

    m_usbMode = MakePair(right, "usbMode", kUsbMode, kUsb, kCom, &SetupValues::usbMode);
    AddRow(rightGrid, m_usbMode.label, {m_usbMode.first, m_usbMode.second});

    m_paperSaveLabel = MakeLabel(right, "paperSaveLabel", kPaperSaveMode);
    m_paperSaveList = MakeList(right, "paperSaveList", Items(setup::kPaperSaveModes),
                               &SetupValues::paperSaveMode);
    AddRow(rightGrid, m_paperSaveLabel, {m_paperSaveList});

    m_sleepModeLabel = MakeLabel(right, "sleepModeLabel", kSleepMode);
    m_sleepModeList =
        MakeList(right, "sleepModeList", Items(setup::kSleepModes), &SetupValues::sleepMode);
    AddRow(rightGrid, m_sleepModeLabel, {m_sleepModeList});

    // The picture of the model that has no "New Option" settings of its own.
    m_picture = new QLabel(QStringLiteral("KP 70"), right);
    m_picture->setObjectName("picture");
    m_picture->setFrameShape(QFrame::Box);
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setMinimumSize(120, 80);
    rightGrid->addWidget(m_picture, rightGrid->rowCount(), 0, 1, 2, Qt::AlignCenter);
    rightGrid->setRowStretch(rightGrid->rowCount(), 1);

    m_pairs = {&m_paperWidth,        &m_paperType,   &m_waterMark,        &m_cuttingAdjust,
               &m_drawerWithCutting, &m_cuttingMode, &m_drawerInSelfTest, &m_boldFont,
               &m_stopBit,           &m_emulation,   &m_autoCut,          &m_selfTest,
               &m_kitchenBell,       &m_usbMode};
    for (RadioPair* pair : m_pairs) {
        connect(pair->first, &QRadioButton::clicked, this,
                [this, pair] { OnPairClicked(*pair, 0); });
        connect(pair->second, &QRadioButton::clicked, this,
                [this, pair] { OnPairClicked(*pair, 1); });
    }

    // ---- buttons ----
    auto* buttons = new QHBoxLayout;
    auto makeButton = [&](const char* name, const Text& text) {
        auto* button = new QPushButton(text.In(m_korean), this);
        button->setObjectName(QString::fromUtf8(name));
        button->setAutoDefault(false);
        buttons->addWidget(button);
        return button;
    };
    m_getValue = makeButton("getValue", kGetValue);
    m_setValue = makeButton("setValue", kSetValue);
    m_test = makeButton("test", kTest);
    m_default = makeButton("defaults", kDefault);
    m_exit = makeButton("exit", kExit);
    layout->addLayout(buttons);

    connect(m_getValue, &QPushButton::clicked, this, &AdvancedUserSetupScreen::OnGetValue);
    connect(m_setValue, &QPushButton::clicked, this, &AdvancedUserSetupScreen::OnSetValue);
    connect(m_test, &QPushButton::clicked, this, &AdvancedUserSetupScreen::OnTest);
    connect(m_default, &QPushButton::clicked, this, &AdvancedUserSetupScreen::OnDefault);
    connect(m_exit, &QPushButton::clicked, this, &AdvancedUserSetupScreen::OnExit);
}

void AdvancedUserSetupScreen::ApplyModelRules() {
    if (m_modelCode == 5) {
        // This model has only the paper save and sleep modes of the new options.
        for (RadioPair* pair :
             {&m_emulation, &m_kitchenBell, &m_autoCut, &m_selfTest, &m_usbMode}) {
            pair->label->hide();
            pair->first->hide();
            pair->second->hide();
        }
        m_densityLabel->hide();
        m_densityList->hide();
        return;
    }
    m_picture->hide();
    if (m_modelCode == 4) {
        // No kitchen bell, USB mode or sleep mode on this model.
        for (QLabel* label :
             {m_bellTypeLengthLabel, m_kitchenBell.label, m_usbMode.label, m_sleepModeLabel}) {
            label->setText(kReserved.In(m_korean));
            label->setEnabled(false);
        }
    }
}

// ---- showing ----

void AdvancedUserSetupScreen::ShowValues() {
    for (RadioPair* pair : m_pairs) {
        const int value = m_values.*(pair->field);
        if (value == 0) {
            pair->first->setChecked(true);
        } else if (value == 1) {
            pair->second->setChecked(true);
        } else {
            pair->group->setExclusive(false);
            pair->first->setChecked(false);
            pair->second->setChecked(false);
            pair->group->setExclusive(true);
        }
    }
    for (const ListBinding& binding : m_lists) {
        const int value = m_values.*(binding.field);
        binding.list->setCurrentIndex(value >= 0 && value < binding.list->count() ? value : -1);
    }
    ShowNumber(m_imageNumber, m_values.imageNumber);
    ShowNumber(m_lines, m_values.lines);
    ShowNumber(m_margin, m_values.leftMargin);
    const QString code = QString::fromStdString(m_values.setupCode);
    if (m_setupCode->text() != code) m_setupCode->setText(code);

    // Melodies play up to five times; the bells ring a number of times.
    const bool melody = m_values.bellType >= 1 && m_values.bellType <= 3;
    m_bellUnit->setText((melody ? kOfFive : kTimes).In(m_korean));
}

void AdvancedUserSetupScreen::UpdateControls() {
    const bool idle = m_phase == Phase::Idle;
    // While the connection is opened, written to or closed nothing can be edited; during a
    // parallel-port read only the buttons wait.
    const bool working = m_phase == Phase::Opening || m_phase == Phase::Busy ||
                         m_phase == Phase::Closing || m_phase == Phase::Closed;
    m_leftGroup->setEnabled(!working);
    m_rightGroup->setEnabled(!working);

    const bool ready = idle && !m_failed;
    m_getValue->setEnabled(ready && m_readAllowed && !m_networkPause);
    m_setValue->setEnabled(ready && !m_networkPause);
    m_test->setEnabled(ready);
    m_default->setEnabled(idle && !m_networkPause && (!m_failed || m_failedDefaultEnabled));
    m_exit->setEnabled(idle && (!m_failed || m_failedExitEnabled));

    // After a failure only the stop bit stays editable in the left group.
    const bool left = !m_failed;
    auto enablePair = [](RadioPair& pair, bool enabled) {
        pair.first->setEnabled(enabled);
        pair.second->setEnabled(enabled);
    };
    const bool bell = m_modelCode != 4;
    const bool nv = m_modelCode != 5;
    enablePair(m_paperWidth, left);
    m_columnList->setEnabled(left && m_values.paperWidth == 1);
    enablePair(m_paperType, left);
    m_twoColorDensityList->setEnabled(left && m_values.paperType == 1);
    enablePair(m_waterMark, left);
    m_imageNumber->setEnabled(left && m_values.waterMark == 1);
    enablePair(m_cuttingAdjust, left);
    m_lines->setEnabled(left && m_values.cuttingAdjust == 1);
    enablePair(m_drawerWithCutting, left);
    m_bellTypeList->setEnabled(left && bell);
    m_bellLengthList->setEnabled(left && bell);
    m_codePageList->setEnabled(left);
    m_nvGraphicList->setEnabled(left && nv);
    m_nvUserList->setEnabled(left && nv);
    enablePair(m_cuttingMode, left);
    m_printSpeedList->setEnabled(left);
    m_margin->setEnabled(left);
    enablePair(m_drawerInSelfTest, left);
    m_boldFont.label->setEnabled(m_korean);
    enablePair(m_boldFont, left && m_korean);
    m_receiveBufferList->setEnabled(left);
    enablePair(m_stopBit, true);
    m_setupCode->setEnabled(left);

    enablePair(m_kitchenBell, bell);
    enablePair(m_usbMode, bell);
    m_sleepModeList->setEnabled(bell);

    // The wait cursor while a parallel-port read waits for its replies.
    if (m_phase == Phase::Reading && m_operationRunning)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

// ---- the operator's edits ----

void AdvancedUserSetupScreen::OnPairClicked(RadioPair& pair, int choice) {
    if (&pair == &m_waterMark && choice == 1) return OnWaterMarkEnable();
    if (&pair == &m_paperType && choice == 1) return OnTwoColor();
    m_values.*(pair.field) = choice;
    // 58mm paper proposes the wider column count.
    if (&pair == &m_paperWidth && choice == 1) m_values.columnChoice = 1;
    if (&pair == &m_stopBit) m_values.stopBitTouched = true;
    ShowValues();
    UpdateControls();
}

void AdvancedUserSetupScreen::OnWaterMarkEnable() {
    m_values.waterMark = 1;
    // A water mark cannot be printed on two-colour paper.
    if (m_values.paperType == 1) {
        const auto answer = m_services.prompter.Show(
            this, QString::fromUtf8(kSelectOneColor), QString::fromUtf8(kNoticeCaption),
            Prompter::Icon::Question, Prompter::Buttons::YesNo);
        if (answer == Prompter::Answer::Yes)
            m_values.paperType = 0;
        else
            m_values.waterMark = 0;
    }
    ShowValues();
    UpdateControls();
}

void AdvancedUserSetupScreen::OnTwoColor() {
    m_values.paperType = 1;
    if (m_values.waterMark == 1) {
        const auto answer = m_services.prompter.Show(
            this, QString::fromUtf8(kDisableWaterMark), QString::fromUtf8(kNoticeCaption),
            Prompter::Icon::Question, Prompter::Buttons::YesNo);
        if (answer == Prompter::Answer::Yes) {
            m_values.waterMark = 0;
        } else {
            m_values.paperType = 0;
            ShowValues();
            UpdateControls();
            return;
        }
    }
    m_values.twoColorDensity = 1;  // MEDIUM
    ShowValues();
    UpdateControls();
}

void AdvancedUserSetupScreen::OnListActivated(const ListBinding& binding, int index) {
    m_values.*(binding.field) = index;
    if (binding.list == m_nvGraphicList || binding.list == m_nvUserList) {
        const NvChange changed = binding.list == m_nvUserList ? NvChange::User : NvChange::Graphic;
        if (!CheckNvBudget(m_values, changed)) {
            m_services.prompter.Show(this,
                                     QString::fromStdString(m_services.catalogue.Format(
                                         kMessageNvBudget, setup::kNvBudgetKb)),
                                     QString::fromUtf8(texts::kCaption));
        }
    }
    ShowValues();
    UpdateControls();
}

bool AdvancedUserSetupScreen::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && (watched == m_margin || watched == m_setupCode)) {
        auto* field = static_cast<QLineEdit*>(watched);
        // After the focus change has settled, or the click would place the cursor again.
        QTimer::singleShot(0, field, &QLineEdit::selectAll);
    }
    return QDialog::eventFilter(watched, event);
}

bool AdvancedUserSetupScreen::CheckRange(QLineEdit* field, int value, int min, int max) {
    if (value >= min && value <= max) return true;
    m_services.prompter.Show(this, QString::fromUtf8(kRangePrompt).arg(min).arg(max),
                             QString::fromUtf8(texts::kCaption), Prompter::Icon::Warning);
    field->setFocus();
    field->selectAll();
    return false;
}

bool AdvancedUserSetupScreen::CheckNumberFields() {
    auto number = [](QLineEdit* field) {
        bool ok = false;
        const int value = field->text().toInt(&ok);
        return ok ? value : SetupValues::kUnset;
    };
    // Image number and lines count only when they are written.
    if (m_values.waterMark == 1) {
        m_values.imageNumber = number(m_imageNumber);
        if (!CheckRange(m_imageNumber, m_values.imageNumber, 1, 255)) return false;
    }
    if (m_values.cuttingAdjust == 1) {
        m_values.lines = number(m_lines);
        if (!CheckRange(m_lines, m_values.lines, 0, 255)) return false;
    }
    m_values.leftMargin = number(m_margin);
    if (m_values.leftMargin < 0 || m_values.leftMargin > 512) {
        m_services.prompter.Show(
            this, QString::fromStdString(m_services.catalogue.Message(kMessageMargin)),
            QString::fromUtf8(kNoticeCaption), Prompter::Icon::Warning);
        m_margin->setFocus();
        return false;
    }
    m_values.setupCode = m_setupCode->text().toStdString();
    return true;
}

void AdvancedUserSetupScreen::OnDefault() {
    const auto answer = m_services.prompter.Show(
        this, QString::fromStdString(m_services.catalogue.Message(kMessageDefaults)),
        QString::fromUtf8(texts::kCaption), Prompter::Icon::Question, Prompter::Buttons::YesNo);
    if (answer != Prompter::Answer::Yes) return;
    LoadDefaults(m_values, m_korean);
    ShowValues();
    UpdateControls();
}

// ---- the connection ----

void AdvancedUserSetupScreen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_openStarted) OpenConnection();
}

void AdvancedUserSetupScreen::OpenConnection() {
    if (m_openStarted) return;
    m_openStarted = true;
    const ConnectionSettings& settings = m_links.port.Settings();

    SetupLinks links;
    links.port = &m_links.port;
    links.network = &m_links.network;
    links.networkAddress = m_links.networkAddress;
    links.networkPort = m_links.networkPort;
    if (m_kind == PortKind::Parallel && m_links.makeParallel) {
        m_parallel = m_links.makeParallel();
        links.parallel = m_parallel.get();
    }
    SettingListener& listener = *this;
    m_session = std::make_unique<SetupSession>(settings.portName, links, m_services.clock,
                                               m_links.receiveClock, listener);
    m_readAllowed = m_session->ReadAllowed();

    m_phase = Phase::Opening;
    m_operationRunning = true;
    UpdateControls();
    RunOnWorker([this] {
        const SetupOutcome outcome = m_session->Start();
        ReportBack([this, outcome] { FinishOpen(outcome); });
    });
}

void AdvancedUserSetupScreen::FinishOpen(const SetupOutcome& outcome) {
    m_operationRunning = false;
    if (m_stopping) return;
    m_phase = Phase::Idle;
    if (!outcome.ok()) {
        ShowFailure(outcome);
        CloseConnection(false);
        return;
    }
    UpdateControls();
    ClosePending();
}

bool AdvancedUserSetupScreen::RunOnWorker(std::function<void()> task) {
    if (m_worker.Post(std::move(task))) return true;
    m_services.ShowMessage(this, kMessageThreadFail);
    m_operationRunning = false;
    m_phase = Phase::Idle;
    if (m_session && !m_worker.Busy()) {
        // Nothing runs on the worker, so the session's threads can be stopped from here.
        m_session->Close(false);
    }
    m_phase = Phase::Closed;
    QDialog::done(QDialog::Rejected);
    return false;
}

void AdvancedUserSetupScreen::ReportBack(std::function<void()> done) {
    m_handOff.fetch_add(1, std::memory_order_release);
    QMetaObject::invokeMethod(
        this,
        [this, done = std::move(done)] {
            m_handOff.load(std::memory_order_acquire);
            done();
        },
        Qt::QueuedConnection);
}

void AdvancedUserSetupScreen::ShowFailure(const SetupOutcome& outcome) {
    if (!outcome.literal.empty()) {
        m_services.ShowText(this, QString::fromStdString(outcome.literal));
        return;
    }
    if (outcome.message < 0) return;
    QString text = QString::fromStdString(m_services.catalogue.Message(outcome.message));
    if (!outcome.detail.empty()) text += "\n" + QString::fromStdString(outcome.detail);
    m_services.prompter.Show(this, text, QString::fromUtf8(texts::kCaption));
}

void AdvancedUserSetupScreen::EnterFailedState(bool exitEnabled, bool defaultEnabled) {
    m_failed = true;
    m_failedExitEnabled = exitEnabled;
    m_failedDefaultEnabled = defaultEnabled;
    m_values.ResetAfterFailure();
}

// ---- Get Value ----

void AdvancedUserSetupScreen::OnGetValue() {
    if (m_phase != Phase::Idle || m_failed || !m_session) return;
    const bool parallel = m_kind == PortKind::Parallel;
    m_phase = parallel ? Phase::Reading : Phase::Busy;
    m_readInProgress = parallel;
    m_cancelRead = false;
    m_values.ClearReceived();  // the flags tell what this read brought
    m_operationRunning = true;
    UpdateControls();
    RunOnWorker([this] {
        SetupOutcome outcome = m_session->ReadSettings();
        // The parallel-port read timer: after its period, ask again for what has not
        // answered, until everything has.
        while (outcome.status == SetupStatus::Reading) {
            const int period = m_session->ReadTimerMs();
            if (period <= 0) break;
            for (int waited = 0; waited < period && !m_cancelRead; waited += kTimerSliceMs)
                m_services.clock.SleepFor(std::min(kTimerSliceMs, period - waited));
            if (m_cancelRead) {
                m_session->CancelRead();
                outcome = SetupOutcome{};
                break;
            }
            outcome = m_session->OnReadTimer();
        }
        ReportBack([this, outcome] { FinishRead(outcome); });
    });
}

void AdvancedUserSetupScreen::FinishRead(const SetupOutcome& outcome) {
    m_operationRunning = false;
    if (m_stopping) return;
    if (!outcome.literal.empty()) {
        // A repeated request could not be written: the read is given up and the buttons
        // stay disabled; the operator closes the screen.
        UpdateControls();
        if (!ClosePending()) ShowFailure(outcome);
        return;
    }
    m_readInProgress = false;
    m_phase = Phase::Idle;
    if (outcome.status == SetupStatus::Failed) {
        ShowFailure(outcome);
        // A parallel-port read had disabled EXIT and Default as well.
        const bool kept = m_kind != PortKind::Parallel;
        EnterFailedState(kept, kept);
        ShowValues();
    }
    UpdateControls();
    ClosePending();
}

void AdvancedUserSetupScreen::OnSettingReceived(const SetupReply& reply) {
    // The receive thread waits here until the screen's thread has applied the reply. The
    // thread is only ever stopped from the worker, or while the screen's thread keeps
    // handling queued calls (WaitForWorker), so this wait always ends.
    if (m_stopping) return;
    m_handOff.fetch_add(1, std::memory_order_release);
    QMetaObject::invokeMethod(
        this,
        [this, &reply] {
            m_handOff.load(std::memory_order_acquire);
            ApplySetting(reply);
            m_handOff.fetch_add(1, std::memory_order_release);
        },
        Qt::BlockingQueuedConnection);
    m_handOff.load(std::memory_order_acquire);
}

void AdvancedUserSetupScreen::CancelDelivery() {
    // Nothing to cancel: a hand-off under way ends as soon as the screen's thread handles
    // it, and that thread never waits for the receive thread (see OnSettingReceived).
}

void AdvancedUserSetupScreen::ApplySetting(const SetupReply& reply) {
    if (m_stopping || m_phase == Phase::Closing || m_phase == Phase::Closed) return;
    if (!ApplyReply(m_values, reply)) return;
    if (reply.number == setup::kSetupCode && m_kind == PortKind::Network) {
        // The last reply of a network read: the buttons rest a moment before the next use.
        m_networkPause = true;
        RunOnWorker([this] {
            m_services.clock.SleepFor(kNetworkPauseMs);
            ReportBack([this] {
                m_networkPause = false;
                if (!m_stopping) UpdateControls();
            });
        });
    }
    ShowValues();
    UpdateControls();
}

// ---- Set Value ----

void AdvancedUserSetupScreen::OnSetValue() {
    if (m_phase != Phase::Idle || m_failed || !m_session) return;
    if (!CheckNumberFields()) return;
    const WriteBlock block = BuildWriteBlock(m_values);
    ShowValues();  // the block may have completed values (density MEDIUM, code "0", ...)
    switch (block.status) {
        case WriteBlockStatus::NothingToWrite:
            return;
        case WriteBlockStatus::MarginRefused:
            m_services.prompter.Show(
                this, QString::fromStdString(m_services.catalogue.Message(block.message)),
                QString::fromUtf8(kNoticeCaption), Prompter::Icon::Warning);
            return;
        case WriteBlockStatus::RangeRefused:
            CheckRange(block.rangeField == RangeField::Lines ? m_lines : m_imageNumber,
                       block.rangeValue, block.rangeMin, block.rangeMax);
            return;
        case WriteBlockStatus::Ready:
            break;
    }
    if (block.stopBitWarning) {
        m_services.prompter.Show(
            this, QString::fromStdString(m_services.catalogue.Message(kMessageStopBit)),
            QString::fromUtf8(kNoticeCaption), Prompter::Icon::Information);
    }
    m_phase = Phase::Busy;
    m_operationRunning = true;
    UpdateControls();
    RunOnWorker([this, block] {
        const SetupOutcome outcome = m_session->WriteSettings(block);
        ReportBack([this, outcome] { FinishWrite(outcome); });
    });
}

void AdvancedUserSetupScreen::FinishWrite(const SetupOutcome& outcome) {
    m_operationRunning = false;
    if (m_stopping) return;
    m_phase = Phase::Idle;
    if (outcome.status == SetupStatus::Failed) {
        ShowFailure(outcome);
        EnterFailedState(false, false);
    }
    ShowValues();
    UpdateControls();
    ClosePending();
}

// ---- TEST ----

void AdvancedUserSetupScreen::OnTest() {
    if (m_phase != Phase::Idle || m_failed || !m_session) return;
    m_phase = Phase::Busy;
    m_operationRunning = true;
    UpdateControls();
    RunOnWorker([this] {
        const SetupOutcome outcome = m_session->PrintTestPage(m_korean);
        ReportBack([this, outcome] { FinishTest(outcome); });
    });
}

void AdvancedUserSetupScreen::FinishTest(const SetupOutcome& outcome) {
    m_operationRunning = false;
    if (m_stopping) return;
    m_phase = Phase::Idle;
    if (outcome.status == SetupStatus::Failed) {
        ShowFailure(outcome);
        // The test page leaves EXIT as it was; Default was disabled for it.
        EnterFailedState(true, false);
        ShowValues();
    }
    UpdateControls();
    ClosePending();
}

// ---- closing ----

void AdvancedUserSetupScreen::OnExit() {
    CloseConnection(true);
}

void AdvancedUserSetupScreen::reject() {
    CloseConnection(false);
}

bool AdvancedUserSetupScreen::ClosePending() {
    if (!m_closeRequested) return false;
    m_closeRequested = false;
    CloseConnection(m_closeByExit);
    return true;
}

void AdvancedUserSetupScreen::CloseConnection(bool exitButton) {
    if (m_phase == Phase::Closing || m_phase == Phase::Closed) return;
    if (m_operationRunning) {
        // Close when the operation has ended; a parallel-port read is given up.
        m_closeRequested = true;
        m_closeByExit = m_closeByExit || exitButton;
        m_cancelRead = true;
        return;
    }
    m_phase = Phase::Closing;
    m_closeResult = exitButton ? QDialog::Accepted : QDialog::Rejected;
    UpdateControls();
    if (!m_session) {
        m_phase = Phase::Closed;
        QDialog::done(m_closeResult);
        return;
    }
    const bool readOpen = m_readInProgress;
    m_readInProgress = false;
    RunOnWorker([this, exitButton, readOpen] {
        if (readOpen) m_session->CancelRead();
        m_session->Close(exitButton);
        ReportBack([this] {
            if (m_stopping) return;
            m_phase = Phase::Closed;
            UpdateControls();
            QDialog::done(m_closeResult);
        });
    });
}

void AdvancedUserSetupScreen::WaitForWorker() {
    if (!m_worker.Busy()) return;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!m_worker.Busy()) loop.quit();
    });
    poll.start();
    loop.exec();
}

}  // namespace kp70
