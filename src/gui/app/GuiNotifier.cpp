#include "gui/app/GuiNotifier.h"

#include <QApplication>

namespace kp70 {

void GuiNotifier::ShowMessage(int n, const std::string& suffix) {
    Post(QString::fromStdString(m_services.catalogue.Message(n) + suffix));
}

void GuiNotifier::ShowText(const std::string& text) {
    Post(QString::fromStdString(text));
}

void GuiNotifier::Post(const QString& text) {
    QMetaObject::invokeMethod(
        this, [this, text] { m_services.ShowText(QApplication::activeModalWidget(), text); },
        Qt::QueuedConnection);
}

}  // namespace kp70
