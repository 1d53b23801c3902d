#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/app/Clock.h"

namespace kp70::test {

using FakeBytes = std::vector<std::uint8_t>;

// What a fake link did, in order: "Open", "Close", "Write", "StartConnect", "Send", ...
// with the time of the given clock (0 without one) and the bytes of writes and sends.
struct LinkEvent {
    std::string what;
    std::int64_t at = 0;
    FakeBytes bytes;
    bool ok = true;  // the operation's result
};

// The recording and scripting shared by the fake links.
class FakeLinkRecorder {
public:
    // The printer's answer to one write (empty: no answer). Runs on the writing thread.
    using Responder = std::function<FakeBytes(const FakeBytes& written)>;

    void SetClock(Clock* clock) {
        std::lock_guard lock(m_mutex);
        m_clock = clock;
    }

    std::vector<LinkEvent> Events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    // The names of the events, e.g. {"Open", "Write", "Close"}.
    std::vector<std::string> EventNames() const {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> names;
        for (const auto& e : m_events) names.push_back(e.what);
        return names;
    }
    // The bytes of every successful write or send with data, one entry per call.
    std::vector<FakeBytes> Writes() const {
        std::lock_guard lock(m_mutex);
        std::vector<FakeBytes> writes;
        for (const auto& e : m_events)
            if ((e.what == "Write" || e.what == "Send") && e.ok && !e.bytes.empty())
                writes.push_back(e.bytes);
        return writes;
    }
    // All successfully written bytes in one sequence.
    FakeBytes WrittenBytes() const {
        FakeBytes all;
        for (const auto& w : Writes()) all.insert(all.end(), w.begin(), w.end());
        return all;
    }
    int Count(const std::string& what) const {
        std::lock_guard lock(m_mutex);
        int n = 0;
        for (const auto& e : m_events) n += e.what == what;
        return n;
    }
    void ClearEvents() {
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }

protected:
    void Record(const std::string& what, FakeBytes bytes = {}, bool ok = true) {
        std::lock_guard lock(m_mutex);
        m_events.push_back({what, m_clock ? m_clock->Now() : 0, std::move(bytes), ok});
    }

    mutable std::mutex m_mutex;
    Clock* m_clock = nullptr;
    std::vector<LinkEvent> m_events;
};

}  // namespace kp70::test
