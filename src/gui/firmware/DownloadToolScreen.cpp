#include "gui/firmware/DownloadToolScreen.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/app/MessageCatalogue.h"
#include "core/app/Profile.h"
#include "core/firmware/FirmwareTexts.h"
#include "core/firmware/LastImage.h"
#include "gui/app/FileChooser.h"
#include "gui/firmware/DownloadToolForm.h"

namespace kp70 {

namespace {

using namespace talvo10;

}  // namespace

DownloadToolScreen::DownloadToolScreen(const ScreenServices& services, PrinterLinkFactory& links,
                                       const std::string& connectionSummary, FileChooser& chooser,
                                       QWidget* parent)
    : QDialog(parent), m_services(services), m_chooser(chooser), m_download(links, services.clock) {
    setWindowTitle(QString::fromUtf8(texts::kFirmware15Title));
    m_form =
        new DownloadToolForm(m_services.Korean(), QString::fromStdString(connectionSummary), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_form);

    const LastImage last = LoadLastImage(m_services.profile, firmwaretext::kFwdn15Section);
    m_path = last.path;
    m_name = last.name;
    m_form->pathBox()->setText(QString::fromStdString(m_path));
    m_form->nameBox()->setText(QString::fromStdString(m_name));

    m_runner.SetActions({{kOk, m_form->okButton()},
                         {kOpen, m_form->openButton()},
                         {kCancel, m_form->cancelButton()}});
    m_runner.ShowActions(kOk | kOpen | kCancel);

    connect(m_form->openButton(), &QPushButton::clicked, this, &DownloadToolScreen::OnOpen);
    connect(m_form->okButton(), &QPushButton::clicked, this, &DownloadToolScreen::OnOk);
    connect(m_form->cancelButton(), &QPushButton::clicked, this, &DownloadToolScreen::reject);
}

DownloadToolScreen::~DownloadToolScreen() {
    // No event loop here: the runner cancels and joins a download still under way, then the
    // port is closed (joining its receive thread) and the flow control put back.
    m_runner.Shutdown();
    m_download.Close();
}

void DownloadToolScreen::OnOpen() {
    if (!(m_runner.ShownActions() & kOpen) || m_closing) return;
    const QString chosen = m_chooser.ChooseFile(
        this, QString::fromUtf8(firmwaretext::kBinaryFilter), QString::fromStdString(m_path));
    if (chosen.isEmpty()) return;
    m_path = chosen.toStdString();
    m_name = FileNameOf(m_path);
    m_form->pathBox()->setText(chosen);
    m_form->nameBox()->setText(QString::fromStdString(m_name));
}

void DownloadToolScreen::OnOk() {
    if (!(m_runner.ShownActions() & kOk) || m_closing || m_runner.Busy()) return;
    const auto area = static_cast<FlashArea>(m_form->CheckedArea());
    const std::string path = m_path;
    const bool started = m_runner.Run(
        [this, area, path](StepContext& context) {
            Talvo10Observer observer;
            observer.caption = [this, &context](const std::string& caption) {
                context.Post([this, caption] { setWindowTitle(QString::fromStdString(caption)); });
            };
            observer.range = [this, &context](std::uint32_t start, std::uint32_t end) {
                context.Post([this, start, end] {
                    m_form->progressBar()->setRange(static_cast<int>(start), static_cast<int>(end));
                    m_form->progressBar()->setValue(static_cast<int>(start));
                });
            };
            observer.progress = [this, &context](std::uint32_t position) {
                context.Post([this, position] {
                    m_form->progressBar()->setValue(static_cast<int>(position));
                });
            };
            return m_download.Run(path, area, &m_services.profile, observer, context.cancel);
        },
        [this](const Outcome& outcome) { OnDownloadEnded(outcome); }, kOpen | kCancel);
    if (!started) m_services.ShowMessage(this, msg::kSystemError);
}

void DownloadToolScreen::OnDownloadEnded(const Outcome& outcome) {
    m_services.ShowAll(this, outcome);
    if (outcome.closeScreen) {
        CloseScreen(QDialog::Accepted);
        return;
    }
    // A download that did not end leaves no "Writing..." behind in the caption.
    setWindowTitle(QString::fromUtf8(texts::kFirmware15Title));
}

void DownloadToolScreen::reject() {
    CloseScreen(QDialog::Rejected);
}

void DownloadToolScreen::CloseScreen(int result) {
    if (m_closing) return;
    // Stopping after the erase leaves the printer's area erased: the operator decides.
    const bool erased = m_runner.Busy() && m_download.Erased();
    if (erased) {
        const auto answer = m_services.prompter.Show(
            this, QString::fromUtf8(firmwaretext::kStopAfterEraseQuestion.In(m_services.Korean())),
            QString::fromUtf8(texts::kCaption), Prompter::Icon::Question, Prompter::Buttons::YesNo);
        if (answer != Prompter::Answer::Yes || !m_runner.Busy()) return;
    }
    m_closing = true;
    m_runner.Close([this] { m_download.Close(); },
                   [this, result, erased] {
                       if (erased) {
                           Notice notice;
                           notice.text = firmwaretext::kErasedNotWritten;
                           notice.icon = MessageIcon::Exclamation;
                           m_services.Show(this, notice);
                       }
                       m_closed = true;
                       QDialog::done(result);
                   });
}

}  // namespace kp70
