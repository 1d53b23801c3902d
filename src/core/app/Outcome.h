#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/app/BilingualText.h"

namespace kp70 {

// The icon of the box a notice is shown in.
enum class MessageIcon { None, Exclamation, Question, Stop, Information };

// Something the operator is told: a catalogue message (with its value where the entry takes
// one) or a literal text. Core never shows anything itself: it returns notices, and the
// screens show them in boxes while kp70ctl prints them.
struct Notice {
    int number = -1;  // catalogue entry; -1 when literal holds the text
    MessageIcon icon = MessageIcon::None;
    bool hasValue =
        false;  // the %d of msg::kOpenPortOrFile, msg::kLptWriteError and msg::kNvBudget
    int value = 0;
    std::string literal;     // a text that is not in the catalogue ("GetValueCmd Fail!")
    BilingualText text{};    // a text of the tool's own in both languages, when set
    std::string secondLine;  // shown under the text in the box too (a parallel port's error)
    std::string detail;      // technical detail for the command line and the log only
    std::string caption;     // the box's caption; empty for the application's caption

    static Notice Message(int number, MessageIcon icon = MessageIcon::None) {
        Notice notice;
        notice.number = number;
        notice.icon = icon;
        return notice;
    }
    static Notice WithValue(int number, int value, MessageIcon icon = MessageIcon::None) {
        Notice notice = Message(number, icon);
        notice.hasValue = true;
        notice.value = value;
        return notice;
    }
    static Notice Literal(std::string text, MessageIcon icon = MessageIcon::None) {
        Notice notice;
        notice.literal = std::move(text);
        notice.icon = icon;
        return notice;
    }

    friend bool operator==(const Notice& a, const Notice& b) {
        auto same = [](const char* x, const char* y) {
            return x == y || (x && y && std::strcmp(x, y) == 0);
        };
        return a.number == b.number && a.icon == b.icon && a.hasValue == b.hasValue &&
               a.value == b.value && a.literal == b.literal && same(a.text.english, b.text.english);
    }
};

// The operator's actions a screen offers (its buttons), as bits. Each tool names its own;
// an outcome says which of them are available once the operation has ended, so a screen
// does not work that out from the port kind.
using ActionSet = std::uint32_t;

enum class OutcomeStatus {
    Done,         // finished
    Waiting,      // sent; the answer is still being collected (a parallel-port read)
    NothingToDo,  // nothing needed sending: nothing sent, nothing to show
    Refused,      // the input was refused before anything was sent
    Failed,       // the operation failed; the notices say why
    Cancelled,    // the operator stopped it
};

// What one operation of a core session did: how it ended, what to tell the operator, in
// order, and what the screen offers afterwards.
struct Outcome {
    OutcomeStatus status = OutcomeStatus::Done;
    std::vector<Notice> notices;
    ActionSet enabled = 0;          // the actions available afterwards
    bool closeScreen = false;       // the screen closes once the notices were shown
    bool connectionClosed = false;  // the connection was closed and stays closed
    int count = 0;                  // items handled (images uploaded or printed)

    bool ok() const {
        return status == OutcomeStatus::Done || status == OutcomeStatus::Waiting ||
               status == OutcomeStatus::NothingToDo;
    }
    static Outcome Failure(Notice notice) {
        Outcome outcome;
        outcome.status = OutcomeStatus::Failed;
        outcome.notices.push_back(std::move(notice));
        return outcome;
    }
};

}  // namespace kp70
