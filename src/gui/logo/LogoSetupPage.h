#pragma once

#include <string>

#include "gui/logo/LogoPage.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSlider;

namespace kp70 {

// "Setup": the conversion options and the print-to-file choice. Gray printing applies at
// once (it rewrites the listed sizes); the area, the diverging point and Star emulation
// apply when the page is left, after their ranges were checked. Print To File swaps the
// port name for "FILE" and back; the sheet gives the real name back when it closes.
class LogoSetupPage : public LogoPage {
    Q_OBJECT

public:
    explicit LogoSetupPage(LogoSheetContext& context, QWidget* parent = nullptr);

    void Activate() override;
    bool Leave() override;

    // The port name the connection screen chose (the page's copy).
    const std::string& realPortName() const { return m_realPortName; }

    QCheckBox* printToFileBox() const { return m_toFile; }
    QCheckBox* grayBox() const { return m_gray; }
    QCheckBox* starBox() const { return m_star; }
    QLineEdit* areaField() const { return m_area; }
    QLineEdit* divergingField() const { return m_diverging; }
    QSlider* divergingSlider() const { return m_slider; }
    QPlainTextEdit* deviceText() const { return m_device; }
    QLabel* aboutText() const { return m_about; }

private:
    void FirstDisplay();
    void OnPrintToFile(bool checked);
    void OnGray(bool checked);
    void ShowDevice();

    QCheckBox* m_toFile = nullptr;
    QCheckBox* m_gray = nullptr;
    QCheckBox* m_star = nullptr;
    QLineEdit* m_area = nullptr;
    QLineEdit* m_diverging = nullptr;
    QSlider* m_slider = nullptr;
    QPlainTextEdit* m_device = nullptr;
    QLabel* m_about = nullptr;
    std::string m_realPortName;
};

}  // namespace kp70
