#pragma once

#include <QString>

#include "core/app/BilingualText.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/Outcome.h"
#include "gui/app/Prompter.h"

namespace kp70 {

class Clock;
class ErrorLog;
class KeyboardState;
class Profile;

// What every screen is given when it is built: message boxes, the catalogue in the chosen
// language, time, the error log, the profile and the keyboard's modifier keys. Screens
// reach nothing else process-wide.
struct ScreenServices {
    Prompter& prompter;
    MessageCatalogue& catalogue;
    Clock& clock;
    ErrorLog& log;
    Profile& profile;
    KeyboardState& keyboard;

    bool Korean() const { return catalogue.IsKorean(); }
    // A label or text in the interface's language.
    QString Text(const BilingualText& text) const {
        return QString::fromUtf8(text.In(catalogue.IsKorean()));
    }

    // Catalogue message n in a box with the application's caption and an OK button.
    void ShowMessage(QWidget* parent, int n) const {
        prompter.Show(parent, QString::fromStdString(catalogue.Message(n)),
                      QString::fromUtf8(texts::kCaption));
    }
    // A literal text in a box with the application's caption.
    void ShowText(QWidget* parent, const QString& text) const {
        prompter.Show(parent, text, QString::fromUtf8(texts::kCaption));
    }
    // The text a notice shows: its catalogue message (with its value) or literal text,
    // and its second line.
    QString NoticeText(const Notice& notice) const;
    // A notice in a box with its caption (the application's by default) and icon.
    void Show(QWidget* parent, const Notice& notice) const;
    // Every notice of an outcome, in order.
    void ShowAll(QWidget* parent, const Outcome& outcome) const {
        for (const Notice& notice : outcome.notices) Show(parent, notice);
    }
};

}  // namespace kp70
