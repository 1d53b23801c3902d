#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include "core/app/BilingualText.h"

namespace kp70 {

// A text in the interface's language.
inline QString In(const BilingualText& text, bool korean) {
    return QString::fromUtf8(text.In(korean));
}

// A push button named for tests that is not the dialog's default button.
inline QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setAutoDefault(false);
    return button;
}

// A box that shows a value the operator cannot edit.
inline QLineEdit* MakeReadOnlyBox(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromUtf8(name));
    box->setReadOnly(true);
    return box;
}

}  // namespace kp70
