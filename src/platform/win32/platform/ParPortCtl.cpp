#include "platform/ParPortCtl.h"

#include <windows.h>

#include <cstdio>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/app/ErrorLog.h"

namespace kp70 {

namespace {

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
    if (m_handle.Valid()) {
        m_isOpen = false;
        StopReader();
        ReleasePort();
    }
    const std::string device = win32::DeviceNameOf(portName);
    HANDLE handle = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    unsigned long error = handle == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    // A file or a pipe named like a port is no printer.
    if (error == 0 && ::GetFileType(handle) != FILE_TYPE_CHAR) error = ERROR_BAD_DEVICE;
    if (error != 0) {
        if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
        const int code = static_cast<int>(error);
        const std::string text = Formatted("[ParPortCtl] CreateFile fail : %d", code);
        const std::string why = error == ERROR_BAD_DEVICE
                                    ? portName + ": not a port (a file or a pipe, not a device)"
                                    : win32::OpenErrorText(portName, error);
        m_log.LogLine("%s", text.c_str());
        m_log.LogLine("%s", why.c_str());
        SetError(code, text + " (" + why + ")");
        return 0;
    }
    m_handle.Reset(handle);
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
    if (!m_isOpen || !m_handle.Valid()) return {0, SendFault::NotOpen, 0};
    if (length <= 0) return {};
    win32::WriteBound bound;
    bound.timeoutMs = kWriteLimitMs;
    bound.cancel = &cancel;
    const win32::WriteOutcome outcome =
        win32::WriteWithin(m_handle.Get(), data, length, m_clock, bound);
    const int code = static_cast<int>(outcome.error);
    if (outcome.error != 0) {
        SetError(code, Formatted("[ParPortCtl] Write fail : %d", code));
        return {outcome.written, SendFault::Failed, code};
    }
    if (outcome.timedOut) return {outcome.written, SendFault::TimedOut, ERROR_TIMEOUT};
    if (outcome.cancelled) return {outcome.written, SendFault::Cancelled, 0};
    return {outcome.written, SendFault::None, 0};
}

bool ParPortCtl::LinkUp() {
    return m_isOpen && m_handle.Valid();
}

int ParPortCtl::Read(std::uint8_t* buffer, int capacity) {
    if (!m_isOpen) return 0;
    win32::Event done;
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.Get();
    HANDLE handle = m_handle.Get();
    auto fail = [&](unsigned long error, const char* format) {
        const int code = static_cast<int>(error);
        SetError(code, Formatted(format, code));
        m_log.LogLine("[ParPortCtl] Read fail : %d", code);
        return 0;
    };
    if (!done.Valid()) return fail(::GetLastError(), "[ParPortCtl] Read fail : %d");
    if (!::ReadFile(handle, buffer, static_cast<DWORD>(capacity), nullptr, &overlapped) &&
        ::GetLastError() != ERROR_IO_PENDING)
        return fail(::GetLastError(), "[ParPortCtl] Read fail : %d\r\n");
    HANDLE waits[2] = {done.Get(), m_wake.Get()};
    const DWORD woken = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (woken != WAIT_OBJECT_0) {
        // Stop requested: the read ends before its record goes.
        ::CancelIoEx(handle, &overlapped);
        DWORD ignored = 0;
        ::GetOverlappedResult(handle, &overlapped, &ignored, TRUE);
        return 0;
    }
    DWORD moved = 0;
    if (!::GetOverlappedResult(handle, &overlapped, &moved, FALSE))
        return fail(::GetLastError(), "[ParPortCtl] Read fail : %d");
    return static_cast<int>(moved);
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
    m_wake.Clear();
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
    m_wake.Clear();
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
            for (int i = 0; i < 3 && m_handle.Valid(); ++i) {
                unsigned long error = 0;
                if (win32::ReadWithin(m_handle.Get(), buffer, kReadChunk, m_clock, 0, error) <= 0)
                    break;
            }
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
    m_handle.Reset();
}

}  // namespace kp70
