#include "sim/TcpPrinters.h"

#include <arpa/inet.h>

#include <filesystem>

namespace kp70sim {

bool ExtraPrinterOptions(const SimOptions& base, int index, SimOptions& options, std::string& why) {
    in_addr address{};
    if (inet_pton(AF_INET, base.tcpHost.c_str(), &address) != 1) {
        why = "--tcp-printers wants a dotted IPv4 --tcp host (such as 127.0.0.1), not '" +
              base.tcpHost + "'";
        return false;
    }
    const std::uint32_t host = ntohl(address.s_addr);
    if ((host & 0xFF) + static_cast<std::uint32_t>(index) > 254) {
        why = "--tcp-printers: " + base.tcpHost + " plus " + std::to_string(index) +
              " leaves the network's addresses";
        return false;
    }
    address.s_addr = htonl(host + static_cast<std::uint32_t>(index));
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &address, text, sizeof text);

    options = base;
    options.tcpHost = text;
    options.tcpPrinters = 0;
    options.ptyEnabled = false;
    options.lptPath.clear();
    options.devicePath.clear();
    options.udpAddress.clear();
    if (!base.stateFile.empty()) {
        const std::filesystem::path state(base.stateFile);
        options.stateFile = (state.parent_path() /
                             (state.stem().string() + "-" + text + state.extension().string()))
                                .string();
    }
    if (!base.outDir.empty()) options.outDir = (std::filesystem::path(base.outDir) / text).string();
    return true;
}

TcpPrinters::~TcpPrinters() {
    Shutdown();
}

bool TcpPrinters::Start(const SimOptions& base, std::ostream& log, std::string& why) {
    if (!base.tcpEnabled) return true;
    for (int i = 1; i <= base.tcpPrinters; ++i) {
        SimOptions options;
        if (!ExtraPrinterOptions(base, i, options, why)) return false;
        Extra extra;
        extra.printer = std::make_unique<Printer>(options);
        if (!extra.printer->LoadState(why)) return false;
        extra.simulator = std::make_unique<Simulator>(*extra.printer, log);
        if (!extra.simulator->Start(why)) return false;
        m_extras.push_back(std::move(extra));
    }
    return true;
}

std::vector<std::string> TcpPrinters::ReadyLines() const {
    std::vector<std::string> lines;
    for (const Extra& extra : m_extras)
        for (const std::string& line : extra.simulator->ReadyLines()) lines.push_back(line);
    return lines;
}

void TcpPrinters::Run(int stopFd) {
    for (Extra& extra : m_extras) {
        Simulator* simulator = extra.simulator.get();
        // The stop descriptor is only polled, never read, so every loop sees it readable.
        m_threads.emplace_back([simulator, stopFd] { simulator->Run(stopFd); });
    }
}

void TcpPrinters::Shutdown() {
    for (std::thread& thread : m_threads) thread.join();
    m_threads.clear();
    for (Extra& extra : m_extras) extra.simulator->Shutdown();
    m_extras.clear();
}

}  // namespace kp70sim
