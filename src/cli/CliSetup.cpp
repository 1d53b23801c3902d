#include "cli/CliSetup.h"

#include <ostream>

#include "cli/Cli.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

CliSetup::CliSetup(CliContext& context) : m_context(context), m_links(context) {}

CliSetup::~CliSetup() {
    if (m_session) m_session->Close(false);
}

bool CliSetup::Open(const PrinterChoice& choice, const CancelToken& cancel) {
    std::string why;
    if (!m_links.Choose(choice, why)) {
        m_context.err << why << "\n";
        return false;
    }
    Clock& clock = *m_context.clock;
    m_session = std::make_unique<SetupSession>(m_links.Factory(), clock, clock, m_collector);
    const Outcome outcome = m_session->Start(cancel);
    if (!outcome.ok()) {
        PrintNotices(m_context, outcome);
        return false;
    }
    return true;
}

}  // namespace kp70
