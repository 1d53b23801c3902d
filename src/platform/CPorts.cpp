#include "platform/CPorts.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
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

// Raises or drops modem lines; ptys and some adapters have none, which is no error.
void SetModemLines(int fd, int lines, bool on) {
    (void)::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &lines);
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

void CPorts::KeepFiles(std::vector<std::string> files) {
    m_keepFiles = std::move(files);
}

int CPorts::Open() {
    m_lastErrorCode = 0;
    m_lastErrorText.clear();
    // The files to keep are this Open's only.
    const std::vector<std::string> keep = std::move(m_keepFiles);
    m_keepFiles.clear();
    switch (AttachmentOfPort(m_settings.portName)) {
        case Attachment::Serial:
            return OpenSerial();
        case Attachment::Parallel:
            return OpenParallel();
        case Attachment::File:
            return OpenFile(keep);
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

int CPorts::FailOpen(const char* logLine, const std::string& path, int err, const char* group) {
    m_lastErrorCode = err;
    m_lastErrorText = posix::OpenErrorText(path, err, group);
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
    if (m_fd >= 0) {
        StopReceiveThread();
        ReleaseHandle();
        m_log.LogLine("CPorts::Open() CloseHandle run\r\n");
        m_clock.SleepFor(kReopenWaitMs);
    }

    const std::string path = posix::DevicePathOf(s.portName);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return FailOpen("CPorts::Open() CreateFile error\r\n", path, errno, "dialout");
    // Exclusive use: TIOCEXCL keeps other programs from opening the terminal (root excepted),
    // the lock keeps out every program that asks for it, root and this one included.
    if (!posix::LockExclusive(fd)) {
        ::close(fd);
        return FailOpen("CPorts::Open() CreateFile error\r\n", path, EBUSY, "dialout");
    }
    (void)::ioctl(fd, TIOCEXCL);
    m_fd = fd;
    m_kind = Attachment::Serial;
    if (!ConfigureSerial()) {
        ReleaseHandle();
        return 0;
    }
    ::tcflush(m_fd, TCIOFLUSH);
    m_isOpen = true;
    m_run = true;

    const bool watch = s.toolMode == kToolModeSetup || (s.toolMode == kToolModeFirmware &&
                                                        models::UsesTalvo10Download(s.modelCode));
    if (watch && !StartReceiveThread()) {
        Close();
        m_lastErrorText = "the receive thread of " + path + " cannot be started";
        return 0;
    }
    return 1;
}

bool CPorts::ConfigureSerial() {
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) {
        m_lastErrorCode = errno;
        m_lastErrorText = m_settings.portName + ": not a serial port";
        m_log.LogLine("CPorts::Open() GetCommState failed.\r\n");
        return false;
    }
    auto reject = [&](int err, const std::string& what) {
        m_lastErrorCode = err;
        m_lastErrorText = m_settings.portName + ": " + what;
        m_log.LogLine("CPorts::Open() SetCommstate failed(%d).\r\n", err);
        return false;
    };
    const std::string problem = ApplyLineSettings(m_settings, tio);
    if (!problem.empty()) return reject(EINVAL, problem);
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0) return reject(errno, "line settings rejected");

    // Hardware flow raises DTR (and RTS, which the driver then drives by CTS); the printer's
    // DSR is checked before each write, since the driver cannot hold output on it. Lines
    // that do not exist (ptys) are no error. None drops both.
    m_dsrGate = false;
    if (m_settings.flowControl == 1) {
        SetModemLines(m_fd, TIOCM_DTR | TIOCM_RTS, true);
        int lines = 0;
        m_dsrGate = ::ioctl(m_fd, TIOCMGET, &lines) == 0;
    }
    if (m_settings.flowControl == 3) SetModemLines(m_fd, TIOCM_DTR | TIOCM_RTS, false);
    return true;
}

int CPorts::OpenParallel() {
    StopReceiveThread();
    ReleaseHandle();
    const std::string path = posix::DevicePathOf(m_settings.portName);
    // Non-blocking, so that neither the open nor a write waits for ever on a printer that
    // takes nothing.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return FailOpen("CPorts::Open() CreateFile error\r\n", path, errno, "lp");
    // A regular file or a pipe named like a port would be written over, or never read.
    if (!posix::IsCharacterDevice(fd)) {
        ::close(fd);
        return FailOpen("CPorts::Open() CreateFile error\r\n", path, ENOTTY, "lp");
    }
    if (!posix::LockExclusive(fd)) {
        ::close(fd);
        return FailOpen("CPorts::Open() CreateFile error\r\n", path, EBUSY, "lp");
    }
    // A ppdev node must be claimed before it carries data; lp nodes need nothing.
    m_parportClaimed = false;
    if (path.find("parport") != std::string::npos) {
        if (::ioctl(fd, PPCLAIM) != 0) {
            const int err = errno;
            ::close(fd);
            return FailOpen("CPorts::Open() CreateFile error\r\n", path, err, "lp");
        }
        m_parportClaimed = true;
    }
    m_fd = fd;
    m_kind = Attachment::Parallel;
    m_isOpen = true;
    m_run = true;
    return 1;
}

int CPorts::OpenFile(const std::vector<std::string>& keep) {
    StopReceiveThread();
    ReleaseHandle();
    const std::optional<std::string> asked = m_fileAsker.AskOutputFile();
    const std::string path = asked && !asked->empty() ? *asked : std::string(kDefaultOutputFile);
    m_settings.portName = path;
    // Emptied only once it is known to be ours to empty: locked, and none of the files the
    // transfer reads (by its name or through a link, the same file is the same inode).
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return FailOpen("CPorts::Open() CreateFile error\r\n", path, errno, nullptr);
    if (!posix::LockExclusive(fd)) {
        ::close(fd);
        return FailOpen("CPorts::Open() CreateFile error\r\n", path, EBUSY, nullptr);
    }
    struct stat file {};
    if (::fstat(fd, &file) != 0) {
        const int err = errno;
        ::close(fd);
        return FailOpen("CPorts::Open() CreateFile error\r\n", path, err, nullptr);
    }
    for (const std::string& kept : keep) {
        struct stat other {};
        if (::stat(kept.c_str(), &other) != 0 || other.st_dev != file.st_dev ||
            other.st_ino != file.st_ino)
            continue;
        ::close(fd);
        m_lastErrorCode = EINVAL;
        m_lastErrorText = path + " is one of the files being sent (" + kept +
                          "), and writing it would empty it: choose another output file";
        m_log.LogLine("CPorts::Open() CreateFile error\r\n");
        m_log.LogLine("%s", m_lastErrorText.c_str());
        return 0;
    }
    if (S_ISREG(file.st_mode) && ::ftruncate(fd, 0) != 0) {
        const int err = errno;
        ::close(fd);
        return FailOpen("CPorts::Open() CreateFile error\r\n", path, err, nullptr);
    }
    m_fd = fd;
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
        const int fd = ::open(m_usbDevicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            const int err = errno;
            m_log.LogLine("CreateFile Fail [%d]", err);
            m_lastErrorCode = err;
            m_lastErrorText = posix::OpenErrorText(m_usbDevicePath, err, "lp");
            m_log.LogLine("%s", m_lastErrorText.c_str());
            return 0;
        }
        m_log.LogLine("CreateFile Success [%X]", static_cast<unsigned>(fd));
        m_fd = fd;
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
    if (m_fd < 0) return 0;
    m_isOpen = false;
    StopReceiveThread();
    ReleaseHandle();
    return 1;
}

void CPorts::ReleaseHandle() {
    if (m_fd >= 0) {
        if (m_kind == Attachment::Serial) (void)::ioctl(m_fd, TIOCNXCL);
        if (m_parportClaimed) (void)::ioctl(m_fd, PPRELEASE);
        ::close(m_fd);
    }
    m_fd = -1;
    m_kind = Attachment::None;
    m_parportClaimed = false;
    m_dsrGate = false;
    m_isOpen = false;
    m_run = false;
}

bool CPorts::DsrReady() const {
    int lines = 0;
    if (::ioctl(m_fd, TIOCMGET, &lines) != 0) return true;
    return (lines & TIOCM_DSR) != 0;
}

int CPorts::Write(const std::uint8_t* data, int length) {
    const CancelToken never;
    const SendResult result = WriteBounded(data, length, never);
    // A file takes all or counts as not written.
    if (m_kind == Attachment::File && result.taken != length) return 0;
    return result.taken;
}

SendResult CPorts::WriteBounded(const std::uint8_t* data, int length, const CancelToken& cancel) {
    if (m_fd < 0) return {0, SendFault::NotOpen, 0};
    if (length <= 0) return {};
    posix::WriteBound bound;
    bound.cancel = &cancel;
    if (m_kind == Attachment::Serial) {
        // The serial write time-out: 100 ms for each byte of the block, from its start.
        bound.timeoutMs = std::int64_t{kWriteTimeoutPerByteMs} * length;
        if (m_dsrGate) bound.ready = [this] { return DsrReady(); };
    } else {
        // A printer that takes nothing (offline, out of paper, cable half in) ends the write
        // once it has taken nothing for the stall time-out.
        bound.timeoutMs = kWriteStallMs;
        bound.fromLastProgress = true;
    }
    const posix::WriteOutcome outcome =
        m_kind == Attachment::UsbPrinter ? WriteUsb(data, length, bound)
                                         : posix::WriteWithin(m_fd, data, length, m_clock, bound);
    SendResult result{outcome.written, SendFault::None, outcome.error};
    if (outcome.error != 0) {
        // Bytes that did go out are reported, so that nothing is sent twice.
        m_lastErrorCode = outcome.error;
        m_log.LogLine("WriteFile get error result [%d]", outcome.error);
        const bool gone = outcome.error == EIO || outcome.error == ENODEV ||
                          outcome.error == ENXIO || outcome.error == EPIPE;
        result.fault = gone ? SendFault::Lost : SendFault::Failed;
    } else if (outcome.timedOut) {
        m_lastErrorCode = ETIMEDOUT;
        m_log.LogLine("WriteFile Time-out!");
        result.fault = SendFault::TimedOut;
        result.error = ETIMEDOUT;
    } else if (outcome.cancelled) {
        result.fault = SendFault::Cancelled;
    }
    // A failed line is cleared; a time-out or a cancel keeps what the line has taken.
    if (outcome.error != 0 && m_kind == Attachment::Serial) ::tcflush(m_fd, TCOFLUSH);
    return result;
}

int CPorts::OutputPending() {
    if (m_fd < 0) return 0;
    if (m_kind == Attachment::Serial) {
        int queued = 0;
        if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0) return 0;
        return queued > 0 ? queued : 0;
    }
    if (m_kind == Attachment::UsbPrinter) {
        // The printer node is writable again once its last write has completed.
        pollfd fd{m_fd, POLLOUT, 0};
        if (::poll(&fd, 1, 0) < 0) return 0;
        return (fd.revents & POLLOUT) || (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) ? 0 : 1;
    }
    return 0;
}

bool CPorts::SyncOutput() {
    if (m_fd < 0) return false;
    if (m_kind != Attachment::File) return true;
    // A FIFO or a device standing in for the file cannot be synced; that is no failure.
    if (::fdatasync(m_fd) == 0 || errno == EINVAL || errno == EROFS) return true;
    m_lastErrorCode = errno;
    m_log.LogLine("WriteFile get error result [%d]", m_lastErrorCode);
    return false;
}

posix::WriteOutcome CPorts::WriteUsb(const std::uint8_t* data, int length,
                                     const posix::WriteBound& bound) {
    // The usblp node is non-blocking: a write hands one block to the driver, and the next
    // write is refused (EAGAIN) until the printer has taken it; the driver says it has with
    // POLLOUT. A block counts as written once the printer took it, and the write ends only
    // when the last one is through, as a blocking write does: closing the node drops a
    // block still under way. A printer that takes nothing for the bound ends it, and so
    // does a cancel while it waits.
    posix::WriteOutcome outcome;
    int inFlight = 0;  // handed to the driver, not yet taken by the printer
    std::int64_t start = m_clock.Now();
    while (outcome.written + inFlight < length || inFlight > 0) {
        if (outcome.written + inFlight < length) {
            const int done = outcome.written + inFlight;
            const ssize_t n = ::write(m_fd, data + done, static_cast<std::size_t>(length - done));
            if (n > 0) {
                outcome.written += inFlight;  // the block before this one is through
                inFlight = static_cast<int>(n);
                start = m_clock.Now();
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                outcome.error = errno;
                return outcome;
            }
        } else {
            pollfd p{m_fd, POLLOUT, 0};
            if (::poll(&p, 1, 0) > 0 && (p.revents & POLLOUT)) {
                outcome.written += inFlight;
                inFlight = 0;
                continue;
            }
        }
        if (bound.cancel && bound.cancel->Cancelled()) {
            outcome.cancelled = true;
            return outcome;
        }
        const std::int64_t elapsed = m_clock.Now() - start;
        if (elapsed >= bound.timeoutMs) {
            outcome.timedOut = true;
            return outcome;
        }
        m_clock.SleepFor(posix::WaitSlice(elapsed, bound.timeoutMs - elapsed));
    }
    return outcome;
}

bool CPorts::LinkUp() {
    if (m_fd < 0 || !isOpen()) return false;
    if (m_kind == Attachment::File) return true;
    // A device that went away (or a pseudo-terminal whose other side hung up) reports a
    // hang-up or an error; a line that is merely busy does not.
    pollfd fd{m_fd, POLLOUT, 0};
    if (::poll(&fd, 1, 0) < 0) return errno == EINTR;
    return (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
}

int CPorts::Read(std::uint8_t* buffer, int capacity) {
    if (m_fd < 0 || m_kind != Attachment::Serial || capacity <= 0) return 0;
    int waiting = 0;
    if (::ioctl(m_fd, FIONREAD, &waiting) != 0 || waiting <= 0) return 0;
    for (;;) {
        const ssize_t n =
            ::read(m_fd, buffer, static_cast<std::size_t>(waiting < capacity ? waiting : capacity));
        if (n >= 0) return static_cast<int>(n);
        if (errno != EINTR) return 0;
    }
}

int CPorts::ReadUsbReply() {
    if (m_fd < 0 || m_kind != Attachment::UsbPrinter) {
        // The usblp driver lets one program hold a printer, so the reply is read on the
        // port's own descriptor; without an open USB port there is nothing to read from.
        const std::string what = m_usbDevicePath.empty() ? std::string("USB") : m_usbDevicePath;
        m_log.LogLine("%s", what.c_str());
        m_notifier.ShowText(what);
        return 0;
    }
    std::uint8_t buffer[kUsbReplyChunk];
    std::vector<std::uint8_t> bytes;
    for (int round = 0; round < kUsbReplyRounds; ++round) {
        if (!posix::WaitReadable(m_fd, m_clock, kUsbReplyWaitMs)) continue;
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) continue;
        bytes.clear();
        m_unescaper.Feed(buffer, static_cast<int>(n), bytes);
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
    m_wake.Drain();
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
    m_wake.Drain();
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
    std::vector<std::uint8_t> chunk(kReceiveChunk);
    while (m_isOpen && m_run) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake.Fd(), POLLIN, 0}};
        const int r = ::poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            m_notifier.ShowMessage(msg::kWatchThreadFailed, portName);
            return;
        }
        if (fds[1].revents != 0) break;
        if (fds[0].revents & POLLNVAL) {
            m_notifier.ShowMessage(msg::kWatchThreadFailed, portName);
            return;
        }
        const bool hungUp = (fds[0].revents & (POLLHUP | POLLERR)) != 0;
        if (fds[0].revents & POLLIN) {
            int n = 0;
            int total = 0;
            do {
                n = Read(chunk.data(), kReceiveChunk);
                total += n;
                if (m_QueueRead.FitsChunk(n)) {
                    for (int i = 0; i < n; ++i) m_QueueRead.Put(chunk[static_cast<std::size_t>(i)]);
                } else {
                    m_notifier.ShowMessage(msg::kQueueReadFull);
                }
            } while (n > 0 && m_run);
            if (total > 0 || !hungUp) {
                Deliver();
                continue;
            }
        }
        if (hungUp) {
            // The device went away (adapter unplugged, the other end of a pty closed).
            // Nothing more can arrive; the port stays open until the tool closes it.
            m_log.LogLine("ThreadWatchComm: %s hung up", portName.c_str());
            return;
        }
    }
}

}  // namespace kp70
