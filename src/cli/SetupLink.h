#pragma once

#include <memory>

#include "core/setup/SettingsCollector.h"
#include "core/setup/SetupSession.h"

namespace kp70 {

class ErrorLog;
class ParPortCtl;
class PrinterConnection;
struct CliContext;
struct ConnectionTarget;

// The printer connection of a verb that reads or writes the user settings, and its
// SetupSession, whose replies go to a SettingsCollector. Closes the session when destroyed.
class SetupLink {
public:
    explicit SetupLink(CliContext& context);
    ~SetupLink();
    SetupLink(const SetupLink&) = delete;
    SetupLink& operator=(const SetupLink&) = delete;

    // Opens the printer as the setup screen does. Prints why not and returns false.
    bool Open(const ConnectionTarget& target);

    SetupSession& Session() { return *m_session; }
    SettingsCollector& Collector() { return m_collector; }

private:
    CliContext& m_context;
    std::unique_ptr<PrinterConnection> m_connection;
    std::unique_ptr<ErrorLog> m_log;
    std::unique_ptr<ParPortCtl> m_parallel;
    SettingsCollector m_collector;
    std::unique_ptr<SetupSession> m_session;
};

}  // namespace kp70
