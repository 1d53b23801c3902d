#include "gui/setup/UserSetupForm.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
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
#include <vector>

#include "core/setup/SettingModel.h"
#include "core/setup/SetupLists.h"

namespace kp70 {

namespace {

using namespace setupscreen;

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
QHBoxLayout* AddRow(QGridLayout* grid, QLabel* label, const std::vector<QWidget*>& widgets) {
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

UserSetupForm::UserSetupForm(SetupValues& values, bool korean, int modelCode,
                             const std::vector<std::string>& receiveBuffers, const QString& summary,
                             QWidget* parent)
    : QWidget(parent),
      m_values(values),
      m_korean(korean),
      m_modelCode(modelCode),
      m_table(SettingTable(receiveBuffers)) {
    BuildWidgets(summary);
}

UserSetupForm::~UserSetupForm() = default;

const Setting& UserSetupForm::SettingNamed(const char* name) const {
    const Setting* setting = FindSetting(m_table, name);
    Q_ASSERT(setting);
    return *setting;
}

QLabel* UserSetupForm::MakeLabel(QWidget* parent, const char* name, const BilingualText& text) {
    auto* label = new QLabel(In(text, m_korean), parent);
    label->setObjectName(QString::fromUtf8(name));
    return label;
}

void UserSetupForm::AddControl(const char* setting, QLabel* rowLabel,
                               std::vector<QWidget*> widgets) {
    Control control;
    control.setting = &SettingNamed(setting);
    control.rowLabel = rowLabel;
    control.widgets = std::move(widgets);
    control.stored = m_buildingLeftGroup && control.setting->field != &SetupValues::stopBit;
    m_controls.push_back(std::move(control));
}

UserSetupForm::RadioPair UserSetupForm::MakePair(QWidget* parent, const char* name,
                                                 const char* setting, const BilingualText& first,
                                                 const BilingualText& second) {
    const QString base = QString::fromUtf8(name);
    const Setting& edited = SettingNamed(setting);
    RadioPair pair;
    pair.label = MakeLabel(parent, (base + "Label").toUtf8().constData(), edited.label);
    pair.first = new QRadioButton(In(first, m_korean), parent);
    pair.first->setObjectName(base + "First");
    pair.second = new QRadioButton(In(second, m_korean), parent);
    pair.second->setObjectName(base + "Second");
    pair.group = new QButtonGroup(parent);
    pair.group->addButton(pair.first, 0);
    pair.group->addButton(pair.second, 1);
    pair.field = edited.field;
    const Setting* chosen = &edited;
    connect(pair.first, &QRadioButton::clicked, this,
            [this, chosen] { emit settingChosen(chosen, 0); });
    connect(pair.second, &QRadioButton::clicked, this,
            [this, chosen] { emit settingChosen(chosen, 1); });
    m_pairs.push_back(pair);
    AddControl(setting, pair.label, {pair.first, pair.second});
    return pair;
}

QComboBox* UserSetupForm::MakeList(QWidget* parent, const char* name, const char* setting,
                                   const QStringList& items, QLabel* rowLabel) {
    const Setting* edited = &SettingNamed(setting);
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromUtf8(name));
    list->addItems(items);
    list->setCurrentIndex(-1);
    m_lists.push_back({list, edited->field});
    connect(list, &QComboBox::activated, this,
            [this, edited](int index) { emit settingChosen(edited, index); });
    AddControl(setting, rowLabel, {list});
    return list;
}

QLineEdit* UserSetupForm::MakeNumberField(QWidget* parent, const char* name, const char* setting) {
    const Setting& edited = SettingNamed(setting);
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromUtf8(name));
    // Digits only; the range is checked when the fields are read for a write.
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), edit));
    edit->setMaximumWidth(60);
    const auto field = edited.field;
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
        bool ok = false;
        const int value = text.toInt(&ok);
        m_values.*field = ok ? value : SetupValues::kUnset;
    });
    return edit;
}

void UserSetupForm::BuildWidgets(const QString& summary) {
    auto* layout = new QVBoxLayout(this);

    // MODEL: the connection summary of the main menu.
    auto* modelRow = new QHBoxLayout;
    modelRow->addWidget(MakeLabel(this, "modelLabel", kModel));
    auto* modelText = new QLabel(QString(summary).replace("\r\n", "\n"), this);
    modelText->setObjectName("modelText");
    modelText->setFrameShape(QFrame::StyledPanel);
    modelText->setMinimumWidth(240);
    modelRow->addWidget(modelText, 1);
    // The printer's status, shown only when it answered.
    m_statusText = new QLabel(this);
    m_statusText->setObjectName("statusText");
    m_statusText->setFrameShape(QFrame::StyledPanel);
    m_statusText->setVisible(false);
    modelRow->addWidget(m_statusText, 1);
    layout->addLayout(modelRow);

    auto* groups = new QHBoxLayout;
    layout->addLayout(groups);

    // ---- left group: the stored settings ----
    m_leftGroup = new QGroupBox(In(kLeftGroup, m_korean), this);
    m_leftGroup->setObjectName("setupGroup");
    QWidget* left = m_leftGroup;
    auto* leftGrid = new QGridLayout(m_leftGroup);
    groups->addWidget(m_leftGroup, 3);
    m_buildingLeftGroup = true;

    const RadioPair paperWidth = MakePair(left, "paperWidth", "paper-width", k80mm, k58mm);
    QComboBox* columns = MakeList(left, "columnList", "max-column", Items(setup::kColumnChoices));
    AddRow(leftGrid, paperWidth.label, {paperWidth.first, paperWidth.second, columns});

    const RadioPair paperType = MakePair(left, "paperType", "paper-type", kBlack, k2Color);
    QComboBox* density = MakeList(left, "twoColorDensityList", "two-color-density",
                                  Items(setup::kTwoColorDensities));
    AddRow(leftGrid, paperType.label, {paperType.first, paperType.second, density});

    const RadioPair waterMark = MakePair(left, "waterMark", "water-mark", kDisable, kEnable);
    QLabel* imageLabel =
        MakeLabel(left, "imageNumberLabel", SettingNamed("water-mark-image").label);
    m_imageNumber = MakeNumberField(left, "imageNumber", "water-mark-image");
    AddControl("water-mark-image", nullptr, {imageLabel, m_imageNumber});
    AddRow(leftGrid, waterMark.label,
           {waterMark.first, waterMark.second, imageLabel, m_imageNumber});

    const RadioPair cutting = MakePair(left, "cuttingAdjust", "cutting-adjust", kOffUse, kOnUse);
    m_lines = MakeNumberField(left, "lines", "cutting-lines");
    QLabel* linesLabel = MakeLabel(left, "linesLabel", SettingNamed("cutting-lines").label);
    AddControl("cutting-lines", nullptr, {m_lines});
    AddRow(leftGrid, cutting.label, {cutting.first, cutting.second, m_lines, linesLabel});

    const RadioPair drawer =
        MakePair(left, "drawerWithCutting", "drawer-with-cutting", kDisable, kEnable);
    AddRow(leftGrid, drawer.label, {drawer.first, drawer.second});

    QLabel* bellLabel = MakeLabel(left, "bellTypeLengthLabel", SettingNamed("bell-type").label);
    QComboBox* bellType =
        MakeList(left, "bellTypeList", "bell-type", Items(setup::kBellTypes), bellLabel);
    QComboBox* bellLength =
        MakeList(left, "bellLengthList", "bell-length", Items(setup::kBellLengths));
    m_bellUnit = MakeLabel(left, "bellUnitLabel", kTimes);
    AddRow(leftGrid, bellLabel, {bellType, bellLength, m_bellUnit});

    auto listRow = [&](const char* labelName, const char* listName, const char* setting,
                       const QStringList& items, const char* unitName = nullptr,
                       const BilingualText* unit = nullptr) {
        QLabel* label = MakeLabel(left, labelName, SettingNamed(setting).label);
        std::vector<QWidget*> widgets{MakeList(left, listName, setting, items, label)};
        if (unit) widgets.push_back(MakeLabel(left, unitName, *unit));
        AddRow(leftGrid, label, widgets);
    };
    listRow("codePageLabel", "codePageList", "code-page", CodePageItems());
    listRow("nvGraphicLabel", "nvGraphicList", "nv-graphic-memory", Items(setup::kNvGraphicSizes),
            "nvGraphicUnit", &kKbyte);
    listRow("nvUserLabel", "nvUserList", "nv-user-memory", Items(setup::kNvUserSizes), "nvUserUnit",
            &kKbyte);

    const RadioPair cuttingMode = MakePair(left, "cuttingMode", "cutting-mode", kPartial, kFullCut);
    AddRow(leftGrid, cuttingMode.label, {cuttingMode.first, cuttingMode.second});

    listRow("printSpeedLabel", "printSpeedList", "max-print-speed", Items(setup::kPrintSpeeds),
            "printSpeedUnit", &kMmPerSec);

    QLabel* marginLabel = MakeLabel(left, "leftMarginLabel", SettingNamed("left-margin").label);
    m_margin = MakeNumberField(left, "leftMargin", "left-margin");
    AddControl("left-margin", marginLabel, {m_margin});
    AddRow(leftGrid, marginLabel, {m_margin, MakeLabel(left, "leftMarginUnit", kDotRange)});

    const RadioPair selfTestDrawer =
        MakePair(left, "drawerInSelfTest", "drawer-in-self-test", kEnable, kDisable);
    AddRow(leftGrid, selfTestDrawer.label, {selfTestDrawer.first, selfTestDrawer.second});

    const RadioPair boldFont = MakePair(left, "boldFont", "bold-korean-font", kOff, kOn);
    AddRow(leftGrid, boldFont.label, {boldFont.first, boldFont.second});

    QStringList buffers;
    for (const std::string& entry : SettingNamed("receive-buffer").choices)
        buffers << QString::fromStdString(entry);
    listRow("receiveBufferLabel", "receiveBufferList", "receive-buffer", buffers,
            "receiveBufferUnit", &kKbyte);

    const RadioPair stopBit = MakePair(left, "stopBit", "stop-bit", kOne, kTwo);
    AddRow(leftGrid, stopBit.label, {stopBit.first, stopBit.second});

    QLabel* codeLabel = MakeLabel(left, "setupCodeLabel", SettingNamed("setup-code").label);
    m_setupCode = new QLineEdit(left);
    m_setupCode->setObjectName("setupCode");
    m_setupCode->setMaxLength(8);
    m_setupCode->setMaximumWidth(100);
    connect(m_setupCode, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_values.setupCode = text.toStdString(); });
    AddControl("setup-code", codeLabel, {m_setupCode});
    AddRow(leftGrid, codeLabel, {m_setupCode});

    // The margin and code fields select all their text when they gain focus.
    m_margin->installEventFilter(this);
    m_setupCode->installEventFilter(this);

    // ---- right group: the newer options ----
    m_rightGroup = new QGroupBox(In(kRightGroup, m_korean), this);
    m_rightGroup->setObjectName("newOptionGroup");
    QWidget* right = m_rightGroup;
    auto* rightGrid = new QGridLayout(m_rightGroup);
    groups->addWidget(m_rightGroup, 2);
    m_buildingLeftGroup = false;

    const RadioPair emulation = MakePair(right, "emulation", "emulation", kEpson, kStar);
    AddRow(rightGrid, emulation.label, {emulation.first, emulation.second});

    QLabel* densityLabel = MakeLabel(right, "densityLabel", SettingNamed("density").label);
    QComboBox* densityList =
        MakeList(right, "densityList", "density", Items(setup::kDensities), densityLabel);
    AddRow(rightGrid, densityLabel, {densityList});

    const RadioPair autoCut = MakePair(right, "autoCut", "auto-cut", kOnUse, kOffUse);
    AddRow(rightGrid, autoCut.label, {autoCut.first, autoCut.second});

    const RadioPair selfTest = MakePair(right, "selfTest", "self-test", kSelfTestChoice, kHexaDump);
    AddRow(rightGrid, selfTest.label, {selfTest.first, selfTest.second});

    const RadioPair kitchenBell = MakePair(right, "kitchenBell", "kitchen-bell", kOffUse, kOnUse);
    AddRow(rightGrid, kitchenBell.label, {kitchenBell.first, kitchenBell.second});

    const RadioPair usbMode = MakePair(right, "usbMode", "usb-mode", kUsb, kCom);
    AddRow(rightGrid, usbMode.label, {usbMode.first, usbMode.second});

    QLabel* paperSaveLabel =
        MakeLabel(right, "paperSaveLabel", SettingNamed("paper-save-mode").label);
    QComboBox* paperSave = MakeList(right, "paperSaveList", "paper-save-mode",
                                    Items(setup::kPaperSaveModes), paperSaveLabel);
    AddRow(rightGrid, paperSaveLabel, {paperSave});

    QLabel* sleepLabel = MakeLabel(right, "sleepModeLabel", SettingNamed("sleep-mode").label);
    QComboBox* sleep =
        MakeList(right, "sleepModeList", "sleep-mode", Items(setup::kSleepModes), sleepLabel);
    AddRow(rightGrid, sleepLabel, {sleep});

    // The picture stands in for the newer options a model does not have.
    m_picture = new QLabel(QStringLiteral("KP 70"), right);
    m_picture->setObjectName("picture");
    m_picture->setFrameShape(QFrame::Box);
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setMinimumSize(120, 80);
    rightGrid->addWidget(m_picture, rightGrid->rowCount(), 0, 1, 2, Qt::AlignCenter);
    rightGrid->setRowStretch(rightGrid->rowCount(), 1);

    // ---- buttons ----
    auto* buttons = new QHBoxLayout;
    m_getValue = MakeButton("getValue", kGetValue);
    m_setValue = MakeButton("setValue", kSetValue);
    m_test = MakeButton("test", kTest);
    m_default = MakeButton("defaults", kDefault);
    m_exit = MakeButton("exit", kExit);
    for (QPushButton* button : {m_getValue, m_setValue, m_test, m_default, m_exit})
        buttons->addWidget(button);
    layout->addLayout(buttons);
}

QPushButton* UserSetupForm::MakeButton(const char* name, const BilingualText& text) {
    auto* button = new QPushButton(In(text, m_korean), this);
    button->setObjectName(QString::fromUtf8(name));
    button->setAutoDefault(false);
    return button;
}

// ---- showing ----

void UserSetupForm::ShowValues() {
    for (const RadioPair& pair : m_pairs) {
        const int value = m_values.*(pair.field);
        if (value == 0) {
            pair.first->setChecked(true);
        } else if (value == 1) {
            pair.second->setChecked(true);
        } else {
            pair.group->setExclusive(false);
            pair.first->setChecked(false);
            pair.second->setChecked(false);
            pair.group->setExclusive(true);
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
    m_bellUnit->setText(In(melody ? kOfFive : kTimes, m_korean));
}

void UserSetupForm::UpdateControls(bool editStored) {
    bool someHidden = false;
    for (const Control& control : m_controls) {
        const SettingState state = StateOf(*control.setting, m_values, m_modelCode, m_korean);
        // After a failure only the stop bit stays editable in the left group.
        const bool enabled = state.enabled && (editStored || !control.stored);
        for (QWidget* widget : control.widgets) {
            widget->setVisible(state.visible);
            widget->setEnabled(enabled);
        }
        if (control.rowLabel) {
            control.rowLabel->setVisible(state.visible);
            control.rowLabel->setText(In(state.label, m_korean));
            // A reserved row reads "Reserved" in grey.
            control.rowLabel->setEnabled(state.label.english == control.setting->label.english);
        }
        someHidden = someHidden || !state.visible;
    }
    m_picture->setVisible(someHidden);
}

bool UserSetupForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && (watched == m_margin || watched == m_setupCode)) {
        auto* field = static_cast<QLineEdit*>(watched);
        // After the focus change has settled, or the click would place the cursor again.
        QTimer::singleShot(0, field, &QLineEdit::selectAll);
    }
    return QWidget::eventFilter(watched, event);
}

void UserSetupForm::ReadFields() {
    for (QLineEdit* field : {m_imageNumber, m_lines, m_margin}) {
        bool ok = false;
        const int value = field->text().toInt(&ok);
        const auto bound =
            std::find_if(m_controls.begin(), m_controls.end(), [&](const Control& c) {
                return std::find(c.widgets.begin(), c.widgets.end(), field) != c.widgets.end();
            });
        m_values.*(bound->setting->field) = ok ? value : SetupValues::kUnset;
    }
    m_values.setupCode = m_setupCode->text().toStdString();
}

void UserSetupForm::FocusField(QLineEdit* field) {
    field->setFocus();
    field->selectAll();
}

}  // namespace kp70

namespace kp70 {

void UserSetupForm::ShowStatus(const QString& line) {
    m_statusText->setText(line);
    m_statusText->setVisible(!line.isEmpty());
}

}  // namespace kp70
