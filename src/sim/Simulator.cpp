#include "sim/Simulator.h"

#include "sim/ParallelStatus.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>

namespace kp70sim {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// While nobody has the pseudo-terminal's slave open, its master reports a hang-up at once
// on every poll; it is looked at again after this pause instead.
constexpr milliseconds kPtyRetry{20};
// A USB printer keeps its replies while requests keep coming, and hands them over together
// once none came for this long, as a printer's USB interface gives the host what it has
// buffered: the tool reads a burst of replies with a few reads (4 rounds of 256 bytes after
// a settings read), not one read per reply.
constexpr milliseconds kUsbReplyHold{20};
// How often the --control file is looked at.
constexpr milliseconds kControlPoll{20};

std::string ErrorText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Errors of a device node whose device went away for a while (a USB gadget unbound from its
// controller, a virtual machine's port whose other end closed): the node is tried again.
bool DeviceAbsent(int err) {
    return err == ENODEV || err == ENXIO || err == EIO || err == ESHUTDOWN || err == EPIPE ||
           err == ECONNRESET;
}

// A printer's USB interface escapes two bytes of its replies: 00 as 1B 30 and 1B as 1B 1B.
Bytes EscapeForUsb(const Bytes& bytes) {
    Bytes escaped;
    escaped.reserve(bytes.size());
    for (const std::uint8_t byte : bytes) {
        if (byte == 0x00 || byte == 0x1B) {
            escaped.push_back(0x1B);
            escaped.push_back(byte == 0x00 ? 0x30 : 0x1B);
        } else {
            escaped.push_back(byte);
        }
    }
    return escaped;
}

void SetNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
}

}  // namespace

// One connection of the printer: a TCP connection, or one of the pseudo-terminals (the
// serial side, or the parallel side, which also sends automatic status blocks).
class Simulator::Link : public LinkActions {
public:
    enum class Kind { Tcp, Pty, Device };

    Link(Kind kind, std::string name, int fd, Printer& printer, std::FILE* capture,
         PseudoTerminal* terminal = nullptr, bool parallel = false)
        : m_kind(kind),
          m_name(std::move(name)),
          m_fd(fd),
          m_printer(printer),
          m_capture(capture),
          m_session(std::make_unique<PrinterSession>(printer)),
          m_terminal(terminal) {
        if (parallel) m_status.emplace();
    }
    ~Link() override {
        if (m_capture) std::fclose(m_capture);
    }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    const std::string& LinkName() const override { return m_name; }

    void Reply(const Bytes& bytes) override {
        const auto now = Clock::now();
        if (m_printer.Faults().silent || now < m_silentUntil || bytes.empty()) return;
        Bytes sent = m_usbEscape ? EscapeForUsb(bytes) : bytes;
        // A line that echoes, or an adapter that repeats what it passes on.
        if (m_printer.Faults().repeat) {
            const Bytes once = sent;
            sent.insert(sent.end(), once.begin(), once.end());
        }
        if (SendsStatusBlocks()) {
            const auto block = m_printer.Status().Block();
            sent.insert(sent.end(), block.begin(), block.end());
        }
        if (m_printer.Faults().lateMs > 0) {
            m_delayed.push_back({now + m_printer.Delay(m_printer.Faults().lateMs), sent});
        } else {
            m_out.insert(m_out.end(), sent.begin(), sent.end());
        }
    }
    // The parallel side with automatic status on.
    bool SendsStatusBlocks() const {
        return m_status && (m_status->Enabled() || m_printer.Faults().keepStatus);
    }
    // The parallel side tells its status by itself: when a program opens the port and
    // whenever the status changes, as long as automatic status is on.
    void SendStatusBlock() {
        if (!SendsStatusBlocks() || m_printer.Faults().silent || m_slaveAbsent) return;
        if (Clock::now() < m_silentUntil || m_deaf) return;
        const auto block = m_printer.Status().Block();
        m_out.insert(m_out.end(), block.begin(), block.end());
    }
    void CloseLink() override { m_closeRequested = true; }
    void Restart(int deafMs) override { m_restartDeafMs = std::max(deafMs, 0); }
    void GoSilent(int ms) override { m_silentUntil = Clock::now() + m_printer.Delay(ms); }

    struct Delayed {
        TimePoint due;
        Bytes bytes;
    };

    Kind m_kind;
    std::string m_name;
    int m_fd;
    Printer& m_printer;
    std::FILE* m_capture;  // owned; the pseudo-terminal keeps one across its renewals
    std::unique_ptr<PrinterSession> m_session;
    PseudoTerminal* m_terminal;              // the pseudo-terminal behind a Pty link
    std::optional<ParallelStatus> m_status;  // the parallel side only
    bool m_usbEscape = false;                // a device link that is a USB printer
    TimePoint m_holdUntil{};                 // a USB printer keeps its replies until then
    bool Holding(TimePoint now) const { return m_usbEscape && now < m_holdUntil; }
    long long m_received = 0;
    Bytes m_out;
    std::vector<Delayed> m_delayed;
    TimePoint m_silentUntil{};
    TimePoint m_deafUntil{};
    bool m_deaf = false;  // a reset is under way; "printer ready" is logged when it ends
    bool m_closeRequested = false;
    int m_restartDeafMs = -1;
    bool m_dead = false;
    // Pseudo-terminal: nobody has the slave open; look again at m_retryAt.
    bool m_slaveAbsent = false;
    TimePoint m_retryAt{};
};

Simulator::Simulator(Printer& printer, std::ostream& log) : m_printer(printer), m_log(log) {}

Simulator::~Simulator() {
    Shutdown();
}

std::FILE* Simulator::OpenCapture(const std::string& name) {
    const std::string path = m_printer.OutPath(name);
    if (path.empty()) return nullptr;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) m_log << "cannot write the capture " << path << ": " << std::strerror(errno) << "\n";
    return file;
}

bool Simulator::Start(std::string& why) {
    const SimOptions& options = m_printer.Options();
    if (!options.outDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.outDir, ec);
        if (ec) {
            why = "cannot create the output folder " + options.outDir + ": " + ec.message();
            return false;
        }
    }

    if (options.tcpEnabled) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
        addrinfo* found = nullptr;
        const std::string port = std::to_string(options.tcpPort);
        if (getaddrinfo(options.tcpHost.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
            why = "cannot resolve the TCP address " + options.tcpHost;
            return false;
        }
        m_listenFd = socket(found->ai_family, SOCK_STREAM, 0);
        const int on = 1;
        setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        // A printer that stops taking bytes holds only a few KB in its network interface,
        // so the rest stays unacknowledged with the sender (the connections inherit it).
        if (options.faults.stallAfter >= 0) {
            const int small = 8192;
            setsockopt(m_listenFd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        }
        const bool bound =
            m_listenFd >= 0 && bind(m_listenFd, found->ai_addr, found->ai_addrlen) == 0;
        freeaddrinfo(found);
        // The refuse fault keeps the port bound but never listens: the system then refuses
        // every connection attempt, as with a printer whose TCP service is down.
        if (!bound || (!options.faults.refuse && listen(m_listenFd, 8) != 0)) {
            why = ErrorText("cannot listen on " + options.tcpHost + ":" + port);
            return false;
        }
        SetNonBlocking(m_listenFd);
        sockaddr_in address{};
        socklen_t length = sizeof address;
        getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length);
        m_tcpPort = ntohs(address.sin_port);
    }

    if (options.ptyEnabled) {
        if (!m_pty.Open(options.ptyPath, why)) return false;
        m_links.push_back(std::make_unique<Link>(Link::Kind::Pty, "pty", m_pty.MasterFd(),
                                                 m_printer, OpenCapture("capture-pty.bin"),
                                                 &m_pty));
        // Nobody has the slave open yet.
        m_links.back()->m_slaveAbsent = true;
        m_links.back()->m_retryAt = Clock::now();
    }
    if (!options.udpAddress.empty()) {
        m_discovery = std::make_unique<DiscoveryResponder>(m_printer, m_log);
        if (!m_discovery->Start(why)) return false;
    }
    if (!options.devicePath.empty() && !OpenDevice(why)) return false;
    if (!options.lptPath.empty()) {
        if (!m_lpt.Open(options.lptPath, why)) return false;
        m_links.push_back(std::make_unique<Link>(Link::Kind::Pty, "lpt", m_lpt.MasterFd(),
                                                 m_printer, OpenCapture("capture-lpt.bin"), &m_lpt,
                                                 true));
        m_links.back()->m_slaveAbsent = true;
        m_links.back()->m_retryAt = Clock::now();
    }
    return true;
}

namespace {

// The device node, non-blocking, and in raw mode when it is a terminal (a gadget's serial
// port, a virtual machine's serial port), so every byte passes as it is. -1 (errno set)
// when it cannot be opened.
int OpenDeviceNode(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

}  // namespace

bool Simulator::OpenDevice(std::string& why) {
    const SimOptions& options = m_printer.Options();
    const int fd = OpenDeviceNode(options.devicePath);
    if (fd < 0) {
        why = ErrorText("cannot open the device " + options.devicePath);
        return false;
    }
    const bool parallel = options.deviceKind == SimOptions::DeviceKind::Parallel;
    m_links.push_back(std::make_unique<Link>(Link::Kind::Device, "device", fd, m_printer,
                                             OpenCapture("capture-device.bin"), nullptr, parallel));
    m_links.back()->m_usbEscape = options.deviceKind == SimOptions::DeviceKind::Usb;
    // A parallel printer tells its status as soon as it is attached.
    m_links.back()->SendStatusBlock();
    Flush(*m_links.back());
    return true;
}

void Simulator::DeviceGone(Link& link) {
    // The node is closed while its device is away and opened again when it is back: a USB
    // gadget's node held open while the gadget is unbound and bound again breaks the
    // kernel's bookkeeping of it (Linux 6.1's printer function).
    if (link.m_fd >= 0) {
        ::close(link.m_fd);
        link.m_fd = -1;
        m_log << link.m_name << " went away\n" << std::flush;
    }
    link.m_out.clear();
    link.m_delayed.clear();
    link.m_slaveAbsent = true;
    link.m_retryAt = Clock::now() + kPtyRetry;
}

bool Simulator::ReopenDevice(Link& link) {
    const int fd = OpenDeviceNode(m_printer.Options().devicePath);
    if (fd < 0) {
        link.m_retryAt = Clock::now() + kPtyRetry;
        return false;
    }
    link.m_fd = fd;
    link.m_slaveAbsent = false;
    link.m_session = std::make_unique<PrinterSession>(m_printer);
    if (link.m_status) link.m_status.emplace();
    m_log << link.m_name << " is back\n" << std::flush;
    link.SendStatusBlock();
    Flush(link);
    return true;
}

std::vector<std::string> Simulator::ReadyLines() const {
    std::vector<std::string> lines;
    const SimOptions& options = m_printer.Options();
    if (m_listenFd >= 0)
        lines.push_back("tcp " + options.tcpHost + ":" + std::to_string(m_tcpPort));
    if (m_pty.MasterFd() >= 0)
        lines.push_back("pty " + m_pty.LinkPath() + " -> " + m_pty.DevicePath());
    if (m_lpt.MasterFd() >= 0)
        lines.push_back("lpt " + m_lpt.LinkPath() + " -> " + m_lpt.DevicePath());
    if (!options.devicePath.empty()) {
        static const char* const kinds[] = {"serial", "usb", "lpt"};
        lines.push_back("device " + options.devicePath + " " +
                        kinds[static_cast<int>(options.deviceKind)]);
    }
    if (m_discovery) lines.push_back(m_discovery->ReadyLine());
    return lines;
}

void Simulator::Accept() {
    for (;;) {
        const int fd = accept(m_listenFd, nullptr, nullptr);
        if (fd < 0) return;
        SetNonBlocking(fd);
        const std::string name = "tcp-" + std::to_string(++m_tcpCount);
        m_links.push_back(std::make_unique<Link>(Link::Kind::Tcp, name, fd, m_printer,
                                                 OpenCapture("capture-" + name + ".bin")));
        m_log << name << " connected\n" << std::flush;
    }
}

void Simulator::Receive(Link& link) {
    std::uint8_t buffer[4096];
    std::size_t room = sizeof buffer;
    // A printer that stops taking bytes, or drops the link at a byte: what is past the
    // limit stays in the link, unread (a TCP connection closed then is reset).
    for (const long long limit : {m_printer.Faults().stallAfter, m_printer.Faults().dropAfter}) {
        if (limit >= 0)
            room = static_cast<std::size_t>(std::min<long long>(
                static_cast<long long>(room), std::max<long long>(0, limit - link.m_received)));
    }
    if (room == 0) return;
    const ssize_t n = read(link.m_fd, buffer, room);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) return;
        if (link.m_kind == Link::Kind::Device && DeviceAbsent(errno)) {
            DeviceGone(link);
            return;
        }
        if (link.m_kind == Link::Kind::Pty && errno == EIO) {
            // Nobody has the slave open (the program closed the port): wait for the next.
            link.m_slaveAbsent = true;
            link.m_retryAt = Clock::now() + kPtyRetry;
            return;
        }
        m_log << link.m_name << " receive failed: " << std::strerror(errno) << "\n";
        link.m_dead = true;
        return;
    }
    if (n == 0) {
        // A port whose other end is not there reads as its end; look again later.
        if (link.m_kind == Link::Kind::Device) {
            DeviceGone(link);
            return;
        }
        if (link.m_kind == Link::Kind::Tcp) {
            m_log << link.m_name << " closed by the peer\n" << std::flush;
            link.m_dead = true;
        }
        return;
    }

    std::size_t size = static_cast<std::size_t>(n);
    const long long dropAfter = m_printer.Faults().dropAfter;
    bool drop = false;
    if (dropAfter >= 0 && link.m_received + static_cast<long long>(size) >= dropAfter) {
        size = static_cast<std::size_t>(dropAfter - link.m_received);
        drop = true;
    }
    if (link.m_capture && size > 0) {
        std::fwrite(buffer, 1, size, link.m_capture);
        std::fflush(link.m_capture);
    }
    link.m_received += static_cast<long long>(size);
    if (link.m_usbEscape) link.m_holdUntil = Clock::now() + kUsbReplyHold;
    if (Clock::now() >= link.m_deafUntil && size > 0) Decode(link, buffer, size);
    SaveState();
    if (drop) {
        m_log << link.m_name << " dropped after " << link.m_received << " bytes\n" << std::flush;
        link.m_out.clear();
        link.m_delayed.clear();
        link.m_closeRequested = true;
    }
    CarryOutRequests(link);
}

void Simulator::Decode(Link& link, const std::uint8_t* data, std::size_t size) {
    if (!link.m_status) {
        link.m_session->Feed(data, size, link);
        return;
    }
    // Status back on or off applies to the replies of the bytes after it.
    while (size > 0) {
        const std::size_t taken = link.m_status->Scan(data, size);
        link.m_session->Feed(data, taken, link);
        link.m_status->Settle();
        data += taken;
        size -= taken;
    }
}

void Simulator::CarryOutRequests(Link& link) {
    if (link.m_restartDeafMs >= 0) {
        link.m_session = std::make_unique<PrinterSession>(m_printer);
        if (link.m_status) link.m_status.emplace();  // a reset printer sends status again
        link.m_deafUntil = Clock::now() + m_printer.Delay(link.m_restartDeafMs);
        link.m_deaf = true;
        link.m_restartDeafMs = -1;
        m_log << link.m_name << " printer restarted\n" << std::flush;
        if (link.m_kind == Link::Kind::Tcp) link.m_closeRequested = true;
    }
    Flush(link);
    if (link.m_closeRequested && link.m_out.empty()) {
        if (link.m_kind == Link::Kind::Tcp) {
            link.m_dead = true;
        } else if (link.m_kind == Link::Kind::Pty) {
            HangUpPty(link);
        } else {
            // A device node cannot be hung up from this side: the printer starts afresh.
            link.m_closeRequested = false;
            link.m_received = 0;
            link.m_session = std::make_unique<PrinterSession>(m_printer);
            if (link.m_status) link.m_status.emplace();
            m_log << link.m_name << " link reset\n" << std::flush;
        }
    }
}

void Simulator::HangUpPty(Link& link) {
    std::string why;
    link.m_closeRequested = false;
    link.m_out.clear();
    link.m_delayed.clear();
    PseudoTerminal& terminal = *link.m_terminal;
    if (!terminal.Renew(why)) {
        m_log << link.m_name << " cannot be renewed: " << why << "\n" << std::flush;
        link.m_dead = true;
        return;
    }
    link.m_fd = terminal.MasterFd();
    link.m_received = 0;
    link.m_session = std::make_unique<PrinterSession>(m_printer);
    if (link.m_status) link.m_status.emplace();
    link.m_slaveAbsent = true;
    link.m_retryAt = Clock::now();
    m_log << link.m_name << " hung up; now " << terminal.LinkPath() << " -> "
          << terminal.DevicePath() << "\n"
          << std::flush;
}

void Simulator::Flush(Link& link) {
    if (link.Holding(Clock::now())) return;
    while (!link.m_out.empty()) {
        const ssize_t n = write(link.m_fd, link.m_out.data(), link.m_out.size());
        if (n > 0) {
            link.m_out.erase(link.m_out.begin(), link.m_out.begin() + n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (n < 0 && link.m_kind == Link::Kind::Device && DeviceAbsent(errno)) {
            DeviceGone(link);
            return;
        }
        // The peer is gone (or, on the pseudo-terminal, nobody reads): the reply is lost, as
        // it would be on a real line.
        link.m_out.clear();
        return;
    }
}

void Simulator::Release(Link& link) {
    if (link.m_kind == Link::Kind::Tcp) {
        ::close(link.m_fd);
        m_log << link.m_name << " ended\n" << std::flush;
    }
    if (link.m_kind == Link::Kind::Device && link.m_fd >= 0) ::close(link.m_fd);
}

void Simulator::SaveState() {
    std::string why;
    if (!m_printer.SaveStateIfChanged(why)) m_log << why << "\n" << std::flush;
}

int Simulator::NextTimeoutMs(TimePoint now) const {
    TimePoint next = TimePoint::max();
    for (const auto& link : m_links) {
        for (const auto& delayed : link->m_delayed) next = std::min(next, delayed.due);
        if (link->m_slaveAbsent) next = std::min(next, link->m_retryAt);
        if (link->m_deaf) next = std::min(next, link->m_deafUntil);
        if (!link->m_out.empty() && link->Holding(now)) next = std::min(next, link->m_holdUntil);
    }
    if (m_discovery) next = std::min(next, m_discovery->NextDue());
    if (!m_printer.Options().controlPath.empty()) next = std::min(next, now + kControlPoll);
    if (next == TimePoint::max()) return -1;
    if (next <= now) return 0;
    const auto wait = std::chrono::ceil<milliseconds>(next - now).count();
    return static_cast<int>(std::min<long long>(wait, 60000));
}

void Simulator::RunTimers(TimePoint now) {
    if (m_discovery) m_discovery->RunTimers(now);
    for (auto& link : m_links) {
        auto& delayed = link->m_delayed;
        // Replies leave in the order they were made.
        while (!delayed.empty() && delayed.front().due <= now) {
            link->m_out.insert(link->m_out.end(), delayed.front().bytes.begin(),
                               delayed.front().bytes.end());
            delayed.erase(delayed.begin());
        }
        if (!link->m_out.empty()) Flush(*link);
        // Tests wait for this line instead of sleeping through the reset.
        if (link->m_deaf && now >= link->m_deafUntil && !link->m_dead) {
            link->m_deaf = false;
            m_log << link->m_name << " printer ready\n" << std::flush;
        }
    }
}

void Simulator::Run(int stopFd) {
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<Link*> polled;
        fds.push_back({stopFd, POLLIN, 0});
        if (m_listenFd >= 0 && !m_printer.Faults().refuse) fds.push_back({m_listenFd, POLLIN, 0});
        const std::size_t discoveryAt = fds.size();
        if (m_discovery) fds.push_back({m_discovery->Fd(), POLLIN, 0});
        const std::size_t firstLink = fds.size();
        const auto now = Clock::now();
        for (auto& link : m_links) {
            if (link->m_slaveAbsent && now < link->m_retryAt) continue;
            if (link->m_kind == Link::Kind::Device && link->m_fd < 0 && !ReopenDevice(*link))
                continue;
            const long long stallAfter = m_printer.Faults().stallAfter;
            const bool stalled = stallAfter >= 0 && link->m_received >= stallAfter;
            // A stalled link reads nothing, but still sees the peer leave.
            short events = stalled ? POLLRDHUP : POLLIN;
            if (!link->m_out.empty() && !link->Holding(now)) events |= POLLOUT;
            fds.push_back({link->m_fd, events, 0});
            polled.push_back(link.get());
        }

        const int ready = poll(fds.data(), fds.size(), NextTimeoutMs(now));
        if (ready < 0 && errno != EINTR) {
            m_log << ErrorText("poll failed") << "\n";
            return;
        }
        if (fds[0].revents) return;
        if (discoveryAt > 1 && (fds[1].revents & POLLIN)) Accept();
        if (m_discovery && (fds[discoveryAt].revents & POLLIN)) {
            m_discovery->OnReadable();
            SaveState();
        }

        for (std::size_t i = 0; i < polled.size(); ++i) {
            Link& link = *polled[i];
            const short revents = fds[firstLink + i].revents;
            if (link.m_kind == Link::Kind::Pty) {
                if (revents & POLLIN) {
                    SlavePresent(link);
                    Receive(link);
                } else if (revents & POLLHUP) {
                    link.m_slaveAbsent = true;
                    link.m_retryAt = Clock::now() + kPtyRetry;
                } else {
                    SlavePresent(link);
                }
            } else if (link.m_kind == Link::Kind::Device) {
                if (revents & POLLIN) {
                    Receive(link);
                } else if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
                    DeviceGone(link);
                }
            } else if ((fds[firstLink + i].events & POLLRDHUP) &&
                       (revents & (POLLRDHUP | POLLHUP | POLLERR))) {
                m_log << link.m_name << " closed by the peer\n" << std::flush;
                link.m_dead = true;
            } else if (revents & (POLLIN | POLLHUP | POLLERR)) {
                Receive(link);
            }
            if (revents & POLLOUT) CarryOutRequests(link);
        }
        ReadControlFile();
        RunTimers(Clock::now());
        for (auto& link : m_links) {
            if (link->m_dead) Release(*link);
        }
        std::erase_if(m_links, [](const auto& link) { return link->m_dead; });
    }
}

void Simulator::SlavePresent(Link& link) {
    if (!link.m_slaveAbsent) return;
    link.m_slaveAbsent = false;
    // A program has opened the port: the parallel side tells its status before anything
    // it answers.
    link.SendStatusBlock();
    Flush(link);
}

void Simulator::ReadControlFile() {
    const std::string& path = m_printer.Options().controlPath;
    if (path.empty()) return;
    struct stat info {};
    ControlStamp stamp;
    if (::stat(path.c_str(), &info) == 0) {
        stamp = {true, static_cast<long long>(info.st_ino), static_cast<long long>(info.st_size),
                 static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec};
    }
    if (stamp == m_controlStamp) return;
    m_controlStamp = stamp;
    if (!stamp.exists) return;  // a file being replaced: the new one is read when it is there
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    StatusState status;
    std::string why;
    if (!ApplyStatusNames(SplitStatusNames(text), status, why)) {
        m_log << "control " << path << ": " << why << "; status kept\n" << std::flush;
        return;
    }
    if (status == m_printer.Status()) return;
    m_printer.SetStatus(status);
    m_log << "status " << status.Names() << "\n" << std::flush;
    for (auto& link : m_links) {
        link->SendStatusBlock();
        Flush(*link);
    }
}

void Simulator::Shutdown() {
    for (auto& link : m_links) {
        Flush(*link);
        Release(*link);
    }
    m_links.clear();
    m_pty.Close();
    m_lpt.Close();
    m_discovery.reset();
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
    }
    SaveState();
}

}  // namespace kp70sim
