// kp70ctl net: the network setting screen on the command line. `search` lists every printer
// that answers the discovery broadcast; `set` sends new network settings to the printer with
// a given MAC address, as "Change Setting" does for a search row; `set-mac` sends them to the
// MAC address 02:5A:3D plus three given bytes, as the service function "Manually change"
// does. The checks, questions and messages are the screen's (NetworkSettingSession).
#include <CLI/CLI.hpp>
#include <iomanip>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>

#include "cli/Cli.h"
#include "cli/Verb.h"
#include "core/app/CancelToken.h"
#include "core/network/NetworkSettingSession.h"
#include "core/network/SetFrameChecks.h"
#include "platform/DatagramSocket.h"

namespace kp70 {

namespace {

struct NetCliOptions {
    std::string broadcast = kDefaultBroadcastAddress;
    int timeoutMs = static_cast<int>(kDiscoveryReceiveMs);
    bool json = false;
    bool yes = false;
    // set and set-mac
    std::string mac;     // set: the printer's MAC address
    std::string macLow;  // set-mac: "XX:XX:XX"
    std::string ip, subnet, gateway, port;
    bool dhcp = false;
};

void PrintRow(std::ostream& out, const std::string& ip, const std::string& port,
              const std::string& subnet, const std::string& gateway, const std::string& mac) {
    out << std::left << std::setw(21) << ip << std::setw(7) << port << std::setw(17) << subnet
        << std::setw(17) << gateway << mac << "\n";
}

// The broadcast address must be a dotted IPv4 address; another ends the verb with 2.
void CheckBroadcast(const NetCliOptions& options, Verb& verb) {
    if (ParseDottedAddress(options.broadcast)) return;
    verb.Refuse(std::string("--broadcast wants a dotted IPv4 address such as ") +
                kDefaultBroadcastAddress + " or 127.255.255.255, not '" + options.broadcast + "'");
}

int RunSearch(const NetCliOptions& options, Verb& verb) {
    CheckBroadcast(options, verb);
    DatagramSocket sockets(verb.Time());
    NetworkSettingSession session(sockets, verb.Time(), options.broadcast, options.timeoutMs);
    const Outcome opened = session.Open();
    verb.Tell(opened.notices);

    std::vector<DiscoveredPrinter> printers;
    const Outcome searched = session.Search(
        verb.Cancel(), [&](const DiscoveredPrinter& printer) { printers.push_back(printer); });
    if (options.json) {
        nlohmann::ordered_json rows = nlohmann::ordered_json::array();
        for (const DiscoveredPrinter& p : printers) {
            rows.push_back({{"address", DottedText(p.settings.address)},
                            {"port", p.settings.port},
                            {"subnet", p.subnet},
                            {"gateway", p.gateway},
                            {"mac", p.mac},
                            {"dhcp", p.settings.dhcp}});
        }
        verb.Json(rows);
    } else {
        std::ostringstream table;
        if (!printers.empty())
            PrintRow(table, kPrinterColumns[0], kPrinterColumns[1], kPrinterColumns[2],
                     kPrinterColumns[3], kPrinterColumns[4]);
        for (const DiscoveredPrinter& p : printers)
            PrintRow(table, p.ip, p.port, p.subnet, p.gateway, p.mac);
        verb.Context().out << table.str();
    }
    const int exitCode = verb.Finish(searched);
    return opened.ok() ? exitCode : kExitFailed;
}

int RunChange(ChangeKind kind, const NetCliOptions& options, Verb& verb) {
    verb.AnswerYes(options.yes);
    CheckBroadcast(options, verb);
    SettingInput input;
    input.address = options.ip;
    input.subnet = options.subnet;
    input.gateway = options.gateway;
    input.port = options.port;
    input.dhcp = options.dhcp;
    input.mac = options.mac;
    if (kind == ChangeKind::ManualMac) {
        // "4D:5E:6F": the three MAC boxes.
        std::istringstream boxes(options.macLow);
        for (std::string& box : input.macLow) std::getline(boxes, box, ':');
        std::string rest;
        if (std::getline(boxes, rest) && !rest.empty()) input.macLow[2] += ":" + rest;
    }
    const SetFrameCheck check = CheckSetFrame(kind, input);
    if (!check.ok()) verb.Refuse(NoticeText(verb.Context(), check.refusal));
    verb.Confirm(NoticeText(verb.Context(), NetworkSettingSession::ChangeQuestion(kind)));

    DatagramSocket sockets(verb.Time());
    NetworkSettingSession session(sockets, verb.Time(), options.broadcast, options.timeoutMs);
    const Outcome opened = session.Open();
    verb.Tell(opened.notices);
    const int exitCode = verb.Finish(session.Change(kind, *check.frame, verb.Cancel()));
    return opened.ok() ? exitCode : kExitFailed;
}

void AddCommonOptions(CLI::App& verb, NetCliOptions& options) {
    verb.add_option("--broadcast", options.broadcast,
                    "where the frames go (default 255.255.255.255; 127.255.255.255 reaches "
                    "virtual printers on this PC)");
    verb.add_option("--timeout", options.timeoutMs,
                    "how long each receive waits for a printer's frame, in ms (default 1000)")
        ->check(CLI::Range(10, 60000));
}

void AddSettingOptions(CLI::App& verb, NetCliOptions& options) {
    verb.add_option("--ip", options.ip, "the printer's new IPv4 address")->required();
    verb.add_option("--subnet", options.subnet, "the new subnet mask")->required();
    verb.add_option("--gateway", options.gateway, "the new gateway address")->required();
    verb.add_option("--port", options.port, "the new TCP port")->required();
    verb.add_flag("--dhcp", options.dhcp, "the printer takes its address by DHCP");
    verb.add_flag("--yes", options.yes,
                  "answer Yes to \"Do you want to change the Network Settings?\"");
    AddCommonOptions(verb, options);
}

}  // namespace

void AddNetCommands(CLI::App& app, CliContext& context) {
    CLI::App* net = app.add_subcommand(
        "net", "find printers on the network and change their network settings (UDP 2918)");
    net->require_subcommand(1);

    auto search = std::make_shared<NetCliOptions>();
    CLI::App* searchVerb =
        AddVerb(*net, context, "search", "list every printer that answers the discovery broadcast",
                [search](Verb& verb) { return RunSearch(*search, verb); });
    searchVerb->add_flag("--json", search->json,
                         "print a JSON array of {address, port, subnet, gateway, mac, dhcp}");
    AddCommonOptions(*searchVerb, *search);

    auto set = std::make_shared<NetCliOptions>();
    CLI::App* setVerb = AddVerb(
        *net, context, "set", "send new network settings to the printer with the MAC address given",
        [set](Verb& verb) { return RunChange(ChangeKind::FromRow, *set, verb); });
    setVerb->add_option("--mac", set->mac, "the printer's MAC address, as 00:1A:2B:3C:4D:5E")
        ->required();
    AddSettingOptions(*setVerb, *set);

    auto setMac = std::make_shared<NetCliOptions>();
    CLI::App* setMacVerb =
        AddVerb(*net, context, "set-mac",
                "service use: send new network settings, and the MAC address 02:5A:3D:LOW3, to the "
                "printer that takes them",
                [setMac](Verb& verb) { return RunChange(ChangeKind::ManualMac, *setMac, verb); });
    setMacVerb->add_option("low3", setMac->macLow, "the last three MAC bytes, as 4D:5E:6F")
        ->required();
    AddSettingOptions(*setMacVerb, *setMac);
}

}  // namespace kp70
