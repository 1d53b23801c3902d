#pragma once

#include <QString>
#include <QWidget>
#include <array>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace kp70 {

// The controls of the TALVO10 download tool: the image's path and name, "&Open", the four
// area radio buttons, the connection summary, the progress bar, OK and CANCEL, labelled in
// the interface's language. The screen's controller decides what they do.
class DownloadToolForm : public QWidget {
    Q_OBJECT

public:
    static constexpr int kAreas = 4;

    DownloadToolForm(bool korean, const QString& summary, QWidget* parent = nullptr);

    QLineEdit* pathBox() const { return m_path; }
    QLineEdit* nameBox() const { return m_name; }
    QPushButton* openButton() const { return m_open; }
    QRadioButton* areaRadio(int index) const { return m_areas[static_cast<std::size_t>(index)]; }
    QProgressBar* progressBar() const { return m_progress; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

    int CheckedArea() const;

private:
    QLineEdit* m_path = nullptr;
    QLineEdit* m_name = nullptr;
    QPushButton* m_open = nullptr;
    std::array<QRadioButton*, kAreas> m_areas{};
    QProgressBar* m_progress = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

}  // namespace kp70
