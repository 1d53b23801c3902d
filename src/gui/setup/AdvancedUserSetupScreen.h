#pragma once

#include <QDialog>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/app/ConnectionSettings.h"
#include "core/setup/SettingListener.h"
#include "core/setup/SetupSession.h"
#include "core/setup/SetupValues.h"
#include "gui/app/ScreenServices.h"
#include "gui/setup/SessionWorker.h"
#include "gui/setup/SetupScreenTexts.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kp70 {

class Clock;
class NetworkLink;
class ParallelController;
class PrinterPort;

// What the user setup screen talks to the printer through. The port also holds the
// connection settings (port name and model code). The parallel controller is the screen's
// own and is made only for a parallel port.
struct UserSetupLinks {
    PrinterPort& port;
    NetworkLink& network;
    std::string networkAddress = kDefaultPrinterAddress;
    std::uint16_t networkPort = kDefaultPrinterPort;
    std::function<std::unique_ptr<ParallelController>()> makeParallel;
    // Paces the receive thread's polls of an empty queue (the session's own waits use the
    // services' clock).
    Clock& receiveClock;
};

// The Advanced User Setup screen: shows every stored user setting of the printer with its
// controls and the rules between them, and reads ("Get Value"), writes ("Set Value"),
// restores the defaults ("Default") and prints the test page ("TEST") over the connection
// it opens when it is shown and closes when it closes. Every step that waits for the
// printer runs on a worker thread while the screen stays responsive with its buttons
// disabled; replies reach the screen from the session's receive thread with a blocking
// queued call, so one reply is applied at a time and only on the screen's thread.
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

    AdvancedUserSetupScreen(const ScreenServices& services, UserSetupLinks links,
                            std::string connectionSummary, QWidget* parent = nullptr);
    ~AdvancedUserSetupScreen() override;

    // Opens the connection (done when the screen is first shown). On failure the screen
    // shows the message and closes itself.
    void OpenConnection();

    Phase phase() const { return m_phase; }
    // After a failed read or write most controls stay disabled until the screen is opened
    // again.
    bool isFailed() const { return m_failed; }
    const SetupValues& values() const { return m_values; }

public slots:
    // The close box and Escape: closes the connection without the EXIT wait, then the
    // screen. While an operation runs the close waits for it (a parallel-port read is
    // given up).
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Two radio buttons editing one setting (0 first choice, 1 second, unset neither).
    struct RadioPair {
        QLabel* label = nullptr;
        QRadioButton* first = nullptr;
        QRadioButton* second = nullptr;
        QButtonGroup* group = nullptr;
        int SetupValues::*field = nullptr;
    };
    struct ListBinding {
        QComboBox* list;
        int SetupValues::*field;
    };

    // SettingListener, on the receive thread.
    void OnSettingReceived(const SetupReply& reply) override;
    void CancelDelivery() override;
    // WM_SETTING_RECEIVED, on the screen's thread.
    void ApplySetting(const SetupReply& reply);

    void BuildWidgets();
    void ApplyModelRules();
    QLabel* MakeLabel(QWidget* parent, const char* name, const setupscreen::Text& text);
    RadioPair MakePair(QWidget* parent, const char* name, const setupscreen::Text& label,
                       const setupscreen::Text& first, const setupscreen::Text& second,
                       int SetupValues::*field);
    QComboBox* MakeList(QWidget* parent, const char* name, const QStringList& items,
                        int SetupValues::*field);
    QLineEdit* MakeNumberField(QWidget* parent, const char* name, int SetupValues::*field);

    // Shows SetupValues in the controls, and the enabled state every control has now.
    void ShowValues();
    void UpdateControls();

    void OnPairClicked(RadioPair& pair, int choice);
    void OnWaterMarkEnable();
    void OnTwoColor();
    void OnListActivated(const ListBinding& binding, int index);
    void OnGetValue();
    void OnSetValue();
    void OnTest();
    void OnDefault();
    void OnExit();

    // Reads the number fields for a write; false (after the range prompt) when a field
    // that is written holds no number in its range.
    bool CheckNumberFields();
    bool CheckRange(QLineEdit* field, int value, int min, int max);

    // Runs task on the worker; false (message 52 shown) when the worker cannot start.
    bool RunOnWorker(std::function<void()> task);
    // Queues done to run on the screen's thread (dropped when the screen is gone).
    void ReportBack(std::function<void()> done);
    void FinishOpen(const SetupOutcome& outcome);
    void FinishRead(const SetupOutcome& outcome);
    void FinishWrite(const SetupOutcome& outcome);
    void FinishTest(const SetupOutcome& outcome);
    // Shows the message of a failed outcome.
    void ShowFailure(const SetupOutcome& outcome);
    // Enters the failed state; exit/default: the state of those buttons afterwards.
    void EnterFailedState(bool exitEnabled, bool defaultEnabled);
    // Continues a close asked for while an operation ran; true when one was pending.
    bool ClosePending();
    void CloseConnection(bool exitButton);
    // Handles queued calls until the worker has nothing left to do.
    void WaitForWorker();

    ScreenServices m_services;
    UserSetupLinks m_links;
    std::string m_summary;
    bool m_korean = false;
    int m_modelCode = 0;
    PortKind m_kind = PortKind::None;

    SetupValues m_values;
    std::vector<std::string> m_receiveBuffers;

    Phase m_phase = Phase::Opening;
    bool m_openStarted = false;
    bool m_failed = false;
    bool m_failedExitEnabled = true;
    bool m_failedDefaultEnabled = true;
    bool m_readAllowed = true;
    bool m_networkPause = false;      // the short pause after the last reply of a network read
    bool m_operationRunning = false;  // a task of the screen's operations is on the worker
    bool m_readInProgress = false;    // parallel port: a read has not ended
    bool m_closeRequested = false;
    bool m_closeByExit = false;
    int m_closeResult = QDialog::Rejected;

    // Read by the receive and worker threads.
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_cancelRead{false};
    // Released before and acquired after each hand-off between threads: Qt's queued calls
    // order them already, this makes the order visible to race checkers too.
    std::atomic<unsigned> m_handOff{0};

    std::unique_ptr<ParallelController> m_parallel;
    std::unique_ptr<SetupSession> m_session;
    SessionWorker m_worker;  // declared last: it ends before the session goes away

    // Controls.
    QLabel* m_modelText = nullptr;
    QGroupBox* m_leftGroup = nullptr;
    QGroupBox* m_rightGroup = nullptr;
    RadioPair m_paperWidth, m_paperType, m_waterMark, m_cuttingAdjust, m_drawerWithCutting,
        m_cuttingMode, m_drawerInSelfTest, m_boldFont, m_stopBit;
    RadioPair m_emulation, m_autoCut, m_selfTest, m_kitchenBell, m_usbMode;
    std::vector<RadioPair*> m_pairs;
    std::vector<ListBinding> m_lists;
    QComboBox* m_columnList = nullptr;
    QComboBox* m_twoColorDensityList = nullptr;
    QComboBox* m_bellTypeList = nullptr;
    QComboBox* m_bellLengthList = nullptr;
    QComboBox* m_codePageList = nullptr;
    QComboBox* m_nvGraphicList = nullptr;
    QComboBox* m_nvUserList = nullptr;
    QComboBox* m_printSpeedList = nullptr;
    QComboBox* m_receiveBufferList = nullptr;
    QComboBox* m_densityList = nullptr;
    QComboBox* m_paperSaveList = nullptr;
    QComboBox* m_sleepModeList = nullptr;
    QLineEdit* m_imageNumber = nullptr;
    QLineEdit* m_lines = nullptr;
    QLineEdit* m_margin = nullptr;
    QLineEdit* m_setupCode = nullptr;
    QLabel* m_bellTypeLengthLabel = nullptr;
    QLabel* m_bellUnit = nullptr;
    QLabel* m_imageNumberLabel = nullptr;
    QLabel* m_densityLabel = nullptr;
    QLabel* m_paperSaveLabel = nullptr;
    QLabel* m_sleepModeLabel = nullptr;
    QLabel* m_picture = nullptr;
    QPushButton* m_getValue = nullptr;
    QPushButton* m_setValue = nullptr;
    QPushButton* m_test = nullptr;
    QPushButton* m_default = nullptr;
    QPushButton* m_exit = nullptr;
};

}  // namespace kp70
