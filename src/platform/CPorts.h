#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/app/ConnectionSettings.h"
#include "core/transport/PrinterPort.h"
#include "core/transport/ReceiveQueue.h"
#include "core/transport/UsbReplyUnescaper.h"
#include "platform/PosixIo.h"

namespace kp70 {

class Clock;
class DeviceEnumerator;
class ErrorLog;
class Notifier;
class OutputFileAsker;
class ReceiveListener;

// The printer port for serial, parallel, USB printer-class and file ports, picked by the
// kind of `portName` (AttachmentOfPort). Serial ports go through termios on the device node and
// are opened exclusively (TIOCEXCL and an flock), so two programs never share a port; while
// the user setup tool (or the download tool of model code 2) runs, a receive thread
// (ThreadWatchComm) moves incoming bytes into m_QueueRead and hands off to the listener.
// Parallel ports are written through /dev/lp* (or a claimed /dev/parport*), USB printers
// through their usblp node, found by the model's hardware ids. Failures are logged with
// the fixed texts of the error log; LastErrorText says what stood in the way, in words an
// operator can act on (for example "/dev/ttyS0: permission denied (add the user to the
// 'dialout' group ...)").
//
// Threads: Open, Close, Write and ReadUsbReply belong to one thread (the tool's); the
// receive thread only fills m_QueueRead and calls the listener. Close wakes the receive
// thread through an eventfd in its poll set and joins it: the thread blocks nowhere else
// than in that poll and in the listener's hand-off, which Close cancels
// (ReceiveListener::CancelDelivery), so Close returns after at most one non-blocking read
// of 2048 bytes and the listener call in progress.
class CPorts : public PrinterPort {
public:
    static constexpr int kReceiveChunk = 2048;
    static constexpr int kUsbReplyChunk = 256;
    static constexpr int kUsbReplyRounds = 4;
    static constexpr int kUsbReplyWaitMs = 100;
    static constexpr int kWriteTimeoutPerByteMs = 100;
    // Parallel, USB printer and file ports: a write gives up when the printer has taken
    // nothing for this long.
    static constexpr int kWriteStallMs = 10000;
    static constexpr int kReopenWaitMs = 1000;
    static constexpr std::size_t kUsbDevicePathMax = 1024;

    CPorts(ErrorLog& log, Clock& clock, Notifier& notifier, DeviceEnumerator& devices,
           OutputFileAsker& fileAsker);
    ~CPorts() override;
    CPorts(const CPorts&) = delete;
    CPorts& operator=(const CPorts&) = delete;

    ConnectionSettings& Settings() override { return m_settings; }

    int Open() override;
    void KeepFiles(std::vector<std::string> files) override;
    int Close() override;
    int Write(const std::uint8_t* data, int length) override;
    SendResult WriteBounded(const std::uint8_t* data, int length,
                            const CancelToken& cancel) override;
    int OutputPending() override;
    bool SyncOutput() override;
    // Serial only: the bytes waiting in the driver, at most capacity; 0 when none.
    int Read(std::uint8_t* buffer, int capacity);
    int ReadUsbReply() override;
    bool isOpen() const override { return m_isOpen.load(); }
    bool LinkUp() override;

    ReceiveQueue& QueueRead() override { return m_QueueRead; }
    // The listener is called on the receive thread (or on the caller's thread from
    // ReadUsbReply). Keep it alive until Close has returned.
    void SetNotifyWindow(ReceiveListener* listener) override;
    ReceiveListener* notifyWindow() const;

    int LastErrorCode() const override { return m_lastErrorCode; }
    std::string LastErrorText() const override { return m_lastErrorText; }

    // The device node of the open USB printer.
    const std::string& usbDevicePath() const { return m_usbDevicePath; }
    // True while a receive thread is attached to the port.
    bool ReceiveThreadRunning() const { return m_thread.joinable(); }

private:
    int OpenSerial();
    int OpenParallel();
    int OpenFile(const std::vector<std::string>& keep);
    int OpenUsb();
    int OpenUsbId(const std::string& id);
    int FailOpen(const char* logLine, const std::string& path, int err, const char* group);
    bool ConfigureSerial();
    bool StartReceiveThread();
    void StopReceiveThread();
    void ReleaseHandle();
    void ThreadWatchComm(std::string portName);
    void Deliver();
    bool DsrReady() const;
    posix::WriteOutcome WriteUsb(const std::uint8_t* data, int length,
                                 const posix::WriteBound& bound);

    ErrorLog& m_log;
    Clock& m_clock;
    Notifier& m_notifier;
    DeviceEnumerator& m_devices;
    OutputFileAsker& m_fileAsker;
    std::vector<std::string> m_keepFiles;  // for the next Open

    ConnectionSettings m_settings;
    int m_fd = -1;
    Attachment m_kind = Attachment::None;
    bool m_parportClaimed = false;
    bool m_dsrGate = false;
    std::atomic<bool> m_isOpen{false};
    std::atomic<bool> m_run{false};
    std::string m_usbDevicePath;
    UsbReplyUnescaper m_unescaper;

    ReceiveQueue m_QueueRead;
    std::thread m_thread;
    posix::WakeFd m_wake;

    mutable std::mutex m_deliveryMutex;
    ReceiveListener* m_listener = nullptr;    // guarded by m_deliveryMutex
    ReceiveListener* m_delivering = nullptr;  // guarded by m_deliveryMutex

    int m_lastErrorCode = 0;
    std::string m_lastErrorText;
};

}  // namespace kp70
