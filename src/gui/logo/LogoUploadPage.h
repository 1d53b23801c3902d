#pragma once

#include "gui/logo/LogoPage.h"

class QLineEdit;
class QPushButton;

namespace kp70 {

// "Upload Bitmap": the list, the printer and port it goes to ("To File" for a print file)
// and the Upload button, which the sheet answers (the whole list to the printer's NV
// graphics memory, or, for an empty list, delete all logos).
class LogoUploadPage : public LogoPage {
    Q_OBJECT

public:
    explicit LogoUploadPage(LogoSheetContext& context, QWidget* parent = nullptr);

    void Activate() override;

    // True while the port name is "FILE" (set on activation).
    bool toFile() const { return m_toFile; }

    LogoListView* listView() const { return m_view; }
    QPushButton* uploadButton() const { return m_upload; }
    QLineEdit* printerNameField() const { return m_printerName; }
    QLineEdit* portNameField() const { return m_portName; }

signals:
    void uploadClicked();

private:
    LogoListView* m_view = nullptr;
    QPushButton* m_upload = nullptr;
    QLineEdit* m_printerName = nullptr;
    QLineEdit* m_portName = nullptr;
    bool m_toFile = false;
};

}  // namespace kp70
