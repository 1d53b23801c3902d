#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "core/app/Clock.h"

namespace kp70 {

// Asks a running sequence to stop at its next safe point (between two rounds, two images,
// two timer periods). Set from any thread; the sequence polls it.
class CancelToken {
public:
    CancelToken() = default;
    // A token that is also cancelled when one of the given ones is (an operation that both
    // a Cancel button and the screen's closing stop). They must outlive it.
    explicit CancelToken(const CancelToken* first, const CancelToken* second = nullptr)
        : m_first(first), m_second(second) {}
    CancelToken(const CancelToken&) = delete;
    CancelToken& operator=(const CancelToken&) = delete;

    void Cancel() { m_cancelled.store(true); }
    void Reset() { m_cancelled.store(false); }
    bool Cancelled() const {
        return m_cancelled.load() || (m_first && m_first->Cancelled()) ||
               (m_second && m_second->Cancelled());
    }
    // A token nobody cancels, for callers that cannot be stopped.
    static const CancelToken& Never() {
        static const CancelToken never;
        return never;
    }

private:
    std::atomic<bool> m_cancelled{false};
    const CancelToken* m_first = nullptr;
    const CancelToken* m_second = nullptr;
};

// Waits ms on clock in slices of at most sliceMs, looking at the token between slices.
// Returns false when the wait was cut short by a cancel.
inline bool SleepUnlessCancelled(Clock& clock, std::int64_t ms, const CancelToken& cancel,
                                 std::int64_t sliceMs = 100) {
    for (std::int64_t waited = 0; waited < ms;) {
        if (cancel.Cancelled()) return false;
        const std::int64_t slice = std::min(sliceMs, ms - waited);
        clock.SleepFor(slice);
        waited += slice;
    }
    return !cancel.Cancelled();
}

}  // namespace kp70
