#include "sim/Discovery.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "sim/Printer.h"

namespace kp70sim {

namespace {

constexpr std::size_t kFrameSize = 35;
constexpr std::uint8_t kSearch = 0x00;
constexpr std::uint8_t kSearchAnswer = 0x01;
constexpr std::uint8_t kSet = 0x02;
constexpr std::uint8_t kSetAnswer = 0x03;
constexpr std::uint8_t kEnd = 0x04;

// What the garbage fault sends instead of a frame: too short to be one.
const Bytes kGarbage = {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x47, 0x41, 0x52, 0x42,
                        0x41, 0x47, 0x45, 0xFF, 0x55, 0xAA, 0x12, 0x34};

int MakeSocket(std::string& why) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        why = std::string("cannot make a UDP socket: ") + std::strerror(errno);
        return -1;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    return fd;
}

bool BindTo(int fd, const std::string& address, std::string& why) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(DiscoveryResponder::kPort);
    if (inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) {
        why = "cannot bind UDP " + address + ":" + std::to_string(DiscoveryResponder::kPort) +
              ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

std::optional<NetFrame> DecodeNetFrame(const std::uint8_t* data, std::size_t size) {
    if (size != kFrameSize || data[0] != 0xAA || data[1] != 0xAA || data[33] != 0x55 ||
        data[34] != 0x55)
        return std::nullopt;
    NetFrame frame;
    frame.command = data[2];
    std::copy(data + 3, data + 7, frame.settings.address.begin());
    std::copy(data + 7, data + 11, frame.settings.subnet.begin());
    std::copy(data + 11, data + 15, frame.settings.gateway.begin());
    std::copy(data + 15, data + 21, frame.settings.mac.begin());
    frame.settings.dhcp = data[21] != 0;
    frame.settings.port = static_cast<std::uint16_t>(data[22] << 8 | data[23]);
    return frame;
}

Bytes EncodeNetFrame(const NetFrame& frame) {
    Bytes bytes(kFrameSize, 0);
    bytes[0] = bytes[1] = 0xAA;
    bytes[2] = frame.command;
    const NetSettings& s = frame.settings;
    std::copy(s.address.begin(), s.address.end(), bytes.begin() + 3);
    std::copy(s.subnet.begin(), s.subnet.end(), bytes.begin() + 7);
    std::copy(s.gateway.begin(), s.gateway.end(), bytes.begin() + 11);
    std::copy(s.mac.begin(), s.mac.end(), bytes.begin() + 15);
    bytes[21] = s.dhcp ? 1 : 0;
    bytes[22] = static_cast<std::uint8_t>(s.port >> 8);
    bytes[23] = static_cast<std::uint8_t>(s.port);
    bytes[33] = bytes[34] = 0x55;
    return bytes;
}

std::string AddressText(const std::array<std::uint8_t, 4>& a) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

std::string MacAddressText(const std::array<std::uint8_t, 6>& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

bool ParseAddressText(const std::string& text, std::array<std::uint8_t, 4>& address) {
    in_addr parsed{};
    // inet_pton takes exactly four decimal numbers 0..255.
    if (inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
    std::memcpy(address.data(), &parsed.s_addr, 4);
    return true;
}

bool ParseMacAddressText(const std::string& text, std::array<std::uint8_t, 6>& mac) {
    unsigned values[6];
    char tail = 0;
    if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &values[0], &values[1], &values[2],
                    &values[3], &values[4], &values[5], &tail) != 6)
        return false;
    for (int i = 0; i < 6; ++i) mac[i] = static_cast<std::uint8_t>(values[i]);
    return true;
}

DiscoveryResponder::DiscoveryResponder(Printer& printer, std::ostream& log)
    : m_printer(printer), m_log(log) {}

DiscoveryResponder::~DiscoveryResponder() {
    for (auto& p : m_printers)
        if (p.fd >= 0) close(p.fd);
    if (m_listenFd >= 0) close(m_listenFd);
}

bool DiscoveryResponder::MakePrinters(std::string& why) {
    const SimOptions& options = m_printer.Options();
    if (!ParseAddressText(options.udpAddress, m_base)) {
        why = "--udp wants an IPv4 address such as 127.0.0.1, not '" + options.udpAddress + "'";
        return false;
    }
    const int count = options.printers;
    if (count < 1 || count > kMaxPrinters || m_base[3] + count > 254) {
        why = "--printers " + std::to_string(count) + " from " + options.udpAddress +
              " would go past " + std::to_string(m_base[0]) + "." + std::to_string(m_base[1]) +
              "." + std::to_string(m_base[2]) + ".254 (the printers take the addresses after it)";
        return false;
    }
    const nlohmann::json& stored = m_printer.State("network")["printers"];
    m_printers.clear();
    for (int i = 1; i <= count; ++i) {
        VirtualPrinter p;
        p.slotAddress = m_base;
        p.slotAddress[3] = static_cast<std::uint8_t>(m_base[3] + i);
        NetSettings& s = p.settings;
        s.address = p.slotAddress;
        s.subnet = {255, 255, 255, 0};
        s.gateway = m_base;
        s.mac = {0x02, 0x5A, 0x3D, 0x00, 0x00, static_cast<std::uint8_t>(i)};
        s.port = 6001;
        const std::size_t index = static_cast<std::size_t>(i - 1);
        if (stored.is_array() && index < stored.size() && stored[index].is_object()) {
            // What an earlier run was told to become.
            const nlohmann::json& entry = stored[index];
            NetSettings loaded = s;
            if (ParseAddressText(entry.value("address", ""), loaded.address) &&
                ParseAddressText(entry.value("subnet", ""), loaded.subnet) &&
                ParseAddressText(entry.value("gateway", ""), loaded.gateway) &&
                ParseMacAddressText(entry.value("mac", ""), loaded.mac)) {
                loaded.port = static_cast<std::uint16_t>(entry.value("port", 6001));
                loaded.dhcp = entry.value("dhcp", false);
                s = loaded;
            }
        }
        m_printers.push_back(p);
    }
    SaveToState();
    return true;
}

bool DiscoveryResponder::Bind(VirtualPrinter& p, std::string& why) {
    if (p.fd >= 0) close(p.fd);
    p.fd = MakeSocket(why);
    if (p.fd < 0) return false;
    // Its own address when this machine has it (any 127.x on the loopback network);
    // otherwise the address it was started with.
    const std::string own = AddressText(p.settings.address);
    std::string ignored;
    if (BindTo(p.fd, own, ignored)) {
        p.wireAddress = own;
        return true;
    }
    const std::string slot = AddressText(p.slotAddress);
    if (!BindTo(p.fd, slot, why)) return false;
    p.wireAddress = slot;
    return true;
}

bool DiscoveryResponder::Start(std::string& why) {
    if (!MakePrinters(why)) return false;
    m_listenFd = MakeSocket(why);
    if (m_listenFd < 0) return false;
    const int on = 1;
    setsockopt(m_listenFd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    if (!BindTo(m_listenFd, "0.0.0.0", why)) return false;
    for (auto& p : m_printers)
        if (!Bind(p, why)) return false;
    return true;
}

std::string DiscoveryResponder::ReadyLine() const {
    return "udp " + m_printer.Options().udpAddress + ":" + std::to_string(kPort) + " printers " +
           std::to_string(m_printers.size());
}

void DiscoveryResponder::SaveToState() {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& p : m_printers) {
        const NetSettings& s = p.settings;
        list.push_back({{"mac", MacAddressText(s.mac)},
                        {"address", AddressText(s.address)},
                        {"subnet", AddressText(s.subnet)},
                        {"gateway", AddressText(s.gateway)},
                        {"port", s.port},
                        {"dhcp", s.dhcp}});
    }
    nlohmann::json& section = m_printer.State("network");
    if (section["printers"] != list) {
        section["printers"] = std::move(list);
        m_printer.StateChanged();
    }
}

std::vector<DiscoveryResponder::Answer> DiscoveryResponder::Handle(const std::uint8_t* data,
                                                                   std::size_t size,
                                                                   const std::string& sender,
                                                                   const std::string& destination) {
    std::vector<Answer> answers;
    // The printers hear each other's answers too.
    for (const auto& p : m_printers)
        if (p.wireAddress == sender) return answers;
    const auto frame = DecodeNetFrame(data, size);
    if (!frame) return answers;

    // Answers go where the request went (the broadcast), or back to a sender that asked
    // one printer directly.
    std::string to = destination;
    for (const auto& p : m_printers)
        if (p.wireAddress == destination) to = sender;
    auto answer = [&](int index, std::uint8_t command) {
        NetFrame reply;
        reply.command = command;
        reply.settings = m_printers[static_cast<std::size_t>(index)].settings;
        answers.push_back(
            {index, m_printer.Faults().garbage ? kGarbage : EncodeNetFrame(reply), to});
    };

    for (int i = 0; i < static_cast<int>(m_printers.size()); ++i) {
        VirtualPrinter& p = m_printers[static_cast<std::size_t>(i)];
        if (frame->command == kSearch) {
            answer(i, kSearchAnswer);
            continue;
        }
        if (frame->settings.mac != p.settings.mac) continue;
        if (frame->command == kSet) {
            p.pending = frame->settings;
            answer(i, kSetAnswer);
        } else if (frame->command == kEnd) {
            if (!p.pending || *p.pending != frame->settings) {
                m_log << "udp printer " << i + 1 << " ignored an end frame without its set frame\n"
                      << std::flush;
                continue;
            }
            p.settings = *p.pending;
            p.pending.reset();
            m_log << "udp printer " << i + 1 << " (" << MacAddressText(p.settings.mac) << ") now "
                  << AddressText(p.settings.address) << (p.settings.dhcp ? " (DHCP)" : "")
                  << " subnet " << AddressText(p.settings.subnet) << " gateway "
                  << AddressText(p.settings.gateway) << " port " << p.settings.port << "\n"
                  << std::flush;
            if (m_listenFd >= 0) {
                std::string why;
                if (!Bind(p, why)) m_log << "udp printer " << i + 1 << ": " << why << "\n";
            }
            SaveToState();
        }
    }
    if (m_printer.Faults().silent) answers.clear();
    return answers;
}

void DiscoveryResponder::OnReadable() {
    for (;;) {
        std::uint8_t buffer[2048];
        sockaddr_in from{};
        iovec part{buffer, sizeof buffer};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(m_listenFd, &message, MSG_TRUNC);
        if (n < 0) return;  // nothing more for now
        std::string destination = "255.255.255.255";
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                char text[INET_ADDRSTRLEN] = "";
                inet_ntop(AF_INET, &info.ipi_addr, text, sizeof text);
                destination = text;
            }
        }
        char sender[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender);
        const std::size_t size = std::min(static_cast<std::size_t>(n), sizeof buffer);
        for (Answer& answer :
             Handle(buffer, size == static_cast<std::size_t>(n) ? size : 0, sender, destination)) {
            const int lateMs = m_printer.Faults().lateMs;
            if (lateMs > 0) {
                m_delayed.push_back({std::chrono::steady_clock::now() + m_printer.Delay(lateMs),
                                     std::move(answer)});
            } else {
                Send(answer);
            }
        }
    }
}

void DiscoveryResponder::Send(const Answer& answer) {
    const VirtualPrinter& p = m_printers[static_cast<std::size_t>(answer.printer)];
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kPort);
    if (p.fd < 0 || inet_pton(AF_INET, answer.to.c_str(), &to.sin_addr) != 1) return;
    if (sendto(p.fd, answer.bytes.data(), answer.bytes.size(), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0)
        m_log << "udp printer " << answer.printer + 1 << " cannot answer to " << answer.to << ": "
              << std::strerror(errno) << "\n"
              << std::flush;
}

DiscoveryResponder::TimePoint DiscoveryResponder::NextDue() const {
    TimePoint next = TimePoint::max();
    for (const auto& d : m_delayed) next = std::min(next, d.due);
    return next;
}

void DiscoveryResponder::RunTimers(TimePoint now) {
    // Answers leave in the order they were made.
    while (!m_delayed.empty() && m_delayed.front().due <= now) {
        Send(m_delayed.front().answer);
        m_delayed.erase(m_delayed.begin());
    }
}

}  // namespace kp70sim
