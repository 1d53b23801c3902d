#include "platform/PosixIo.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"

namespace kp70::posix {

WakeFd::WakeFd() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeFd::~WakeFd() {
    if (m_fd >= 0) ::close(m_fd);
}

void WakeFd::Signal() {
    const std::uint64_t one = 1;
    if (m_fd >= 0) (void)!::write(m_fd, &one, sizeof one);
}

void WakeFd::Drain() {
    std::uint64_t value = 0;
    if (m_fd >= 0) (void)!::read(m_fd, &value, sizeof value);
}

std::string DevicePathOf(const std::string& portName) {
    // "COM3" -> node + "2"; names such as "COMX" or "COM0" are left alone.
    auto numbered = [&](const char* node) -> std::string {
        const std::string digits = portName.substr(3);
        if (digits.empty() || digits.size() > 3 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return {};
        const int n = std::stoi(digits);
        if (n < 1) return {};
        return node + std::to_string(n - 1);
    };
    if (portName.rfind("COM", 0) == 0) {
        const std::string path = numbered("/dev/ttyS");
        if (!path.empty()) return path;
    }
    if (portName.rfind("LPT", 0) == 0) {
        const std::string path = numbered("/dev/lp");
        if (!path.empty()) return path;
    }
    return portName;
}

std::string OpenErrorText(const std::string& path, int err, const char* group) {
    switch (err) {
        case EACCES:
        case EPERM:
            if (!group) return path + ": permission denied";
            return path + ": permission denied (add the user to the '" + group +
                   "' group and log in again)";
        case ENOENT:
            return path + ": not found";
        case ENODEV:
        case ENXIO: {
            // A pipe no program reads refuses a non-blocking open for writing with ENXIO.
            struct stat node {};
            if (::stat(path.c_str(), &node) == 0 && S_ISFIFO(node.st_mode))
                return path + ": not a port (a file or a pipe, not a device)";
            return path + ": no such device";
        }
        case EBUSY:
        case EWOULDBLOCK:
            return path + ": in use by another program";
        case ENOTTY:
            return path + ": not a port (a file or a pipe, not a device)";
        default:
            return path + ": " + std::strerror(err);
    }
}

std::int64_t WaitSlice(std::int64_t elapsedMs, std::int64_t remainingMs) {
    const std::int64_t step = std::clamp<std::int64_t>(elapsedMs / 8, 5, 50);
    return std::max<std::int64_t>(1, std::min(step, remainingMs));
}

namespace {

// The write loop behind WriteWithin and SendWithin.
template <typename Writer>
WriteOutcome WriteLoop(Writer writeSome, int length, Clock& clock, const WriteBound& bound) {
    WriteOutcome outcome;
    std::int64_t start = clock.Now();
    while (outcome.written < length) {
        if (!bound.ready || bound.ready()) {
            const ssize_t n = writeSome(outcome.written);
            if (n > 0) {
                outcome.written += static_cast<int>(n);
                if (bound.fromLastProgress) start = clock.Now();
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                outcome.error = errno;
                return outcome;
            }
        }
        // The device takes nothing now (full buffer, XOFF, CTS or DSR low, a printer that is
        // offline or out of paper): wait a little. A cancel ends the wait; a device that takes
        // the bytes gets the whole block, so a cancel never cuts a command in two.
        if (bound.cancel && bound.cancel->Cancelled()) {
            outcome.cancelled = true;
            return outcome;
        }
        const std::int64_t elapsed = clock.Now() - start;
        if (elapsed >= bound.timeoutMs) {
            outcome.timedOut = true;
            return outcome;
        }
        clock.SleepFor(WaitSlice(elapsed, bound.timeoutMs - elapsed));
    }
    return outcome;
}

}  // namespace

WriteOutcome WriteWithin(int fd, const std::uint8_t* data, int length, Clock& clock,
                         const WriteBound& bound) {
    auto writeSome = [&](int done) {
        return ::write(fd, data + done, static_cast<std::size_t>(length - done));
    };
    return WriteLoop(writeSome, length, clock, bound);
}

WriteOutcome SendWithin(int fd, const std::uint8_t* data, int length, Clock& clock,
                        const WriteBound& bound) {
    auto sendSome = [&](int done) {
        return ::send(fd, data + done, static_cast<std::size_t>(length - done), MSG_NOSIGNAL);
    };
    return WriteLoop(sendSome, length, clock, bound);
}

bool WaitReadable(int fd, Clock& clock, std::int64_t timeoutMs) {
    const std::int64_t start = clock.Now();
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, 0);
        if (r > 0) return (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
        if (r < 0 && errno != EINTR) return false;
        const std::int64_t elapsed = clock.Now() - start;
        if (elapsed >= timeoutMs) return false;
        clock.SleepFor(WaitSlice(elapsed, timeoutMs - elapsed));
    }
}

bool IsCharacterDevice(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode);
}

bool LockExclusive(int fd) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EINTR) return false;
    }
}

}  // namespace kp70::posix
