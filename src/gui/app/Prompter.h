#pragma once

#include <QString>

class QWidget;

namespace kp70 {

// Every message box of the tool goes through a Prompter, so tests can script the answers
// and read the exact texts.
class Prompter {
public:
    enum class Icon { None, Information, Warning, Question, Critical };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No, Cancel };

    virtual ~Prompter() = default;
    virtual Answer Show(QWidget* parent, const QString& text, const QString& caption,
                        Icon icon = Icon::None, Buttons buttons = Buttons::Ok) = 0;
};

// The real message boxes.
class MessageBoxPrompter : public Prompter {
public:
    Answer Show(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                Buttons buttons) override;
};

}  // namespace kp70
