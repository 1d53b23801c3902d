#include "cli/Terminal.h"

#include <iostream>

#include "cli/Cli.h"

namespace kp70 {

namespace {

constexpr const char* kAnsweredByYes = " Yes (--yes)";

bool IsYes(const std::string& answer) {
    std::string lower;
    for (char c : answer) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower == "y" || lower == "yes";
}

}  // namespace

Terminal::Terminal(CliContext& context, std::string verbName, bool yes)
    : m_context(context), m_verbName(std::move(verbName)), m_yes(yes) {}

Terminal::Answer Terminal::Ask(const std::string& question) {
    const std::string text = TerminalText(question);
    if (m_yes) {
        m_context.err << text << kAnsweredByYes << "\n";
        return Answer::Yes;
    }
    if (!m_context.stdinIsTerminal || !m_context.stderrIsTerminal) {
        m_context.err << text << "\n"
                      << "kp70ctl " << m_verbName << ": --yes answers Yes; nothing sent\n";
        return Answer::Unanswered;
    }
    m_context.err << text << " [y/N] " << std::flush;
    std::string answer;
    if (std::getline(std::cin, answer) && IsYes(answer)) return Answer::Yes;
    m_context.err << "kp70ctl " << m_verbName << ": nothing sent\n";
    return Answer::No;
}

AskOperator Terminal::RuleAnswers(bool quiet) const {
    CliContext* context = quiet ? nullptr : &m_context;
    const bool yes = m_yes;
    return [context, yes](const Question& question) -> std::optional<bool> {
        if (!yes) return std::nullopt;
        if (context) context->err << TerminalText(question.text) << kAnsweredByYes << "\n";
        return true;
    };
}

}  // namespace kp70
