#pragma once

// The operator at the terminal: the questions a verb asks before it sends anything, and
// --yes, which answers them on the command line.

#include <optional>
#include <string>

#include "core/setup/SettingModel.h"

namespace kp70 {

struct CliContext;

class Terminal {
public:
    // `yes`: --yes was given. verbName ("restore") prefixes what is said when no one can
    // answer.
    Terminal(CliContext& context, std::string verbName, bool yes);

    enum class Answer { Yes, No, Unanswered };

    // A question before something is sent. --yes answers it, and says so ("... Yes
    // (--yes)"); else, when kp70ctl reads and writes a terminal, the operator is asked
    // ("[y/N]": y or yes, in either case, is Yes); else it is unanswered, and the question
    // is printed with a word that --yes answers it.
    Answer Ask(const std::string& question);

    // The questions core's rules ask while they apply a change (water mark, 2Color): --yes
    // answers them, and says so; without it they are unanswered, which refuses the change.
    // Safe to call from several threads at once when `quiet` (provisioning: nothing said).
    AskOperator RuleAnswers(bool quiet = false) const;

    void AnswerYes(bool yes) { m_yes = yes; }
    bool Yes() const { return m_yes; }

private:
    CliContext& m_context;
    std::string m_verbName;
    bool m_yes;
};

}  // namespace kp70
