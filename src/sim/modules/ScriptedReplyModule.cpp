// Answers scripted byte sequences (--reply REQUEST=REPLY, --script FILE): whenever the bytes
// a link received end with a rule's request, the rule's reply is sent. Requests are matched
// across chunk edges; after a match the match starts afresh, so one request is answered
// once. When several rules end at the same byte, the first given wins.
#include <algorithm>

#include "sim/Printer.h"
#include "sim/PrinterModule.h"

namespace kp70sim {

namespace {

class ScriptedReplyModule : public PrinterModule {
public:
    explicit ScriptedReplyModule(const std::vector<ReplyRule>& rules) : m_rules(rules) {
        for (const auto& rule : m_rules) m_longest = std::max(m_longest, rule.request.size());
    }

    void OnBytes(const std::uint8_t* data, std::size_t size, LinkActions& link) override {
        if (m_rules.empty()) return;
        for (std::size_t i = 0; i < size; ++i) {
            m_recent.push_back(data[i]);
            if (m_recent.size() > m_longest) m_recent.erase(m_recent.begin());
            for (const auto& rule : m_rules) {
                if (EndsWith(rule.request)) {
                    link.Reply(rule.reply);
                    m_recent.clear();
                    break;
                }
            }
        }
    }

private:
    bool EndsWith(const Bytes& request) const {
        return request.size() <= m_recent.size() &&
               std::equal(request.rbegin(), request.rend(), m_recent.rbegin());
    }

    const std::vector<ReplyRule>& m_rules;
    std::size_t m_longest = 0;
    Bytes m_recent;
};

}  // namespace

std::unique_ptr<PrinterModule> MakeScriptedReplyModule(Printer& printer) {
    return std::make_unique<ScriptedReplyModule>(printer.Options().replies);
}

}  // namespace kp70sim
