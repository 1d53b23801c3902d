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
    return QString::fromStdString(catalogue.Text(notice));
}

void ScreenServices::Show(QWidget* parent, const Notice& notice) const {
    const QString caption = notice.caption.empty() ? QString::fromUtf8(texts::kCaption)
                                                   : QString::fromStdString(notice.caption);
    prompter.Show(parent, NoticeText(notice), caption, IconOf(notice.icon));
}

}  // namespace kp70
