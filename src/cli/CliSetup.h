#pragma once

#include <memory>

#include "cli/Connection.h"
#include "core/setup/SettingsCollector.h"
#include "core/setup/SetupSession.h"

namespace kp70 {

struct CliContext;

// A setup session on a verb's printer, for setup, backup, restore and provision: its
// replies go to a SettingsCollector. Closes the session when destroyed.
class CliSetup {
public:
    explicit CliSetup(CliContext& context);
    ~CliSetup();
    CliSetup(const CliSetup&) = delete;
    CliSetup& operator=(const CliSetup&) = delete;

    // Opens the printer as the setup screen does. Prints why not and returns false.
    bool Open(const PrinterChoice& choice, const CancelToken& cancel = CancelToken::Never());

    SetupSession& Session() { return *m_session; }
    SettingsCollector& Collector() { return m_collector; }
    CliLinks& Links() { return m_links; }

private:
    CliContext& m_context;
    CliLinks m_links;
    SettingsCollector m_collector;
    std::unique_ptr<SetupSession> m_session;
};

}  // namespace kp70
