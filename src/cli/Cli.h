#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "core/app/CancelToken.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/Outcome.h"

namespace CLI {
class App;
}

namespace kp70 {

class Clock;
class DeviceEnumerator;

// Exit statuses of kp70ctl.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

// What every verb needs: the output streams, the catalogue in the locale's language, the
// profile path and the system seams (replaced by doubles in tests).
struct CliContext {
    std::ostream& out;
    std::ostream& err;
    MessageCatalogue catalogue;
    std::string profilePath;   // kp70tool.INI (core/app/FileLocations.h says where)
    std::string errorLogPath;  // error.log, next to the profile or in the state folder
    Clock* clock = nullptr;
    DeviceEnumerator* devices = nullptr;
    int exitCode = kExitDone;  // set by a verb's callback
    // Whether standard input and standard error are a terminal: only then is the operator
    // asked a question, or a progress line redrawn in place.
    bool stdinIsTerminal = false;
    bool stderrIsTerminal = false;
};

// A text as kp70ctl prints it: a catalogue text's "\r\n" line breaks become "\n", and every
// other control character is shown as \xHH, so a file name, a profile entry or a printer's
// answer cannot steer the terminal (an escape sequence, a carriage return that overwrites
// the line). Line breaks and tabs stay; a text already shown so comes back the same.
std::string TerminalText(std::string text);
// A notice as kp70ctl prints it: the catalogue text (or literal text) in the locale's
// language with its line breaks, the second line, and the technical detail in brackets.
std::string NoticeText(const CliContext& context, const Notice& notice);

// While one lives, Ctrl+C (and SIGTERM, SIGHUP; on Windows Ctrl+Break and closing the
// console) cancels its token instead of ending kp70ctl, so a long operation (an upload, a firmware
// download) stops between two of its steps, or at once when the printer takes nothing, and leaves
// the printer in a known state; the previous handlers come back afterwards.
class InterruptCancels {
public:
    InterruptCancels();
    ~InterruptCancels();
    InterruptCancels(const InterruptCancels&) = delete;
    InterruptCancels& operator=(const InterruptCancels&) = delete;
    const CancelToken& Token() const;
};

// Runs kp70ctl with the given arguments; returns the exit status.
int RunCli(int argc, const char* const* argv, CliContext& context);

// Each group of verbs registers its subcommands here.
void AddPortsCommands(CLI::App& app, CliContext& context);
void AddSendCommand(CLI::App& app, CliContext& context);
void AddSetupCommands(CLI::App& app, CliContext& context);
void AddLogoCommands(CLI::App& app, CliContext& context);
void AddNetCommands(CLI::App& app, CliContext& context);
void AddFirmwareCommands(CLI::App& app, CliContext& context);
void AddServiceCommands(CLI::App& app, CliContext& context);
void AddStatusCommand(CLI::App& app, CliContext& context);
// Built on Linux only (KP70_MONITOR_VERB): kp70ctl.exe has no monitor.
void AddMonitorCommand(CLI::App& app, CliContext& context);

}  // namespace kp70
