#pragma once

#include <QString>
#include <QWidget>
#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace kp70 {

// The controls of the F/W Update screen, labelled in the interface's language: the image's
// path, File Open, the five area radio buttons, the connection summary, the CHECKSUM and
// FileSize boxes with the packet note, the progress bar, DOWNLOAD and EXIT. What the
// buttons do and which controls are usable belongs to the screen's controller.
class FirmwareUpdateForm : public QWidget {
    Q_OBJECT

public:
    static constexpr int kAreas = 5;

    FirmwareUpdateForm(bool korean, const QString& summary, QWidget* parent = nullptr);

    QLineEdit* pathBox() const { return m_path; }
    QPushButton* fileOpenButton() const { return m_fileOpen; }
    QRadioButton* areaRadio(int index) const { return m_areas[static_cast<std::size_t>(index)]; }
    QLineEdit* checksumBox() const { return m_checksum; }
    QLineEdit* fileSizeBox() const { return m_fileSize; }
    QProgressBar* progressBar() const { return m_progress; }
    QPushButton* downloadButton() const { return m_download; }
    QPushButton* exitButton() const { return m_exit; }
    // The printer's status in one line in the DEVICE group; an empty text hides it.
    void ShowStatus(const QString& line);

    // The checked area radio button's index.
    int CheckedArea() const;
    void CheckArea(int index);

signals:
    // The operator picked an area radio button.
    void areaChosen(int index);

private:
    QLineEdit* m_path = nullptr;
    QPushButton* m_fileOpen = nullptr;
    std::array<QRadioButton*, kAreas> m_areas{};
    QLineEdit* m_checksum = nullptr;
    QLineEdit* m_fileSize = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_download = nullptr;
    QPushButton* m_exit = nullptr;
    QLabel* m_status = nullptr;
};

}  // namespace kp70
