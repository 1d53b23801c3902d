#include "gui/logo/LogoPage.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include "gui/logo/LogoListView.h"
#include "gui/logo/LogoSheetTexts.h"

namespace kp70 {

QWidget* LogoPage::MakeCounters() {
    auto* box = new QWidget(this);
    auto* form = new QFormLayout(box);
    form->setContentsMargins(0, 0, 0, 0);
    m_count = new QLineEdit(box);
    m_count->setObjectName("countField");
    m_count->setReadOnly(true);
    m_size = new QLineEdit(box);
    m_size->setObjectName("sizeField");
    m_size->setReadOnly(true);
    form->addRow(m_context.Text(logosheet::kNumberOfFiles), m_count);
    form->addRow(m_context.Text(logosheet::kTotalSize), m_size);
    return box;
}

void LogoPage::ShowCounters() {
    if (m_count) m_count->setText(QString::fromStdString(m_context.list().CountText()));
    if (m_size) m_size->setText(QString::fromStdString(m_context.list().SizeText()));
}

void LogoPage::FillList(LogoListView* view) {
    // Refilling is no choice of the operator's: the current row stays.
    const QSignalBlocker block(view);
    view->Fill(m_context.list(), m_context.options());
    view->SelectNumber(m_context.currentNumber);
}

void LogoPage::ConnectSort(LogoListView* view) {
    connect(view, &LogoListView::sorted, this, [this] { m_context.currentNumber = -1; });
}

}  // namespace kp70
