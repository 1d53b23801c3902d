#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "core/transport/ParallelController.h"
#include "core/transport/ParallelStatusFilter.h"
#include "core/transport/ReceiveQueue.h"
#include "platform/Win32Io.h"

namespace kp70 {

class Clock;
class ErrorLog;

// The parallel-port controller of the user setup tool on Windows: opens the port
// ("\\.\LPTn") for reading and writing, overlapped, writes with a 5000 ms limit, and on
// request reads the printer's reply on a reader thread, keeping its 4-byte automatic status
// blocks apart (lastStatus) and queueing the other bytes for GetByte.
//
// Threads: Open, Write, StartReader, RequestRead, StopReader and Close belong to the
// screen's thread; GetByte to one consumer thread; the reader only fills the queue. The
// reader waits for a request on a condition variable, and for data on its read's completion
// together with a stop event, so a stop request also ends a read that is still waiting (the
// read is cancelled): StopReader and Close return as soon as the reader has seen the stop.
class ParPortCtl : public ParallelController {
public:
    static constexpr int kReadChunk = 512;
    static constexpr int kWriteLimitMs = 5000;
    static constexpr int kCloseWaitMs = 100;

    ParPortCtl(ErrorLog& log, Clock& clock);
    ~ParPortCtl() override;
    ParPortCtl(const ParPortCtl&) = delete;
    ParPortCtl& operator=(const ParPortCtl&) = delete;

    int Open(const std::string& portName) override;
    // The count written, or 0 when the port is not open, the write failed or did not end
    // within 5000 ms.
    int Write(const std::uint8_t* data, int length) override;
    SendResult WriteBounded(const std::uint8_t* data, int length,
                            const CancelToken& cancel) override;
    bool LinkUp() override;
    int StartReader() override;
    void RequestRead() override;
    std::uint8_t GetByte(int& flag) override;
    // Asks the reader to end and waits until it has; returns at once when none runs.
    void StopReader() override;
    int Close() override;
    bool isOpen() const override { return m_isOpen.load(); }
    // Windows NT ports need no time-outs of their own.
    bool timeoutsSet() const override { return false; }
    std::string lastErrorText() const override;
    int lastErrorCode() const override;
    StatusBlock lastStatus() const override;
    int statusBlocks() const override;

    // True while a reader thread runs (it also ends by itself when its queue is full).
    bool ReaderRunning() const;
    // Reply bytes queued and not yet taken.
    int Queued() const override { return m_queue.Count(); }

private:
    int Read(std::uint8_t* buffer, int capacity);
    void ReaderThread();
    void EndReader();
    void JoinReader();
    void SetError(int code, const std::string& text);
    void ReleasePort();

    ErrorLog& m_log;
    Clock& m_clock;
    win32::Handle m_handle;
    std::atomic<bool> m_isOpen{false};

    mutable std::mutex m_mutex;
    std::condition_variable m_events;
    bool m_stop = false;     // the stop event
    bool m_request = false;  // the request event
    bool m_ended = false;    // the ended event
    StatusBlock m_lastStatus{};
    int m_statusBlocks = 0;  // every block taken out, equal ones included
    std::string m_lastErrorText;
    int m_lastErrorCode = 0;

    ReceiveQueue m_queue;
    std::thread m_reader;
    win32::Event m_wake;  // set with the stop event: ends a read that waits
};

}  // namespace kp70
