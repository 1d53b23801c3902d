#include "gui/setup/AdvancedUserSetupScreen.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/setup/ReplyMapping.h"
#include "core/setup/SettingModel.h"
#include "core/setup/SetupLists.h"
#include "core/setup/SetupProfile.h"
#include "core/setup/WriteBlock.h"
#include "core/transport/PrinterLink.h"
#include "gui/setup/UserSetupForm.h"

namespace kp70 {

namespace {

using namespace setupscreen;

}  // namespace

AdvancedUserSetupScreen::AdvancedUserSetupScreen(const ScreenServices& services,
                                                 PrinterLinkFactory& links, Clock& receiveClock,
                                                 int statusBoundMs, std::string connectionSummary,
                                                 QWidget* parent)
    : QDialog(parent),
      m_services(services),
      m_links(links),
      m_receiveClock(receiveClock),
      m_statusBoundMs(statusBoundMs) {
    const ConnectionSettings& settings = m_links.Settings();
    m_korean = m_services.Korean();
    m_modelCode = settings.modelCode;
    m_kind = AttachmentOfPort(settings.portName);

    setWindowTitle(QString::fromUtf8(texts::kSetupTitle));
    // The receive-buffer list comes from the profile; the code page keys are written each
    // time the screen opens.
    const std::vector<std::string> receiveBuffers =
        LoadReceiveBufferList(m_services.profile, m_korean);
    WriteCodePageKeys(m_services.profile);

    m_form = new UserSetupForm(m_values, m_korean, m_modelCode, receiveBuffers,
                               QString::fromStdString(connectionSummary), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_form);

    m_runner.SetActions({{setup::kGetValue, m_form->getValueButton()},
                         {setup::kSetValue, m_form->setValueButton()},
                         {setup::kTest, m_form->testButton()},
                         {setup::kDefault, m_form->defaultButton()},
                         {setup::kExit, m_form->exitButton()},
                         {setup::kSettings, m_form->leftGroup()},
                         {setup::kSettings, m_form->rightGroup()}});
    m_runner.ShowActions(0);

    connect(m_form, &UserSetupForm::settingChosen, this, &AdvancedUserSetupScreen::OnSettingChosen);
    connect(m_form->getValueButton(), &QPushButton::clicked, this,
            &AdvancedUserSetupScreen::OnGetValue);
    connect(m_form->setValueButton(), &QPushButton::clicked, this,
            &AdvancedUserSetupScreen::OnSetValue);
    connect(m_form->testButton(), &QPushButton::clicked, this, &AdvancedUserSetupScreen::OnTest);
    connect(m_form->defaultButton(), &QPushButton::clicked, this,
            &AdvancedUserSetupScreen::OnDefault);
    connect(m_form->exitButton(), &QPushButton::clicked, this, [this] { CloseScreen(true); });

    m_form->ShowValues();
    m_form->UpdateControls(true);
}

AdvancedUserSetupScreen::~AdvancedUserSetupScreen() {
    // No event loop here: the runner releases the receive thread if it waits to hand a
    // reply over, ends its own step, and the session's threads are joined after it.
    m_runner.Shutdown();
    if (m_session) m_session->Close(false);
}

// ---- the connection ----

void AdvancedUserSetupScreen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_openStarted) OpenConnection();
}

void AdvancedUserSetupScreen::OpenConnection() {
    if (m_openStarted) return;
    m_openStarted = true;

    SettingListener& listener = *this;
    m_session = std::make_unique<SetupSession>(m_links, m_services.clock, m_receiveClock, listener);

    RunStep(
        Phase::Opening, [this](StepContext& context) { return m_session->Start(context.cancel); },
        [this](const Outcome& outcome) {
            Finish(outcome);
            if (outcome.closeScreen) CloseScreen(false);
        },
        0);
}

void AdvancedUserSetupScreen::RunStep(Phase phase, std::function<Outcome(StepContext&)> step,
                                      std::function<void(const Outcome&)> done,
                                      ActionSet whileRunning) {
    m_phase = phase;
    Refresh();
    if (!m_runner.Run(std::move(step), std::move(done), whileRunning)) {
        // No thread for the step: nothing of the session can run, the screen closes.
        m_services.ShowMessage(this, msg::kReceiveThreadFailed);
        CloseScreen(false);
    }
}

void AdvancedUserSetupScreen::Finish(const Outcome& outcome) {
    // A step asked for while this one ran (Set Value during a read) keeps the screen busy.
    if (!m_runner.Busy()) m_phase = Phase::Idle;
    if (outcome.status == OutcomeStatus::Failed && !outcome.closeScreen) {
        // The failed state: only the stop bit and the newer options stay editable, and
        // the operator leaves with EXIT or the close box.
        m_failed = true;
        m_failedActions = outcome.enabled;
        m_values.ResetAfterFailure();
    }
    m_services.ShowAll(this, outcome);
    m_form->ShowValues();
    Refresh();
    if (!outcome.closeScreen) QueryStatusWhenIdle();
}

void AdvancedUserSetupScreen::QueryStatusWhenIdle() {
    if (m_statusBoundMs <= 0 || !m_session || m_failed || m_phase != Phase::Idle ||
        m_runner.Busy() || m_runner.Closing())
        return;
    // The query leaves the buttons as they are: an operation asked for meanwhile waits for
    // it (at most four answer bounds) and is then sent as always.
    const ActionSet shown = m_runner.ShownActions();
    auto report = std::make_shared<StatusReport>();
    m_runner.Run(
        [this, report, shown](StepContext& context) {
            *report = m_session->QueryStatus(context.cancel, m_statusBoundMs);
            Outcome outcome;
            outcome.enabled = shown;
            return outcome;
        },
        [this, report](const Outcome&) {
            ++m_statusQueries;
            // A status not known is not shown at all.
            m_form->ShowStatus(QString::fromStdString(report->ShownLine(m_korean)));
        },
        shown);
}

void AdvancedUserSetupScreen::Refresh() {
    const bool editStored = !m_failed && Offered(setup::kEditStored);
    m_form->UpdateControls(editStored);
    // The wait cursor while a parallel-port read waits for its replies.
    if (m_phase == Phase::Reading)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

bool AdvancedUserSetupScreen::Offered(ActionSet action) const {
    return m_session && !m_failed && m_phase != Phase::Closing && m_phase != Phase::Closed &&
           (m_runner.ShownActions() & action);
}

// ---- the operator's edits ----

void AdvancedUserSetupScreen::OnSettingChosen(const Setting* setting, int choice) {
    // The rules between settings ask their questions in Yes/No boxes.
    const AskOperator ask = [this](const Question& question) -> std::optional<bool> {
        return m_services.prompter.Show(
                   this, QString::fromUtf8(question.text), QString::fromUtf8(question.caption),
                   Prompter::Icon::Question, Prompter::Buttons::YesNo) == Prompter::Answer::Yes;
    };
    // Replies that arrive while a question is open wait until the rule has decided, so the
    // rule decides on the values it asked about.
    m_asking = true;
    const ChangeOutcome change =
        ChangeSetting(m_values, *setting, choice, m_modelCode, m_korean, ask);
    m_asking = false;
    for (const Notice& notice : change.notices) m_services.Show(this, notice);
    std::vector<SetupReply> held;
    held.swap(m_heldReplies);
    for (const SetupReply& reply : held) ApplySetting(reply);
    m_form->ShowValues();
    Refresh();
}

void AdvancedUserSetupScreen::OnDefault() {
    const auto answer = m_services.prompter.Show(
        this, QString::fromStdString(m_services.catalogue.Message(msg::kDefaultsQuestion)),
        QString::fromUtf8(texts::kCaption), Prompter::Icon::Question, Prompter::Buttons::YesNo);
    if (answer != Prompter::Answer::Yes) return;
    LoadDefaults(m_values, m_korean);
    m_form->ShowValues();
    Refresh();
}

// ---- Get Value ----

void AdvancedUserSetupScreen::OnGetValue() {
    if (!Offered(setup::kGetValue)) return;
    m_values.ClearReceived();  // the flags tell what this read brought
    const ActionSet during = m_session->ActionsDuringRead();
    // On the parallel port the buttons wait until every setting has answered.
    const Phase phase = (during & setup::kGetValue) ? Phase::Busy : Phase::Reading;
    RunStep(
        phase, [this](StepContext& context) { return m_session->Read(context.cancel); },
        [this](const Outcome& outcome) { Finish(outcome); }, during);
}

void AdvancedUserSetupScreen::OnSettingReceived(const SetupReply& reply) {
    // The receive thread waits here until the screen's thread has applied the reply, so
    // one reply is in flight at a time. The runner lets it go without applying when the
    // screen closes, so a thread being stopped never waits for the screen.
    m_runner.CallOnGuiThread([this, &reply] { ApplySetting(reply); });
}

void AdvancedUserSetupScreen::CancelDelivery() {
    // The receive thread is being stopped (the end of a parallel-port read, or the close):
    // a reply it still hands over is let go; later ones are applied as usual.
    m_runner.ReleaseHandOffs();
}

void AdvancedUserSetupScreen::ApplySetting(const SetupReply& reply) {
    if (m_phase == Phase::Closing || m_phase == Phase::Closed) return;
    if (m_asking) {
        m_heldReplies.push_back(reply);
        return;
    }
    if (!ApplyReply(m_values, reply)) return;
    m_form->ShowValues();
    Refresh();
    // The printer rests after the last reply of a network read; the buttons that would
    // send something wait meanwhile.
    if (m_session->RestRemainingMs() > 0 && !m_failed) {
        m_runner.Run([this](StepContext& context) { return m_session->Rest(context.cancel); },
                     [this](const Outcome&) {
                         if (m_failed) m_runner.ShowActions(m_failedActions);
                         Refresh();
                         QueryStatusWhenIdle();
                     },
                     m_session->ActionsDuringRest());
        Refresh();
    }
}

// ---- Set Value ----

void AdvancedUserSetupScreen::OnSetValue() {
    if (!Offered(setup::kSetValue)) return;
    m_form->ReadFields();
    const WriteBlock block = BuildWriteBlock(m_values);
    m_form->ShowValues();  // the block may have completed values (density MEDIUM, code "0", ...)
    switch (block.status) {
        case WriteBlockStatus::NothingToWrite:
            return;
        case WriteBlockStatus::MarginRefused:
            m_services.Show(this, *RefusalNotice(block));
            UserSetupForm::FocusField(m_form->marginField());
            return;
        case WriteBlockStatus::RangeRefused:
            m_services.Show(this, *RefusalNotice(block));
            UserSetupForm::FocusField(block.rangeField == RangeField::Lines
                                          ? m_form->linesField()
                                          : m_form->imageNumberField());
            return;
        case WriteBlockStatus::Ready:
            break;
    }
    if (block.stopBitWarning) m_services.Show(this, StopBitWarning());
    RunStep(
        Phase::Busy,
        [this, block](StepContext& context) {
            return m_session->WriteSettings(block, context.cancel);
        },
        [this](const Outcome& outcome) { Finish(outcome); }, 0);
}

// ---- TEST ----

void AdvancedUserSetupScreen::OnTest() {
    if (!Offered(setup::kTest)) return;
    RunStep(
        Phase::Busy,
        [this](StepContext& context) { return m_session->PrintTestPage(m_korean, context.cancel); },
        [this](const Outcome& outcome) { Finish(outcome); }, 0);
}

// ---- closing ----

void AdvancedUserSetupScreen::reject() {
    CloseScreen(false);
}

void AdvancedUserSetupScreen::CloseScreen(bool exitButton) {
    if (m_phase == Phase::Closing || m_phase == Phase::Closed) return;
    m_phase = Phase::Closing;
    m_closeResult = exitButton ? QDialog::Accepted : QDialog::Rejected;
    Refresh();
    std::function<void()> closeStep;
    if (m_session) closeStep = [this, exitButton] { m_session->Close(exitButton); };
    m_runner.Close(std::move(closeStep), [this] {
        m_phase = Phase::Closed;
        Refresh();
        QDialog::done(m_closeResult);
    });
}

}  // namespace kp70
