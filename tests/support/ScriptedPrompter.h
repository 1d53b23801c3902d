#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "gui/app/Prompter.h"

namespace kp70::test {

// A Prompter for GUI tests: records every box (text, caption, icon, buttons) and answers
// from a script. Without a scripted answer an OK box answers Ok and a Yes/No box No.
class ScriptedPrompter : public Prompter {
public:
    struct Box {
        QString text;
        QString caption;
        Icon icon;
        Buttons buttons;
    };

    std::vector<Box> boxes;
    std::deque<Answer> answers;
    // Called while the box is "open", e.g. to check the state of the screen behind it.
    std::function<void(const Box&)> onShow;

    Answer Show(QWidget* /*parent*/, const QString& text, const QString& caption, Icon icon,
                Buttons buttons) override {
        boxes.push_back({text, caption, icon, buttons});
        if (onShow) onShow(boxes.back());
        if (!answers.empty()) {
            const Answer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }

    QStringList Texts() const {
        QStringList texts;
        for (const Box& box : boxes) texts << box.text;
        return texts;
    }
    QStringList Captions() const {
        QStringList captions;
        for (const Box& box : boxes) captions << box.caption;
        return captions;
    }
    void Clear() { boxes.clear(); }
};

}  // namespace kp70::test
