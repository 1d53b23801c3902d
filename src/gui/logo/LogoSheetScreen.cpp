#include "gui/logo/LogoSheetScreen.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/app/MessageCatalogue.h"
#include "core/logo/LogoOperations.h"
#include "core/logo/LogoTexts.h"
#include "core/transport/PrinterPort.h"
#include "gui/logo/LogoPreviewPage.h"
#include "gui/logo/LogoPrintPage.h"
#include "gui/logo/LogoSelectPage.h"
#include "gui/logo/LogoSetupPage.h"
#include "gui/logo/LogoSheetTexts.h"
#include "gui/logo/LogoUploadPage.h"
#include "gui/logo/PrintProgressWindow.h"
#include "gui/logo/UploadProgressWindow.h"

namespace kp70 {

namespace {

// The one action of the sheet: its pages and buttons, off while a job runs (the progress
// window's Cancel stays usable).
constexpr ActionSet kSheetUsable = 1;

}  // namespace

LogoSheetScreen::LogoSheetScreen(const ScreenServices& services, PrinterLinkFactory& links,
                                 LogoToolData& toolData, FileChooser& chooser,
                                 std::string connectionSummary, QWidget* parent)
    : QDialog(parent),
      m_context{services, toolData, links.Settings(), chooser, std::move(connectionSummary)},
      m_links(links) {
    setWindowTitle(QString::fromUtf8(texts::kLogoTitle));
    auto* layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName("pages");
    layout->addWidget(m_tabs);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Ok)->setText(m_context.Text(logosheet::kOk));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(m_context.Text(logosheet::kCancel));
    layout->addWidget(m_buttons);
    resize(640, 600);

    // Building Select Bitmap resets the options to their defaults.
    m_select = new LogoSelectPage(m_context);
    m_preview = new LogoPreviewPage(m_context);
    m_upload = new LogoUploadPage(m_context);
    m_print = new LogoPrintPage(m_context);
    m_setup = new LogoSetupPage(m_context);
    m_pages = {m_select, m_preview, m_upload, m_print, m_setup};
    m_switching = true;
    m_tabs->addTab(m_select, m_context.Text(logosheet::kSelectTab));
    m_tabs->addTab(m_preview, m_context.Text(logosheet::kPreviewTab));
    m_tabs->addTab(m_upload, m_context.Text(logosheet::kUploadTab));
    m_tabs->addTab(m_print, m_context.Text(logosheet::kPrintTab));
    m_tabs->addTab(m_setup, m_context.Text(logosheet::kSetupTab));
    m_tabs->setCurrentIndex(kSetupPage);
    m_switching = false;
    // The listed sizes follow the gray choice the sheet starts with.
    toolData.list.SetGrayPrinting(toolData.options.grayPrinting);
    m_current = kSetupPage;
    m_setup->Activate();

    m_runner.SetActions({{kSheetUsable, m_tabs}, {kSheetUsable, m_buttons}});
    m_runner.ShowActions(kSheetUsable);

    connect(m_tabs, &QTabWidget::currentChanged, this, &LogoSheetScreen::OnTabChanged);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &LogoSheetScreen::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &LogoSheetScreen::reject);
    connect(m_upload, &LogoUploadPage::uploadClicked, this, &LogoSheetScreen::OnUpload);
    connect(m_print, &LogoPrintPage::printClicked, this, &LogoSheetScreen::OnPrint);
}

LogoSheetScreen::~LogoSheetScreen() {
    // Ends a job still under way (it stops before its next image) without an event loop.
    m_cancel->Cancel();
    m_runner.Shutdown();
}

int LogoSheetScreen::currentPage() const {
    return m_current;
}

bool LogoSheetScreen::ShowPage(int page) {
    m_tabs->setCurrentIndex(page);
    return m_current == page;
}

void LogoSheetScreen::OnTabChanged(int index) {
    if (m_switching || index == m_current || index < 0) return;
    if (!m_pages[static_cast<std::size_t>(m_current)]->Leave()) {
        // The page in front keeps its place (an entry out of range).
        m_switching = true;
        m_tabs->setCurrentIndex(m_current);
        m_switching = false;
        return;
    }
    m_current = index;
    m_pages[static_cast<std::size_t>(index)]->Activate();
}

void LogoSheetScreen::accept() {
    if (busy() || !m_pages[static_cast<std::size_t>(m_current)]->Leave()) return;
    QDialog::accept();
}

void LogoSheetScreen::done(int result) {
    if (m_closing) return;
    m_closing = true;
    if (m_runner.Busy()) {
        // Closed while a job runs: it stops between images (an upload still completes the
        // printer's definition), then the sheet closes.
        m_cancel->Cancel();
        m_runner.Close({}, [this, result] { FinishClosing(result); });
        return;
    }
    FinishClosing(result);
}

void LogoSheetScreen::FinishClosing(int result) {
    CloseWindows();
    m_context.list().ResetListCounters();
    if (m_context.options().printToFile) m_context.settings.portName = m_setup->realPortName();
    QDialog::done(result);
}

// ---- the jobs ----

void LogoSheetScreen::OnUpload() {
    const ScreenServices& services = m_context.services;
    const LogoList& list = m_context.list();
    if (NvMemoryTooSmall(m_context.settings.modelCode, list, m_context.options())) {
        Notice notice = Notice::Literal(logotext::kTalvo30Notice);
        notice.caption = texts::kNoticeCaption;
        services.Show(this, notice);
        return;
    }
    auto ask = [&](int message, Prompter::Icon icon) {
        return services.prompter.Show(this,
                                      QString::fromStdString(services.catalogue.Message(message)),
                                      QString::fromUtf8(texts::kCaption), icon,
                                      Prompter::Buttons::YesNo) == Prompter::Answer::Yes;
    };
    if (list.Count() == 0) {
        if (!ask(msg::kDeleteAllQuestion, Prompter::Icon::None)) return;
        RunJob([this, stop = NewCancel()](StepContext& step) {
            const CancelToken cancel(stop.get(), &step.cancel);
            return DeleteAllLogos(m_links, m_context.services.clock, cancel);
        });
        return;
    }
    // A list the printer cannot take is said before the question; the job looks again,
    // with the files read afresh.
    if (const std::optional<Notice> refused = CheckUpload(list, m_context.options(), false)) {
        services.Show(this, *refused);
        return;
    }
    if (!ask(msg::kUploadQuestion, Prompter::Icon::Question)) return;

    const std::shared_ptr<CancelToken> stop = NewCancel();
    m_uploadWindow = new UploadProgressWindow(m_context.Korean(), this);
    connect(m_uploadWindow, &LogoProgressWindow::cancelClicked, this, [stop] { stop->Cancel(); });
    // The job works on a copy of the options; the list is left alone while it runs (the
    // sheet is off), and a complete upload stores it in the profile.
    RunJob([this, stop, options = m_context.options()](StepContext& step) {
        UploadCallbacks callbacks;
        callbacks.progress = [this, &step](const UploadProgress& progress) {
            step.Post([this, progress] {
                if (!m_uploadWindow) return;
                m_uploadWindow->ShowProgress(progress);
                if (!m_uploadWindow->isVisible()) m_uploadWindow->show();
            });
        };
        const CancelToken cancel(stop.get(), &step.cancel);
        return UploadLogos(m_links, m_context.services.clock, &m_context.services.log,
                           m_context.list(), options, &m_context.services.profile, callbacks,
                           cancel);
    });
}

void LogoSheetScreen::OnPrint() {
    PrintRequest request;
    request.all = m_print->PrintAll();
    request.mode = m_print->Quality();
    request.header = m_print->Header();
    request.starEmulation = m_context.options().starEmulation;
    const std::string selection = m_print->SelectionText();

    const std::shared_ptr<CancelToken> stop = NewCancel();
    m_printWindow = new PrintProgressWindow(m_context.Korean(), this);
    connect(m_printWindow, &LogoProgressWindow::cancelClicked, this, [stop] { stop->Cancel(); });
    RunJob([this, stop, request, selection](StepContext& step) {
        PrintCallbacks callbacks;
        callbacks.progress = [this, &step](const PrintProgress& progress) {
            step.Post([this, progress] {
                if (!m_printWindow) return;
                m_printWindow->ShowProgress(progress);
                if (!m_printWindow->isVisible()) m_printWindow->show();
            });
        };
        const CancelToken cancel(stop.get(), &step.cancel);
        return PrintLogos(m_links, m_context.services.clock, request, selection, callbacks, cancel);
    });
}

std::shared_ptr<CancelToken> LogoSheetScreen::NewCancel() {
    // A fresh token for each job: the window's Cancel and the sheet's closing stop it.
    m_cancel = std::make_shared<CancelToken>();
    return m_cancel;
}

void LogoSheetScreen::RunJob(std::function<Outcome(StepContext&)> step) {
    const bool started = m_runner.Run(
        [step = std::move(step)](StepContext& context) {
            Outcome outcome = step(context);
            outcome.enabled = kSheetUsable;
            return outcome;
        },
        [this](const Outcome& outcome) { JobEnded(outcome); }, 0);
    if (!started) {
        CloseWindows();
        m_context.services.ShowMessage(this, msg::kSystemError);
    }
}

void LogoSheetScreen::JobEnded(const Outcome& outcome) {
    CloseWindows();
    m_pages[static_cast<std::size_t>(m_current)]->Activate();
    m_context.services.ShowAll(this, outcome);
}

void LogoSheetScreen::CloseWindows() {
    for (LogoProgressWindow* window : {static_cast<LogoProgressWindow*>(m_uploadWindow),
                                       static_cast<LogoProgressWindow*>(m_printWindow)}) {
        if (!window) continue;
        window->hide();
        window->deleteLater();
    }
    m_uploadWindow = nullptr;
    m_printWindow = nullptr;
}

}  // namespace kp70
