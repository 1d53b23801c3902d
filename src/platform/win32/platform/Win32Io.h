#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kp70 {

class CancelToken;
class Clock;

// Small Win32 helpers shared by the port, socket and parallel-port classes. No Windows
// header here: handles travel as void*, error codes as unsigned long (DWORD).
namespace win32 {

// A handle closed when the object goes (nullptr and INVALID_HANDLE_VALUE mean none).
class Handle {
public:
    Handle() = default;
    explicit Handle(void* handle) : m_handle(handle) {}
    ~Handle() { Reset(); }
    Handle(Handle&& other) noexcept : m_handle(other.Release()) {}
    Handle& operator=(Handle&& other) noexcept;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool Valid() const;
    void* Get() const { return m_handle; }
    void* Release();
    void Reset(void* handle = nullptr);

private:
    void* m_handle = nullptr;
};

// A manual-reset event, made when the object is: the completion event of an overlapped
// operation, or what wakes a thread that waits on several handles.
class Event {
public:
    Event();
    bool Valid() const { return m_handle.Valid(); }
    void* Get() const { return m_handle.Get(); }
    void Signal();
    void Clear();

private:
    Handle m_handle;
};

// The name CreateFile opens for a port name: COM and LPT names get the device prefix
// ("COM12" -> "\\.\COM12", which names above COM9 need); any other name (a device path,
// a file) is taken as it is.
std::string DeviceNameOf(const std::string& portName);

// True for "COMn" and "LPTn" (n one to three digits), the names the system gives ports.
bool IsDosPortName(const std::string& name, const char* prefix);

// Why an open failed, worded so the operator knows what to do (the port is in use by
// another program, not there, access denied), with the system's code for others.
std::string OpenErrorReason(unsigned long error);
// "name: reason".
std::string OpenErrorText(const std::string& name, unsigned long error);

// The system's own text for an error code, on one line, without its final full stop.
std::string SystemErrorText(unsigned long error);

// The next step of a wait paced by the Clock, as on Linux: short at first, longer while
// the wait goes on, never beyond what is left of the time-out.
std::int64_t WaitSlice(std::int64_t elapsedMs, std::int64_t remainingMs);

// How a bounded write ended.
struct WriteOutcome {
    int written = 0;          // bytes the device took
    unsigned long error = 0;  // the system's code of a failed write, 0 when none
    bool timedOut = false;
    bool cancelled = false;
};

// How long a bounded write waits while the device takes nothing.
struct WriteBound {
    std::int64_t timeoutMs = 0;
    // The time-out counts from the last piece the device took (a stall), else from the
    // start of the write.
    bool fromLastProgress = false;
    // Bytes a device takes in one overlapped write; each completed piece is progress. 0: the
    // whole block at once (a serial port, whose driver ends a write by its own time-out).
    int pieceBytes = 0;
    // The driver's bytes still to go out (a serial port's output queue), asked while a
    // write is pending: while it shrinks the device is taking the block and a cancel waits.
    // Empty when the device cannot tell.
    std::function<long long()> queued;
    // Looked at while the device takes nothing: a cancel then ends the write within one
    // wait slice (50 ms).
    const CancelToken* cancel = nullptr;
    // Regular files: where the next byte goes (overlapped writes carry their offset).
    std::uint64_t* fileOffset = nullptr;
};

// Writes data to a handle opened for overlapped I/O, waiting through the Clock while the
// device takes nothing, until everything is written, the bound has run out or the cancel
// came. A write cut short is cancelled (CancelIoEx) and what the device took is counted,
// so nothing is sent twice.
WriteOutcome WriteWithin(void* handle, const std::uint8_t* data, int length, Clock& clock,
                         const WriteBound& bound);

// Reads what a device handle (opened for overlapped I/O) gives within waitMs, at most
// capacity bytes; waits through the Clock and cancels the read when the time is up. The
// count read; 0 when nothing came; -1 with error set when the read failed.
int ReadWithin(void* handle, std::uint8_t* buffer, int capacity, Clock& clock, std::int64_t waitMs,
               unsigned long& error);

// What a receive loop (ReceiveUntilWoken) asks of its port, and how it paces itself.
struct ReceiveHooks {
    // The bytes the driver holds that no read has taken yet (a serial port's input queue),
    // -1 when the device cannot tell. Asking also clears a serial port's error state, which
    // would otherwise end every read after a line error.
    std::function<long long()> waiting;
    // Takes each batch of received bytes, in the order they came, on the receiving thread.
    std::function<void(const std::uint8_t*, int)> received;
    // Looked at before each round: false ends the loop.
    std::function<bool()> running;
    // The most bytes one batch holds.
    int chunkBytes = 2048;
    // The pause (on the Clock) after a round that took nothing, so that a device that ends
    // every read at once does not spin the thread.
    std::int64_t idlePauseMs = 5;
    // How often (real milliseconds) a waiting read looks whether bytes wait beside it.
    int lookMs = 50;
};

// Receives from a handle opened for overlapped I/O until `wake` (an event) is signalled,
// `running` says stop, or the device fails. Each round waits in a read of one byte, which
// ends at the first byte that comes (or at the device's own read time-out, and the next
// round begins), then reads at once what else the driver holds and hands the batch on. A
// read that ends early (a purge, a time-out, the wake-up) gives up what it had taken all the
// same, so no byte is lost or handed on twice; a read still waiting while bytes wait beside
// it (a completion the system did not signal) is ended and those bytes are read. 0 when
// woken or stopped; the system's code when the device failed (it went away).
unsigned long ReceiveUntilWoken(void* handle, void* wake, Clock& clock, const ReceiveHooks& hooks);

// The system code page's text (UTF-8 where the program's manifest asks for it) of a
// UTF-16 text, and back.
std::string Narrow(const wchar_t* text);
std::wstring Widen(const std::string& text);

}  // namespace win32
}  // namespace kp70
