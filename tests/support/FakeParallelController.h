#pragma once

#include <deque>

#include "core/transport/ParallelController.h"
#include "support/FakeLinkRecorder.h"

namespace kp70::test {

// A ParallelController (ParPortCtl) that records every call and answers writes from a
// script. Answers wait in the printer until a read is requested while the reader runs
// (a request made before StartReader is served when it starts), then GetByte returns them.
class FakeParallelController : public ParallelController, public FakeLinkRecorder {
public:
    Responder responder;
    int failAfterWrites = -1;  // writes after this many successful ones return 0
    std::deque<bool> openResults;
    bool startReaderResult = true;
    bool legacyMode = false;  // timeoutsSet
    std::string errorText = "[ParPortCtl] CreateFile fail : 2";

    int Open(const std::string& portName) override {
        bool ok = true;
        {
            std::lock_guard lock(m_mutex);
            if (!openResults.empty()) {
                ok = openResults.front();
                openResults.pop_front();
            }
            m_open = ok;
            m_portName = portName;
        }
        Record("Open", {}, ok);
        return ok ? 1 : 0;
    }
    int Write(const std::uint8_t* data, int length) override {
        FakeBytes bytes(data, data + length);
        bool ok;
        {
            std::lock_guard lock(m_mutex);
            ok = m_open && (failAfterWrites < 0 || m_writes < failAfterWrites);
            if (ok) ++m_writes;
        }
        Record("Write", bytes, ok);
        if (!ok) return 0;
        if (responder) {
            FakeBytes answer = responder(bytes);
            std::lock_guard lock(m_mutex);
            m_pending.insert(m_pending.end(), answer.begin(), answer.end());
        }
        return length;
    }
    int StartReader() override {
        {
            std::lock_guard lock(m_mutex);
            m_reading = startReaderResult;
            if (m_reading && m_requested) ServeLocked();
        }
        Record("StartReader", {}, startReaderResult);
        return startReaderResult ? 1 : 0;
    }
    void RequestRead() override {
        {
            std::lock_guard lock(m_mutex);
            m_requested = true;
            if (m_reading) ServeLocked();
        }
        Record("RequestRead");
    }
    std::uint8_t GetByte(int& flag) override {
        std::lock_guard lock(m_mutex);
        if (m_queue.empty()) {
            flag = -1;
            return 0;
        }
        flag = 1;
        const std::uint8_t b = m_queue.front();
        m_queue.pop_front();
        return b;
    }
    void StopReader() override {
        {
            std::lock_guard lock(m_mutex);
            m_reading = false;
        }
        Record("StopReader");
    }
    int Close() override {
        {
            std::lock_guard lock(m_mutex);
            m_open = false;
            m_reading = false;
        }
        Record("Close");
        return 1;
    }
    bool isOpen() const override {
        std::lock_guard lock(m_mutex);
        return m_open;
    }
    bool timeoutsSet() const override { return legacyMode; }
    std::string lastErrorText() const override { return errorText; }
    int lastErrorCode() const override { return 2; }
    std::array<std::uint8_t, 4> lastStatus() const override {
        std::lock_guard lock(m_mutex);
        return m_lastStatus;
    }
    int statusBlocks() const override {
        std::lock_guard lock(m_mutex);
        return m_statusBlocks;
    }
    // A status block the reader took out of the printer's answer now.
    void DeliverStatus(const std::array<std::uint8_t, 4>& block) {
        std::lock_guard lock(m_mutex);
        m_lastStatus = block;
        ++m_statusBlocks;
    }

    std::string PortName() const {
        std::lock_guard lock(m_mutex);
        return m_portName;
    }
    bool Reading() const {
        std::lock_guard lock(m_mutex);
        return m_reading;
    }
    // Bytes that arrive in the reader's queue now.
    void Deliver(const FakeBytes& bytes) {
        std::lock_guard lock(m_mutex);
        m_queue.insert(m_queue.end(), bytes.begin(), bytes.end());
    }

private:
    void ServeLocked() {
        m_queue.insert(m_queue.end(), m_pending.begin(), m_pending.end());
        m_pending.clear();
        m_requested = false;
    }

    bool m_open = false;
    bool m_reading = false;
    bool m_requested = false;
    int m_writes = 0;
    std::string m_portName;
    FakeBytes m_pending;
    std::deque<std::uint8_t> m_queue;
    std::array<std::uint8_t, 4> m_lastStatus{};
    int m_statusBlocks = 0;
};

}  // namespace kp70::test
