// kp70ctl send: writes raw bytes to any printer connection and prints, as hex, what the
// printer sent back within --wait milliseconds.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <vector>

#include "cli/Cli.h"
#include "cli/Connection.h"
#include "core/app/Clock.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

namespace {

constexpr int kDefaultWaitMs = 500;
// How often the reply queue is looked at while waiting.
constexpr int kPollMs = 10;

struct SendOptions {
    ConnectionOptions connection;
    std::string hex;
    std::string inFile;
    int waitMs = kDefaultWaitMs;
    bool json = false;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Pairs of hex digits, each optionally prefixed "0x", separated by nothing, blanks, commas
// or colons: "1B 40", "1b40", "0x1B,0x40".
bool ParseHexBytes(const std::string& text, std::vector<std::uint8_t>& bytes) {
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == ',' || c == ':') {
            ++i;
            continue;
        }
        if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
        if (i + 1 >= text.size()) return false;
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        i += 2;
    }
    return true;
}

std::string HexText(const std::vector<std::uint8_t>& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

int RunSend(const SendOptions& options, CliContext& context) {
    std::vector<std::uint8_t> data;
    if (!options.inFile.empty()) {
        std::ifstream in(options.inFile, std::ios::binary);
        if (!in) {
            context.err << "kp70ctl send: cannot read " << options.inFile << "\n";
            return kExitFailed;
        }
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } else if (!ParseHexBytes(options.hex, data)) {
        context.err << "kp70ctl send: --hex wants pairs of hex digits such as \"1B 40\", not \""
                    << options.hex << "\"\n";
        return kExitUsage;
    }
    if (data.empty()) {
        context.err << "kp70ctl send: there are no bytes to send\n";
        return options.inFile.empty() ? kExitUsage : kExitFailed;
    }

    PrinterChoice choice;
    std::string why;
    if (!ResolveConnection(options.connection, choice, context.catalogue, why)) {
        context.err << "kp70ctl send: " << why << "\n";
        return kExitUsage;
    }

    // The user setup tool's mode: a serial port then runs its receive thread, so what the
    // printer answers arrives in the reply queue.
    CliLinks links(context);
    if (!links.Choose(choice, why)) {
        context.err << why << "\n";
        return kExitFailed;
    }
    InterruptCancels interrupt;
    const CancelToken& cancel = interrupt.Token();
    LinkRequest request;
    request.toolMode = kToolModeSetup;
    request.replies = true;
    const std::unique_ptr<PrinterLink> link = links.OpenLink(request, cancel, why);
    if (!link) {
        context.err << why << "\n";
        return kExitFailed;
    }
    const int length = static_cast<int>(data.size());
    const SendResult sent = link->Send(data.data(), length, cancel);
    if (sent.fault == SendFault::Cancelled) return kExitInterrupted;
    if (!sent.Complete(length)) {
        context.err << context.catalogue.Message(msg::kWriteToPort) << " ("
                    << TakenText(sent.taken, length) << ")\n";
        return kExitFailed;
    }
    // Parallel ports and files do not answer through this link.
    std::vector<std::uint8_t> reply;
    if (link->CanAnswer()) {
        Clock& clock = *context.clock;
        const std::int64_t deadline = clock.Now() + options.waitMs;
        for (;;) {
            link->RequestReplies();
            link->TakeReplies(reply);
            const std::int64_t left = deadline - clock.Now();
            if (left <= 0 || cancel.Cancelled()) break;
            clock.SleepFor(std::min<std::int64_t>(left, kPollMs));
        }
    }
    // What came back within the wait is the answer; then the printer must have the bytes.
    const Delivery delivery = link->WaitDelivered(cancel);
    link->Close();
    if (delivery.fault == DeliveryFault::Cancelled) return kExitInterrupted;
    if (!delivery.Delivered()) {
        context.err << context.catalogue.Message(msg::kWriteToPort) << " (" << delivery.detail
                    << ")\n";
        return kExitFailed;
    }
    const int written = sent.taken;

    if (options.json) {
        context.out << "{\"sent\": " << written << ", \"receivedCount\": " << reply.size()
                    << ", \"received\": \"" << HexText(reply) << "\"}\n";
    } else {
        context.out << HexText(reply) << "\n";
    }
    return kExitDone;
}

}  // namespace

void AddSendCommand(CLI::App& app, CliContext& context) {
    auto options = std::make_shared<SendOptions>();
    CLI::App* verb = app.add_subcommand(
        "send", "write raw bytes to a printer and print, as hex, what came back within --wait ms");
    AddConnectionOptions(*verb, options->connection);
    auto* hex = verb->add_option("--hex", options->hex, "the bytes in hex, e.g. \"1B 40\"");
    auto* in = verb->add_option("--in", options->inFile, "a file whose bytes are sent");
    hex->excludes(in);
    verb->add_option("--wait", options->waitMs,
                     "how long to collect the reply, in ms (default 500)")
        ->check(CLI::Range(0, 600000));
    verb->add_flag("--json", options->json, "print the outcome as JSON");
    verb->callback([options, hex, in, &context] {
        if (hex->count() == 0 && in->count() == 0) {
            throw CLI::RequiredError("--hex or --in");
        }
        context.exitCode = RunSend(*options, context);
    });
}

}  // namespace kp70
