#include "gui/app/Prompter.h"

#include <QMessageBox>

namespace kp70 {

Prompter::Answer MessageBoxPrompter::Show(QWidget* parent, const QString& text,
                                          const QString& caption, Icon icon, Buttons buttons) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    // Texts keep the "\r\n" line breaks of the catalogue; the box wants plain "\n".
    QString shown = text;
    shown.replace("\r\n", "\n");
    box.setText(shown);
    switch (icon) {
        case Icon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case Icon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int result = box.exec();
    if (buttons == Buttons::YesNo) return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
    return Answer::Ok;
}

}  // namespace kp70
