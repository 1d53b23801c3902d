#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kp70 {

// The small window an upload ("Uploading", UploadProgressWindow) or a print ("Printing",
// PrintProgressWindow) shows while the core job runs off the screen's thread: the job's text, a
// progress bar and Cancel. It is modal without an event loop of its own; the sheet closes
// it when the job has ended. Cancel asks the job to stop before its next image and then
// stays off.
class LogoProgressWindow : public QDialog {
    Q_OBJECT

public:
    bool cancelRequested() const { return m_cancelled; }
    QLabel* textLabel() const { return m_text; }
    QProgressBar* bar() const { return m_bar; }
    QPushButton* cancelButton() const { return m_cancel; }

signals:
    void cancelClicked();

public slots:
    // Escape and the close box ask for the cancel too; the window closes when the job ends.
    void reject() override;

protected:
    enum class Kind { Upload, Print };
    LogoProgressWindow(Kind kind, bool korean, QWidget* parent);
    void Show(const std::string& text, long long range, long long position);

private:
    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_cancelled = false;
};

}  // namespace kp70
