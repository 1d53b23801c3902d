#include "platform/CPorts.h"

#include <windows.h>

#include <vector>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/app/ErrorLog.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/ModelCatalogue.h"
#include "core/transport/DeviceEnumerator.h"
#include "core/transport/Notifier.h"
#include "core/transport/OutputFileAsker.h"
#include "platform/SerialLineSettings.h"

namespace kp70 {

namespace {

// Errors that say the device went away (an adapter or printer unplugged, a port removed):
// nothing written now can reach the printer.
bool DeviceGone(unsigned long error) {
    switch (error) {
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_GEN_FAILURE:
        case ERROR_BAD_COMMAND:
        case ERROR_ACCESS_DENIED:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_BROKEN_PIPE:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_OPERATION_ABORTED:
        case ERROR_INVALID_HANDLE:
            return true;
        default:
            return false;
    }
}

}  // namespace

CPorts::CPorts(ErrorLog& log, Clock& clock, Notifier& notifier, DeviceEnumerator& devices,
               OutputFileAsker& fileAsker)
    : m_log(log),
      m_clock(clock),
      m_notifier(notifier),
      m_devices(devices),
      m_fileAsker(fileAsker) {}

CPorts::~CPorts() {
    Close();
}

void CPorts::SetNotifyWindow(ReceiveListener* listener) {
    std::lock_guard lock(m_deliveryMutex);
    m_listener = listener;
}

ReceiveListener* CPorts::notifyWindow() const {
    std::lock_guard lock(m_deliveryMutex);
    return m_listener;
}

int CPorts::Open() {
    m_lastErrorCode = 0;
    m_lastErrorText.clear();
    switch (AttachmentOfPort(m_settings.portName)) {
        case Attachment::Serial:
            return OpenSerial();
        case Attachment::Parallel:
            return OpenParallel();
        case Attachment::File:
            return OpenFile();
        case Attachment::UsbPrinter:
            return OpenUsb();
        default:
            // A network or unknown name is no port of ours. A port still open is released
            // rather than left behind with nobody holding it.
            StopReceiveThread();
            ReleaseHandle();
            m_log.LogLine("CPorts::Open() Invalid Handle\r\n");
            m_lastErrorText =
                "'" + m_settings.portName + "' is not a serial, parallel, USB or file port";
            return 0;
    }
}

int CPorts::FailOpen(const char* logLine, const std::string& name, unsigned long error) {
    m_lastErrorCode = static_cast<int>(error);
    m_lastErrorText = win32::OpenErrorText(name, error);
    m_log.LogLine("%s", logLine);
    m_log.LogLine("%s", m_lastErrorText.c_str());
    return 0;
}

int CPorts::OpenSerial() {
    const ConnectionSettings& s = m_settings;
    if (s.portName.empty() || s.baudRate == -1 || s.dataBits == -1 || s.flowControl == -1 ||
        s.parity == -1) {
        m_lastErrorText = "the serial port settings are incomplete";
        return 0;
    }
    if (m_handle.Valid()) {
        StopReceiveThread();
        ReleaseHandle();
        m_log.LogLine("CPorts::Open() CloseHandle run\r\n");
        m_clock.SleepFor(kReopenWaitMs);
    }

    // No sharing: the system then keeps every other program off the port while it is ours.
    const std::string device = win32::DeviceNameOf(s.portName);
    HANDLE handle = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return FailOpen("CPorts::Open() CreateFile error\r\n", s.portName, ::GetLastError());
    m_handle.Reset(handle);
    m_kind = Attachment::Serial;
    if (!ConfigureSerial()) {
        ReleaseHandle();
        return 0;
    }
    ::PurgeComm(handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    m_isOpen = true;
    m_run = true;

    const bool watch = s.toolMode == kToolModeSetup || (s.toolMode == kToolModeFirmware &&
                                                        models::UsesTalvo10Download(s.modelCode));
    if (watch && !StartReceiveThread()) {
        Close();
        m_lastErrorText = "the receive thread of " + s.portName + " cannot be started";
        return 0;
    }
    return 1;
}

bool CPorts::ConfigureSerial() {
    HANDLE handle = m_handle.Get();
    ::SetupComm(handle, kDriverQueueBytes, kDriverQueueBytes);
    // A read ends when it has the bytes it asks for, or kReceiveWaitMs after it began with
    // what it has (the receive thread asks for one byte, then for those the driver holds,
    // so its reads end at the first byte); a write ends after 100 ms for each byte of its
    // block. Not the interval of MAXDWORD with a total: Windows ends such a read at the first
    // byte, Wine only when the buffer is full.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = kReceiveWaitMs;
    timeouts.WriteTotalTimeoutMultiplier = kWriteTimeoutPerByteMs;
    if (!::SetCommTimeouts(handle, &timeouts)) {
        m_lastErrorCode = static_cast<int>(::GetLastError());
        m_lastErrorText = m_settings.portName + ": the port refuses its time-outs";
        m_log.LogLine("CPorts::Open() SetComTimeouts failed.\r\n");
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle, &dcb)) {
        m_lastErrorCode = static_cast<int>(::GetLastError());
        m_lastErrorText = m_settings.portName + ": not a serial port";
        m_log.LogLine("CPorts::Open() GetCommState failed.\r\n");
        return false;
    }
    auto reject = [&](unsigned long error, const std::string& what) {
        m_lastErrorCode = static_cast<int>(error);
        m_lastErrorText = m_settings.portName + ": " + what;
        m_log.LogLine("CPorts::Open() SetCommstate failed(%d).\r\n", m_lastErrorCode);
        return false;
    };
    const std::string problem = ApplyLineSettings(m_settings, dcb);
    if (!problem.empty()) return reject(ERROR_INVALID_PARAMETER, problem);
    if (!::SetCommState(handle, &dcb)) {
        const unsigned long error = ::GetLastError();
        return reject(error, "line settings rejected (" + win32::SystemErrorText(error) + ")");
    }
    return true;
}

int CPorts::OpenParallel() {
    StopReceiveThread();
    ReleaseHandle();
    const std::string device = win32::DeviceNameOf(m_settings.portName);
    HANDLE handle = ::CreateFileA(device.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return FailOpen("CPorts::Open() CreateFile error\r\n", m_settings.portName,
                        ::GetLastError());
    // A file or a pipe named like a port would be written over, or never read.
    if (::GetFileType(handle) != FILE_TYPE_CHAR) {
        ::CloseHandle(handle);
        m_lastErrorText = m_settings.portName + ": not a port (a file or a pipe, not a device)";
        m_lastErrorCode = ERROR_BAD_DEVICE;
        m_log.LogLine("CPorts::Open() CreateFile error\r\n");
        m_log.LogLine("%s", m_lastErrorText.c_str());
        return 0;
    }
    m_handle.Reset(handle);
    m_kind = Attachment::Parallel;
    m_isOpen = true;
    m_run = true;
    return 1;
}

int CPorts::OpenFile() {
    StopReceiveThread();
    ReleaseHandle();
    const std::optional<std::string> asked = m_fileAsker.AskOutputFile();
    const std::string path = asked && !asked->empty() ? *asked : std::string(kDefaultOutputFile);
    m_settings.portName = path;
    // Replaced, not shared while it is written; overlapped so the write is bounded as the
    // other kinds' are (the offset is kept here).
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return FailOpen("CPorts::Open() CreateFile error\r\n", path, ::GetLastError());
    m_handle.Reset(handle);
    m_fileOffset = 0;
    m_kind = Attachment::File;
    m_isOpen = true;
    m_run = true;
    return 1;
}

int CPorts::OpenUsb() {
    StopReceiveThread();
    ReleaseHandle();
    m_unescaper.Reset();
    // The model's ids in order; model code 6 tries the older product id when its own fails.
    for (const std::string& id : models::UsbPrinterOpenIds(m_settings.modelCode)) {
        if (OpenUsbId(id)) return 1;
    }
    return 0;
}

int CPorts::OpenUsbId(const std::string& id) {
    for (const UsbPrinterInfo& printer : m_devices.UsbPrinters()) {
        if (!models::HardwareIdMatches(printer.hardwareId, id)) continue;
        m_usbDevicePath = printer.devnode.substr(0, kUsbDevicePathMax);
        HANDLE handle = ::CreateFileA(m_usbDevicePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const unsigned long error = ::GetLastError();
            m_log.LogLine("CreateFile Fail [%d]", static_cast<int>(error));
            m_lastErrorCode = static_cast<int>(error);
            m_lastErrorText = win32::OpenErrorText(m_usbDevicePath, error);
            m_log.LogLine("%s", m_lastErrorText.c_str());
            return 0;
        }
        m_log.LogLine("CreateFile Success [%X]",
                      static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(handle)));
        m_handle.Reset(handle);
        m_kind = Attachment::UsbPrinter;
        m_isOpen = true;
        m_run = true;
        return 1;
    }
    m_log.LogLine("[Error] no USB printer-class device with id %s", id.c_str());
    if (m_lastErrorText.empty())
        m_lastErrorText = "no USB printer of this model is attached (" + id + ")";
    return 0;
}

int CPorts::Close() {
    m_run = false;
    if (!m_handle.Valid()) return 0;
    m_isOpen = false;
    StopReceiveThread();
    ReleaseHandle();
    return 1;
}

void CPorts::ReleaseHandle() {
    m_handle.Reset();
    m_kind = Attachment::None;
    m_fileOffset = 0;
    m_isOpen = false;
    m_run = false;
}

long long CPorts::SerialInputQueued() const {
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(m_handle.Get(), &errors, &status)) return -1;
    return status.cbInQue;
}

long long CPorts::SerialOutputQueued() const {
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(m_handle.Get(), &errors, &status)) return -1;
    return status.cbOutQue;
}

int CPorts::Write(const std::uint8_t* data, int length) {
    const CancelToken never;
    const SendResult result = WriteBounded(data, length, never);
    // A file takes all or counts as not written.
    if (m_kind == Attachment::File && result.taken != length) return 0;
    return result.taken;
}

SendResult CPorts::WriteBounded(const std::uint8_t* data, int length, const CancelToken& cancel) {
    if (!m_handle.Valid()) return {0, SendFault::NotOpen, 0};
    if (length <= 0) return {};
    win32::WriteBound bound;
    bound.cancel = &cancel;
    if (m_kind == Attachment::Serial) {
        // The serial write time-out: 100 ms for each byte of the block, from its start.
        bound.timeoutMs = std::int64_t{kWriteTimeoutPerByteMs} * length;
        bound.queued = [this] { return SerialOutputQueued(); };
    } else {
        // A printer that takes nothing (offline, out of paper, cable half in) ends the write
        // once it has taken nothing for the stall time-out.
        bound.timeoutMs = kWriteStallMs;
        bound.fromLastProgress = true;
        bound.pieceBytes = kWritePieceBytes;
        if (m_kind == Attachment::File) bound.fileOffset = &m_fileOffset;
    }
    const win32::WriteOutcome outcome =
        win32::WriteWithin(m_handle.Get(), data, length, m_clock, bound);
    SendResult result{outcome.written, SendFault::None, static_cast<int>(outcome.error)};
    if (outcome.error != 0) {
        // Bytes that did go out are reported, so that nothing is sent twice.
        m_lastErrorCode = static_cast<int>(outcome.error);
        m_log.LogLine("WriteFile get error result [%d]", m_lastErrorCode);
        result.fault = DeviceGone(outcome.error) ? SendFault::Lost : SendFault::Failed;
    } else if (outcome.timedOut) {
        m_lastErrorCode = ERROR_TIMEOUT;
        m_log.LogLine("WriteFile Time-out!");
        result.fault = SendFault::TimedOut;
        result.error = ERROR_TIMEOUT;
    } else if (outcome.cancelled) {
        result.fault = SendFault::Cancelled;
    }
    // A failed line is cleared; a time-out or a cancel keeps what the line has taken.
    if (outcome.error != 0 && m_kind == Attachment::Serial) {
        DWORD errors = 0;
        ::ClearCommError(m_handle.Get(), &errors, nullptr);
        ::PurgeComm(m_handle.Get(), PURGE_TXABORT | PURGE_TXCLEAR);
    }
    return result;
}

int CPorts::OutputPending() {
    if (!m_handle.Valid() || m_kind != Attachment::Serial) return 0;
    // A USB printer's or parallel port's write completes when the device has taken it, so
    // only the serial driver's queue can still hold bytes.
    const long long queued = SerialOutputQueued();
    return queued > 0 ? static_cast<int>(queued) : 0;
}

bool CPorts::SyncOutput() {
    if (!m_handle.Valid()) return false;
    if (m_kind != Attachment::File) return true;
    if (::FlushFileBuffers(m_handle.Get())) return true;
    // A pipe or a device standing in for the file cannot be flushed; that is no failure.
    const unsigned long error = ::GetLastError();
    if (error == ERROR_INVALID_FUNCTION || error == ERROR_INVALID_HANDLE) return true;
    m_lastErrorCode = static_cast<int>(error);
    m_log.LogLine("WriteFile get error result [%d]", m_lastErrorCode);
    return false;
}

bool CPorts::LinkUp() {
    if (!m_handle.Valid() || !isOpen()) return false;
    // A serial adapter that was unplugged no longer answers for its line; a line that is
    // merely busy does. Other kinds show a device that went at their next write.
    if (m_kind != Attachment::Serial) return true;
    DWORD errors = 0;
    COMSTAT status{};
    return ::ClearCommError(m_handle.Get(), &errors, &status) != 0;
}

int CPorts::Read(std::uint8_t* buffer, int capacity) {
    if (!m_handle.Valid() || m_kind != Attachment::Serial || capacity <= 0) return 0;
    // Asking what waits also clears the port's error state.
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(m_handle.Get(), &errors, &status) || status.cbInQue == 0) return 0;
    const int wanted =
        static_cast<int>(status.cbInQue) < capacity ? static_cast<int>(status.cbInQue) : capacity;
    // The bytes are there, so the read ends at once (at the latest at the port's read
    // time-out); it is waited for to its end: a read cut short could take bytes with it.
    win32::Event done;
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.Get();
    DWORD moved = 0;
    if ((!::ReadFile(m_handle.Get(), buffer, static_cast<DWORD>(wanted), nullptr, &overlapped) &&
         ::GetLastError() != ERROR_IO_PENDING) ||
        !::GetOverlappedResult(m_handle.Get(), &overlapped, &moved, TRUE)) {
        ::ClearCommError(m_handle.Get(), &errors, nullptr);
        return 0;
    }
    return static_cast<int>(moved);
}

int CPorts::ReadUsbReply() {
    if (!m_handle.Valid() || m_kind != Attachment::UsbPrinter) {
        const std::string what = m_usbDevicePath.empty() ? std::string("USB") : m_usbDevicePath;
        m_log.LogLine("%s", what.c_str());
        m_notifier.ShowText(what);
        return 0;
    }
    std::uint8_t buffer[kUsbReplyChunk];
    std::vector<std::uint8_t> bytes;
    for (int round = 0; round < kUsbReplyRounds; ++round) {
        unsigned long error = 0;
        const int n = win32::ReadWithin(m_handle.Get(), buffer, kUsbReplyChunk, m_clock,
                                        kUsbReplyWaitMs, error);
        if (n <= 0) continue;
        bytes.clear();
        m_unescaper.Feed(buffer, n, bytes);
        const int count = static_cast<int>(bytes.size());
        if (m_QueueRead.FitsChunk(count)) {
            for (std::uint8_t byte : bytes) m_QueueRead.Put(byte);
        } else {
            m_notifier.ShowMessage(msg::kQueueReadFull);
        }
        Deliver();
    }
    return 1;
}

bool CPorts::StartReceiveThread() {
    m_wake.Clear();
    try {
        m_thread = std::thread(&CPorts::ThreadWatchComm, this, m_settings.portName);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CPorts::StopReceiveThread() {
    if (!m_thread.joinable()) return;
    ReceiveListener* delivering = nullptr;
    {
        std::lock_guard lock(m_deliveryMutex);
        m_run = false;
        delivering = m_delivering;
    }
    m_wake.Signal();
    if (delivering) delivering->CancelDelivery();
    m_thread.join();
    m_wake.Clear();
}

void CPorts::Deliver() {
    ReceiveListener* listener = nullptr;
    {
        std::lock_guard lock(m_deliveryMutex);
        if (!m_run || !m_listener) return;
        listener = m_listener;
        m_delivering = listener;
    }
    listener->OnDataReceived();
    std::lock_guard lock(m_deliveryMutex);
    m_delivering = nullptr;
}

void CPorts::ThreadWatchComm(std::string portName) {
    if (!m_wake.Valid()) {
        m_notifier.ShowMessage(msg::kWatchThreadFailed, portName);
        return;
    }
    // Every read waits for the first byte (ending at the port's read time-out) and the
    // wake-up together, so Close ends the thread at once; see win32::ReceiveUntilWoken.
    win32::ReceiveHooks hooks;
    hooks.chunkBytes = kReceiveChunk;
    hooks.idlePauseMs = kIdleReadPauseMs;
    hooks.lookMs = kReceiveLookMs;
    hooks.waiting = [this] { return SerialInputQueued(); };
    hooks.running = [this] { return m_isOpen && m_run; };
    hooks.received = [this](const std::uint8_t* bytes, int n) {
        if (m_QueueRead.FitsChunk(n)) {
            for (int i = 0; i < n; ++i) m_QueueRead.Put(bytes[i]);
        } else {
            m_notifier.ShowMessage(msg::kQueueReadFull);
        }
        Deliver();
    };
    const unsigned long failure =
        win32::ReceiveUntilWoken(m_handle.Get(), m_wake.Get(), m_clock, hooks);
    // The device went away (adapter unplugged). Nothing more can arrive; the port stays open
    // until the tool closes it.
    if (failure != 0 && m_run)
        m_log.LogLine("ThreadWatchComm: %s hung up (%d)", portName.c_str(),
                      static_cast<int>(failure));
}

}  // namespace kp70
