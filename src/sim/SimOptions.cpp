#include "sim/SimOptions.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <fstream>
#include <ostream>

namespace kp70sim {

namespace {

bool ParsePort(const std::string& text, int& port) {
    int value = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return false;
    if (value < 0 || value > 65535) return false;
    port = value;
    return true;
}

// "HOST:PORT" of --tcp, or "none".
bool ParseTcp(const std::string& text, SimOptions& options, std::string& why) {
    if (text == "none") {
        options.tcpEnabled = false;
        return true;
    }
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 ||
        !ParsePort(text.substr(colon + 1), options.tcpPort)) {
        why = "--tcp wants HOST:PORT (for example 127.0.0.1:6001, port 0 for a free one), not '" +
              text + "'";
        return false;
    }
    options.tcpHost = text.substr(0, colon);
    options.tcpEnabled = true;
    return true;
}

// "[KIND:]PATH" of --device.
bool ParseDevice(const std::string& text, SimOptions& options, std::string& why) {
    static const std::pair<const char*, SimOptions::DeviceKind> kinds[] = {
        {"serial:", SimOptions::DeviceKind::Serial},
        {"usb:", SimOptions::DeviceKind::Usb},
        {"lpt:", SimOptions::DeviceKind::Parallel},
    };
    std::string path = text;
    options.deviceKind = SimOptions::DeviceKind::Serial;
    for (const auto& [prefix, kind] : kinds) {
        const std::string p(prefix);
        if (text.rfind(p, 0) == 0) {
            path = text.substr(p.size());
            options.deviceKind = kind;
        }
    }
    if (path.empty() || path[0] != '/') {
        why =
            "--device wants [serial:|usb:|lpt:]PATH with an absolute PATH (for example "
            "usb:/dev/g_printer0), not '" +
            text + "'";
        return false;
    }
    options.devicePath = path;
    return true;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

bool ParseReplyRule(const std::string& text, ReplyRule& rule, std::string& why) {
    const auto eq = text.find('=');
    if (eq == std::string::npos) {
        why = "a reply rule is REQUEST=REPLY in hex, as in 1D4945=5F4B5037300A; got '" + text + "'";
        return false;
    }
    ReplyRule parsed;
    if (!ParseHex(Trim(text.substr(0, eq)), parsed.request) || parsed.request.empty()) {
        why = "the request of '" + text + "' is not hex bytes";
        return false;
    }
    if (!ParseHex(Trim(text.substr(eq + 1)), parsed.reply) || parsed.reply.empty()) {
        why = "the reply of '" + text + "' is not hex bytes";
        return false;
    }
    rule = std::move(parsed);
    return true;
}

bool LoadReplyScript(const std::string& path, std::vector<ReplyRule>& rules, std::string& why) {
    std::ifstream in(path);
    if (!in) {
        why = "cannot read the reply script " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string text = Trim(line);
        if (text.empty() || text[0] == '#') continue;
        ReplyRule rule;
        std::string ruleWhy;
        if (!ParseReplyRule(text, rule, ruleWhy)) {
            why = path + ":" + std::to_string(number) + ": " + ruleWhy;
            return false;
        }
        rules.push_back(std::move(rule));
    }
    return true;
}

ParseOutcome ParseSimOptions(int argc, const char* const* argv, SimOptions& options,
                             std::ostream& out, std::ostream& err) {
    CLI::App app{
        "kp70sim: a virtual KP70 printer on a pseudo-terminal and a TCP port. It prints one "
        "line per listener, then \"ready\", and runs until SIGINT or SIGTERM.",
        "kp70sim"};
    std::string tcp;
    std::string pty;
    std::vector<std::string> faults;
    std::vector<std::string> replies;
    std::string script;
    app.add_option("--tcp", tcp,
                   "TCP listener HOST:PORT (default 127.0.0.1:6001; port 0 picks a free one; "
                   "'none' for no listener)");
    app.add_option("--pty", pty,
                   "serial side: a pseudo-terminal linked at PATH (default /tmp/kp70sim/ttyKP70; "
                   "'none' for no pseudo-terminal)");
    app.add_option("--lpt", options.lptPath,
                   "parallel side: a second pseudo-terminal linked at PATH, sending automatic "
                   "status blocks until status back off (1D 61 00)");
    std::string device;
    app.add_option("--device", device,
                   "also answer on an existing device node, [KIND:]PATH: serial: (default) as "
                   "the serial side, usb: as a USB printer (replies escaped), lpt: as the "
                   "parallel side (status blocks); the node is opened again when it comes back "
                   "after it went away");
    app.add_option("--udp", options.udpAddress,
                   "answer discovery (UDP 2918) as printers at the addresses after ADDRESS "
                   "(127.0.0.1: 127.0.0.2, 127.0.0.3, ...)");
    app.add_option("--printers", options.printers, "how many printers answer discovery (1..253)")
        ->check(CLI::Range(1, 253));
    app.add_option("--tcp-printers", options.tcpPrinters,
                   "N more printers over TCP, each with its own memory (state file FILE-ADDRESS "
                   "and output folder DIR/ADDRESS), at the N addresses after the --tcp host on "
                   "its port: 127.0.0.2..N+1 for 127.0.0.1, where --udp 127.0.0.1 --printers N "
                   "announces them")
        ->check(CLI::Range(0, 253));
    app.add_option("--model", options.modelCode, "the model code it behaves as (1..6)")
        ->check(CLI::Range(1, 6));
    app.add_option("--state", options.stateFile, "JSON file where the printer's memory persists");
    app.add_option("--out", options.outDir, "folder for captures and rendered receipts");
    app.add_option("--fault", faults,
                   "repeatable: drop-after=N, stall-after=N, refuse, silent, nak-every=K, "
                   "nak-last, repeat, late=MS, garbage, keep-status");
    app.add_option("--reply", replies, "repeatable: answer REQUEST hex bytes with REPLY (HEX=HEX)");
    app.add_option("--script", script, "file of reply rules, one 'HEX = HEX' a line");
    std::vector<std::string> statusNames;
    app.add_option("--status", statusNames,
                   "repeatable: a status condition at start: paper-end, paper-near-end, "
                   "cover-open, offline, feed-button, mechanical-error, cutter-error, error, "
                   "auto-recoverable-error, drawer-low");
    app.add_option("--control", options.controlPath,
                   "a file of status names (as --status; 'ok' for none) read again whenever "
                   "it changes, so a test can change the status while the printer runs");
    app.add_option("--time-scale", options.timeScale,
                   "multiply every delay of the printer's own (reset, silence, late replies) by "
                   "F, 0 < F <= 1 (default 1)");
    app.set_version_flag("--version", std::string("kp70sim ") + KP70_VERSION_TEXT);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << "\n";
        return ParseOutcome::Exit;
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            out << app.help();
            return ParseOutcome::Exit;
        }
        err << "kp70sim: " << e.what() << "\n";
        return ParseOutcome::Usage;
    }

    std::string why;
    // Written so that NaN fails too.
    if (!(options.timeScale > 0.0 && options.timeScale <= 1.0)) {
        err << "kp70sim: --time-scale wants a factor above 0 and at most 1 (0.1 makes every "
               "delay ten times shorter), not "
            << options.timeScale << "\n";
        return ParseOutcome::Usage;
    }
    if (!tcp.empty() && !ParseTcp(tcp, options, why)) {
        err << "kp70sim: " << why << "\n";
        return ParseOutcome::Usage;
    }
    if (!device.empty() && !ParseDevice(device, options, why)) {
        err << "kp70sim: " << why << "\n";
        return ParseOutcome::Usage;
    }
    if (pty == "none") {
        options.ptyEnabled = false;
    } else if (!pty.empty()) {
        options.ptyPath = pty;
    }
    for (const auto& faultText : faults) {
        if (!ParseFault(faultText, options.faults, why)) {
            err << "kp70sim: " << why << "\n";
            return ParseOutcome::Usage;
        }
    }
    for (const auto& text : replies) {
        ReplyRule rule;
        if (!ParseReplyRule(text, rule, why)) {
            err << "kp70sim: " << why << "\n";
            return ParseOutcome::Usage;
        }
        options.replies.push_back(std::move(rule));
    }
    if (!ApplyStatusNames(statusNames, options.status, why)) {
        err << "kp70sim: --status: " << why << "\n";
        return ParseOutcome::Usage;
    }
    if (!script.empty() && !LoadReplyScript(script, options.replies, why)) {
        err << "kp70sim: " << why << "\n";
        return ParseOutcome::Usage;
    }
    return ParseOutcome::Run;
}

}  // namespace kp70sim
