#include "gui/logo/LogoPrintPage.h"
#include "core/app/ModelCatalogue.h"
#include "gui/app/Widgets.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/logo/LogoOperations.h"
#include "gui/logo/LogoListView.h"
#include "gui/logo/LogoSheetTexts.h"

namespace kp70 {

LogoPrintPage::LogoPrintPage(LogoSheetContext& context, QWidget* parent)
    : LogoPage(context, parent) {
    auto* layout = new QVBoxLayout(this);
    m_view = new LogoListView(false, this);
    m_view->setObjectName("printList");
    m_view->setMaximumHeight(140);
    layout->addWidget(m_view);

    auto* grid = new QGridLayout;
    auto* range = new QGroupBox(m_context.Text(logosheet::kPrintingRange), this);
    auto* rangeLayout = new QVBoxLayout(range);
    m_all = new QRadioButton(m_context.Text(logosheet::kAll), range);
    m_all->setObjectName("rangeAll");
    m_selection = new QRadioButton(m_context.Text(logosheet::kSelection), range);
    m_selection->setObjectName("rangeSelection");
    m_text = new QLineEdit(range);
    m_text->setObjectName("selectionText");
    rangeLayout->addWidget(m_all);
    rangeLayout->addWidget(m_selection);
    rangeLayout->addWidget(m_text);
    m_all->setChecked(true);
    grid->addWidget(range, 0, 0);

    auto* quality = new QGroupBox(m_context.Text(logosheet::kPrintQuality), this);
    auto* qualityLayout = new QVBoxLayout(quality);
    m_quality = new QButtonGroup(this);
    const std::pair<NvPrintMode, BilingualText> modes[] = {
        {NvPrintMode::Normal, logosheet::kPrintNormal},
        {NvPrintMode::DoubleWidth, logosheet::kPrintDoubleWidth},
        {NvPrintMode::DoubleHeight, logosheet::kPrintDoubleHeight},
        {NvPrintMode::Quadruple, logosheet::kPrintQuadruple},
    };
    for (const auto& [mode, label] : modes) {
        auto* radio = new QRadioButton(m_context.Text(label), quality);
        radio->setObjectName(QStringLiteral("quality%1").arg(static_cast<int>(mode)));
        m_quality->addButton(radio, static_cast<int>(mode));
        qualityLayout->addWidget(radio);
    }
    m_quality->button(static_cast<int>(NvPrintMode::Normal))->setChecked(true);
    grid->addWidget(quality, 0, 1);

    auto* header = new QGroupBox(m_context.Text(logosheet::kHeader), this);
    auto* headerLayout = new QVBoxLayout(header);
    m_noHeader = new QRadioButton(m_context.Text(logosheet::kNoHeader), header);
    m_noHeader->setObjectName("noHeader");
    m_addHeader = new QRadioButton(m_context.Text(logosheet::kAddHeader), header);
    m_addHeader->setObjectName("addHeader");
    m_noHeader->setChecked(true);
    headerLayout->addWidget(m_noHeader);
    headerLayout->addWidget(m_addHeader);
    grid->addWidget(header, 1, 0);

    auto* details = new QGroupBox(m_context.Text(logosheet::kPrinterDetails), this);
    auto* form = new QFormLayout(details);
    m_printerName = MakeReadOnlyBox(details, "printerName");
    m_portName = MakeReadOnlyBox(details, "portName");
    form->addRow(m_context.Text(logosheet::kPrinterName), m_printerName);
    form->addRow(m_context.Text(logosheet::kPortName), m_portName);
    grid->addWidget(details, 1, 1);
    layout->addLayout(grid);

    m_print = new QPushButton(m_context.Text(logosheet::kPrint), this);
    m_print->setObjectName("printButton");
    m_print->setAutoDefault(false);
    layout->addWidget(m_print, 0, Qt::AlignRight);

    // Choosing Selection, or going into its text, means printing the selection.
    connect(m_selection, &QRadioButton::clicked, this, [this] { m_text->setFocus(); });
    m_text->installEventFilter(this);
    connect(m_print, &QPushButton::clicked, this, &LogoPrintPage::printClicked);
    connect(m_view, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_context.currentNumber = m_view->LastSelectedNumber(); });
    ConnectSort(m_view);
}

bool LogoPrintPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_text && event->type() == QEvent::FocusIn) m_selection->setChecked(true);
    return LogoPage::eventFilter(watched, event);
}

void LogoPrintPage::Activate() {
    if (!m_shown) {
        m_shown = true;
        m_view->ResetSort();
    }
    FillList(m_view);
    const std::string& port = m_context.settings.portName;
    m_printerName->setText(QString::fromUtf8(models::FamilyName(m_context.settings.modelCode)));
    m_portName->setText(QString::fromStdString(port));
    m_print->setEnabled(PrintAvailable(port));
}

bool LogoPrintPage::PrintAll() const {
    return m_all->isChecked();
}

std::string LogoPrintPage::SelectionText() const {
    return m_text->text().toStdString();
}

NvPrintMode LogoPrintPage::Quality() const {
    return static_cast<NvPrintMode>(m_quality->checkedId());
}

bool LogoPrintPage::Header() const {
    return m_addHeader->isChecked();
}

QRadioButton* LogoPrintPage::qualityButton(NvPrintMode mode) const {
    return static_cast<QRadioButton*>(m_quality->button(static_cast<int>(mode)));
}

}  // namespace kp70
