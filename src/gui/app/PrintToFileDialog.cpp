#include "gui/app/PrintToFileDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QThread>
#include <QVBoxLayout>

namespace kp70 {

PrintToFileDialog::PrintToFileDialog(const ScreenServices& services, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setWindowTitle(QStringLiteral("Print to File"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Input the output file name"), this));
    m_name = new QLineEdit(this);
    m_name->setObjectName("fileNameEdit");
    m_name->setMinimumWidth(300);
    layout->addWidget(m_name);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &PrintToFileDialog::accept);
}

QString PrintToFileDialog::fileName() const {
    return m_name->text();
}

void PrintToFileDialog::accept() {
    if (m_name->text().isEmpty()) {
        m_services.ShowMessage(this, msg::kInputOutputFileName);
        return;
    }
    QDialog::accept();
}

std::optional<std::string> PrintToFileAsker::AskOutputFile() {
    std::optional<std::string> answer;
    auto ask = [this, &answer] {
        PrintToFileDialog dialog(m_services, QApplication::activeModalWidget());
        if (dialog.exec() == QDialog::Accepted) answer = dialog.fileName().toStdString();
    };
    if (QThread::currentThread() == thread()) {
        ask();
    } else {
        QMetaObject::invokeMethod(this, ask, Qt::BlockingQueuedConnection);
    }
    return answer;
}

}  // namespace kp70
