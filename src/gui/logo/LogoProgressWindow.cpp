#include "gui/logo/LogoProgressWindow.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

#include "core/logo/LogoTexts.h"
#include "gui/logo/LogoSheetTexts.h"

namespace kp70 {

LogoProgressWindow::LogoProgressWindow(Kind kind, bool korean, QWidget* parent) : QDialog(parent) {
    const bool upload = kind == Kind::Upload;
    setObjectName(upload ? "uploadProgress" : "printProgress");
    setWindowTitle(
        QString::fromUtf8(upload ? logotext::kUploadingTitle : logotext::kPrintingTitle));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    if (!upload) layout->addWidget(new QLabel(QString::fromUtf8(logotext::kPrinting), this));
    m_text = new QLabel(this);
    m_text->setObjectName("progressText");
    m_text->setMinimumWidth(360);
    layout->addWidget(m_text);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName("progressBar");
    m_bar->setTextVisible(false);
    layout->addWidget(m_bar);
    m_cancel = new QPushButton(QString::fromUtf8(logosheet::kStop.In(korean)), this);
    m_cancel->setObjectName("cancelButton");
    layout->addWidget(m_cancel, 0, Qt::AlignHCenter);
    connect(m_cancel, &QPushButton::clicked, this, &LogoProgressWindow::reject);
}

void LogoProgressWindow::reject() {
    if (m_cancelled) return;
    m_cancelled = true;
    m_cancel->setEnabled(false);
    emit cancelClicked();
}

void LogoProgressWindow::Show(const std::string& text, long long range, long long position) {
    m_text->setText(QString::fromStdString(text));
    const long long top = std::clamp<long long>(range, 0, std::numeric_limits<int>::max());
    m_bar->setRange(0, static_cast<int>(top));
    // The upload's last position (the image count + 1) may lie past a small range.
    m_bar->setValue(static_cast<int>(std::clamp<long long>(position, 0, top)));
}

}  // namespace kp70
