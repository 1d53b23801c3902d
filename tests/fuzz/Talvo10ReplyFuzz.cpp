// Plays an arbitrary printer against the TALVO10 download on a serial port: each packet the
// tool writes is answered with the next few input bytes. Whatever the printer says, the
// download ends (no wait without end), writes its packets in address order, and reports
// COMPLETED only when the last packet of the area went out after all the others.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/app/CancelToken.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/VirtualClock.h"
#include "core/firmware/Talvo10Download.h"
#include "core/transport/Notifier.h"
#include "core/transport/PortLink.h"
#include "core/transport/PrinterPort.h"

namespace {

using namespace kp70;

// A serial port whose printer answers every write with the next chunk of the input (the
// chunk's length is the input's next byte, 0..7), handed over as the receive thread would.
class ScriptedPort : public PrinterPort {
public:
    ScriptedPort(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {
        m_settings.portName = "COM1";
        m_settings.modelCode = 2;
    }
    ConnectionSettings& Settings() override { return m_settings; }
    int Open() override {
        m_open = true;
        return 1;
    }
    int Close() override {
        const bool was = m_open;
        m_open = false;
        return was ? 1 : 0;
    }
    int Write(const std::uint8_t* data, int length) override {
        if (!m_open) return 0;
        writes.emplace_back(data, data + length);
        if (m_at >= m_size) return length;
        std::size_t n = m_data[m_at++] % 8;
        for (; n > 0 && m_at < m_size; --n) m_queue.Put(m_data[m_at++]);
        if (m_listener) m_listener->OnDataReceived();
        return length;
    }
    int ReadUsbReply() override { return 1; }
    bool isOpen() const override { return m_open; }
    ReceiveQueue& QueueRead() override { return m_queue; }
    void SetNotifyWindow(ReceiveListener* listener) override { m_listener = listener; }
    int LastErrorCode() const override { return 0; }
    std::string LastErrorText() const override { return {}; }

    std::vector<std::vector<std::uint8_t>> writes;

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
    ConnectionSettings m_settings;
    ReceiveQueue m_queue;
    ReceiveListener* m_listener = nullptr;
    bool m_open = false;
};

// The serial port's links, as the programs make them.
class PortLinks : public PrinterLinkFactory {
public:
    PortLinks(PrinterPort& port, Clock& clock) : m_port(port), m_clock(clock) {}
    ConnectionSettings& Settings() override { return m_port.Settings(); }
    std::unique_ptr<PrinterLink> MakeLink(const LinkRequest& request) override {
        return std::make_unique<PortLink>(m_port, m_clock, request);
    }

private:
    PrinterPort& m_port;
    Clock& m_clock;
};

// A 2 MB image file, written once and removed when the fuzzer ends.
std::string g_imagePath;
void RemoveImage() {
    std::remove(g_imagePath.c_str());
}

const std::string& ImagePath() {
    if (g_imagePath.empty()) {
        g_imagePath = "/tmp/kp70-talvo10-fuzz-" + std::to_string(::getpid()) + ".bin";
        std::ofstream out(g_imagePath, std::ios::binary | std::ios::trunc);
        const std::vector<char> bytes(0x200000, '\x5A');
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::atexit(RemoveImage);
    }
    return g_imagePath;
}

std::uint32_t AddressOf(const std::vector<std::uint8_t>& packet) {
    return static_cast<std::uint32_t>(packet[4] << 24 | packet[5] << 16 | packet[6] << 8 |
                                      packet[7]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ScriptedPort port(data, size);
    VirtualClock clock;
    CancelToken cancel;
    Outcome outcome;
    {
        PortLinks links(port, clock);
        Talvo10Download download(links, clock);
        outcome = download.Run(ImagePath(), FlashArea::Boot, nullptr, {}, cancel);
    }
    if (port.isOpen()) std::abort();
    if (port.writes.empty() || port.writes[0].size() != 10 || port.writes[0][1] != 0xF2)
        std::abort();
    // Data packets go out in address order, each again or the next one.
    std::uint32_t expected = 0x1F0000;
    for (std::size_t i = 1; i < port.writes.size(); ++i) {
        const std::vector<std::uint8_t>& packet = port.writes[i];
        if (packet.size() == 10 && packet[1] == 0xF2) continue;  // the erase packet again
        const std::uint32_t address = AddressOf(packet);
        if (address == expected) {
            expected += 512;
        } else if (address + 512 != expected) {
            std::abort();
        }
    }
    const bool done = outcome.status == OutcomeStatus::Done;
    if (done && !(expected == 0x200000 && port.writes.back()[1] == 0xF1 &&
                  outcome.notices.size() == 1 && outcome.notices[0].number == msg::kCompleted))
        std::abort();
    // A download that did not complete was ended by one of its bounds, never silently.
    if (!done && outcome.notices.empty()) std::abort();
    return 0;
}
