#pragma once

#include <QString>

#include "core/app/MessageCatalogue.h"
#include "gui/app/Prompter.h"

namespace kp70 {

class Clock;
class ErrorLog;
class Profile;

// What every screen is given when it is built: message boxes, the catalogue in the chosen
// language, time, the error log and the profile. Screens reach nothing else process-wide.
struct ScreenServices {
    Prompter& prompter;
    MessageCatalogue& catalogue;
    Clock& clock;
    ErrorLog& log;
    Profile& profile;

    // Catalogue message n in a box with the application's caption and an OK button.
    void ShowMessage(QWidget* parent, int n) const {
        prompter.Show(parent, QString::fromStdString(catalogue.Message(n)),
                      QString::fromUtf8(texts::kCaption));
    }
    // A literal text in a box with the application's caption.
    void ShowText(QWidget* parent, const QString& text) const {
        prompter.Show(parent, text, QString::fromUtf8(texts::kCaption));
    }
};

}  // namespace kp70
