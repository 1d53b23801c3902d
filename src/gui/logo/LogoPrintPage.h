#pragma once

#include <string>

#include "core/logo/NvCommands.h"
#include "gui/logo/LogoPage.h"

class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kp70 {

// "Print Bitmap": prints logos stored in the printer, all 255 numbers or a selection such
// as "1,3,5-9", in one of four sizes, with or without a header line; the sheet answers the
// Print button. Print is offered only over a printer port, not into a print file.
class LogoPrintPage : public LogoPage {
    Q_OBJECT

public:
    explicit LogoPrintPage(LogoSheetContext& context, QWidget* parent = nullptr);

    void Activate() override;

    // The page's fields.
    bool PrintAll() const;
    std::string SelectionText() const;
    NvPrintMode Quality() const;
    bool Header() const;

    QRadioButton* allButton() const { return m_all; }
    QRadioButton* selectionButton() const { return m_selection; }
    QLineEdit* selectionField() const { return m_text; }
    QRadioButton* qualityButton(NvPrintMode mode) const;
    QRadioButton* addHeaderButton() const { return m_addHeader; }
    QPushButton* printButton() const { return m_print; }
    QLineEdit* printerNameField() const { return m_printerName; }
    QLineEdit* portNameField() const { return m_portName; }
    LogoListView* listView() const { return m_view; }

signals:
    void printClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    LogoListView* m_view = nullptr;
    QRadioButton* m_all = nullptr;
    QRadioButton* m_selection = nullptr;
    QLineEdit* m_text = nullptr;
    QButtonGroup* m_quality = nullptr;
    QRadioButton* m_noHeader = nullptr;
    QRadioButton* m_addHeader = nullptr;
    QPushButton* m_print = nullptr;
    QLineEdit* m_printerName = nullptr;
    QLineEdit* m_portName = nullptr;
};

}  // namespace kp70
