#include "gui/firmware/DownloadToolForm.h"
#include "gui/app/Widgets.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/firmware/FirmwareScreenTexts.h"

namespace kp70 {

namespace {

using namespace firmwarescreen;

}  // namespace

DownloadToolForm::DownloadToolForm(bool korean, const QString& summary, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    m_path = MakeReadOnlyBox(this, "pathBox");
    m_path->setMinimumWidth(360);
    layout->addWidget(m_path);
    auto* nameRow = new QHBoxLayout;
    m_name = MakeReadOnlyBox(this, "nameBox");
    m_open = MakeButton(this, "openButton", In(kOpen, korean));
    nameRow->addWidget(m_name, 1);
    nameRow->addWidget(m_open);
    layout->addLayout(nameRow);

    auto* middle = new QHBoxLayout;
    auto* areaGroup = new QGroupBox(In(kSelectArea, korean), this);
    areaGroup->setObjectName("areaGroup");
    auto* areaLayout = new QVBoxLayout(areaGroup);
    auto* buttons = new QButtonGroup(this);
    for (int i = 0; i < kAreas; ++i) {
        auto* radio = new QRadioButton(In(kFlashAreaLabels[i], korean), areaGroup);
        radio->setObjectName(QStringLiteral("areaRadio%1").arg(i));
        buttons->addButton(radio, i);
        areaLayout->addWidget(radio);
        m_areas[static_cast<std::size_t>(i)] = radio;
    }
    m_areas[0]->setChecked(true);
    middle->addWidget(areaGroup);

    auto* deviceGroup = new QGroupBox(In(kDeviceGroup, false), this);
    deviceGroup->setObjectName("deviceGroup");
    auto* deviceLayout = new QVBoxLayout(deviceGroup);
    auto* summaryLabel = new QLabel(summary, deviceGroup);
    summaryLabel->setObjectName("summaryLabel");
    summaryLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    deviceLayout->addWidget(summaryLabel);
    deviceLayout->addStretch(1);
    middle->addWidget(deviceGroup, 1);
    layout->addLayout(middle);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName("progressBar");
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    layout->addWidget(m_progress);

    auto* buttonRow = new QHBoxLayout;
    m_ok = MakeButton(this, "okButton", In(kOk, korean));
    m_cancel = MakeButton(this, "cancelButton", In(kCancel, korean));
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_ok);
    buttonRow->addWidget(m_cancel);
    layout->addLayout(buttonRow);
}

int DownloadToolForm::CheckedArea() const {
    for (int i = 0; i < kAreas; ++i)
        if (m_areas[static_cast<std::size_t>(i)]->isChecked()) return i;
    return 0;
}

}  // namespace kp70
