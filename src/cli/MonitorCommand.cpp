// kp70ctl monitor: a long-running exporter. It polls many network printers for their status
// in rounds (core's FleetMonitor over a link of each printer's own per poll) and answers
// Prometheus's scrapes of /metrics over HTTP (cpp-httplib) on the one address given.
#include <arpa/inet.h>
#include <httplib.h>
#include <sys/socket.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <locale>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>

#include "cli/Cli.h"
#include "cli/Connection.h"
#include "cli/Verb.h"
#include "core/app/Clock.h"
#include "core/monitor/FleetMonitor.h"
#include "core/monitor/StatusPoll.h"
#include "core/monitor/TargetList.h"
#include "core/network/NetworkSettingSession.h"
#include "core/network/SetFrameChecks.h"
#include "core/service/ParallelRunner.h"
#include "core/status/StatusSession.h"
#include "core/transport/PrinterLink.h"
#include "platform/DatagramSocket.h"

namespace kp70 {

namespace {

// Polls at once unless --jobs says otherwise: a healthy printer takes about a tenth of a
// second to connect and answer, so 64 poll a few hundred printers a second, and 64 silent
// ones still leave none waiting.
constexpr int kDefaultJobs = 64;
// Scrapes are few (one per Prometheus server every few seconds); these threads answer them.
constexpr int kHttpThreads = 4;
// With --discover, the network is searched again this often for printers that came since.
constexpr std::int64_t kRediscoverMs = 60000;

struct MonitorOptions {
    std::vector<std::string> nets;
    bool discover = false;
    std::string broadcast = kDefaultBroadcastAddress;
    std::string targets;
    std::string device;
    std::string listen;
    double intervalSeconds = 5;
    int timeoutMs = StatusSession::kDefaultAnswerBoundMs;
    int jobs = kDefaultJobs;
};

// Where the exporter listens: a numeric address, so exactly that one address is bound.
struct ListenAddress {
    std::string host;  // "127.0.0.1", "::1"
    int port = 0;      // 0: any free port, told when listening
    std::string Url(int boundPort) const {
        const bool v6 = host.find(':') != std::string::npos;
        return "http://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(boundPort);
    }
};

bool ParseListen(const std::string& text, ListenAddress& listen, std::string& why) {
    why = "--listen " + text +
          ": give ADDRESS:PORT with a numeric address, such as 127.0.0.1:9470, [::1]:9470 or "
          "0.0.0.0:9470 for every address (port 0 picks a free one)";
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 == text.size()) return false;
    std::string host = text.substr(0, colon);
    const std::string portText = text.substr(colon + 1);
    if (portText.size() > 5 || portText.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int port = std::stoi(portText);
    if (port > 65535) return false;
    unsigned char address[16];
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        if (inet_pton(AF_INET6, host.c_str(), address) != 1) return false;
    } else if (inet_pton(AF_INET, host.c_str(), address) != 1) {
        return false;
    }
    listen = {host, port};
    return true;
}

std::string PrintersText(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " printer" : " printers");
}

std::string SecondsText(double seconds) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << seconds << " s";
    return text.str();
}

// The printers the monitor watches and the connection each is polled over. Changed by the
// thread that reads the targets file or searches the network, read by the poll workers.
class Fleet {
public:
    void Set(std::vector<MonitoredPrinter> printers, std::map<std::string, PrinterChoice> choices) {
        std::lock_guard lock(m_mutex);
        m_printers = std::move(printers);
        m_choices = std::move(choices);
    }
    std::vector<MonitoredPrinter> Printers() const {
        std::lock_guard lock(m_mutex);
        return m_printers;
    }
    bool Choice(const std::string& name, PrinterChoice& choice) const {
        std::lock_guard lock(m_mutex);
        const auto found = m_choices.find(name);
        if (found == m_choices.end()) return false;
        choice = found->second;
        return true;
    }
    std::map<std::string, PrinterChoice> Choices() const {
        std::lock_guard lock(m_mutex);
        return m_choices;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<MonitoredPrinter> m_printers;
    std::map<std::string, PrinterChoice> m_choices;
};

// The verb's lines on stderr from several threads (the rounds, the poll workers, the HTTP
// server, discovery), one whole line at a time.
class Log {
public:
    explicit Log(Verb& verb) : m_verb(verb) {}
    void Say(const std::string& line) {
        std::lock_guard lock(m_mutex);
        m_verb.Warn(line);
        m_verb.Context().err << std::flush;
    }

private:
    std::mutex m_mutex;
    Verb& m_verb;
};

// A printer as given (--net, a targets line, a discovery answer) checked as --net is for
// every other verb, under the name its metrics carry: "ADDRESS:PORT".
bool Resolve(const std::string& text, const MonitorOptions& o, const CliContext& context,
             std::string& name, PrinterChoice& choice, std::string& why) {
    ConnectionOptions connection;
    connection.net = text;
    connection.device = o.device;
    if (!ResolveConnection(connection, choice, context.catalogue, why)) return false;
    name = choice.settings.networkAddress + ":" + std::to_string(choice.settings.networkPort);
    return true;
}

// The printers a list of (name, choice, mac) makes, each once; the second of two that name
// the same printer is told and left out.
struct Candidate {
    std::string name;
    PrinterChoice choice;
    std::string mac;
    std::string where;  // "--net 10.0.0.5", "targets:3"
};
void Distinct(const std::vector<Candidate>& candidates, Log& log,
              std::vector<MonitoredPrinter>& printers,
              std::map<std::string, PrinterChoice>& choices) {
    std::vector<std::string> names;
    for (const Candidate& c : candidates) names.push_back(c.name);
    const std::vector<std::size_t> first = FirstOfEachPrinter(names);
    for (std::size_t i = 0, next = 0; i < candidates.size(); ++i) {
        const Candidate& c = candidates[i];
        if (next < first.size() && first[next] == i) {
            printers.push_back({c.name, c.mac, c.choice.deviceEntry});
            choices[c.name] = c.choice;
            ++next;
        } else {
            log.Say(c.where + ": " + c.name + " is given more than once; it is polled once");
        }
    }
}

// The printers of a targets file's text; false, each bad line told, when one does not parse.
bool TargetsOf(const std::string& text, const std::string& path, const MonitorOptions& o,
               const CliContext& context, Log& log, std::vector<MonitoredPrinter>& printers,
               std::map<std::string, PrinterChoice>& choices) {
    std::vector<Candidate> candidates;
    bool ok = true;
    for (const TargetLine& line : ReadTargetLines(text)) {
        Candidate c;
        c.where = path + ":" + std::to_string(line.number);
        std::string why = line.problem;
        if (!why.empty() || !Resolve(line.text, o, context, c.name, c.choice, why)) {
            log.Say(c.where + ": " + why);
            ok = false;
            continue;
        }
        candidates.push_back(std::move(c));
    }
    if (!ok) return false;
    Distinct(candidates, log, printers, choices);
    return true;
}

// One discovery search: the printers that answered, each with its MAC address. The set-up
// failures are told when `tell` is set (the first search), so a broken network is said once.
std::vector<Candidate> Discover(const MonitorOptions& o, CliContext& context, Log& log,
                                const CancelToken& cancel, bool tell) {
    DatagramSocket sockets(*context.clock);
    NetworkSettingSession session(sockets, *context.clock, o.broadcast);
    const Outcome opened = session.Open();
    if (tell) {
        for (const Notice& notice : opened.notices) log.Say(NoticeText(context, notice));
    }
    std::vector<Candidate> found;
    session.Search(cancel, [&](const DiscoveredPrinter& printer) {
        Candidate c;
        c.where = "discovery";
        c.mac = printer.mac;
        std::string why;
        const std::string net =
            DottedText(printer.settings.address) + ":" + std::to_string(printer.settings.port);
        if (Resolve(net, o, context, c.name, c.choice, why)) {
            found.push_back(std::move(c));
        } else if (tell) {
            log.Say("discovery: " + printer.mac + " at " + net + ": " + why);
        }
    });
    return found;
}

// Binds the HTTP server to the address given, and only there. The port the system gave,
// or -1 with `why`.
int Bind(httplib::Server& server, const ListenAddress& listen, const std::string& text,
         std::string& why) {
    // SO_REUSEADDR only: a restarted exporter gets its port back at once, while another
    // program already listening there keeps it (the library's default, SO_REUSEPORT, would
    // let two exporters share the port and answer scrapes by turns).
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    errno = 0;
    int port = listen.port;
    if (port == 0) {
        port = server.bind_to_any_port(listen.host);
    } else if (!server.bind_to_port(listen.host, port)) {
        port = -1;
    }
    if (port >= 0) return port;
    const int error = errno;
    why = "--listen " + text + ": ";
    if (error == EADDRINUSE) {
        why += "the port is in use by another program; stop it or choose another port";
    } else if (error == EADDRNOTAVAIL) {
        why += "not an address of this machine";
    } else if (error == EACCES) {
        why += "a port below 1024 needs privileges; choose a port of 1024 or above";
    } else {
        why += std::string("cannot listen there (") +
               (error ? std::strerror(error) : "unknown error") + ")";
    }
    return -1;
}

int RunMonitor(const MonitorOptions& o, Verb& verb) {
    CliContext& context = verb.Context();
    const int sources =
        (o.nets.empty() ? 0 : 1) + (o.discover ? 1 : 0) + (o.targets.empty() ? 0 : 1);
    if (sources != 1) {
        verb.Refuse(sources == 0
                        ? "say which printers to watch: --net HOST[:PORT] (repeat it), "
                          "--discover or --targets FILE"
                        : "give the printers one way only: --net, --discover or --targets");
    }
    if (o.discover && !ParseDottedAddress(o.broadcast)) {
        verb.Refuse(std::string("--broadcast wants a dotted IPv4 address such as ") +
                    kDefaultBroadcastAddress + " or 127.255.255.255, not '" + o.broadcast + "'");
    }
    ListenAddress listen;
    std::string why;
    if (!ParseListen(o.listen, listen, why)) verb.Refuse(why);
    const auto intervalMs = static_cast<std::int64_t>(std::llround(o.intervalSeconds * 1000.0));

    Log log(verb);
    Fleet fleet;
    std::optional<TargetsFile> targetsFile;
    if (!o.nets.empty()) {
        std::vector<Candidate> candidates;
        for (const std::string& net : o.nets) {
            Candidate c;
            c.where = "--net " + net;
            if (!Resolve(net, o, context, c.name, c.choice, why)) verb.Refuse(why);
            candidates.push_back(std::move(c));
        }
        std::vector<MonitoredPrinter> printers;
        std::map<std::string, PrinterChoice> choices;
        Distinct(candidates, log, printers, choices);
        fleet.Set(std::move(printers), std::move(choices));
    } else if (!o.targets.empty()) {
        targetsFile.emplace(o.targets);
        std::string text;
        if (targetsFile->Check(text, why) == TargetsFile::Look::Unreadable)
            verb.Refuse("--targets " + o.targets + ": cannot be read (" + why + ")");
        std::vector<MonitoredPrinter> printers;
        std::map<std::string, PrinterChoice> choices;
        if (!TargetsOf(text, o.targets, o, context, log, printers, choices)) verb.Stop(kExitUsage);
        fleet.Set(std::move(printers), std::move(choices));
    }

    httplib::Server server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kHttpThreads); };
    // Scrapes send no body; anything larger than a few headers is no scrape.
    server.set_payload_max_length(4096);
    const int port = Bind(server, listen, o.listen, why);
    if (port < 0) verb.Fail(why);

    // Ctrl+C, SIGTERM (the service manager's stop) and SIGHUP end the run; that is how the
    // exporter is meant to end, so it ends with exit status 0.
    const CancelToken& stop = verb.Cancel();
    Clock& clock = *context.clock;
    if (o.discover) {
        std::vector<MonitoredPrinter> printers;
        std::map<std::string, PrinterChoice> choices;
        Distinct(Discover(o, context, log, stop, true), log, printers, choices);
        log.Say("discovery on " + o.broadcast + " found " + PrintersText(printers.size()));
        fleet.Set(std::move(printers), std::move(choices));
    }

    FleetMonitor monitor(
        clock,
        [&]() -> FleetMonitor::Poll {
            // Each worker has streams and links of its own (a CPorts and a socket of its own,
            // no error log: a network link logs nothing), pointed at the printer of each poll
            // as the connection screen points the one port object. What the transport says
            // is told under the printer's name.
            struct Worker {
                std::ostringstream out, err;
                CliContext context;
                CliLinks links;
                explicit Worker(const CliContext& shared)
                    : context{out, err, shared.catalogue, {}, {}, shared.clock, shared.devices},
                      links(context) {}
            };
            auto worker = std::make_shared<Worker>(context);
            return [&, worker](const MonitoredPrinter& printer, const CancelToken& cancel) {
                PrinterChoice choice;
                if (!fleet.Choice(printer.name, choice)) return PollResult{};
                worker->links.Factory().Settings() = choice.settings;
                PollResult result =
                    PollPrinterStatus(worker->links.Factory(), clock, cancel, o.timeoutMs);
                if (!worker->err.str().empty()) {
                    log.Say(printer.name + ": " + TerminalText(worker->err.str()));
                    worker->err.str("");
                }
                return result;
            };
        },
        o.jobs, intervalMs,
        [&](const MonitoredPrinter& printer, const PollResult& result) {
            log.Say(printer.name + ": " + (result.answered ? "answers again" : result.problem));
        });
    monitor.SetPrinters(fleet.Printers());

    server.Get("/metrics", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(monitor.Metrics(), "text/plain; version=0.0.4; charset=utf-8");
    });
    server.Get("/healthz", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("ok\n", "text/plain; charset=utf-8");
    });
    server.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("kp70ctl monitor: the printers' metrics are at /metrics\n",
                             "text/plain; charset=utf-8");
    });
    std::thread http([&] {
        if (!server.listen_after_bind() && !stop.Cancelled())
            log.Say("the HTTP server stopped answering scrapes; restart kp70ctl monitor");
    });

    // With --discover, printers that come later join; those found once stay, so a printer
    // switched off shows as down instead of vanishing.
    std::thread rediscover;
    if (o.discover) {
        rediscover = std::thread([&] {
            while (SleepUnlessCancelled(clock, kRediscoverMs, stop)) {
                const std::vector<Candidate> found = Discover(o, context, log, stop, false);
                if (stop.Cancelled()) break;
                std::vector<MonitoredPrinter> printers = fleet.Printers();
                std::map<std::string, PrinterChoice> choices = fleet.Choices();
                bool changed = false;
                for (const Candidate& c : found) {
                    auto same =
                        std::find_if(printers.begin(), printers.end(),
                                     [&](const MonitoredPrinter& p) { return p.name == c.name; });
                    if (same == printers.end()) {
                        log.Say("discovery found " + c.name + " (" + c.mac + ")");
                        printers.push_back({c.name, c.mac, c.choice.deviceEntry});
                        choices[c.name] = c.choice;
                        changed = true;
                    } else if (same->mac != c.mac) {
                        same->mac = c.mac;
                        changed = true;
                    }
                }
                if (!changed) continue;
                fleet.Set(printers, std::move(choices));
                monitor.SetPrinters(printers);
            }
        });
    }

    // On stdout, at once: a service manager's log or a test waits for where it listens.
    verb.Result("kp70ctl monitor: " + PrintersText(monitor.PrinterCount()) + " every " +
                SecondsText(o.intervalSeconds) + "; metrics at " + listen.Url(port) + "/metrics");
    context.out << std::flush;

    monitor.Run(stop, [&] {
        if (!targetsFile) return;
        std::string text;
        std::string problem;
        switch (targetsFile->Check(text, problem)) {
            case TargetsFile::Look::Unchanged:
                return;
            case TargetsFile::Look::Unreadable:
                log.Say(o.targets + ": cannot be read (" + problem + "); " +
                        PrintersText(monitor.PrinterCount()) + " stay watched");
                return;
            case TargetsFile::Look::Changed:
                break;
        }
        std::vector<MonitoredPrinter> printers;
        std::map<std::string, PrinterChoice> choices;
        if (!TargetsOf(text, o.targets, o, context, log, printers, choices)) {
            log.Say(o.targets + ": not taken; " + PrintersText(monitor.PrinterCount()) +
                    " stay watched until the file is put right");
            return;
        }
        log.Say(o.targets + ": " + PrintersText(printers.size()) + " from now on");
        // The monitor first: a poll still under way of a printer that left then counts for
        // nothing. The printers that joined are polled from this round on, after both.
        monitor.SetPrinters(printers);
        fleet.Set(printers, std::move(choices));
    });

    server.stop();
    http.join();
    if (rediscover.joinable()) rediscover.join();
    log.Say("stopped");
    return kExitDone;
}

}  // namespace

void AddMonitorCommand(CLI::App& app, CliContext& context) {
    auto options = std::make_shared<MonitorOptions>();
    CLI::App* verb = AddVerb(
        app, context, "monitor",
        "watch many network printers' status and serve it to Prometheus over HTTP (/metrics, "
        "/healthz) until Ctrl+C or SIGTERM",
        [options](Verb& run) { return RunMonitor(*options, run); });
    verb->add_option("--net", options->nets, "a printer HOST[:PORT]; repeat for each printer");
    auto* discover = verb->add_flag("--discover", options->discover,
                                    "every printer that answers the discovery broadcast, "
                                    "searched again every minute");
    verb->add_option("--broadcast", options->broadcast,
                     "where --discover broadcasts (default 255.255.255.255)")
        ->needs(discover);
    verb->add_option("--targets", options->targets,
                     "a file of printers, one HOST[:PORT] a line ('#' comments), read again "
                     "whenever it changes");
    verb->add_option("--device", options->device,
                     "the DEVICE entry of the printers (default \"KP70 E-II\")");
    verb->add_option("--listen", options->listen,
                     "where to answer scrapes: ADDRESS:PORT, a numeric address (127.0.0.1:9470, "
                     "[::1]:9470, 0.0.0.0:9470); port 0 picks a free one")
        ->required();
    verb->add_option("--interval", options->intervalSeconds,
                     "seconds between two polls of a printer (default 5)")
        ->check(CLI::Range(0.1, 86400.0));
    verb->add_option("--timeout", options->timeoutMs,
                     "how long a printer has to take the connection and to send each answer, "
                     "in ms (default 1000)")
        ->check(CLI::Range(1, 600000));
    verb->add_option("--jobs", options->jobs, "how many printers are polled at once (default 64)")
        ->check(CLI::Range(1, 1024));
}

}  // namespace kp70
