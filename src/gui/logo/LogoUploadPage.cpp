#include "gui/logo/LogoUploadPage.h"
#include "core/app/ModelCatalogue.h"
#include "gui/app/Widgets.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/logo/LogoListView.h"
#include "gui/logo/LogoSheetTexts.h"

namespace kp70 {

LogoUploadPage::LogoUploadPage(LogoSheetContext& context, QWidget* parent)
    : LogoPage(context, parent) {
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(m_context.Text(logosheet::kImageList), this);
    group->setObjectName("listGroup");
    auto* groupLayout = new QVBoxLayout(group);
    m_view = new LogoListView(false, group);
    m_view->setObjectName("uploadList");
    groupLayout->addWidget(m_view);
    layout->addWidget(group, 1);
    layout->addWidget(MakeCounters());

    auto* bottom = new QHBoxLayout;
    auto* details = new QGroupBox(m_context.Text(logosheet::kPrinterDetails), this);
    details->setObjectName("detailsGroup");
    auto* form = new QFormLayout(details);
    m_printerName = MakeReadOnlyBox(details, "printerName");
    m_portName = MakeReadOnlyBox(details, "portName");
    form->addRow(m_context.Text(logosheet::kPrinterName), m_printerName);
    form->addRow(m_context.Text(logosheet::kPortName), m_portName);
    bottom->addWidget(details, 1);
    m_upload = new QPushButton(m_context.Text(logosheet::kUpload), this);
    m_upload->setObjectName("uploadButton");
    m_upload->setAutoDefault(false);
    m_upload->setMinimumHeight(48);
    bottom->addWidget(m_upload);
    layout->addLayout(bottom);

    connect(m_upload, &QPushButton::clicked, this, &LogoUploadPage::uploadClicked);
    connect(m_view, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_context.currentNumber = m_view->LastSelectedNumber(); });
    ConnectSort(m_view);
}

void LogoUploadPage::Activate() {
    if (!m_shown) {
        m_shown = true;
        m_view->ResetSort();
    }
    FillList(m_view);
    ShowCounters();
    const std::string& port = m_context.settings.portName;
    m_toFile = port == logosheet::kFilePortName;
    const char* printer = models::FamilyName(m_context.settings.modelCode);
    m_printerName->setText(QString::fromUtf8(m_toFile ? logosheet::kToFile : printer));
    m_portName->setText(m_toFile ? QString::fromUtf8(logosheet::kToFile)
                                 : QString::fromStdString(port));
    m_context.marker = PageMarker::Upload;
}

}  // namespace kp70
