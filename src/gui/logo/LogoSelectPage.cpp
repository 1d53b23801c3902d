#include "gui/logo/LogoSelectPage.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/app/ErrorLog.h"
#include "core/app/MessageCatalogue.h"
#include "core/logo/LogoOperations.h"
#include "core/logo/LogoTexts.h"
#include "gui/app/FileChooser.h"
#include "gui/logo/LogoListView.h"
#include "gui/logo/LogoSheetTexts.h"

namespace kp70 {

LogoSelectPage::LogoSelectPage(LogoSheetContext& context, QWidget* parent)
    : LogoPage(context, parent) {
    m_context.options().ResetToDefaults(m_context.settings.modelCode);

    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(m_context.Text(logosheet::kBitmapList), this);
    group->setObjectName("listGroup");
    auto* groupLayout = new QVBoxLayout(group);
    m_view = new LogoListView(true, group);
    m_view->setObjectName("selectList");
    groupLayout->addWidget(m_view);
    layout->addWidget(group, 1);

    auto* buttons = new QHBoxLayout;
    auto makeButton = [&](const char* name, const BilingualText& label) {
        auto* button = new QPushButton(m_context.Text(label), this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        buttons->addWidget(button);
        return button;
    };
    m_open = makeButton("openFileButton", logosheet::kOpenFile);
    m_remove = makeButton("removeButton", logosheet::kRemove);
    m_reset = makeButton("resetButton", logosheet::kReset);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addWidget(MakeCounters());

    connect(m_open, &QPushButton::clicked, this, &LogoSelectPage::OnOpenFile);
    connect(m_remove, &QPushButton::clicked, this, &LogoSelectPage::OnRemove);
    connect(m_reset, &QPushButton::clicked, this, &LogoSelectPage::OnReset);
    connect(m_view, &QTreeWidget::itemSelectionChanged, this, &LogoSelectPage::OnSelectionChanged);
    connect(m_view, &LogoListView::markChanged, this, &LogoSelectPage::OnMarkChanged);
    ConnectSort(m_view);
}

void LogoSelectPage::Activate() {
    if (!m_shown) {
        m_shown = true;
        m_context.currentNumber = -1;
        NoticeSmallMemory();
    }
    FillList(m_view);
    ShowCounters();
    m_context.marker = PageMarker::None;
}

bool LogoSelectPage::Leave() {
    // Each row's box is its file's mark.
    for (int row = 0; row < m_view->RowCount(); ++row)
        m_context.list().SetCenter(m_view->RowNumber(row), m_view->RowMarked(row));
    return true;
}

void LogoSelectPage::OnMarkChanged(int number, bool marked) {
    m_context.list().SetCenter(number, marked);
}

void LogoSelectPage::NoticeSmallMemory() {
    if (!NvMemoryTooSmall(m_context.settings.modelCode, m_context.list(), m_context.options()))
        return;
    Notice notice = Notice::Literal(logotext::kTalvo30Notice);
    notice.caption = texts::kNoticeCaption;
    m_context.services.Show(this, notice);
}

void LogoSelectPage::OnOpenFile() {
    // Numbers of stored files that failed to load go to the files added now.
    m_context.list().TakeOverFailedNumbers();
    const QStringList files = m_context.chooser.OpenFiles(
        this,
        QString::fromUtf8(logosheet::kBitmapFilter) + QStringLiteral(";;") +
            QString::fromUtf8(logosheet::kImageFilter),
        QString::fromUtf8(logosheet::kBitmapSuffix), m_context.data.lastChosenPath);
    for (const QString& file : files) {
        m_context.data.lastChosenPath = file;
        const AddBitmapResult added = m_context.list().AddBitmap(0, file.toStdString());
        if (added.message) {
            m_context.services.log.LogLine("%s: %s", file.toLocal8Bit().constData(),
                                           added.reason.c_str());
            m_context.services.Show(this, *added.message);
        }
        if (!added.accepted) break;
    }
    FillList(m_view);
    ShowCounters();
    NoticeSmallMemory();
}

void LogoSelectPage::OnRemove() {
    const std::vector<int> numbers = m_view->SelectedNumbers();
    if (numbers.empty()) {
        m_context.services.Show(this,
                                Notice::Message(msg::kNoBitmapSelected, MessageIcon::Exclamation));
        return;
    }
    const auto answer =
        m_context.services.prompter.Show(this, QString::fromUtf8(logosheet::kRemoveQuestion),
                                         QString::fromUtf8(logosheet::kRemoveCaption),
                                         Prompter::Icon::Question, Prompter::Buttons::YesNo);
    if (answer != Prompter::Answer::Yes) return;
    // From the last selected row to the first; each file takes its mark along.
    for (auto it = numbers.rbegin(); it != numbers.rend(); ++it) m_context.list().RemoveBitmap(*it);
    m_context.currentNumber = -1;
    FillList(m_view);
    ShowCounters();
}

void LogoSelectPage::OnReset() {
    const auto answer = m_context.services.prompter.Show(
        this, QString::fromStdString(m_context.services.catalogue.Message(msg::kResetListQuestion)),
        QString::fromUtf8(texts::kCaption), Prompter::Icon::Question, Prompter::Buttons::YesNo);
    if (answer != Prompter::Answer::Yes) return;
    // Back to what the last complete upload stored.
    m_context.list().ResetListCounters();
    const std::vector<Notice> notices = m_context.list().LoadStoredList(m_context.services.profile);
    for (const Notice& notice : notices) m_context.services.Show(this, notice);
    m_context.currentNumber = -1;
    FillList(m_view);
    ShowCounters();
}

void LogoSelectPage::OnSelectionChanged() {
    m_context.currentNumber = m_view->LastSelectedNumber();
}

}  // namespace kp70
