#include "platform/Win32Io.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"

namespace kp70::win32 {

Handle& Handle::operator=(Handle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
}

bool Handle::Valid() const {
    return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE;
}

void* Handle::Release() {
    void* handle = m_handle;
    m_handle = nullptr;
    return handle;
}

void Handle::Reset(void* handle) {
    if (Valid()) ::CloseHandle(m_handle);
    m_handle = handle;
}

Event::Event() : m_handle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void Event::Signal() {
    if (Valid()) ::SetEvent(m_handle.Get());
}

void Event::Clear() {
    if (Valid()) ::ResetEvent(m_handle.Get());
}

bool IsDosPortName(const std::string& name, const char* prefix) {
    const std::size_t length = std::char_traits<char>::length(prefix);
    if (name.size() <= length || name.size() > length + 3) return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != prefix[i]) return false;
    }
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(length), name.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

std::string DeviceNameOf(const std::string& portName) {
    if (IsDosPortName(portName, "COM") || IsDosPortName(portName, "LPT"))
        return "\\\\.\\" + portName;
    return portName;
}

std::string SystemErrorText(unsigned long error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result = length && text ? Narrow(text) : std::string();
    if (text) ::LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == ' ' || result.back() == '.'))
        result.pop_back();
    if (result.empty()) result = "system error";
    return result + " (" + std::to_string(error) + ")";
}

std::string OpenErrorReason(unsigned long error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return "not found";
        case ERROR_ACCESS_DENIED:
            // A port another program holds answers so, as does one the user may not use.
            return "in use by another program, or access denied";
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return "in use by another program";
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_NOT_READY:
        case ERROR_GEN_FAILURE:
        case ERROR_DEV_NOT_EXIST:
            return "no such device (not connected)";
        default:
            return SystemErrorText(error);
    }
}

std::string OpenErrorText(const std::string& name, unsigned long error) {
    return name + ": " + OpenErrorReason(error);
}

std::int64_t WaitSlice(std::int64_t elapsedMs, std::int64_t remainingMs) {
    const std::int64_t step = std::clamp<std::int64_t>(elapsedMs / 8, 5, 50);
    return std::max<std::int64_t>(1, std::min(step, remainingMs));
}

namespace {

// Ends a pending operation and says how many bytes it moved before it ended. The wait
// after the cancel has no bound on purpose: the system writes into `overlapped` until the
// operation is over, so it must not be left behind.
DWORD Abort(HANDLE handle, OVERLAPPED& overlapped) {
    ::CancelIoEx(handle, &overlapped);
    DWORD moved = 0;
    if (!::GetOverlappedResult(handle, &overlapped, &moved, TRUE))
        moved = static_cast<DWORD>(overlapped.InternalHigh);
    return moved;
}

}  // namespace

WriteOutcome WriteWithin(void* handle, const std::uint8_t* data, int length, Clock& clock,
                         const WriteBound& bound) {
    WriteOutcome outcome;
    Event done;
    if (!done.Valid()) {
        outcome.error = ::GetLastError();
        return outcome;
    }
    std::int64_t start = clock.Now();
    auto advance = [&](DWORD moved) {
        outcome.written += static_cast<int>(moved);
        if (bound.fileOffset) *bound.fileOffset += moved;
        if (moved > 0 && bound.fromLastProgress) start = clock.Now();
    };
    while (outcome.written < length) {
        const int left = length - outcome.written;
        const int piece = bound.pieceBytes > 0 ? std::min(bound.pieceBytes, left) : left;
        OVERLAPPED overlapped{};
        overlapped.hEvent = done.Get();
        if (bound.fileOffset) {
            overlapped.Offset = static_cast<DWORD>(*bound.fileOffset & 0xFFFFFFFFu);
            overlapped.OffsetHigh = static_cast<DWORD>(*bound.fileOffset >> 32);
        }
        done.Clear();
        // The count comes from the completion only: what WriteFile itself reports for an
        // overlapped handle is not to be relied on.
        if (!::WriteFile(handle, data + outcome.written, static_cast<DWORD>(piece), nullptr,
                         &overlapped) &&
            ::GetLastError() != ERROR_IO_PENDING) {
            outcome.error = ::GetLastError();
            return outcome;
        }
        long long lastQueued = bound.queued ? bound.queued() : -1;
        for (;;) {
            DWORD moved = 0;
            if (::GetOverlappedResult(handle, &overlapped, &moved, FALSE)) {
                advance(moved);
                break;
            }
            const DWORD error = ::GetLastError();
            if (error != ERROR_IO_INCOMPLETE) {
                advance(static_cast<DWORD>(overlapped.InternalHigh));
                outcome.error = error;
                return outcome;
            }
            // Still under way. A serial driver's queue that shrinks says the printer is
            // taking the block: a cancel then waits, so that no command is cut in two.
            bool taking = false;
            if (bound.queued) {
                const long long queued = bound.queued();
                taking = queued >= 0 && lastQueued >= 0 && queued < lastQueued;
                lastQueued = queued;
                if (taking && bound.fromLastProgress) start = clock.Now();
            }
            if (!taking && bound.cancel && bound.cancel->Cancelled()) {
                advance(Abort(handle, overlapped));
                outcome.cancelled = true;
                return outcome;
            }
            const std::int64_t elapsed = clock.Now() - start;
            if (elapsed >= bound.timeoutMs) {
                advance(Abort(handle, overlapped));
                outcome.timedOut = outcome.written < length;
                return outcome;
            }
            clock.SleepFor(WaitSlice(elapsed, bound.timeoutMs - elapsed));
        }
        if (outcome.written >= length) break;
        // The driver ended the write early (its own time-out): the device takes nothing now.
        if (bound.cancel && bound.cancel->Cancelled()) {
            outcome.cancelled = true;
            return outcome;
        }
        const std::int64_t elapsed = clock.Now() - start;
        if (elapsed >= bound.timeoutMs) {
            outcome.timedOut = true;
            return outcome;
        }
    }
    return outcome;
}

int ReadWithin(void* handle, std::uint8_t* buffer, int capacity, Clock& clock, std::int64_t waitMs,
               unsigned long& error) {
    error = 0;
    Event done;
    if (!done.Valid()) {
        error = ::GetLastError();
        return -1;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.Get();
    if (!::ReadFile(handle, buffer, static_cast<DWORD>(capacity), nullptr, &overlapped) &&
        ::GetLastError() != ERROR_IO_PENDING) {
        error = ::GetLastError();
        return -1;
    }
    const std::int64_t start = clock.Now();
    for (;;) {
        DWORD moved = 0;
        if (::GetOverlappedResult(handle, &overlapped, &moved, FALSE))
            return static_cast<int>(moved);
        const DWORD failure = ::GetLastError();
        if (failure != ERROR_IO_INCOMPLETE) {
            error = failure;
            return -1;
        }
        const std::int64_t elapsed = clock.Now() - start;
        if (elapsed >= waitMs) return static_cast<int>(Abort(handle, overlapped));
        clock.SleepFor(WaitSlice(elapsed, waitMs - elapsed));
    }
}

namespace {

// How one read of the receive loop ended.
struct ReadRound {
    DWORD moved = 0;  // bytes it took, also when it ended early or failed
    DWORD error = 0;  // the system's code when it failed, else 0
    bool woken = false;
};

// One overlapped read of up to `capacity` bytes, waited for to its end, or ended at the
// wake-up or when, at one of its looks, bytes wait in the driver beside it.
ReadRound ReadOnce(HANDLE handle, HANDLE wake, HANDLE done, std::uint8_t* buffer, DWORD capacity,
                   const ReceiveHooks& hooks) {
    ReadRound round;
    OVERLAPPED overlapped{};
    overlapped.hEvent = done;
    ::ResetEvent(done);
    if (!::ReadFile(handle, buffer, capacity, nullptr, &overlapped)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_IO_PENDING) {
            round.error = error;
            return round;
        }
    }
    HANDLE waits[2] = {done, wake};
    for (;;) {
        const DWORD woken =
            ::WaitForMultipleObjects(2, waits, FALSE, static_cast<DWORD>(hooks.lookMs));
        if (woken == WAIT_OBJECT_0) break;
        if (woken == WAIT_TIMEOUT && hooks.waiting() <= 0) continue;
        // Woken, a wait that failed, or bytes the read did not take although it waits for
        // them: the read ends here with what it took.
        if (woken == WAIT_FAILED) round.error = ::GetLastError();
        round.woken = woken == WAIT_OBJECT_0 + 1;
        round.moved = Abort(handle, overlapped);
        return round;
    }
    if (!::GetOverlappedResult(handle, &overlapped, &round.moved, FALSE)) {
        round.error = ::GetLastError();
        round.moved = static_cast<DWORD>(overlapped.InternalHigh);
    }
    return round;
}

// A read that ended without a fault of the device: a purge or a change of the line's state
// aborted it, or its time-out ended it with nothing (Wine reports that as a failure).
bool EndedEarly(DWORD error) {
    return error == ERROR_OPERATION_ABORTED || error == ERROR_TIMEOUT;
}

}  // namespace

unsigned long ReceiveUntilWoken(void* handle, void* wake, Clock& clock, const ReceiveHooks& hooks) {
    Event done;
    if (!done.Valid()) return ::GetLastError();
    const int chunk = std::max(hooks.chunkBytes, 1);
    std::vector<std::uint8_t> batch(static_cast<std::size_t>(chunk));
    while (hooks.running()) {
        ReadRound round = ReadOnce(handle, wake, done.Get(), batch.data(), 1, hooks);
        int count = static_cast<int>(round.moved);
        // The rest of what came is in the driver already, so these reads end at once.
        bool more = count > 0 && !round.woken && round.error == 0;
        while (more && count < chunk) {
            const long long waiting = hooks.waiting();
            if (waiting <= 0) break;
            const DWORD wanted = static_cast<DWORD>(std::min<long long>(waiting, chunk - count));
            round = ReadOnce(handle, wake, done.Get(), batch.data() + count, wanted, hooks);
            count += static_cast<int>(round.moved);
            more = !round.woken && round.error == 0 && round.moved > 0;
        }
        if (count > 0) hooks.received(batch.data(), count);
        if (round.woken) return 0;
        if (round.error != 0 && !EndedEarly(round.error)) return round.error;
        if (count == 0) {
            // Nothing came: the device's read time-out, or a read aborted after a line error,
            // which the question clears.
            if (round.error == ERROR_OPERATION_ABORTED) hooks.waiting();
            clock.SleepFor(hooks.idlePauseMs);
        }
    }
    return 0;
}

std::string Narrow(const wchar_t* text) {
    if (!text || !*text) return {};
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(size - 1));
    return result;
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    const int size = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (size <= 1) return {};
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, result.data(), size);
    result.resize(static_cast<std::size_t>(size - 1));
    return result;
}

}  // namespace kp70::win32
