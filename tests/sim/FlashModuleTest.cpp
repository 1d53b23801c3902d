// The virtual printer's flash, driven with literal packet bytes (not with the tool's own
// builders, so the two readings of the protocols stay independent).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "sim/Printer.h"
#include "support/FirmwareImages.h"
#include "support/TempDir.h"

namespace kp70sim {
namespace {

class RecordingLink : public LinkActions {
public:
    const std::string& LinkName() const override { return m_name; }
    void Reply(const Bytes& bytes) override {
        replies.insert(replies.end(), bytes.begin(), bytes.end());
    }
    void CloseLink() override {}
    void Restart(int) override {}
    void GoSilent(int) override {}
    Bytes replies;

private:
    std::string m_name = "pty";
};

struct FlashRig {
    explicit FlashRig(int nakEvery = 0) : printer(Options(nakEvery)) {
        session = std::make_unique<PrinterSession>(printer);
    }
    SimOptions Options(int nakEvery) {
        SimOptions options;
        options.stateFile = dir.File("state.json");
        options.faults.nakEvery = nakEvery;
        return options;
    }
    // Feeds the bytes in chunks of `chunk` (the link's reads split anywhere).
    void Feed(const Bytes& bytes, std::size_t chunk = 4096) {
        for (std::size_t at = 0; at < bytes.size(); at += chunk)
            session->Feed(bytes.data() + at, std::min(chunk, bytes.size() - at), link);
    }
    nlohmann::json Flash() { return printer.State("flash"); }

    kp70::test::TempDir dir;
    Printer printer;
    RecordingLink link;
    std::unique_ptr<PrinterSession> session;
};

// An area packet for code cc with L bytes: header, then `data` (L - 10 bytes).
Bytes AreaPacket(std::uint8_t code, const Bytes& data, int checksumError = 0) {
    const std::uint32_t length = static_cast<std::uint32_t>(data.size() + 10);
    const std::uint16_t sum =
        static_cast<std::uint16_t>(kp70::test::Sum16(data.data(), data.size()) + checksumError);
    Bytes p = {0x01, 0x11, code, 0x30};
    for (int i = 0; i < 4; ++i) p.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    p.push_back(static_cast<std::uint8_t>(sum));
    p.push_back(static_cast<std::uint8_t>(sum >> 8));
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

// The data of a DOWNLOAD-area packet: 98,294 bytes, with an NV definition command (FS q 1)
// and a line of text in it that the other modules must never see.
Bytes DownloadData() {
    Bytes data(0x18000 - 10);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 31);
    const Bytes trap = {0x1C, 0x71, 0x01, 0x01, 0x00, 0x01, 0x00, 'H', 'I', '\n'};
    std::copy(trap.begin(), trap.end(), data.begin() + 5000);
    return data;
}

TEST(SimFlash, AreaPacketIsWrittenWhateverTheChunking) {
    const Bytes data = DownloadData();
    for (std::size_t chunk : {1, 4096}) {
        FlashRig rig;
        rig.printer.State("nv")["images"] = nlohmann::json::array({{{"width", 8}}});
        rig.Feed(Bytes{'A', 'B'});
        rig.Feed(AreaPacket(0x44, data), chunk);
        const nlohmann::json area = rig.Flash()["areas"]["download"];
        EXPECT_EQ(area["length"], 0x18000) << chunk;
        EXPECT_EQ(area["checksum"], kp70::test::Sum16(data.data(), data.size()));
        EXPECT_EQ(area["crc32"], kp70::test::Crc32(data.data(), data.size()));
        EXPECT_EQ(area["code"], "01 11 44 30");
        // The image's bytes went to the flash alone: the NV memory was not redefined.
        EXPECT_EQ(rig.printer.State("nv")["images"].size(), 1u) << chunk;
        EXPECT_TRUE(rig.link.replies.empty());
    }
}

TEST(SimFlash, PacketsWithAWrongLengthOrChecksumAreNotWritten) {
    FlashRig rig;
    rig.Feed(AreaPacket(0x44, DownloadData(), 1));
    rig.Feed(AreaPacket(0x42, Bytes(100, 0xFF)));  // a boot packet is 0x15000 bytes long
    EXPECT_FALSE(rig.Flash().contains("areas"));
    EXPECT_EQ(rig.Flash()["rejected"], 2);
}

TEST(SimFlash, NakEveryRefusesEveryKthAreaPacket) {
    FlashRig rig(2);
    const Bytes packet = AreaPacket(0x44, DownloadData());
    rig.Feed(packet);
    rig.Feed(packet);
    rig.Feed(packet);
    EXPECT_EQ(rig.Flash()["areas"]["download"]["writes"], 2);
    EXPECT_EQ(rig.Flash()["rejected"], 1);
}

Bytes ErasePacket(std::uint8_t first, std::uint8_t second) {
    return {0x40, 0xF2, first, second, 0, 0, 0, 0, 0, 0};
}

Bytes DataPacket(std::uint32_t address, const Bytes& data, bool last, int checksumError = 0) {
    Bytes p = {0x40, static_cast<std::uint8_t>(last ? 0xF1 : 0xF0),
               static_cast<std::uint8_t>(data.size() >> 8), static_cast<std::uint8_t>(data.size())};
    for (int i = 3; i >= 0; --i) p.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    p.insert(p.end(), data.begin(), data.end());
    const std::uint16_t sum =
        static_cast<std::uint16_t>(kp70::test::Sum16(data.data(), data.size()) + checksumError);
    p.push_back(static_cast<std::uint8_t>(sum >> 8));
    p.push_back(static_cast<std::uint8_t>(sum));
    return p;
}

TEST(SimFlash, Talvo10AreaIsAcknowledgedPacketByPacket) {
    FlashRig rig;
    const Bytes ack = {0x10, 0x06}, nak = {0x10, 0x15};
    rig.Feed(ErasePacket(0x22, 0x23));  // boot: 0x1F0000 .. 0x200000
    EXPECT_EQ(rig.link.replies, ack);
    Bytes memory;
    for (std::uint32_t address = 0x1F0000; address < 0x200000; address += 512) {
        Bytes data(512);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(address + i * 5);
        memory.insert(memory.end(), data.begin(), data.end());
        const bool last = address + 512 == 0x200000;
        if (address == 0x1F0400) {
            rig.link.replies.clear();
            rig.Feed(DataPacket(address, data, last, 1), 3);
            EXPECT_EQ(rig.link.replies, nak);
        }
        rig.link.replies.clear();
        rig.Feed(DataPacket(address, data, last), 100);
        EXPECT_EQ(rig.link.replies, ack) << std::hex << address;
    }
    const nlohmann::json area = rig.Flash()["talvo10"]["boot"];
    EXPECT_EQ(area["start"], 0x1F0000);
    EXPECT_EQ(area["length"], 0x10000);
    EXPECT_EQ(area["crc32"], kp70::test::Crc32(memory.data(), memory.size()));
    EXPECT_EQ(area["contiguous"], true);
    EXPECT_EQ(area["naks"], 1);
    // The link is free again: a further byte is nobody's packet.
    rig.link.replies.clear();
    rig.Feed(Bytes{0x10, 0x06});
    EXPECT_TRUE(rig.link.replies.empty());
}

}  // namespace
}  // namespace kp70sim
