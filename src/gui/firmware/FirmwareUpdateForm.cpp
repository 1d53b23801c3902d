#include "gui/firmware/FirmwareUpdateForm.h"
#include "gui/app/Widgets.h"

#include <QButtonGroup>
#include <QGridLayout>
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

FirmwareUpdateForm::FirmwareUpdateForm(bool korean, const QString& summary, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);

    auto* fileRow = new QHBoxLayout;
    m_path = MakeReadOnlyBox(this, "pathBox");
    m_path->setMinimumWidth(360);
    m_fileOpen = MakeButton(this, "fileOpenButton", In(kFileOpen, korean));
    fileRow->addWidget(m_path, 1);
    fileRow->addWidget(m_fileOpen);
    layout->addLayout(fileRow);

    auto* middle = new QHBoxLayout;
    auto* areaGroup = new QGroupBox(In(kAreaGroup, korean), this);
    areaGroup->setObjectName("areaGroup");
    auto* areaLayout = new QVBoxLayout(areaGroup);
    auto* buttons = new QButtonGroup(this);
    for (int i = 0; i < kAreas; ++i) {
        auto* radio = new QRadioButton(In(kAreaLabels[i], korean), areaGroup);
        radio->setObjectName(QStringLiteral("areaRadio%1").arg(i));
        buttons->addButton(radio, i);
        areaLayout->addWidget(radio);
        m_areas[static_cast<std::size_t>(i)] = radio;
    }
    connect(buttons, &QButtonGroup::idClicked, this, &FirmwareUpdateForm::areaChosen);
    middle->addWidget(areaGroup);

    auto* deviceGroup = new QGroupBox(In(kDeviceGroup, korean), this);
    deviceGroup->setObjectName("deviceGroup");
    auto* deviceLayout = new QVBoxLayout(deviceGroup);
    auto* summaryLabel = new QLabel(summary, deviceGroup);
    summaryLabel->setObjectName("summaryLabel");
    summaryLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    deviceLayout->addWidget(summaryLabel);
    // The printer's status, shown only when it answered.
    m_status = new QLabel(deviceGroup);
    m_status->setObjectName("statusText");
    m_status->setWordWrap(true);
    m_status->setVisible(false);
    deviceLayout->addWidget(m_status);
    deviceLayout->addStretch(1);
    middle->addWidget(deviceGroup, 1);
    layout->addLayout(middle);

    auto* information = new QGroupBox(In(kInformationGroup, korean), this);
    information->setObjectName("informationGroup");
    auto* grid = new QGridLayout(information);
    m_checksum = MakeReadOnlyBox(information, "checksumBox");
    m_fileSize = MakeReadOnlyBox(information, "fileSizeBox");
    m_fileSize->setText(QStringLiteral("0"));
    grid->addWidget(new QLabel(In(kChecksum, korean), information), 0, 0);
    grid->addWidget(m_checksum, 0, 1);
    grid->addWidget(new QLabel(In(kFileSize, korean), information), 1, 0);
    grid->addWidget(m_fileSize, 1, 1);
    grid->addWidget(new QLabel(In(kBytes, korean), information), 1, 2);
    grid->addWidget(new QLabel(In(kPacketNote, korean), information), 2, 0, 1, 3);
    layout->addWidget(information);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName("progressBar");
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    layout->addWidget(m_progress);

    auto* buttonRow = new QHBoxLayout;
    m_download = MakeButton(this, "downloadButton", In(kDownload, korean));
    m_exit = MakeButton(this, "exitButton", In(kExit, korean));
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_download);
    buttonRow->addWidget(m_exit);
    layout->addLayout(buttonRow);
}

int FirmwareUpdateForm::CheckedArea() const {
    for (int i = 0; i < kAreas; ++i)
        if (m_areas[static_cast<std::size_t>(i)]->isChecked()) return i;
    return 0;
}

void FirmwareUpdateForm::CheckArea(int index) {
    m_areas[static_cast<std::size_t>(index)]->setChecked(true);
}

}  // namespace kp70

namespace kp70 {

void FirmwareUpdateForm::ShowStatus(const QString& line) {
    m_status->setText(line);
    m_status->setVisible(!line.isEmpty());
}

}  // namespace kp70
