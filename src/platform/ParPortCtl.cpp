#include "platform/ParPortCtl.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/app/ErrorLog.h"

namespace kp70 {

namespace {

// How long the reader waits before trying again a device that says it has data but gives
// none (lp nodes cannot be polled).
constexpr int kRetryReadMs = 10;

std::string Formatted(const char* format, int code) {
    char text[96];
    std::snprintf(text, sizeof text, format, code);
    return text;
}

}  // namespace

ParPortCtl::ParPortCtl(ErrorLog& log, Clock& clock) : m_log(log), m_clock(clock) {}

ParPortCtl::~ParPortCtl() {
    m_isOpen = false;
    StopReader();
    ReleasePort();
}

void ParPortCtl::SetError(int code, const std::string& text) {
    std::lock_guard lock(m_mutex);
    m_lastErrorCode = code;
    m_lastErrorText = text;
}

std::string ParPortCtl::lastErrorText() const {
    std::lock_guard lock(m_mutex);
    return m_lastErrorText;
}

int ParPortCtl::lastErrorCode() const {
    std::lock_guard lock(m_mutex);
    return m_lastErrorCode;
}

StatusBlock ParPortCtl::lastStatus() const {
    std::lock_guard lock(m_mutex);
    return m_lastStatus;
}

int ParPortCtl::statusBlocks() const {
    std::lock_guard lock(m_mutex);
    return m_statusBlocks;
}

bool ParPortCtl::ReaderRunning() const {
    std::lock_guard lock(m_mutex);
    return m_reader.joinable() && !m_ended;
}

int ParPortCtl::Open(const std::string& portName) {
    if (m_fd >= 0) {
        m_isOpen = false;
        StopReader();
        ReleasePort();
    }
    const std::string path = posix::DevicePathOf(portName);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int err = fd < 0 ? errno : 0;
    // A regular file or a pipe named like a port is no printer.
    if (fd >= 0 && !posix::IsCharacterDevice(fd)) err = ENOTTY;
    if (fd >= 0 && err == 0 && !posix::LockExclusive(fd)) err = EBUSY;
    if (fd >= 0 && err == 0 && path.find("parport") != std::string::npos) {
        // A ppdev node carries data only while claimed.
        if (::ioctl(fd, PPCLAIM) == 0) {
            m_parportClaimed = true;
        } else {
            err = errno;
        }
    }
    if (err != 0) {
        if (fd >= 0) ::close(fd);
        std::string text = Formatted("[ParPortCtl] CreateFile fail : %d", err);
        const std::string why = posix::OpenErrorText(path, err, "lp");
        m_log.LogLine("%s", text.c_str());
        m_log.LogLine("%s", why.c_str());
        SetError(err, text + " (" + why + ")");
        return 0;
    }
    m_fd = fd;
    SetError(0, "");
    m_isOpen = true;
    return 1;
}

int ParPortCtl::Write(const std::uint8_t* data, int length) {
    const CancelToken never;
    const SendResult result = WriteBounded(data, length, never);
    // A write the printer did not take within the limit counts as failed.
    return result.fault == SendFault::None ? result.taken : 0;
}

SendResult ParPortCtl::WriteBounded(const std::uint8_t* data, int length,
                                    const CancelToken& cancel) {
    if (!m_isOpen || m_fd < 0) return {0, SendFault::NotOpen, 0};
    if (length <= 0) return {};
    posix::WriteBound bound;
    bound.timeoutMs = kWriteLimitMs;
    bound.cancel = &cancel;
    const posix::WriteOutcome outcome = posix::WriteWithin(m_fd, data, length, m_clock, bound);
    if (outcome.error != 0) {
        SetError(outcome.error, Formatted("[ParPortCtl] Write fail : %d", outcome.error));
        return {outcome.written, SendFault::Failed, outcome.error};
    }
    if (outcome.timedOut) return {outcome.written, SendFault::TimedOut, ETIMEDOUT};
    if (outcome.cancelled) return {outcome.written, SendFault::Cancelled, 0};
    return {outcome.written, SendFault::None, 0};
}

bool ParPortCtl::LinkUp() {
    if (!m_isOpen || m_fd < 0) return false;
    pollfd fd{m_fd, POLLOUT, 0};
    if (::poll(&fd, 1, 0) < 0) return errno == EINTR;
    return (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
}

int ParPortCtl::Read(std::uint8_t* buffer, int capacity) {
    if (!m_isOpen) return 0;
    for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake.Fd(), POLLIN, 0}};
        const int r = ::poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            SetError(err, Formatted("[ParPortCtl] Read fail : %d", err));
            m_log.LogLine("[ParPortCtl] Read fail : %d", err);
            return 0;
        }
        if (fds[1].revents != 0) return 0;  // stop requested
        const ssize_t n = ::read(m_fd, buffer, static_cast<std::size_t>(capacity));
        if (n >= 0) return static_cast<int>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            m_clock.SleepFor(kRetryReadMs);
            continue;
        }
        const int err = errno;
        SetError(err, Formatted("[ParPortCtl] Read fail : %d\r\n", err));
        m_log.LogLine("[ParPortCtl] Read fail : %d", err);
        return 0;
    }
}

int ParPortCtl::StartReader() {
    std::lock_guard lock(m_mutex);
    if (m_reader.joinable()) {
        if (!m_ended) return 1;  // one reader is enough
        m_reader.join();         // it ended by itself (queue full)
    }
    m_stop = false;
    m_request = false;
    m_ended = false;
    m_wake.Drain();
    try {
        m_reader = std::thread(&ParPortCtl::ReaderThread, this);
    } catch (const std::system_error& e) {
        m_lastErrorCode = e.code().value();
        m_lastErrorText = Formatted("[ParPortCtl] CreateThread fail : %d", m_lastErrorCode);
        m_ended = true;
        return 0;
    }
    return 1;
}

void ParPortCtl::RequestRead() {
    std::lock_guard lock(m_mutex);
    m_request = true;
    m_events.notify_all();
}

void ParPortCtl::StopReader() {
    {
        std::unique_lock lock(m_mutex);
        if (!m_reader.joinable()) return;
        if (!m_ended) {
            m_stop = true;
            m_events.notify_all();
            m_wake.Signal();
            m_events.wait(lock, [&] { return m_ended; });
        }
    }
    JoinReader();
}

void ParPortCtl::JoinReader() {
    if (m_reader.joinable()) m_reader.join();
    m_wake.Drain();
}

void ParPortCtl::EndReader() {
    std::lock_guard lock(m_mutex);
    m_stop = false;
    m_ended = true;
    m_events.notify_all();
}

std::uint8_t ParPortCtl::GetByte(int& flag) {
    if (m_queue.IsEmpty()) {
        std::lock_guard lock(m_mutex);
        m_lastErrorText = "[ParPortCtl] Receive Queue is Empty";
        flag = -1;
        return 0;
    }
    flag = 1;
    return m_queue.Get();
}

void ParPortCtl::ReaderThread() {
    std::uint8_t buffer[kReadChunk];
    for (;;) {
        bool stopping = false;
        {
            std::unique_lock lock(m_mutex);
            m_events.wait(lock, [&] { return m_stop || m_request; });
            stopping = m_stop;
            if (!stopping) m_request = false;
        }
        if (stopping) {
            // Empty what the port still holds, without waiting for more.
            for (int i = 0; i < 3 && m_fd >= 0; ++i) (void)!::read(m_fd, buffer, sizeof buffer);
            EndReader();
            return;
        }
        const int n = Read(buffer, kReadChunk);
        if (n <= 0) continue;

        StatusBlock status = lastStatus();
        int queued = 0;
        const bool allQueued =
            ParallelStatusFilter::Scan(buffer, n, status, [&](std::uint8_t byte) {
                if (m_queue.Count() == ReceiveQueue::kSize - 1) return false;
                m_queue.Put(byte);
                ++queued;
                return true;
            });
        {
            std::lock_guard lock(m_mutex);
            m_lastStatus = status;
            // What was not queued of a completed scan were status blocks.
            if (allQueued) m_statusBlocks += (n - queued) / 4;
        }
        if (!allQueued) {
            // Nobody takes the replies: stop reading; the screen must start a new reader.
            {
                std::lock_guard lock(m_mutex);
                m_lastErrorText = "Receive Queue is FULL!";
            }
            EndReader();
            return;
        }
    }
}

int ParPortCtl::Close() {
    m_isOpen = false;
    StopReader();
    m_clock.SleepFor(kCloseWaitMs);
    ReleasePort();
    return 1;
}

void ParPortCtl::ReleasePort() {
    if (m_fd >= 0) {
        if (m_parportClaimed) (void)::ioctl(m_fd, PPRELEASE);
        ::close(m_fd);
    }
    m_fd = -1;
    m_parportClaimed = false;
}

}  // namespace kp70
