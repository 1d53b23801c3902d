// Firmware download benchmark: sends the DOWNLOAD area (98,304 bytes) of an image to kp70sim
// over TCP and over its pseudo-terminal with the tool's own sequence (AreaDownload on the
// real port and socket), and compares the wall time with what the sequence cannot avoid:
// the waits it asked the clock for (connection probes, the settling steps) plus the time the
// link itself needs for the bytes, measured by pushing as many bytes through a fresh link of
// the same kind with nothing else going on. A ratio near 1 means the tool adds nothing.
//
//   kp70bench_firmware [--runs N]
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/app/CancelToken.h"
#include "core/app/ErrorLog.h"
#include "core/firmware/AreaDownload.h"
#include "core/transport/DeviceEnumerator.h"
#include "core/transport/Notifier.h"
#include "core/transport/OutputFileAsker.h"
#include "platform/CPorts.h"
#include "platform/NetworkSocket.h"
#include "platform/SystemClock.h"
#include "platform/SystemLinkFactory.h"

#ifndef KP70SIM_PATH
#error "KP70SIM_PATH names the kp70sim binary"
#endif

namespace {

using Ms = std::chrono::duration<double, std::milli>;
constexpr std::size_t kBytes = 0x18000;

// The system clock, adding up every wait the sequence asks for.
class CountingClock : public kp70::Clock {
public:
    std::int64_t Now() override { return m_clock.Now(); }
    void SleepFor(std::int64_t ms) override {
        m_slept += ms;
        m_clock.SleepFor(ms);
    }
    std::tm LocalTime() override { return m_clock.LocalTime(); }
    std::int64_t Slept() const { return m_slept.load(); }
    void Reset() { m_slept = 0; }

private:
    kp70::SystemClock m_clock;
    std::atomic<std::int64_t> m_slept{0};
};

struct NoDevices : kp70::DeviceEnumerator {
    std::vector<kp70::SerialPortInfo> SerialPorts() override { return {}; }
    std::vector<std::string> ParallelPorts() override { return {}; }
    std::vector<kp70::UsbPrinterInfo> UsbPrinters() override { return {}; }
    bool TryOpen(const std::string&, std::string&) override { return false; }
};

struct QuietNotifier : kp70::Notifier {
    void ShowMessage(int, const std::string&) override {}
};

// kp70sim on a free TCP port and a pty link in dir; stopped when this goes.
class Sim {
public:
    explicit Sim(const std::string& dir) : m_pty(dir + "/ttyKP70") {
        int out[2];
        if (pipe(out) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            freopen("/dev/null", "w", stderr);
            const std::string state = dir + "/state.json";
            execl(KP70SIM_PATH, KP70SIM_PATH, "--tcp", "127.0.0.1:0", "--pty", m_pty.c_str(),
                  "--state", state.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        std::string lines;
        char buffer[256];
        while (lines.find("ready\n") == std::string::npos) {
            const ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0) break;
            lines.append(buffer, static_cast<std::size_t>(n));
        }
        close(out[0]);
        const auto colon = lines.find("127.0.0.1:");
        if (colon != std::string::npos) m_port = std::atoi(lines.c_str() + colon + 10);
    }
    ~Sim() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    bool Ready() const { return m_port > 0; }
    int Port() const { return m_port; }
    const std::string& PtyLink() const { return m_pty; }

private:
    std::string m_pty;
    pid_t m_pid = -1;
    int m_port = 0;
};

// Milliseconds to push the bytes through a pty pair in 2,048-byte writes, a reader draining
// the other side.
double PtyTransferMs() {
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return -1;
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    std::thread reader([master] {
        std::vector<char> buffer(4096);
        std::size_t got = 0;
        while (got < kBytes) {
            const ssize_t n = read(master, buffer.data(), buffer.size());
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
    });
    const std::vector<char> block(2048, 0x5A);
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t sent = 0; sent < kBytes;) {
        const ssize_t n = write(slave, block.data(), std::min(block.size(), kBytes - sent));
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
    reader.join();
    const double ms = Ms(std::chrono::steady_clock::now() - start).count();
    close(slave);
    close(master);
    return ms;
}

// Milliseconds to send the bytes over a loopback TCP connection in 4,096-byte sends.
double TcpTransferMs() {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(listener);
        return -1;
    }
    std::thread reader([listener] {
        const int peer = accept(listener, nullptr, nullptr);
        std::vector<char> buffer(4096);
        std::size_t got = 0;
        while (peer >= 0 && got < kBytes) {
            const ssize_t n = read(peer, buffer.data(), buffer.size());
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        if (peer >= 0) close(peer);
    });
    const int client = socket(AF_INET, SOCK_STREAM, 0);
    const auto start = std::chrono::steady_clock::now();
    double ms = -1;
    if (connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::vector<char> block(4096, 0x5A);
        for (std::size_t sent = 0; sent < kBytes;) {
            const ssize_t n = send(client, block.data(), std::min(block.size(), kBytes - sent), 0);
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
        }
        shutdown(client, SHUT_WR);
    }
    reader.join();
    ms = Ms(std::chrono::steady_clock::now() - start).count();
    close(client);
    close(listener);
    return ms;
}

struct Result {
    double wallMs = 0;
    double waitsMs = 0;
    bool ok = false;
};

Result Download(const std::string& image, const std::string& portName, const Sim& sim) {
    CountingClock clock;
    kp70::ErrorLog log(clock);
    QuietNotifier notifier;
    NoDevices devices;
    kp70::FixedOutputFileAsker asker;
    kp70::CPorts port(log, clock, notifier, devices, asker);
    kp70::NetworkSocket socket(clock, notifier);
    port.Settings() = {portName, 115200, 8, 0, 0, 3, 6, kp70::kToolModeFirmware};
    port.Settings().networkAddress = "127.0.0.1";
    port.Settings().networkPort = static_cast<std::uint16_t>(sim.Port());
    kp70::SystemLinkFactory links(port, socket, log, clock);
    kp70::AreaDownload download(links, clock);
    const kp70::CancelToken cancel;
    Result result;
    const auto start = std::chrono::steady_clock::now();
    if (download.CheckFile(image, nullptr).status == kp70::OutcomeStatus::Done) {
        result.ok = download.Send(kp70::FirmwareArea::Download, {}, cancel).status ==
                    kp70::OutcomeStatus::Done;
    }
    result.wallMs = Ms(std::chrono::steady_clock::now() - start).count();
    result.waitsMs = static_cast<double>(clock.Slept());
    return result;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kp70bench-fw-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string image = (dir / "fw.SHC").string();
    {
        std::vector<char> bytes(0x800000);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
        std::memcpy(bytes.data() + 0x7FFFFB, "\x01KVRN", 5);
        std::ofstream(image, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
    }
    int status = 0;
    {
        Sim sim(dir.string());
        if (!sim.Ready()) {
            std::fprintf(stderr, "kp70sim did not start (%s)\n", KP70SIM_PATH);
            status = 1;
        } else {
            std::printf("DOWNLOAD area, %zu bytes, median of %d runs\n", kBytes, runs);
            std::printf("%-4s %10s %10s %12s %8s\n", "link", "wall ms", "waits ms", "link ms",
                        "ratio");
            const struct {
                const char* name;
                std::string portName;
                double (*transfer)();
            } links[] = {{"tcp", "ETHERNET_II", TcpTransferMs},
                         {"pty", sim.PtyLink(), PtyTransferMs}};
            for (const auto& link : links) {
                std::vector<double> walls, waits, transfers;
                for (int run = 0; run < runs; ++run) {
                    const Result result = Download(image, link.portName, sim);
                    if (!result.ok) {
                        std::fprintf(stderr, "%s: the download failed\n", link.name);
                        status = 1;
                        break;
                    }
                    walls.push_back(result.wallMs);
                    waits.push_back(result.waitsMs);
                    transfers.push_back(link.transfer());
                }
                if (walls.empty()) continue;
                const double wall = Median(walls), wait = Median(waits), bytes = Median(transfers);
                std::printf("%-4s %10.1f %10.1f %12.2f %8.3f\n", link.name, wall, wait, bytes,
                            wall / (wait + bytes));
            }
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return status;
}
