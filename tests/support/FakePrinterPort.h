#pragma once

#include <deque>

#include "core/transport/Notifier.h"
#include "core/transport/PrinterPort.h"
#include "support/FakeLinkRecorder.h"

namespace kp70::test {

// A PrinterPort (CPorts) that records every call and answers writes from a script.
// Answers go into QueueRead() and the listener is told at once on the writing thread, as
// the receive thread of a serial port would; with answersOnReadUsbReply they wait until
// ReadUsbReply, as on a USB printer. Writes on a closed port fail, as on the real port.
class FakePrinterPort : public PrinterPort, public FakeLinkRecorder {
public:
    // ---- script ----
    Responder responder;
    bool answersOnReadUsbReply = false;
    int failAfterWrites = -1;      // writes after this many successful ones return 0
    int shortWriteBy = 0;          // every write reports this many bytes fewer
    std::deque<bool> openResults;  // results of the next Open calls (true once used up)
    std::string lastErrorText;
    // The printer drops the link once it has this many bytes: later writes still land in
    // the system's buffers and succeed; only LinkUp sees the link gone.
    int linkLostAfterBytes = -1;
    // What the driver still holds, in turn (the last one stays); none when empty.
    std::deque<int> outputPending;
    bool syncResult = true;

    ConnectionSettings& Settings() override { return m_settings; }

    int Open() override {
        bool ok = true;
        {
            std::lock_guard lock(m_mutex);
            if (!openResults.empty()) {
                ok = openResults.front();
                openResults.pop_front();
            }
            m_open = ok;
        }
        Record("Open", {}, ok);
        return ok ? 1 : 0;
    }
    int Close() override {
        bool was;
        {
            std::lock_guard lock(m_mutex);
            was = m_open;
            m_open = false;
        }
        Record("Close", {}, was);
        return was ? 1 : 0;
    }
    int Write(const std::uint8_t* data, int length) override {
        FakeBytes bytes(data, data + length);
        bool ok;
        {
            std::lock_guard lock(m_mutex);
            ok = m_open && (failAfterWrites < 0 || m_writes < failAfterWrites);
            if (ok) ++m_writes;
            if (ok) m_bytes += length;
        }
        Record("Write", bytes, ok);
        if (!ok) return 0;
        if (responder) {
            FakeBytes answer = responder(bytes);
            if (!answer.empty()) {
                if (answersOnReadUsbReply) {
                    std::lock_guard lock(m_mutex);
                    m_pending.insert(m_pending.end(), answer.begin(), answer.end());
                } else {
                    Deliver(answer);
                }
            }
        }
        return length - shortWriteBy;
    }
    int ReadUsbReply() override {
        FakeBytes pending;
        {
            std::lock_guard lock(m_mutex);
            pending.swap(m_pending);
        }
        Record("ReadUsbReply");
        if (!pending.empty()) Deliver(pending);
        return 1;
    }
    bool isOpen() const override {
        std::lock_guard lock(m_mutex);
        return m_open;
    }
    bool LinkUp() override {
        std::lock_guard lock(m_mutex);
        return m_open && (linkLostAfterBytes < 0 || m_bytes < linkLostAfterBytes);
    }
    int OutputPending() override {
        std::lock_guard lock(m_mutex);
        if (outputPending.empty()) return 0;
        const int pending = outputPending.front();
        if (outputPending.size() > 1) outputPending.pop_front();
        return pending;
    }
    bool SyncOutput() override { return syncResult; }
    ReceiveQueue& QueueRead() override { return m_queue; }
    void SetNotifyWindow(ReceiveListener* listener) override {
        std::lock_guard lock(m_mutex);
        m_listener = listener;
    }
    ReceiveListener* NotifyWindow() const {
        std::lock_guard lock(m_mutex);
        return m_listener;
    }
    int LastErrorCode() const override { return 0; }
    std::string LastErrorText() const override { return lastErrorText; }

    // Bytes arriving from the printer now: queued, then the listener is told.
    void Deliver(const FakeBytes& bytes) {
        for (std::uint8_t b : bytes) m_queue.Put(b);
        ReceiveListener* listener = NotifyWindow();
        if (listener) listener->OnDataReceived();
    }

private:
    ConnectionSettings m_settings;
    bool m_open = false;
    int m_writes = 0;
    int m_bytes = 0;
    FakeBytes m_pending;
    ReceiveListener* m_listener = nullptr;
    ReceiveQueue m_queue;
};

}  // namespace kp70::test
