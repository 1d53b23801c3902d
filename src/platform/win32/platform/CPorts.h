#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "core/app/ConnectionSettings.h"
#include "core/transport/PrinterPort.h"
#include "core/transport/ReceiveQueue.h"
#include "core/transport/UsbReplyUnescaper.h"
#include "platform/Win32Io.h"

namespace kp70 {

class Clock;
class DeviceEnumerator;
class ErrorLog;
class Notifier;
class OutputFileAsker;
class ReceiveListener;

// The printer port for serial, parallel, USB printer-class and file ports on Windows, picked
// by the kind of `portName` (AttachmentOfPort). Serial ports are "\\.\COMn", opened exclusively
// and overlapped, with the line set through a DCB and the write time-out of 100 ms a byte
// in COMMTIMEOUTS; while the user setup tool (or the TALVO10 download tool) runs, a
// receive thread (ThreadWatchComm) waits in a read for received characters
// (win32::ReceiveUntilWoken), moves them into m_QueueRead and hands off to the listener.
// Parallel ports are "\\.\LPTn", USB printers the device interface whose hardware id the
// model's ids begin (found by the DeviceEnumerator through SetupAPI). Every write is
// overlapped and bounded as on Linux. Failures are logged with the fixed texts of the error
// log; LastErrorText says what stood in the way ("COM3: in use by another program, or access
// denied").
//
// Threads: Open, Close, Write and ReadUsbReply belong to one thread (the tool's); the
// receive thread only fills m_QueueRead and calls the listener. Close clears the run flag,
// signals the thread's wake-up event, which every wait of its reads includes (the reads
// also end by themselves every 200 ms), cancels a hand-off under way
// (ReceiveListener::CancelDelivery) and joins it.
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
    // The serial driver's queues, each way.
    static constexpr int kDriverQueueBytes = 4086;
    // Parallel, USB and file writes go out in pieces of this size, each one progress.
    static constexpr int kWritePieceBytes = 4096;
    // How long (real milliseconds) a read of the receive thread waits for a first byte
    // before the next one begins (the port's read time-out).
    static constexpr int kReceiveWaitMs = 200;
    // How often (real milliseconds) the receive thread looks whether bytes wait beside its
    // read, and its pause (on the Clock) after a read that took nothing.
    static constexpr int kReceiveLookMs = 50;
    static constexpr int kIdleReadPauseMs = 5;

    CPorts(ErrorLog& log, Clock& clock, Notifier& notifier, DeviceEnumerator& devices,
           OutputFileAsker& fileAsker);
    ~CPorts() override;
    CPorts(const CPorts&) = delete;
    CPorts& operator=(const CPorts&) = delete;

    ConnectionSettings& Settings() override { return m_settings; }

    int Open() override;
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

    // The device path of the open USB printer.
    const std::string& usbDevicePath() const { return m_usbDevicePath; }
    // True while a receive thread is attached to the port.
    bool ReceiveThreadRunning() const { return m_thread.joinable(); }

private:
    int OpenSerial();
    int OpenParallel();
    int OpenFile();
    int OpenUsb();
    int OpenUsbId(const std::string& id);
    int FailOpen(const char* logLine, const std::string& name, unsigned long error);
    bool ConfigureSerial();
    bool StartReceiveThread();
    void StopReceiveThread();
    void ReleaseHandle();
    void ThreadWatchComm(std::string portName);
    void Deliver();
    long long SerialInputQueued() const;
    long long SerialOutputQueued() const;

    ErrorLog& m_log;
    Clock& m_clock;
    Notifier& m_notifier;
    DeviceEnumerator& m_devices;
    OutputFileAsker& m_fileAsker;

    ConnectionSettings m_settings;
    win32::Handle m_handle;
    Attachment m_kind = Attachment::None;
    std::uint64_t m_fileOffset = 0;
    std::atomic<bool> m_isOpen{false};
    std::atomic<bool> m_run{false};
    std::string m_usbDevicePath;
    UsbReplyUnescaper m_unescaper;

    ReceiveQueue m_QueueRead;
    std::thread m_thread;
    win32::Event m_wake;

    mutable std::mutex m_deliveryMutex;
    ReceiveListener* m_listener = nullptr;    // guarded by m_deliveryMutex
    ReceiveListener* m_delivering = nullptr;  // guarded by m_deliveryMutex

    int m_lastErrorCode = 0;
    std::string m_lastErrorText;
};

}  // namespace kp70
