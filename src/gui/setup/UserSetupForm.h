#pragma once

#include <QStringList>
#include <QWidget>
#include <string>
#include <vector>

#include "core/app/BilingualText.h"
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

struct Setting;

// The controls of the Advanced User Setup screen and their bindings to a SetupValues:
// every setting's radio pair, list or field with its label in the interface's language,
// the MODEL text and the five buttons. Each control belongs to a setting of the setting
// table, which says whether it is shown, can be used and what its row is called; the
// form shows the values and says which setting the operator picked. The rules between
// settings and everything that talks to the printer belong to the screen's controller.
class UserSetupForm : public QWidget {
    Q_OBJECT

public:
    // values is the controller's record: typed numbers and the setup code go straight into
    // it; choices are announced with settingChosen and applied by the controller.
    UserSetupForm(SetupValues& values, bool korean, int modelCode,
                  const std::vector<std::string>& receiveBuffers, const QString& summary,
                  QWidget* parent = nullptr);
    ~UserSetupForm() override;

    // Shows the values in the controls.
    void ShowValues();
    // Shows, enables and labels each control as its setting's state says; with editStored
    // false only the stop bit of the left group (and the newer options) stay usable.
    void UpdateControls(bool editStored);
    // The printer's status in one line beside MODEL; an empty text hides it.
    void ShowStatus(const QString& line);
    QLabel* statusText() const { return m_statusText; }

    // Reads the number fields and the setup code into the values, as typed (a field that
    // holds no number gives an unset value, which the write block refuses).
    void ReadFields();
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
    QLineEdit* marginField() const { return m_margin; }

signals:
    // The operator picked choice (0 first radio, 1 second; a list position) of setting.
    void settingChosen(const kp70::Setting* setting, int choice);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The widgets of one setting: its row label when it has one of its own (a column list
    // shares the paper width's row), and the controls that edit it.
    struct Control {
        const Setting* setting = nullptr;
        QLabel* rowLabel = nullptr;
        std::vector<QWidget*> widgets;
        bool stored = false;  // a stored setting of the left group other than the stop bit
    };
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

    const Setting& SettingNamed(const char* name) const;
    void BuildWidgets(const QString& summary);
    QLabel* MakeLabel(QWidget* parent, const char* name, const BilingualText& text);
    RadioPair MakePair(QWidget* parent, const char* name, const char* setting,
                       const BilingualText& first, const BilingualText& second);
    QComboBox* MakeList(QWidget* parent, const char* name, const char* setting,
                        const QStringList& items, QLabel* rowLabel = nullptr);
    QLineEdit* MakeNumberField(QWidget* parent, const char* name, const char* setting);
    QPushButton* MakeButton(const char* name, const BilingualText& text);
    void AddControl(const char* setting, QLabel* rowLabel, std::vector<QWidget*> widgets);

    SetupValues& m_values;
    bool m_korean;
    int m_modelCode;
    std::vector<Setting> m_table;
    std::vector<Control> m_controls;
    bool m_buildingLeftGroup = true;

    QGroupBox* m_leftGroup = nullptr;
    QGroupBox* m_rightGroup = nullptr;
    std::vector<RadioPair> m_pairs;
    std::vector<ListBinding> m_lists;
    QLineEdit* m_imageNumber = nullptr;
    QLineEdit* m_lines = nullptr;
    QLineEdit* m_margin = nullptr;
    QLineEdit* m_setupCode = nullptr;
    QLabel* m_statusText = nullptr;
    QLabel* m_bellUnit = nullptr;
    QLabel* m_picture = nullptr;
    QPushButton* m_getValue = nullptr;
    QPushButton* m_setValue = nullptr;
    QPushButton* m_test = nullptr;
    QPushButton* m_default = nullptr;
    QPushButton* m_exit = nullptr;
};

}  // namespace kp70
