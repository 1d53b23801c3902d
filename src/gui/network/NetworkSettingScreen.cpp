#include "gui/network/NetworkSettingScreen.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "gui/app/KeyboardState.h"
#include "gui/network/NetworkSettingForm.h"
#include "gui/network/NetworkSettingTexts.h"

namespace kp70 {

NetworkSettingScreen::NetworkSettingScreen(const ScreenServices& services, DatagramLink& link,
                                           std::string broadcastAddress, QWidget* parent)
    : QDialog(parent),
      m_services(services),
      m_session(link, services.clock, std::move(broadcastAddress)) {
    setWindowTitle(m_services.Text(networkscreen::kCaption));
    // The manual MAC change is a service function: Ctrl held down as the screen opens.
    const bool serviceControls = m_services.keyboard.ControlHeld();
    m_form = new NetworkSettingForm(m_services.Korean(), serviceControls, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_form);

    std::vector<std::pair<ActionSet, QWidget*>> actions = {
        {network::kSearch, m_form->searchButton()},
        {network::kChange, m_form->changeButton()},
        {network::kManual, m_form->manualButton()},
        {network::kExit, m_form->exitButton()}};
    for (QWidget* field : m_form->fieldWidgets()) actions.push_back({network::kFields, field});
    m_runner.SetActions(std::move(actions));
    m_runner.ShowActions(m_session.IdleActions());

    connect(m_form->searchButton(), &QPushButton::clicked, this, &NetworkSettingScreen::OnSearch);
    connect(m_form->changeButton(), &QPushButton::clicked, this,
            [this] { OnChange(ChangeKind::FromRow); });
    connect(m_form->manualButton(), &QPushButton::clicked, this,
            [this] { OnChange(ChangeKind::ManualMac); });
    connect(m_form->exitButton(), &QPushButton::clicked, this, &NetworkSettingScreen::reject);
    connect(m_form, &NetworkSettingForm::rowClicked, this, &NetworkSettingScreen::OnRowClicked);
}

NetworkSettingScreen::~NetworkSettingScreen() {
    // No event loop here: a step still running is cancelled and joined first.
    m_runner.Shutdown();
}

void NetworkSettingScreen::OpenThen(std::function<void()> next) {
    m_runner.Run([this](StepContext&) { return m_session.Open(); },
                 [this, next = std::move(next)](const Outcome& outcome) {
                     // Set-up failures are told before anything is sent, and stop nothing.
                     m_services.ShowAll(this, outcome);
                     if (!m_closing) next();
                 },
                 network::kExit);
}

void NetworkSettingScreen::OnSearch() {
    if (m_runner.Busy() || !(m_runner.ShownActions() & network::kSearch)) return;
    m_rows.clear();
    m_form->ClearRows();
    OpenThen([this] {
        m_runner.Run(
            [this](StepContext& context) {
                return m_session.Search(context.cancel,
                                        [this, &context](const DiscoveredPrinter& p) {
                                            context.Post([this, p] {
                                                m_rows.push_back(p);
                                                m_form->AppendRow(p);
                                            });
                                        });
            },
            [this](const Outcome& outcome) { Finish(outcome); }, network::kExit);
    });
}

void NetworkSettingScreen::OnRowClicked(int row) {
    if (m_runner.Busy()) return;
    if (row < 0 || row >= static_cast<int>(m_rows.size())) {
        m_session.ChooseNoRow();
    } else {
        m_form->ShowFields(m_session.ChooseRow(m_rows[static_cast<std::size_t>(row)]));
    }
    m_runner.ShowActions(m_session.IdleActions());
}

void NetworkSettingScreen::OnChange(ChangeKind kind) {
    const ActionSet button = kind == ChangeKind::FromRow ? network::kChange : network::kManual;
    if (m_runner.Busy() || !(m_runner.ShownActions() & button)) return;
    SettingInput input = m_form->Input();
    input.mac = m_session.SelectedMac();
    const SetFrameCheck check = CheckSetFrame(kind, input);
    if (!check.ok()) {
        // Nothing is opened or sent; "Change Setting" stays as it was.
        m_services.Show(this, check.refusal);
        return;
    }
    const DiscoveryFrame frame = *check.frame;
    OpenThen([this, kind, frame] {
        const Notice question = NetworkSettingSession::ChangeQuestion(kind);
        const QString caption = question.caption.empty() ? QString::fromUtf8(texts::kCaption)
                                                         : QString::fromStdString(question.caption);
        const bool yes =
            m_services.prompter.Show(this, m_services.NoticeText(question), caption,
                                     Prompter::Icon::Question,
                                     Prompter::Buttons::YesNo) == Prompter::Answer::Yes;
        if (!yes) {
            m_runner.ShowActions(m_session.Decline().enabled);
            emit operationFinished();
            return;
        }
        m_runner.Run(
            [this, kind, frame](StepContext& context) {
                return m_session.Change(kind, frame, context.cancel);
            },
            [this](const Outcome& outcome) { Finish(outcome); }, network::kExit);
    });
}

void NetworkSettingScreen::Finish(const Outcome& outcome) {
    m_services.ShowAll(this, outcome);
    emit operationFinished();
}

void NetworkSettingScreen::reject() {
    CloseScreen();
}

void NetworkSettingScreen::CloseScreen() {
    if (m_closing) return;
    m_closing = true;
    // A search stops receiving; a change stops waiting for the answer and still sends its
    // end frame. The sockets are closed on the runner's thread.
    m_runner.Close([this] { m_session.Close(); }, [this] { QDialog::reject(); });
}

}  // namespace kp70
