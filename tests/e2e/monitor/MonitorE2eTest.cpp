// kp70ctl monitor as a process against kp70sim printers, scraped by a real Prometheus server
// that the test starts on loopback with a data folder of its own: a status set on a printer
// shows in Prometheus's query API and clears again, a printer that goes away shows up 0, one
// added to the targets file appears, and the alert rules load. The whole test runs in a
// network namespace of its own where the system allows it, so nothing else meets its
// listeners or its discovery broadcasts.
#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <thread>

#include "support/ChildProcess.h"
#include "support/IsolatedNetwork.h"
#include "support/SimProcess.h"

namespace kp70 {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::SimProcess;

// Bounds of the waits on other processes, generous for a loaded machine; the conditions
// come true within a few seconds when all is well.
constexpr auto kBound = 60s;

// Asks `done` every 100 ms until it is true or `timeout` passes; its last answer.
bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout = kBound) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return done();
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

// A TCP port nobody listens at on loopback, for Prometheus's own listener.
int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
    getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size);
    close(fd);
    return ntohs(at.sin_port);
}

void Replace(const std::string& path, const std::string& text) {
    test::WriteFile(path + ".new", text);
    std::filesystem::rename(path + ".new", path);
}

// One virtual printer on 127.0.0.1 whose status a control file sets.
class Printer {
public:
    bool Start() { return m_sim.Start({"--control", Control()}); }
    std::string Net() const { return "127.0.0.1:" + std::to_string(m_sim.TcpPort()); }
    // Sets the status and waits until the printer took it.
    bool SetStatus(const std::string& names) {
        Replace(Control(), names + "\n");
        return Eventually(
            [&] { return m_sim.Log().find("status " + names + "\n") != std::string::npos; });
    }
    void Stop() { m_sim.Stop(); }
    std::string Log() const { return m_sim.Log(); }

private:
    std::string Control() const { return m_sim.Dir().File("status.txt"); }
    SimProcess m_sim;
};

// A Prometheus server on loopback that scrapes one exporter every second and evaluates
// the alert rules.
class Prometheus {
public:
    bool Start(const test::TempDir& dir, const std::string& target) {
        m_port = FreePort();
        const std::string config = dir.File("prometheus.yml");
        std::ofstream(config) << "global:\n"
                                 "  scrape_interval: 1s\n"
                                 "  scrape_timeout: 900ms\n"
                                 "  evaluation_interval: 1s\n"
                                 "rule_files:\n"
                                 "  - " KP70_ALERT_RULES
                                 "\n"
                                 "scrape_configs:\n"
                                 "  - job_name: kp70\n"
                                 "    static_configs:\n"
                                 "      - targets: ['"
                              << target << "']\n";
        const std::string address = "127.0.0.1:" + std::to_string(m_port);
        if (!m_process.Start({PROMETHEUS_PATH, "--config.file=" + config,
                              "--storage.tsdb.path=" + dir.File("prometheus-data"),
                              "--web.listen-address=" + address, "--log.level=warn"},
                             dir.File("prometheus.log"), dir.Path().string()))
            return false;
        return Eventually([&] { return Get("/api/v1/status/buildinfo").has_value(); });
    }

    // The result of an instant query: one value per series, by the series' printer label.
    std::map<std::string, std::string> Query(const std::string& query) {
        std::map<std::string, std::string> values;
        const auto json = Get("/api/v1/query", {{"query", query}});
        if (!json || (*json)["status"] != "success") return values;
        for (const auto& series : (*json)["data"]["result"])
            values[series["metric"].value("printer", "")] = series["value"][1];
        return values;
    }

    std::optional<nlohmann::json> Get(const std::string& path, const httplib::Params& params = {}) {
        httplib::Client client("127.0.0.1", m_port);
        client.set_read_timeout(5);
        auto response = client.Get(path, params, httplib::Headers{});
        if (!response || response->status != 200) return std::nullopt;
        return nlohmann::json::parse(response->body, nullptr, false);
    }

    std::string Log() const { return m_process.Log(); }

private:
    int m_port = 0;
    ChildProcess m_process;
};

class MonitorE2eTest : public ::testing::Test {
protected:
    // Starts kp70ctl monitor with these arguments and learns where it listens.
    bool StartMonitor(std::vector<std::string> args) {
        args.insert(args.begin(), {KP70CTL_PATH, "monitor"});
        args.insert(args.end(), {"--listen", "127.0.0.1:0"});
        const std::string home = m_dir.File("home");
        std::filesystem::create_directories(home);
        if (!m_monitor.Start(args, m_dir.File("monitor.log"), home,
                             {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/config",
                              "XDG_STATE_HOME=" + home + "/state"}))
            return false;
        const std::string line = m_monitor.WaitForLine("metrics at http://");
        std::smatch match;
        if (!std::regex_search(line, match,
                               std::regex("http://(127\\.0\\.0\\.1:([0-9]+))/metrics")))
            return false;
        m_exporter = match[1];
        m_exporterPort = std::stoi(match[2]);
        return true;
    }
    std::string Scrape() {
        httplib::Client client("127.0.0.1", m_exporterPort);
        client.set_read_timeout(5);
        auto response = client.Get("/metrics");
        return response && response->status == 200 ? response->body : "";
    }
    std::string Logs() { return "\nmonitor:\n" + m_monitor.Log(); }

    test::TempDir m_dir;
    ChildProcess m_monitor;
    std::string m_exporter;  // "127.0.0.1:PORT"
    int m_exporterPort = 0;
};

TEST_F(MonitorE2eTest, PrometheusSeesAStatusComeAndGoAPrinterGoneAndOneAdded) {
    if (std::string(PROMETHEUS_PATH).empty())
        FAIL() << "prometheus not found: run scripts/install-deps.sh (package prometheus)";
    Printer a, b, c;
    ASSERT_TRUE(a.Start() && b.Start() && c.Start()) << a.Log() << b.Log() << c.Log();
    const std::string targets = m_dir.File("targets");
    Replace(targets, "# the shop\n" + a.Net() + "\n" + b.Net() + "\n");
    ASSERT_TRUE(StartMonitor({"--targets", targets, "--interval", "0.5", "--timeout", "500"}))
        << Logs();
    Prometheus prometheus;
    ASSERT_TRUE(prometheus.Start(m_dir, m_exporter)) << prometheus.Log();

    const auto up = [&] { return prometheus.Query("kp70_printer_up"); };
    const auto paperEnd = [&] {
        return prometheus.Query("kp70_printer_condition{condition=\"paper_end\"}");
    };
    ASSERT_TRUE(Eventually([&] {
        return up() == std::map<std::string, std::string>{{a.Net(), "1"}, {b.Net(), "1"}};
    })) << Logs()
        << prometheus.Log();
    EXPECT_EQ(paperEnd(), (std::map<std::string, std::string>{{a.Net(), "0"}, {b.Net(), "0"}}));

    // Paper end on A: Prometheus sees it, B stays as it was; then it clears.
    ASSERT_TRUE(a.SetStatus("paper-end")) << a.Log();
    EXPECT_TRUE(Eventually([&] { return paperEnd()[a.Net()] == "1"; })) << Logs();
    EXPECT_EQ(paperEnd()[b.Net()], "0");
    ASSERT_TRUE(a.SetStatus("ok")) << a.Log();
    EXPECT_TRUE(Eventually([&] { return paperEnd()[a.Net()] == "0"; })) << Logs();

    // B goes away: up 0, and none of its conditions, which nothing tells any more.
    b.Stop();
    EXPECT_TRUE(Eventually([&] { return up()[b.Net()] == "0"; })) << Logs();
    EXPECT_TRUE(Eventually([&] {
        return prometheus.Query("kp70_printer_condition{printer=\"" + b.Net() + "\"}").empty();
    })) << Logs();

    // C joins through the targets file, without a restart.
    Replace(targets, a.Net() + "\n" + b.Net() + "\n" + c.Net() + "\n");
    EXPECT_TRUE(Eventually([&] { return up()[c.Net()] == "1"; })) << Logs();
    EXPECT_EQ(up()[a.Net()], "1");

    // The alert rules load and evaluate (their firing is promtool's test: it needs minutes).
    EXPECT_TRUE(Eventually([&] {
        const auto rules = prometheus.Get("/api/v1/rules");
        if (!rules) return false;
        int healthy = 0;
        for (const auto& group : (*rules)["data"]["groups"])
            for (const auto& rule : group["rules"]) healthy += rule["health"] == "ok";
        return healthy == 5;
    })) << prometheus.Log();

    // What the exporter serves passes promtool's lint of the text format.
    const std::string metrics = m_dir.File("metrics.txt");
    test::WriteFile(metrics, Scrape());
    const std::string lint = m_dir.File("lint.txt");
    const std::string command = std::string("'") + PROMTOOL_PATH + "' check metrics < '" + metrics +
                                "' > '" + lint + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << test::ReadFile(lint);

    // SIGTERM ends it cleanly.
    EXPECT_EQ(m_monitor.Stop(), 0) << Logs();
    EXPECT_NE(m_monitor.Log().find("kp70ctl monitor: " + b.Net() + ": cannot connect"),
              std::string::npos)
        << Logs();
    EXPECT_NE(m_monitor.Log().find("kp70ctl monitor: stopped\n"), std::string::npos) << Logs();
}

TEST_F(MonitorE2eTest, DiscoveredPrintersCarryTheirMacAddress) {
    if (!test::InIsolatedNetwork())
        GTEST_SKIP() << "no network namespace of its own: the virtual printers' discovery "
                        "port 2918 and TCP port 6001 would be shared with the machine";
    SimProcess sim;
    ASSERT_TRUE(sim.StartWith({SimProcess::BinaryPath(), "--tcp", "127.0.0.1:6001", "--pty", "none",
                               "--udp", "127.0.0.1", "--printers", "2", "--tcp-printers", "2",
                               "--state", m_dir.File("state.json"), "--out", m_dir.File("out")}))
        << sim.Log();
    ASSERT_TRUE(StartMonitor({"--discover", "--broadcast", "127.255.255.255", "--interval", "0.5"}))
        << Logs();
    const std::regex info(
        "kp70_printer_info\\{printer=\"127\\.0\\.0\\.[23]:6001\",mac=\"[0-9A-F:]{17}\",model="
        "\"KP70 "
        "E-II\"\\} 1\n");
    std::string metrics;
    EXPECT_TRUE(Eventually([&] {
        metrics = Scrape();
        return metrics.find("kp70_printer_up{printer=\"127.0.0.2:6001\"} 1\n") !=
                   std::string::npos &&
               metrics.find("kp70_printer_up{printer=\"127.0.0.3:6001\"} 1\n") != std::string::npos;
    })) << metrics
        << Logs();
    const auto found = std::distance(std::sregex_iterator(metrics.begin(), metrics.end(), info),
                                     std::sregex_iterator());
    EXPECT_EQ(found, 2) << metrics;
    // Only the printers that answered the search: the PC's own address is none.
    EXPECT_EQ(metrics.find("127.0.0.1:6001"), std::string::npos) << metrics;
    EXPECT_NE(m_monitor.Log().find("discovery on 127.255.255.255 found 2 printers"),
              std::string::npos)
        << Logs();
    EXPECT_EQ(m_monitor.Stop(SIGINT), 0) << Logs();
}

}  // namespace
}  // namespace kp70

int main(int argc, char** argv) {
    // First, while the process has one thread: the namespace is the process's own.
    kp70::test::EnterIsolatedNetwork();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
