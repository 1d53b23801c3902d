#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/app/ConnectionSettings.h"
#include "core/setup/WriteBlock.h"
#include "core/transport/NetworkLink.h"
#include "core/transport/Notifier.h"
#include "core/transport/ReceiveQueue.h"

namespace kp70 {

class Clock;
class NetworkLink;
class ParallelController;
class PrinterPort;
class SettingListener;
class SetupReceiveThread;
struct SetupValues;

// The connections a setup session may use; only the one its port kind needs must be given.
struct SetupLinks {
    PrinterPort* port = nullptr;     // COM, USB and the other port kinds (CPorts)
    NetworkLink* network = nullptr;  // "ETHERNET_II"
    std::string networkAddress = kDefaultPrinterAddress;
    std::uint16_t networkPort = kDefaultPrinterPort;
    ParallelController* parallel = nullptr;  // LPT: the setup tool's own controller
};

enum class SetupStatus {
    Done,            // finished
    Reading,         // parallel port: requests sent, the read timer runs (ReadTimerMs)
    NothingToWrite,  // nothing was set: nothing sent, nothing to show
    Refused,         // the write block was refused (see block): nothing sent
    Failed,          // show the message; the connection is closed
};

// What a session operation did and what the caller shows. Core shows nothing itself.
struct SetupOutcome {
    SetupStatus status = SetupStatus::Done;
    int message = -1;             // catalogue message to show (-1: none)
    std::string detail;           // shown after message 2 on a new line (the controller's error)
    std::string literal;          // a literal text to show instead ("GetValueCmd Fail!")
    bool closeScreen = false;     // opening failed: the screen closes after the message
    bool screenFailed = false;    // the screen goes to its failed state (image 1, lines 0)
    bool usbModeChanged = false;  // the write changed the USB mode: the port stays closed
    WriteBlock block;             // WriteSettings: what BuildWriteBlock decided

    bool ok() const {
        return status == SetupStatus::Done || status == SetupStatus::Reading ||
               status == SetupStatus::NothingToWrite;
    }
};

// One connection to the printer for the user setup tool, on any port kind: opens it,
// reads the settings (replies reach the SettingListener from the receive thread), writes
// them, prints the test page and closes. Every operation blocks the calling thread for
// the waits of its sequence (up to several seconds), so a GUI calls them on a worker
// thread, one at a time; the accessors may be called from any thread. The parallel-port
// read is finished by its timer: after ReadSettings, call OnReadTimer every ReadTimerMs()
// until that is 0.
class SetupSession : private ReceiveListener {
public:
    // clock paces the sequences; receiveClock paces the receive thread's 10 ms polls.
    SetupSession(std::string portName, SetupLinks links, Clock& clock, Clock& receiveClock,
                 SettingListener& listener);
    ~SetupSession() override;
    SetupSession(const SetupSession&) = delete;
    SetupSession& operator=(const SetupSession&) = delete;

    PortKind Kind() const { return m_kind; }
    const std::string& PortName() const { return m_portName; }

    // Opens the connection as the setup screen does when it opens (messages 2, 20, 24, 52).
    SetupOutcome Start();

    // Sends the read requests of the port kind (messages 60, 22, 52). On the parallel port
    // the result is Reading and the read timer runs.
    SetupOutcome ReadSettings();
    // The settings this port kind asks for, in request order.
    const std::vector<int>& ReadList() const;
    // True when "Get Value" may be used (not in the parallel controller's legacy mode).
    bool ReadAllowed() const;

    // Parallel port: the period of the armed read timer in ms, 0 when none runs.
    int ReadTimerMs() const { return m_timerMs.load(); }
    // The read timer fired: repeats unanswered requests (timer 2000 ms) or ends the read
    // (Done). A repeated request that cannot be written gives the literal
    // "GetValueCmd Fail!" and no timer.
    SetupOutcome OnReadTimer();
    // Ends a parallel-port read that has not completed (the command line's time limit).
    void CancelRead();

    // Enter user setting, the block, leave user setting, and what follows (message 48).
    // A block that is not Ready is returned as Refused or NothingToWrite without sending.
    SetupOutcome WriteSettings(const WriteBlock& block);
    // Builds the block from values and writes it; after a failure values get image number
    // 1 and lines 0. The stop-bit warning (message 54) is in outcome.block.stopBitWarning:
    // a GUI builds the block itself and shows it before writing.
    SetupOutcome WriteSettings(SetupValues& values);

    // Sends the test page (message 48 when it stops).
    SetupOutcome PrintTestPage(bool korean);

    // Closes the connection and ends the receive thread. exitButton: "EXIT" stops the
    // receive thread first and waits 300 ms; the close box closes at once.
    void Close(bool exitButton = true);

private:
    void OnDataReceived() override;
    bool NextByte(std::uint8_t& byte);
    bool StartReceiveThread();
    void StopReceiveThread();
    void ClosePort();
    bool PortWrite(const std::vector<std::uint8_t>& bytes);
    bool ParallelWrite(const std::vector<std::uint8_t>& bytes);
    void NetworkSend(const std::vector<std::uint8_t>& bytes);
    bool ProbeNetwork();
    void ReopenUsb();
    SetupOutcome ReadParallel();
    SetupOutcome WriteParallel(const WriteBlock& block);

    std::string m_portName;
    PortKind m_kind;
    SetupLinks m_links;
    Clock& m_clock;
    Clock& m_receiveClock;
    SettingListener& m_listener;

    ReceiveQueue m_ring;     // COM and USB: bytes moved out of the port's queue
    std::mutex m_ringMutex;  // against two threads delivering at once
    std::unique_ptr<SetupReceiveThread> m_receiver;
    std::atomic<int> m_timerMs{0};
    bool m_parallelOpen = false;
    bool m_closed = false;
};

}  // namespace kp70
