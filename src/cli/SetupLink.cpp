#include "cli/SetupLink.h"

#include <ostream>

#include "cli/Cli.h"
#include "cli/Connection.h"
#include "core/app/ErrorLog.h"
#include "platform/ParPortCtl.h"

namespace kp70 {

SetupLink::SetupLink(CliContext& context)
    : m_context(context), m_connection(std::make_unique<PrinterConnection>(context)) {}

SetupLink::~SetupLink() {
    if (m_session) m_session->Close(false);
}

bool SetupLink::Open(const ConnectionTarget& target) {
    Clock& clock = *m_context.clock;
    SetupLinks links;
    std::string portName = target.settings.portName;
    if (PortKindOf(portName) == PortKind::Parallel) {
        m_log = std::make_unique<ErrorLog>(clock);
        if (!m_context.errorLogPath.empty())
            m_log->Open(m_context.errorLogPath, ErrorLog::Mode::Append);
        m_parallel = std::make_unique<ParPortCtl>(*m_log, clock);
        links.parallel = m_parallel.get();
    } else if (target.IsNetwork()) {
        // The session connects itself, as the screen does when it opens.
        links.network = &m_connection->Network();
        links.networkAddress = target.host;
        links.networkPort = target.netPort;
    } else {
        // Opened here first for the reason of a failure ("permission denied"); the
        // session then opens it again in the setup tool's way.
        std::string why;
        if (!m_connection->Open(target, kToolModeSetup, why)) {
            m_context.err << why << "\n";
            return false;
        }
        links.port = &m_connection->Port();
    }
    m_session = std::make_unique<SetupSession>(portName, links, clock, clock, m_collector);
    const Outcome outcome = m_session->Start();
    if (!outcome.ok()) {
        PrintNotices(m_context, outcome);
        if (target.IsNetwork())
            m_context.err << "no answer from " << target.host << ":" << target.netPort << "\n";
        return false;
    }
    return true;
}

}  // namespace kp70
