#pragma once

#include <array>
#include <mutex>
#include <vector>

#include "core/setup/SettingListener.h"
#include "core/setup/SetupSession.h"
#include "core/setup/SetupValues.h"

namespace kp70 {

class Clock;

// A SettingListener that applies every reply to its own SetupValues, for callers without a
// screen (the command line): it waits, through the Clock and for a bounded time, until the
// settings it asked for have arrived.
class SettingsCollector : public SettingListener {
public:
    void OnSettingReceived(const SetupReply& reply) override;

    // A copy of the values collected so far.
    SetupValues Values() const;
    // The settings of `numbers` that have not been received yet.
    std::vector<int> Missing(const std::vector<int>& numbers) const;
    // The settings of `numbers` that did not come back clean: no reply applied, or the last
    // reply applied held a text IsCleanReply refuses (a garbled line still maps onto values).
    std::vector<int> Unclean(const std::vector<int>& numbers) const;
    // What stands in the way of writing back what was read: the settings a write block
    // carries (WriteBlock::settings) that did not come back clean, leaving out those the
    // operator set, which need no reply. A garbled reply written back would overwrite what
    // the printer holds.
    std::vector<int> UncleanForWrite(const std::vector<int>& blockSettings,
                                     const std::vector<int>& setByOperator) const;
    // Waits in steps of 10 ms on clock until every setting of `numbers` was received or
    // timeoutMs has passed; true when all arrived.
    bool WaitFor(const std::vector<int>& numbers, Clock& clock, int timeoutMs,
                 const CancelToken& cancel = CancelToken::Never()) const;

private:
    mutable std::mutex m_mutex;
    SetupValues m_values;
    std::array<bool, 256> m_clean{};  // per setting: the last reply applied was clean
};

// Reads every setting the session's port kind can read back into collector and waits for
// the answers, for at most timeoutMs. Gives the outcome of the read (a printer that does
// not answer at all on COM, USB or the network brings its notice); `missing` lists what
// did not answer in time.
// A cancel ends the read and the wait: Cancelled.
Outcome CollectSettings(SetupSession& session, SettingsCollector& collector, Clock& clock,
                        int timeoutMs, std::vector<int>& missing,
                        const CancelToken& cancel = CancelToken::Never());

}  // namespace kp70
