#pragma once

#include <memory>

#include "cli/Connection.h"
#include "core/setup/SettingsCollector.h"
#include "core/setup/SetupSession.h"

namespace kp70 {

class Verb;

// A setup session over a printer's links, for setup, backup, restore and provision: its
// replies go to a SettingsCollector. Closes the session when destroyed.
class CliSetup {
public:
    // `links` has taken its printer (Verb::Links, or one printer's links when several are
    // provisioned at once); what goes wrong is told through `verb`.
    CliSetup(Verb& verb, CliLinks& links);
    ~CliSetup();
    CliSetup(const CliSetup&) = delete;
    CliSetup& operator=(const CliSetup&) = delete;

    // Opens the printer as the setup screen does. Tells why not and returns false.
    bool Open(const CancelToken& cancel = CancelToken::Never());

    SetupSession& Session() { return *m_session; }
    SettingsCollector& Collector() { return m_collector; }
    CliLinks& Links() { return m_links; }

private:
    Verb& m_verb;
    CliLinks& m_links;
    SettingsCollector m_collector;
    std::unique_ptr<SetupSession> m_session;
};

}  // namespace kp70
