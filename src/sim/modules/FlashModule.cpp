// The printer's flash memory, written by the two firmware download protocols.
//
// Area packets (the F/W Update tool; no answer): 01 11 cc 30, the packet's whole length L
// (4 bytes, little-endian), a checksum (2 bytes, little-endian: the sum of bytes 10 .. L-1),
// then L - 10 bytes for the area. cc names the area and fixes L: 51 program (0xD0000), 52
// program of the TALVO30 and Nux models (0x98000), 46 ext-font (0x100000), BB lcd-font
// (0x200000), 44 download (0x18000), 42 boot (0x15000). A packet whose length or checksum is
// wrong is not written.
//
// The TALVO10 protocol (every packet answered with DLE ACK, or DLE NAK when its checksum is
// wrong): 40 F2 p q 00 00 00 00 00 00 erases the flash from (p - 3) x 64 KB to (q - 3) x 64 KB
// (20 22 program, 0B 1B ext-font, 22 23 boot, 1C 1E font); then 40 F0 (or 40 F1 for the
// last) n n a a a a, n data bytes and their sum (all big-endian) write the bytes at address
// a. The acknowledged last packet completes the area.
//
// From a packet's first bytes to its end (for TALVO10, from the erase packet to the last
// data packet) this module holds the link, so the image never reaches the other modules as
// commands or text. Faults: nak-every=K refuses every K-th packet (an area packet is then
// not written, a TALVO10 packet answered with DLE NAK); silent and drop-after act on the
// link as everywhere.
//
// State "flash": "areas" {name: {code, length, checksum, crc32, writes}} with the data
// bytes of the last area packet written, "talvo10" {name: {start, end, length, checksum,
// crc32, contiguous, packets, naks}} with the bytes of the area after its download, and
// "rejected", the count of area packets not written. checksum is the 16-bit sum of the
// bytes, crc32 their CRC-32 (IEEE), so a test can compare them with the image it sent.
#include <array>
#include <cstdio>
#include <string>

#include "sim/Printer.h"
#include "sim/PrinterModule.h"

namespace kp70sim {

namespace {

constexpr std::uint8_t kDle = 0x10;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;
constexpr std::size_t kAreaHeader = 10;
constexpr std::size_t kFlashHeader = 8;
constexpr std::size_t kMaxFlashData = 512;

struct AreaKind {
    std::uint8_t code;
    const char* name;
    std::uint32_t length;
};
constexpr std::array<AreaKind, 6> kAreas = {{{0x51, "program", 0xD0000},
                                             {0x52, "program", 0x98000},
                                             {0x46, "ext-font", 0x100000},
                                             {0xBB, "lcd-font", 0x200000},
                                             {0x44, "download", 0x18000},
                                             {0x42, "boot", 0x15000}}};

struct FlashKind {
    std::uint8_t first;
    std::uint8_t second;
    const char* name;
};
constexpr std::array<FlashKind, 4> kFlashAreas = {{{0x20, 0x22, "program"},
                                                   {0x0B, 0x1B, "ext-font"},
                                                   {0x22, 0x23, "boot"},
                                                   {0x1C, 0x1E, "font"}}};

const AreaKind* AreaOfCode(std::uint8_t code) {
    for (const AreaKind& area : kAreas)
        if (area.code == code) return &area;
    return nullptr;
}

const FlashKind* FlashAreaOf(std::uint8_t first, std::uint8_t second) {
    for (const FlashKind& area : kFlashAreas)
        if (area.first == first && area.second == second) return &area;
    return nullptr;
}

// CRC-32 (IEEE 802.3, reflected), fed in pieces.
class Crc32 {
public:
    void Add(const std::uint8_t* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            m_crc ^= data[i];
            for (int k = 0; k < 8; ++k) m_crc = (m_crc >> 1) ^ (0xEDB88320u & (0u - (m_crc & 1u)));
        }
    }
    std::uint32_t Value() const { return ~m_crc; }

private:
    std::uint32_t m_crc = 0xFFFFFFFFu;
};

std::string Hex16(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%X", value & 0xFFFF);
    return text;
}

class FlashModule : public PrinterModule {
public:
    explicit FlashModule(Printer& printer) : m_printer(printer) {}

    void OnBytes(const std::uint8_t*, std::size_t, LinkActions&) override {}

    // Looks for the first bytes of a packet: 01 11 cc 30 of an area packet, or a TALVO10
    // erase packet's 40 F2 p q. The link is taken from the packet's first byte where it
    // lies in these bytes.
    std::size_t TakeOverAt(const std::uint8_t* data, std::size_t size) override {
        for (std::size_t i = 0; i < size; ++i) {
            m_window = m_window << 8 | data[i];
            if (m_seen < 4) ++m_seen;
            if (m_seen < 4) continue;
            const std::uint8_t b0 = m_window >> 24, b1 = m_window >> 16, b2 = m_window >> 8,
                               b3 = m_window;
            Phase phase = Phase::Idle;
            if (b0 == 0x01 && b1 == 0x11 && b3 == 0x30 && AreaOfCode(b2)) {
                phase = Phase::AreaHeader;
            } else if (b0 == 0x40 && b1 == 0xF2 && FlashAreaOf(b2, b3)) {
                phase = Phase::FlashPacket;
            }
            if (phase == Phase::Idle) continue;
            m_phase = phase;
            m_packet = {b0, b1, b2, b3};
            m_seen = 0;
            m_window = 0;
            // The packet's bytes that are in this chunk come to Held again.
            const std::size_t start = i >= 3 ? i - 3 : 0;
            m_replay = i + 1 - start;
            return start;
        }
        return size;
    }

    bool Holding() const override { return m_phase != Phase::Idle; }

    std::size_t Held(const std::uint8_t* data, std::size_t size, LinkActions& link) override {
        std::size_t i = std::min(m_replay, size);
        m_replay -= i;
        while (i < size && m_phase != Phase::Idle) {
            switch (m_phase) {
                case Phase::AreaHeader:
                    m_packet.push_back(data[i++]);
                    if (m_packet.size() == kAreaHeader) StartArea();
                    break;
                case Phase::AreaData: {
                    const std::size_t n = std::min<std::size_t>(m_left, size - i);
                    for (std::size_t k = 0; k < n; ++k) m_sum += data[i + k];
                    m_crc.Add(data + i, n);
                    i += n;
                    m_left -= static_cast<std::uint32_t>(n);
                    if (m_left == 0) FinishArea();
                    break;
                }
                case Phase::FlashWait:
                    // Between two TALVO10 packets only a packet may come.
                    if (data[i] != 0x40) {
                        Release("a byte that starts no packet");
                        return i;
                    }
                    m_packet = {data[i++]};
                    m_phase = Phase::FlashPacket;
                    break;
                case Phase::FlashPacket:
                    m_packet.push_back(data[i++]);
                    FlashByte(link);
                    break;
                case Phase::Idle:
                    break;
            }
        }
        return i;
    }

private:
    enum class Phase { Idle, AreaHeader, AreaData, FlashWait, FlashPacket };

    // The TALVO10 area being written.
    struct FlashArea {
        std::string name;
        std::uint32_t start = 0;
        std::uint32_t end = 0;
        Bytes memory;
        std::uint32_t next = 0;  // the address the next packet in order writes
        int packets = 0;
        int naks = 0;
    };

    bool FaultRefuses() {
        const int k = m_printer.Faults().nakEvery;
        return k > 0 && ++m_packets % k == 0;
    }

    void Release(const char* why) {
        std::fprintf(stderr, "flash: %s; the link is free again\n", why);
        m_phase = Phase::Idle;
        m_packet.clear();
    }

    // ---- area packets ----

    void StartArea() {
        const AreaKind& area = *AreaOfCode(m_packet[2]);
        m_length = static_cast<std::uint32_t>(m_packet[4] | m_packet[5] << 8 | m_packet[6] << 16 |
                                              m_packet[7] << 24);
        m_checksum = static_cast<std::uint16_t>(m_packet[8] | m_packet[9] << 8);
        if (m_length != area.length) {
            std::fprintf(stderr, "flash: %s packet of %u bytes, not %u: not written\n", area.name,
                         m_length, area.length);
            Reject();
            return;
        }
        m_area = &area;
        m_left = m_length - static_cast<std::uint32_t>(kAreaHeader);
        m_sum = 0;
        m_crc = Crc32();
        m_phase = Phase::AreaData;
    }

    void FinishArea() {
        m_phase = Phase::Idle;
        const std::uint16_t sum = static_cast<std::uint16_t>(m_sum);
        if (sum != m_checksum) {
            std::fprintf(stderr, "flash: %s packet checksum %s, its data sum to %s: not written\n",
                         m_area->name, Hex16(m_checksum).c_str(), Hex16(sum).c_str());
            Reject();
            return;
        }
        if (FaultRefuses()) {
            std::fprintf(stderr, "flash: %s packet refused (nak-every)\n", m_area->name);
            Reject();
            return;
        }
        nlohmann::json& areas = m_printer.State("flash")["areas"];
        if (!areas.is_object()) areas = nlohmann::json::object();
        nlohmann::json& entry = areas[m_area->name];
        const int writes = entry.is_object() ? entry.value("writes", 0) : 0;
        char code[16];
        std::snprintf(code, sizeof code, "01 11 %02X 30", m_area->code);
        entry = {{"code", code},
                 {"length", m_length},
                 {"checksum", sum},
                 {"crc32", m_crc.Value()},
                 {"writes", writes + 1}};
        m_printer.StateChanged();
        std::fprintf(stderr, "flash: %s area written (%u bytes, checksum %s)\n", m_area->name,
                     m_length, Hex16(sum).c_str());
    }

    void Reject() {
        m_phase = Phase::Idle;
        nlohmann::json& flash = m_printer.State("flash");
        flash["rejected"] = flash.value("rejected", 0) + 1;
        m_printer.StateChanged();
    }

    // ---- TALVO10 packets ----

    void FlashByte(LinkActions& link) {
        const Bytes& p = m_packet;
        if (p.size() == 2 && p[1] != 0xF0 && p[1] != 0xF1 && p[1] != 0xF2) {
            Release("40 followed by no packet kind");
            return;
        }
        const bool erase = p[1] == 0xF2;
        if (p.size() < kFlashHeader) return;
        std::size_t need = kFlashHeader + 2;
        if (!erase) {
            const std::size_t n = static_cast<std::size_t>(p[2] << 8 | p[3]);
            if (n > kMaxFlashData) {
                Release("a data packet longer than 512 bytes");
                return;
            }
            need += n;
        }
        if (p.size() < need) return;
        if (erase) {
            Erase(link);
        } else {
            Write(link);
        }
        m_packet.clear();
    }

    void Erase(LinkActions& link) {
        const Bytes& p = m_packet;
        const FlashKind* kind = FlashAreaOf(p[2], p[3]);
        bool zero = true;
        for (std::size_t k = 4; k < kFlashHeader + 2; ++k) zero = zero && p[k] == 0;
        if (!kind || !zero) {
            Release("a malformed erase packet");
            return;
        }
        if (FaultRefuses()) {
            link.Reply({kDle, kNak});
            m_phase = Phase::FlashWait;
            return;
        }
        FlashArea area;
        area.name = kind->name;
        area.start = static_cast<std::uint32_t>(p[2] - 3) << 16;
        area.end = static_cast<std::uint32_t>(p[3] - 3) << 16;
        area.memory.assign(area.end - area.start, 0xFF);
        area.next = area.start;
        m_flash = std::move(area);
        m_erased = true;
        std::fprintf(stderr, "flash: TALVO10 %s area erased\n", kind->name);
        link.Reply({kDle, kAck});
        m_phase = Phase::FlashWait;
    }

    void Write(LinkActions& link) {
        const Bytes& p = m_packet;
        const std::size_t n = static_cast<std::size_t>(p[2] << 8 | p[3]);
        const std::uint32_t address =
            static_cast<std::uint32_t>(p[4] << 24 | p[5] << 16 | p[6] << 8 | p[7]);
        if (!m_erased || address < m_flash.start || address + n > m_flash.end) {
            Release("a data packet outside the erased area");
            return;
        }
        std::uint32_t sum = 0;
        for (std::size_t k = 0; k < n; ++k) sum += p[kFlashHeader + k];
        const std::uint16_t checksum =
            static_cast<std::uint16_t>(p[kFlashHeader + n] << 8 | p[kFlashHeader + n + 1]);
        ++m_flash.packets;
        if (static_cast<std::uint16_t>(sum) != checksum || FaultRefuses() ||
            (p[1] == 0xF1 && m_printer.Faults().nakLast)) {
            ++m_flash.naks;
            link.Reply({kDle, kNak});
            m_phase = Phase::FlashWait;
            return;
        }
        std::copy(p.begin() + kFlashHeader, p.begin() + static_cast<long>(kFlashHeader + n),
                  m_flash.memory.begin() + (address - m_flash.start));
        if (address == m_flash.next) m_flash.next = address + static_cast<std::uint32_t>(n);
        link.Reply({kDle, kAck});
        if (p[1] == 0xF1) {
            FinishFlash();
            return;
        }
        m_phase = Phase::FlashWait;
    }

    void FinishFlash() {
        const Bytes& memory = m_flash.memory;
        std::uint32_t sum = 0;
        for (std::uint8_t b : memory) sum += b;
        Crc32 crc;
        crc.Add(memory.data(), memory.size());
        nlohmann::json& areas = m_printer.State("flash")["talvo10"];
        if (!areas.is_object()) areas = nlohmann::json::object();
        areas[m_flash.name] = {
            {"start", m_flash.start},     {"end", m_flash.end},
            {"length", memory.size()},    {"checksum", static_cast<std::uint16_t>(sum)},
            {"crc32", crc.Value()},       {"contiguous", m_flash.next == m_flash.end},
            {"packets", m_flash.packets}, {"naks", m_flash.naks}};
        m_printer.StateChanged();
        std::fprintf(stderr, "flash: TALVO10 %s area written (%zu bytes, checksum %s)\n",
                     m_flash.name.c_str(), memory.size(), Hex16(sum).c_str());
        m_erased = false;
        m_flash = FlashArea();
        m_phase = Phase::Idle;
        m_packet.clear();
    }

    Printer& m_printer;
    Phase m_phase = Phase::Idle;
    // The packet start looked for while no packet is under way.
    std::uint32_t m_window = 0;
    int m_seen = 0;
    std::size_t m_replay = 0;  // bytes of the packet Held gets again
    Bytes m_packet;            // the header (area) or the whole packet (TALVO10) so far
    int m_packets = 0;         // for nak-every
    // The area packet under way.
    const AreaKind* m_area = nullptr;
    std::uint32_t m_length = 0;
    std::uint16_t m_checksum = 0;
    std::uint32_t m_left = 0;
    std::uint32_t m_sum = 0;
    Crc32 m_crc;
    // The TALVO10 area under way.
    bool m_erased = false;
    FlashArea m_flash;
};

}  // namespace

std::unique_ptr<PrinterModule> MakeFlashModule(Printer& printer) {
    return std::make_unique<FlashModule>(printer);
}

}  // namespace kp70sim
