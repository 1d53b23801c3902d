#include "cli/Cli.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <ostream>

#include "core/app/FileLocations.h"
#include "image/StbImageDecoder.h"
#include "platform/ProgramEnvironment.h"

namespace kp70 {

namespace {
// Set from the signal handler (Linux) or the console's control thread (Windows): a
// lock-free atomic flag.
CancelToken g_interrupted;
void OnInterrupt() {
    g_interrupted.Cancel();
}
}  // namespace

InterruptCancels::InterruptCancels() {
    g_interrupted.Reset();
    InstallStopHandler(OnInterrupt);
}

InterruptCancels::~InterruptCancels() {
    RemoveStopHandler();
}

const CancelToken& InterruptCancels::Token() const {
    return g_interrupted;
}

std::string TerminalText(std::string text) {
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 0x20 && byte != 0x7F) || c == '\n' || c == '\t') {
            shown += c;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
        shown += escaped;
    }
    return shown;
}

std::string NoticeText(const CliContext& context, const Notice& notice) {
    std::string text = context.catalogue.Text(notice);
    if (!notice.detail.empty()) text += " (" + notice.detail + ")";
    return TerminalText(std::move(text));
}

int RunCli(int argc, const char* const* argv, CliContext& context) {
    CLI::App app{"kp70ctl: read and write a KP70 printer's settings, logos and firmware",
                 "kp70ctl"};
    app.set_version_flag("--version", std::string("kp70ctl ") + KP70_VERSION_TEXT);
    app.require_subcommand(1);
    // The same options on every system: CLI11 would take "/x" for an option on Windows, where
    // "/path/file" (a path on the current drive) is a file name here.
    app.allow_windows_style_options(false);
    // Logo files may be PNG, JPEG or GIF as well as bitmaps.
    InstallStandardImageDecoders();
    AddPortsCommands(app, context);
    AddSendCommand(app, context);
    AddSetupCommands(app, context);
    AddLogoCommands(app, context);
    AddNetCommands(app, context);
    AddFirmwareCommands(app, context);
    AddServiceCommands(app, context);
    AddStatusCommand(app, context);
#ifdef KP70_MONITOR_VERB
    // Linux only (src/cli/CMakeLists.txt): the HTTP server it answers scrapes with.
    AddMonitorCommand(app, context);
#endif
    // Before the verb runs: a profile that cannot be used, or no folder for it, is said once
    // (the verb then goes on without the stored settings and stores nothing).
    app.parse_complete_callback([&context] {
        for (const Notice& notice : FileNotices({context.profilePath, context.errorLogPath}))
            context.err << "kp70ctl: " << NoticeText(context, notice) << "\n";
    });
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        context.out << app.help();
        return kExitDone;
    } catch (const CLI::CallForAllHelp& e) {
        context.out << app.help("", CLI::AppFormatMode::All);
        return kExitDone;
    } catch (const CLI::CallForVersion& e) {
        context.out << e.what() << "\n";
        return kExitDone;
    } catch (const CLI::ParseError& e) {
        // --help on a subcommand arrives here too, as a success.
        if (e.get_exit_code() == 0) {
            for (const CLI::App* sub = &app; sub;) {
                const auto parsed = sub->get_subcommands();
                if (parsed.empty()) {
                    context.out << sub->help();
                    break;
                }
                sub = parsed.front();
            }
            return kExitDone;
        }
        context.err << "kp70ctl: " << TerminalText(e.what()) << "\n";
        context.err << "Run 'kp70ctl --help' for usage.\n";
        return kExitUsage;
    }
    return context.exitCode;
}

}  // namespace kp70
