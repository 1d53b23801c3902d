// kp70ctl send: writes raw bytes to any printer connection and prints, as hex, what the
// printer sent back within --wait milliseconds.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <vector>

#include "cli/Cli.h"
#include "cli/Connection.h"
#include "cli/Verb.h"
#include "core/app/Clock.h"
#include "core/app/HexText.h"
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

int RunSend(const SendOptions& options, Verb& verb) {
    std::vector<std::uint8_t> data;
    if (!options.inFile.empty()) {
        std::ifstream in(options.inFile, std::ios::binary);
        if (!in) verb.Fail("cannot read " + options.inFile);
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (data.empty()) verb.Fail("there are no bytes to send");
    } else if (!ParseHexBytes(options.hex, data)) {
        verb.Refuse("--hex wants pairs of hex digits such as \"1B 40\", not \"" + options.hex +
                    "\"");
    }
    if (data.empty()) verb.Refuse("there are no bytes to send");
    verb.Resolve(options.connection, PrinterNeed::Bytes);

    // The user setup tool's mode: a serial port then runs its receive thread, so what the
    // printer answers arrives in the reply queue.
    const CancelToken& cancel = verb.Cancel();
    LinkRequest request;
    request.toolMode = kToolModeSetup;
    request.replies = true;
    const std::unique_ptr<PrinterLink> link = verb.OpenLink(request);
    const int length = static_cast<int>(data.size());
    const SendResult sent = link->Send(data.data(), length, cancel);
    if (sent.fault == SendFault::Cancelled) verb.Stop(kExitInterrupted);
    if (!sent.Complete(length))
        verb.Fail(verb.Catalogue().Message(msg::kWriteToPort) + " (" +
                  TakenText(sent.taken, length) + ")");
    // Parallel ports and files do not answer through this link.
    std::vector<std::uint8_t> reply;
    if (link->CanAnswer()) {
        Clock& clock = verb.Time();
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
    if (delivery.fault == DeliveryFault::Cancelled) verb.Stop(kExitInterrupted);
    if (!delivery.Delivered())
        verb.Fail(verb.Catalogue().Message(msg::kWriteToPort) + " (" + delivery.detail + ")");

    if (options.json) {
        verb.Json(nlohmann::ordered_json{
            {"sent", sent.taken}, {"receivedCount", reply.size()}, {"received", HexBytes(reply)}});
    } else {
        verb.Result(HexBytes(reply));
    }
    return kExitDone;
}

}  // namespace

void AddSendCommand(CLI::App& app, CliContext& context) {
    auto options = std::make_shared<SendOptions>();
    // Either --hex or --in, checked when the verb runs (both are options CLI11 sees alone).
    auto given = std::make_shared<std::pair<CLI::Option*, CLI::Option*>>();
    CLI::App* command =
        AddVerb(app, context, "send",
                "write raw bytes to a printer and print, as hex, what came back within --wait ms",
                [options, given](Verb& verb) {
                    if (given->first->count() == 0 && given->second->count() == 0)
                        throw CLI::RequiredError("--hex or --in");
                    return RunSend(*options, verb);
                });
    AddConnectionOptions(*command, options->connection);
    CLI::Option* hex =
        command->add_option("--hex", options->hex, "the bytes in hex, e.g. \"1B 40\"");
    CLI::Option* in = command->add_option("--in", options->inFile, "a file whose bytes are sent");
    hex->excludes(in);
    *given = {hex, in};
    command
        ->add_option("--wait", options->waitMs,
                     "how long to collect the reply, in ms (default 500)")
        ->check(CLI::Range(0, 600000));
    command->add_flag("--json", options->json, "print the outcome as JSON");
}

}  // namespace kp70
