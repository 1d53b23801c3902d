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
#include <initializer_list>

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

UserSetupForm::UserSetupForm(SetupValues& values, bool korean, int modelCode,
                             const std::vector<std::string>& receiveBuffers, const QString& summary,
                             QWidget* parent)
    : QWidget(parent),
      m_values(values),
      m_korean(korean),
      m_modelCode(modelCode),
      m_receiveBuffers(receiveBuffers) {
    BuildWidgets(summary);
    ApplyModelRules();
}

QLabel* UserSetupForm::MakeLabel(QWidget* parent, const char* name, const Text& text) {
    auto* label = new QLabel(In(text, m_korean), parent);
    label->setObjectName(QString::fromUtf8(name));
    return label;
}

UserSetupForm::RadioPair UserSetupForm::MakePair(QWidget* parent, const char* name,
                                                 const Text& label, const Text& first,
                                                 const Text& second, int SetupValues::*field) {
    const QString base = QString::fromUtf8(name);
    RadioPair pair;
    pair.label = MakeLabel(parent, (base + "Label").toUtf8().constData(), label);
    pair.first = new QRadioButton(In(first, m_korean), parent);
    pair.first->setObjectName(base + "First");
    pair.second = new QRadioButton(In(second, m_korean), parent);
    pair.second->setObjectName(base + "Second");
    pair.group = new QButtonGroup(parent);
    pair.group->addButton(pair.first, 0);
    pair.group->addButton(pair.second, 1);
    pair.field = field;
    return pair;
}

QComboBox* UserSetupForm::MakeList(QWidget* parent, const char* name, const QStringList& items,
                                   int SetupValues::*field) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromUtf8(name));
    list->addItems(items);
    list->setCurrentIndex(-1);
    m_lists.push_back({list, field});
    const ListBinding binding = m_lists.back();
    connect(list, &QComboBox::activated, this,
            [this, binding](int index) { emit settingChosen(binding.field, index); });
    return list;
}

QLineEdit* UserSetupForm::MakeNumberField(QWidget* parent, const char* name,
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
    layout->addLayout(modelRow);

    auto* groups = new QHBoxLayout;
    layout->addLayout(groups);

    // ---- left group ----
    m_leftGroup = new QGroupBox(In(kLeftGroup, m_korean), this);
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
    m_rightGroup = new QGroupBox(In(kRightGroup, m_korean), this);
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
                [this, pair] { emit settingChosen(pair->field, 0); });
        connect(pair->second, &QRadioButton::clicked, this,
                [this, pair] { emit settingChosen(pair->field, 1); });
    }

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

void UserSetupForm::ApplyModelRules() {
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
            label->setText(In(kReserved, m_korean));
            label->setEnabled(false);
        }
    }
}

QPushButton* UserSetupForm::MakeButton(const char* name, const Text& text) {
    auto* button = new QPushButton(In(text, m_korean), this);
    button->setObjectName(QString::fromUtf8(name));
    button->setAutoDefault(false);
    return button;
}

// ---- showing ----

void UserSetupForm::ShowValues() {
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
    m_bellUnit->setText(In((melody ? kOfFive : kTimes), m_korean));
}

void UserSetupForm::UpdateControls(bool editStored) {
    // After a failure only the stop bit stays editable in the left group.
    const bool left = editStored;
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
}

bool UserSetupForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && (watched == m_margin || watched == m_setupCode)) {
        auto* field = static_cast<QLineEdit*>(watched);
        // After the focus change has settled, or the click would place the cursor again.
        QTimer::singleShot(0, field, &QLineEdit::selectAll);
    }
    return QWidget::eventFilter(watched, event);
}

UserSetupForm::FieldCheck UserSetupForm::ReadNumberFields() {
    auto number = [](QLineEdit* field) {
        bool ok = false;
        const int value = field->text().toInt(&ok);
        return ok ? value : SetupValues::kUnset;
    };
    FieldCheck check;
    auto refuse = [&check](QLineEdit* field, int min, int max) {
        check.ok = false;
        check.field = field;
        check.min = min;
        check.max = max;
        return check;
    };
    // Image number and lines count only when they are written.
    if (m_values.waterMark == 1) {
        m_values.imageNumber = number(m_imageNumber);
        if (m_values.imageNumber < 1 || m_values.imageNumber > 255)
            return refuse(m_imageNumber, 1, 255);
    }
    if (m_values.cuttingAdjust == 1) {
        m_values.lines = number(m_lines);
        if (m_values.lines < 0 || m_values.lines > 255) return refuse(m_lines, 0, 255);
    }
    m_values.leftMargin = number(m_margin);
    if (m_values.leftMargin < 0 || m_values.leftMargin > 512) {
        refuse(m_margin, 0, 512);
        check.marginOutOfRange = true;
        return check;
    }
    m_values.setupCode = m_setupCode->text().toStdString();
    return check;
}

void UserSetupForm::FocusField(QLineEdit* field) {
    field->setFocus();
    field->selectAll();
}

}  // namespace kp70
