#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/app/ConnectionSettings.h"
#include "core/setup/SettingListener.h"
#include "core/setup/SetupSession.h"
#include "core/setup/SetupValues.h"
#include "gui/app/OperationRunner.h"
#include "gui/app/ScreenServices.h"

namespace kp70 {

class Clock;
class PrinterLinkFactory;
struct Setting;
class UserSetupForm;

// The Advanced User Setup screen's controller: opens the connection when the screen is
// shown, runs Get Value, Set Value, TEST and the closing as steps of a SetupSession on the
// operation runner, applies the rules between settings when the operator picks one, and
// applies each reply the session's receive thread hands over (one at a time, on the
// screen's thread). The controls live in its UserSetupForm.
class AdvancedUserSetupScreen : public QDialog, private SettingListener {
    Q_OBJECT

public:
    // What the screen is doing.
    enum class Phase {
        Opening,  // the connection is being opened
        Idle,     // waiting for the operator (possibly in the failed state)
        Busy,     // a read, write or test page is under way
        Reading,  // parallel port: a read waits for its replies (the read timer runs)
        Closing,  // the connection is being closed
        Closed,   // closed; the screen has ended
    };

    // links: the chosen printer's. receiveClock paces the receive thread's polls of an empty
    // queue and the waits for what it brings (the session's own sequence waits use the
    // services' clock). statusBoundMs: how long each status answer is waited for when the
    // screen asks the printer how it is (after the connection opened and after each
    // operation); 0: the screen never asks.
    AdvancedUserSetupScreen(const ScreenServices& services, PrinterLinkFactory& links,
                            Clock& receiveClock, int statusBoundMs, std::string connectionSummary,
                            QWidget* parent = nullptr);
    ~AdvancedUserSetupScreen() override;

    // Opens the connection (done when the screen is first shown). On failure the screen
    // shows the message and closes itself.
    void OpenConnection();

    Phase phase() const { return m_phase; }
    // After a failed read or write most controls stay disabled until the screen is opened
    // again.
    bool isFailed() const { return m_failed; }
    const SetupValues& values() const { return m_values; }
    // How many status queries have ended (their line shown or hidden).
    int statusQueries() const { return m_statusQueries; }

public slots:
    // The close box and Escape: closes the connection without the EXIT wait, then the
    // screen. An operation under way is cancelled where it can be (a parallel-port read)
    // and otherwise allowed to finish first.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // SettingListener, on the receive thread.
    void OnSettingReceived(const SetupReply& reply) override;
    void CancelDelivery() override;
    // WM_SETTING_RECEIVED, on the screen's thread.
    void ApplySetting(const SetupReply& reply);

    void OnSettingChosen(const Setting* setting, int choice);
    void OnGetValue();
    void OnSetValue();
    void OnTest();
    void OnDefault();

    // Runs a step of the session; done gets its outcome on this thread.
    void RunStep(Phase phase, std::function<Outcome(StepContext&)> step,
                 std::function<void(const Outcome&)> done, ActionSet whileRunning);
    // The end of an operation: its notices, the failed state, the controls.
    void Finish(const Outcome& outcome);
    void Refresh();
    // Asks the printer for its status when the screen is idle, and shows the answer beside
    // MODEL (nothing when it did not answer).
    void QueryStatusWhenIdle();
    // True when the operator may use the action now.
    bool Offered(ActionSet action) const;
    void CloseScreen(bool exitButton);

    ScreenServices m_services;
    PrinterLinkFactory& m_links;
    Clock& m_receiveClock;
    int m_statusBoundMs = 0;
    bool m_korean = false;
    int m_modelCode = 0;
    Attachment m_kind = Attachment::None;

    SetupValues m_values;
    Phase m_phase = Phase::Opening;
    bool m_openStarted = false;
    bool m_failed = false;
    ActionSet m_failedActions = 0;          // what the failed state offers
    bool m_asking = false;                  // a rule's question is open
    std::vector<SetupReply> m_heldReplies;  // replies that came while it was open
    int m_closeResult = QDialog::Rejected;
    int m_statusQueries = 0;

    UserSetupForm* m_form = nullptr;
    std::unique_ptr<SetupSession> m_session;
    // Declared last: destroyed first, after the destructor has shut it down and closed the
    // session, whose receive thread hands replies over through it.
    OperationRunner m_runner;
};

}  // namespace kp70
