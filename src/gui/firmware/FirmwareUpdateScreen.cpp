#include "gui/firmware/FirmwareUpdateScreen.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/app/Profile.h"
#include "core/firmware/FirmwareTexts.h"
#include "core/status/StatusSession.h"
#include "core/transport/PrinterLink.h"
#include "gui/app/FileChooser.h"
#include "gui/app/KeyboardState.h"
#include "gui/firmware/FirmwareScreenTexts.h"
#include "gui/firmware/FirmwareUpdateForm.h"

namespace kp70 {

namespace {

using namespace firmware;

constexpr int kLcdFont = static_cast<int>(FirmwareArea::LcdFont);
constexpr int kDownloadArea = static_cast<int>(FirmwareArea::Download);
constexpr int kBootArea = static_cast<int>(FirmwareArea::Boot);

}  // namespace

FirmwareUpdateScreen::FirmwareUpdateScreen(const ScreenServices& services,
                                           PrinterLinkFactory& links, int statusBoundMs,
                                           const std::string& connectionSummary,
                                           FileChooser& chooser, QWidget* parent)
    : QDialog(parent),
      m_services(services),
      m_links(links),
      m_statusBoundMs(statusBoundMs),
      m_chooser(chooser),
      m_download(links, services.clock) {
    m_korean = m_services.Korean();
    m_modelCode = m_links.Settings().modelCode;
    // The service functions: Ctrl held while the screen opens, looked at this once.
    m_serviceMode = m_services.keyboard.ControlHeld();

    setWindowTitle(QString::fromUtf8(texts::kFirmwareTitle));
    m_form = new FirmwareUpdateForm(m_korean, QString::fromStdString(connectionSummary), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_form);

    const LastImage last = LoadLastImage(m_services.profile, firmwaretext::kFwdn20Section);
    m_path = last.path;
    m_name = last.name;
    m_form->pathBox()->setText(QString::fromStdString(m_path));

    m_form->CheckArea(0);
    m_form->areaRadio(kDownloadArea)
        ->setEnabled(AreaAllowed(FirmwareArea::Download, m_modelCode, m_serviceMode, false));
    m_form->areaRadio(kBootArea)->setEnabled(false);
    if (m_serviceMode) ApplyBootRule(ReadTrailer(m_path).permission);
    m_form->areaRadio(kLcdFont)->setEnabled(
        AreaAllowed(FirmwareArea::LcdFont, m_modelCode, m_serviceMode, false));

    m_runner.SetActions({{kDownload, m_form->downloadButton()},
                         {kFileOpen, m_form->fileOpenButton()},
                         {kExit, m_form->exitButton()}});
    m_runner.ShowActions(kDownload | kFileOpen | kExit);

    connect(m_form->fileOpenButton(), &QPushButton::clicked, this,
            &FirmwareUpdateScreen::OnFileOpen);
    connect(m_form->downloadButton(), &QPushButton::clicked, this,
            &FirmwareUpdateScreen::OnDownload);
    connect(m_form->exitButton(), &QPushButton::clicked, this, &FirmwareUpdateScreen::CloseScreen);
}

FirmwareUpdateScreen::~FirmwareUpdateScreen() {
    // No event loop here: the runner cancels and joins a transfer still under way, then the
    // port is closed and the flow control put back.
    m_runner.Shutdown();
    m_download.Close();
}

void FirmwareUpdateScreen::ApplyBootRule(BootPermission permission) {
    if (!m_serviceMode) return;
    QRadioButton* boot = m_form->areaRadio(kBootArea);
    switch (permission) {
        case BootPermission::Permitted:
            boot->setEnabled(true);
            break;
        case BootPermission::NotPermitted:
            if (boot->isChecked()) m_form->CheckArea(0);
            boot->setEnabled(false);
            break;
        case BootPermission::Undecided:
            break;
    }
}

void FirmwareUpdateScreen::OnFileOpen() {
    if (!(m_runner.ShownActions() & kFileOpen) || m_closing) return;
    const QString chosen = m_chooser.ChooseFile(this, QString::fromUtf8(firmwaretext::kImageFilter),
                                                QString::fromStdString(m_path));
    if (chosen.isEmpty()) return;
    m_path = chosen.toStdString();
    m_name = FileNameOf(m_path);
    m_runner.ShowActions(m_runner.ShownActions() | kDownload);
    m_form->pathBox()->setText(chosen);
    const TrailerRead trailer = ReadTrailer(m_path);
    if (!trailer.opened) {
        m_services.ShowText(this, QString::fromUtf8(firmwaretext::kFileOpenError));
        return;
    }
    ApplyBootRule(trailer.permission);
}

void FirmwareUpdateScreen::OnDownload() {
    if (!(m_runner.ShownActions() & kDownload) || m_closing || m_runner.Busy()) return;
    const auto area = static_cast<FirmwareArea>(m_form->CheckedArea());
    // The file's checks and the question: quick, and nothing is sent yet.
    const Outcome checked = m_download.CheckFile(m_path, &m_services.profile);
    m_runner.ShowActions(checked.enabled);
    m_services.ShowAll(this, checked);
    if (checked.status != OutcomeStatus::Done) return;
    if (const auto question = AreaQuestion(area)) {
        const Prompter::Answer answer = m_services.prompter.Show(
            this, m_services.NoticeText(*question), QString::fromUtf8(texts::kCaption),
            Prompter::Icon::None, Prompter::Buttons::YesNo);
        if (answer != Prompter::Answer::Yes) return;
    }

    const bool started = m_runner.Run(
        [this, area](StepContext& context) {
            AreaDownloadObserver observer;
            observer.packetBuilt = [this, &context](std::uint16_t checksum, std::uint32_t length) {
                context.Post([this, checksum, length] {
                    m_packetLength = length;
                    m_form->checksumBox()->setText(QString::fromStdString(ChecksumText(checksum)));
                    m_form->progressBar()->setRange(0, static_cast<int>(length + kProgressTail));
                    ShowProgress(0);
                });
            };
            observer.progress = [this, &context](std::uint32_t position) {
                context.Post([this, position] { ShowProgress(position); });
            };
            observer.sent = [this, &context](std::uint32_t bytes) {
                context.Post(
                    [this, bytes] { m_form->fileSizeBox()->setText(QString::number(bytes)); });
            };
            return m_download.Send(area, observer, context.cancel);
        },
        [this](const Outcome& outcome) { OnTransferEnded(outcome); }, kExit);
    if (!started) {
        m_services.ShowMessage(this, msg::kSystemError);
        m_runner.ShowActions(kDownload | kFileOpen | kExit);
    }
}

void FirmwareUpdateScreen::OnTransferEnded(const Outcome& outcome) {
    m_services.ShowAll(this, outcome);
    // Once the completion message is closed, the bar is empty and the caption says 0 %.
    if (outcome.status == OutcomeStatus::Done) ShowProgress(0);
    QueryStatus();
}

void FirmwareUpdateScreen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_shown) return;
    m_shown = true;
    QueryStatus();
}

void FirmwareUpdateScreen::QueryStatus() {
    if (m_statusBoundMs <= 0 || m_closing || m_runner.Busy()) return;
    // The buttons stay as they are; a DOWNLOAD pressed meanwhile waits for the query, and
    // the transfer opens the port afresh as always.
    const ActionSet shown = m_runner.ShownActions();
    auto report = std::make_shared<StatusReport>();
    m_runner.Run(
        [this, report, shown](StepContext& context) {
            *report = ProbeStatus(m_links, m_services.clock, context.cancel, m_statusBoundMs);
            Outcome outcome;
            outcome.enabled = shown;
            return outcome;
        },
        [this, report](const Outcome&) {
            ++m_statusQueries;
            m_form->ShowStatus(QString::fromStdString(report->ShownLine(m_korean)));
        },
        shown);
}

void FirmwareUpdateScreen::ShowProgress(std::uint32_t position) {
    m_form->progressBar()->setValue(static_cast<int>(std::min<std::uint32_t>(
        position, static_cast<std::uint32_t>(m_form->progressBar()->maximum()))));
    setWindowTitle(QString::fromStdString(ProgressCaption(position, m_packetLength)));
}

void FirmwareUpdateScreen::reject() {
    CloseScreen();
}

void FirmwareUpdateScreen::CloseScreen() {
    if (m_closing) return;
    m_closing = true;
    m_runner.Close([this] { m_download.Close(); },
                   [this] {
                       m_closed = true;
                       QDialog::done(QDialog::Rejected);
                   });
}

}  // namespace kp70
