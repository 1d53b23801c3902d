#pragma once

#include <QStringList>
#include <QWidget>
#include <string>
#include <vector>

#include "core/setup/SetupValues.h"
#include "gui/setup/SetupScreenTexts.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kp70 {

// The field of a SetupValues a control edits.
using SettingField = int SetupValues::*;

// The controls of the Advanced User Setup screen and their bindings to a SetupValues:
// every setting's radio pair, list or field with its label in the interface's language,
// the MODEL text and the five buttons. It shows the values and says which setting the
// operator picked; the rules between settings and everything that talks to the printer
// belong to the screen's controller.
class UserSetupForm : public QWidget {
    Q_OBJECT

public:
    // values is the controller's record: typed numbers and the setup code go straight into
    // it; choices are announced with settingChosen and applied by the controller.
    UserSetupForm(SetupValues& values, bool korean, int modelCode,
                  const std::vector<std::string>& receiveBuffers, const QString& summary,
                  QWidget* parent = nullptr);

    // Shows the values in the controls.
    void ShowValues();
    // Enables each control as the values, the model and the language allow; with
    // editStored false only the stop bit of the left group stays editable.
    void UpdateControls(bool editStored);

    // Reads the number fields for a write into the values; false (after the range prompt
    // was asked for with rangeRefused) when a field that is written holds no number in its
    // range. The margin is checked separately by the caller.
    struct FieldCheck {
        bool ok = true;
        bool marginOutOfRange = false;
        QLineEdit* field = nullptr;  // the field to fix
        int min = 0;
        int max = 0;
    };
    FieldCheck ReadNumberFields();
    // Puts the focus on a field and selects its text (after a range prompt).
    static void FocusField(QLineEdit* field);

    QGroupBox* leftGroup() const { return m_leftGroup; }
    QGroupBox* rightGroup() const { return m_rightGroup; }
    QPushButton* getValueButton() const { return m_getValue; }
    QPushButton* setValueButton() const { return m_setValue; }
    QPushButton* testButton() const { return m_test; }
    QPushButton* defaultButton() const { return m_default; }
    QPushButton* exitButton() const { return m_exit; }
    QLineEdit* imageNumberField() const { return m_imageNumber; }
    QLineEdit* linesField() const { return m_lines; }

signals:
    // The operator picked choice (0 first radio, 1 second; a list position) of the setting
    // held in field.
    void settingChosen(kp70::SettingField field, int choice);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Two radio buttons editing one setting (0 first choice, 1 second, unset neither).
    struct RadioPair {
        QLabel* label = nullptr;
        QRadioButton* first = nullptr;
        QRadioButton* second = nullptr;
        QButtonGroup* group = nullptr;
        int SetupValues::*field = nullptr;
    };
    struct ListBinding {
        QComboBox* list;
        int SetupValues::*field;
    };

    void BuildWidgets(const QString& summary);
    void ApplyModelRules();
    QLabel* MakeLabel(QWidget* parent, const char* name, const setupscreen::Text& text);
    RadioPair MakePair(QWidget* parent, const char* name, const setupscreen::Text& label,
                       const setupscreen::Text& first, const setupscreen::Text& second,
                       int SetupValues::*field);
    QComboBox* MakeList(QWidget* parent, const char* name, const QStringList& items,
                        int SetupValues::*field);
    QLineEdit* MakeNumberField(QWidget* parent, const char* name, int SetupValues::*field);
    QPushButton* MakeButton(const char* name, const setupscreen::Text& text);

    SetupValues& m_values;
    bool m_korean;
    int m_modelCode;
    std::vector<std::string> m_receiveBuffers;

    QGroupBox* m_leftGroup = nullptr;
    QGroupBox* m_rightGroup = nullptr;
    RadioPair m_paperWidth, m_paperType, m_waterMark, m_cuttingAdjust, m_drawerWithCutting,
        m_cuttingMode, m_drawerInSelfTest, m_boldFont, m_stopBit;
    RadioPair m_emulation, m_autoCut, m_selfTest, m_kitchenBell, m_usbMode;
    std::vector<RadioPair*> m_pairs;
    std::vector<ListBinding> m_lists;
    QComboBox* m_columnList = nullptr;
    QComboBox* m_twoColorDensityList = nullptr;
    QComboBox* m_bellTypeList = nullptr;
    QComboBox* m_bellLengthList = nullptr;
    QComboBox* m_codePageList = nullptr;
    QComboBox* m_nvGraphicList = nullptr;
    QComboBox* m_nvUserList = nullptr;
    QComboBox* m_printSpeedList = nullptr;
    QComboBox* m_receiveBufferList = nullptr;
    QComboBox* m_densityList = nullptr;
    QComboBox* m_paperSaveList = nullptr;
    QComboBox* m_sleepModeList = nullptr;
    QLineEdit* m_imageNumber = nullptr;
    QLineEdit* m_lines = nullptr;
    QLineEdit* m_margin = nullptr;
    QLineEdit* m_setupCode = nullptr;
    QLabel* m_bellTypeLengthLabel = nullptr;
    QLabel* m_bellUnit = nullptr;
    QLabel* m_imageNumberLabel = nullptr;
    QLabel* m_densityLabel = nullptr;
    QLabel* m_paperSaveLabel = nullptr;
    QLabel* m_sleepModeLabel = nullptr;
    QLabel* m_picture = nullptr;
    QPushButton* m_getValue = nullptr;
    QPushButton* m_setValue = nullptr;
    QPushButton* m_test = nullptr;
    QPushButton* m_default = nullptr;
    QPushButton* m_exit = nullptr;
};

}  // namespace kp70
