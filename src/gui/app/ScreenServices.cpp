#include "gui/app/ScreenServices.h"

namespace kp70 {

namespace {

Prompter::Icon IconOf(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Exclamation:
            return Prompter::Icon::Warning;
        case MessageIcon::Question:
            return Prompter::Icon::Question;
        case MessageIcon::Stop:
            return Prompter::Icon::Critical;
        case MessageIcon::Information:
            return Prompter::Icon::Information;
        case MessageIcon::None:
            break;
    }
    return Prompter::Icon::None;
}

}  // namespace

QString ScreenServices::NoticeText(const Notice& notice) const {
    std::string text = notice.literal;
    if (text.empty() && notice.text.english) text = notice.text.In(catalogue.IsKorean());
    if (notice.number >= 0) {
        text = notice.hasValue ? catalogue.Format(notice.number, notice.value)
                               : catalogue.Message(notice.number);
    }
    if (!notice.secondLine.empty()) text += "\n" + notice.secondLine;
    return QString::fromStdString(text);
}

void ScreenServices::Show(QWidget* parent, const Notice& notice) const {
    const QString caption = notice.caption.empty() ? QString::fromUtf8(texts::kCaption)
                                                   : QString::fromStdString(notice.caption);
    prompter.Show(parent, NoticeText(notice), caption, IconOf(notice.icon));
}

}  // namespace kp70
