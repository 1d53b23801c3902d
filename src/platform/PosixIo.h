#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kp70 {

class CancelToken;
class Clock;

// Small POSIX helpers shared by the port, socket and parallel-port classes.
namespace posix {

// An eventfd that wakes a thread blocked in poll(): its descriptor goes into the poll set,
// Signal makes it readable, Drain makes it quiet again.
class WakeFd {
public:
    WakeFd();
    ~WakeFd();
    WakeFd(const WakeFd&) = delete;
    WakeFd& operator=(const WakeFd&) = delete;

    bool Valid() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    void Signal();
    void Drain();

private:
    int m_fd = -1;
};

// The device node a port name stands for: COMn is /dev/ttyS(n-1), LPTn /dev/lp(n-1); any
// other name is already a path.
std::string DevicePathOf(const std::string& portName);

// "path: reason" for a failed open, worded so the operator knows what to do; for a
// permission error it names the group that grants access (dialout, lp), if any.
std::string OpenErrorText(const std::string& path, int err, const char* group);

// The next step of a wait that is paced by the Clock: short at first so a device that is
// ready again soon is served at once, longer while the wait goes on, never beyond what is
// left of the time-out.
std::int64_t WaitSlice(std::int64_t elapsedMs, std::int64_t remainingMs);

// How a bounded write ended.
struct WriteOutcome {
    int written = 0;  // bytes the device took
    int error = 0;    // errno of a failed write, 0 when none
    bool timedOut = false;
    bool cancelled = false;
};

// How long a bounded write waits while the device takes nothing.
struct WriteBound {
    std::int64_t timeoutMs = 0;
    // The time-out counts from the last byte the device took (a stall), else from the start.
    bool fromLastProgress = false;
    // Asked before each attempt; false holds the write back like a full device (the DSR
    // line of a serial port).
    std::function<bool()> ready;
    // Looked at whenever the device takes nothing: a cancel then ends the write within one
    // wait slice (50 ms).
    const CancelToken* cancel = nullptr;
};

// Writes data to a non-blocking descriptor, waiting (through the Clock) while the device
// takes nothing, until all is written, the bound has run out or the cancel came.
WriteOutcome WriteWithin(int fd, const std::uint8_t* data, int length, Clock& clock,
                         const WriteBound& bound);

// Sends data on a non-blocking stream socket (never raising SIGPIPE), as WriteWithin.
WriteOutcome SendWithin(int fd, const std::uint8_t* data, int length, Clock& clock,
                        const WriteBound& bound);

// Waits (through the Clock) up to timeoutMs for fd to become readable. True when it is.
bool WaitReadable(int fd, Clock& clock, std::int64_t timeoutMs);

// True when fd is a character device (a port, a terminal, a printer node): a regular file
// or a pipe named like a port is no printer.
bool IsCharacterDevice(int fd);

// Takes an exclusive advisory lock on an open descriptor without waiting, so that two
// programs (or two objects of one program) never share a device. False when another holds
// it.
bool LockExclusive(int fd);

}  // namespace posix
}  // namespace kp70
