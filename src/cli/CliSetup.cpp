#include "cli/CliSetup.h"

#include "cli/Verb.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

CliSetup::CliSetup(Verb& verb, CliLinks& links) : m_verb(verb), m_links(links) {}

CliSetup::~CliSetup() {
    if (m_session) m_session->Close(false);
}

bool CliSetup::Open(const CancelToken& cancel) {
    Clock& clock = m_verb.Time();
    m_session = std::make_unique<SetupSession>(m_links.Factory(), clock, clock, m_collector);
    const Outcome outcome = m_session->Start(cancel);
    if (outcome.ok()) return true;
    m_verb.Tell(outcome.notices);
    return false;
}

}  // namespace kp70
