#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "sim/Discovery.h"
#include "sim/Printer.h"
#include "sim/PseudoTerminal.h"

namespace kp70sim {

// The virtual printer's links and their event loop (one thread, poll()): the TCP listener
// and its connections, the pseudo-terminal, the discovery responder, the captures, the
// generic faults (drop-after, refuse, silent, late) and the timers they need. Received bytes go to
// a PrinterSession per link; what the modules ask for (replies, link effects) is carried out here.
class Simulator {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // log receives one line per link event (connections, hang-ups, drops).
    Simulator(Printer& printer, std::ostream& log);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the capture folder, the TCP listener and the pseudo-terminals. False, with `why`.
    bool Start(std::string& why);
    // One line per listener: "tcp HOST:PORT", "pty LINK -> DEVICE", "lpt LINK -> DEVICE",
    // "device PATH KIND",
    // "udp ADDRESS:2918 printers N".
    std::vector<std::string> ReadyLines() const;
    // Serves the links until stopFd becomes readable.
    void Run(int stopFd);
    // Closes every link and the listener, removes the pseudo-terminals' links, saves the state.
    void Shutdown();

    class Link;

private:
    void Accept();
    void Receive(Link& link);
    void Flush(Link& link);
    void Decode(Link& link, const std::uint8_t* data, std::size_t size);
    void Release(Link& link);
    void HangUpPty(Link& link);
    void CarryOutRequests(Link& link);
    void SaveState();
    int NextTimeoutMs(TimePoint now) const;
    void RunTimers(TimePoint now);
    std::FILE* OpenCapture(const std::string& name);
    // Opens --device as a link of its own. False, with `why`.
    bool OpenDevice(std::string& why);
    // The device went away for a while: its node is closed, and opened again after a pause.
    void DeviceGone(Link& link);
    // True when the device's node opens again.
    bool ReopenDevice(Link& link);
    // A program has the pseudo-terminal's slave open (again).
    void SlavePresent(Link& link);
    // Reads the --control file again when it changed since the last look.
    void ReadControlFile();

    // What the --control file was when last read (inode, size, modification time).
    struct ControlStamp {
        bool exists = false;
        long long inode = 0;
        long long size = 0;
        long long modified = 0;
        bool operator==(const ControlStamp&) const = default;
    };
    ControlStamp m_controlStamp;

    Printer& m_printer;
    std::ostream& m_log;
    int m_listenFd = -1;
    int m_tcpPort = 0;
    int m_tcpCount = 0;
    PseudoTerminal m_pty;
    PseudoTerminal m_lpt;                             // the parallel side, when asked for
    std::unique_ptr<DiscoveryResponder> m_discovery;  // --udp
    std::vector<std::unique_ptr<Link>> m_links;
};

}  // namespace kp70sim
