#include <gtest/gtest.h>

#include "core/app/CancelToken.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/Profile.h"
#include "core/app/VirtualClock.h"
#include "core/firmware/AreaDownload.h"
#include "support/FakeNetworkLink.h"
#include "support/FakePrinterPort.h"
#include "support/FirmwareImages.h"
#include "support/TempDir.h"

namespace kp70 {
namespace {

using namespace firmware;
using test::FakeBytes;

// One F/W Update download over fake links, in virtual time.
class AreaDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteBytes(dir.File("fw.SHC"), test::MakeImage());
        port.Settings() = {"COM1", 115200, 8, 0, 0, 2, 6, kToolModeFirmware};
        port.SetClock(&clock);
        network.SetClock(&clock);
    }

    Outcome Download(FirmwareArea area, const std::string& file = "fw.SHC") {
        const Outcome checked = session.CheckFile(dir.File(file), &profile);
        if (checked.status != OutcomeStatus::Done) return checked;
        AreaDownloadObserver observer;
        observer.packetBuilt = [this](std::uint16_t sum, std::uint32_t) {
            checksums.push_back(sum);
        };
        observer.progress = [this](std::uint32_t p) {
            positions.push_back(p);
            if (cancelAt > 0 && p >= cancelAt) cancel.Cancel();
        };
        observer.sent = [this](std::uint32_t n) { sent.push_back(n); };
        return session.Send(area, observer, cancel);
    }

    test::TempDir dir;
    Profile profile{dir.File("kp70tool.INI")};
    VirtualClock clock;
    test::FakePrinterPort port;
    test::FakeNetworkLink network;
    AreaDownload session{{port, &network, "10.0.0.7", 9100}, clock};
    CancelToken cancel;
    std::uint32_t cancelAt = 0;
    std::vector<std::uint16_t> checksums;
    std::vector<std::uint32_t> positions;
    std::vector<std::uint32_t> sent;
};

// Every write returned, but the line went while the last blocks sat in the system's
// buffers: no "Update Complete".
TEST_F(AreaDownloadTest, LineLostBehindTheLastWritesIsNoSuccess) {
    port.linkLostAfterBytes = 0xD0000 - 4096;
    const Outcome outcome = Download(FirmwareArea::Program);
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
    ASSERT_EQ(outcome.notices.size(), 1u);
    EXPECT_EQ(outcome.notices[0].number, msg::kPrinterNotReady);
    EXPECT_EQ(port.EventNames().back(), "Close");
}

TEST_F(AreaDownloadTest, SerialProgramAreaIn416BlocksThenSixteenSettlingSteps) {
    const Outcome outcome = Download(FirmwareArea::Program);
    ASSERT_EQ(outcome.status, OutcomeStatus::Done);
    ASSERT_EQ(outcome.notices.size(), 1u);
    EXPECT_EQ(outcome.notices[0].number, msg::kUpdateComplete);
    EXPECT_EQ(outcome.enabled, kDownload | kFileOpen | kExit);

    // The port is re-opened for the transfer and closed before the printer settles.
    const auto names = port.EventNames();
    EXPECT_EQ(names.front(), "Close");
    EXPECT_EQ(names[1], "Open");
    EXPECT_EQ(names.back(), "Close");
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 416u);
    for (const FakeBytes& block : writes) EXPECT_EQ(block.size(), 2048u);
    const std::vector<std::uint8_t> image = test::MakeImage();
    const AreaPacket packet = BuildAreaPacket(image.data(), image.size(), FirmwareArea::Program, 6);
    EXPECT_EQ(port.WrittenBytes(), packet.bytes);
    EXPECT_EQ(checksums, std::vector<std::uint16_t>{packet.checksum});

    // Half a second for the line to carry the last bytes, then the settling steps.
    std::vector<std::int64_t> waits(16, 83);
    waits.insert(waits.begin(), 500);
    EXPECT_EQ(clock.Sleeps(), waits);
    ASSERT_EQ(positions.size(), 416u + 16u);
    EXPECT_EQ(positions[415], 851968u);
    EXPECT_EQ(positions[416], 851969u);
    EXPECT_EQ(positions.back(), 851969u + 1280u * 15);
    EXPECT_EQ(sent, std::vector<std::uint32_t>{851968});
    EXPECT_EQ(LoadLastImage(profile, "FWDN20").path, dir.File("fw.SHC"));
    EXPECT_EQ(LoadLastImage(profile, "FWDN20").name, "fw.SHC");
}

TEST_F(AreaDownloadTest, NetworkProgramAreaIn208BlocksThen256SettlingSteps) {
    port.Settings().portName = "ETHERNET_II";
    const Outcome outcome = Download(FirmwareArea::Program);
    ASSERT_EQ(outcome.status, OutcomeStatus::Done);
    EXPECT_EQ(outcome.notices[0].number, msg::kUpdateComplete);
    EXPECT_EQ(network.Address(), "10.0.0.7");
    EXPECT_EQ(network.Port(), 9100);
    EXPECT_EQ(port.Count("Open"), 0);
    const auto writes = network.Writes();
    ASSERT_EQ(writes.size(), 208u);
    for (const FakeBytes& block : writes) EXPECT_EQ(block.size(), 4096u);
    EXPECT_EQ(network.EventNames().back(), "CloseSocket");
    // The connection's first 50 ms probe wait, then 256 steps of 83 ms.
    std::vector<std::int64_t> waits(1, 50);
    waits.insert(waits.end(), 256, 83);
    EXPECT_EQ(clock.Sleeps(), waits);
    EXPECT_EQ(positions.back(), 851968u + 4096 + 1 + 80 * 255);
}

TEST_F(AreaDownloadTest, CaptionShowsThePercentageUpToTheBarsEnd) {
    EXPECT_EQ(ProgressCaption(0, 851968), "KP 70 Tool : Firmware Download - 0 %");
    EXPECT_EQ(ProgressCaption(393216, 851968), "KP 70 Tool : Firmware Download - 45 %");
    // The network's last settling steps run past the bar, which stops at its end.
    EXPECT_EQ(ProgressPercent(98304 + 4097 + 80 * 255, 98304), 100);
}

TEST_F(AreaDownloadTest, FlowControlNoneWhileTheToolRunsThenTheOperatorsChoice) {
    int flowWhileOpen = -1;
    port.responder = [&](const FakeBytes&) {
        flowWhileOpen = port.Settings().flowControl;
        return FakeBytes{};
    };
    ASSERT_EQ(Download(FirmwareArea::Download).status, OutcomeStatus::Done);
    EXPECT_EQ(flowWhileOpen, 3);
    EXPECT_EQ(port.Settings().flowControl, 3);
    session.Close();
    EXPECT_EQ(port.Settings().flowControl, 2);
}

TEST_F(AreaDownloadTest, FileChecksStopBeforeThePrinter) {
    test::WriteBytes(dir.File("big.SHC"), std::vector<std::uint8_t>(8388609, 0xFF));
    const struct {
        const char* file;
        OutcomeStatus status;
        const char* text;
        ActionSet enabled;
    } cases[] = {
        {"missing.SHC", OutcomeStatus::Failed, "ERROR : File Open", kDownload | kFileOpen | kExit},
        {"", OutcomeStatus::Failed, "ERROR : File Open", kDownload | kFileOpen | kExit},
        {"big.SHC", OutcomeStatus::Refused, "FileSize (8388609 bytes) Error!", kFileOpen | kExit},
    };
    for (const auto& c : cases) {
        port.Open();
        const Outcome outcome = session.CheckFile(c.file[0] ? dir.File(c.file) : "", nullptr);
        EXPECT_EQ(outcome.status, c.status) << c.file;
        ASSERT_EQ(outcome.notices.size(), 1u);
        EXPECT_EQ(outcome.notices[0].literal, c.text);
        EXPECT_EQ(outcome.enabled, c.enabled);
        // A file that cannot be opened closes the port; a wrong size leaves it.
        EXPECT_EQ(port.isOpen(), c.status == OutcomeStatus::Refused) << c.file;
        port.Close();
    }
    EXPECT_TRUE(port.Writes().empty());
}

TEST_F(AreaDownloadTest, FailuresBeforeTheTransferOfferDownloadAgain) {
    test::WriteBytes(dir.File("unsigned.SHC"), test::MakeImage(1, false));
    port.openResults = {false};
    Outcome outcome = Download(FirmwareArea::Program);
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
    EXPECT_EQ(outcome.notices[0].number, msg::kInitFail);
    EXPECT_EQ(outcome.enabled, kDownload | kFileOpen | kExit);

    outcome = Download(FirmwareArea::Program, "unsigned.SHC");
    EXPECT_EQ(outcome.notices[0].literal, "Wrong File!");
    EXPECT_EQ(outcome.notices[0].caption, "Error");
    EXPECT_EQ(outcome.enabled, kDownload | kFileOpen | kExit);
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.Writes().empty());
}

TEST_F(AreaDownloadTest, ABlockThePortCannotTakeEndsTheTransferWithoutSuccess) {
    const struct {
        const char* portName;
        int number;
        ActionSet enabled;
    } cases[] = {
        {"COM1", msg::kPrinterNotReady, kDownload | kExit},
        {"LPT1", msg::kLptWriteError, kExit},
        {"USB", msg::kLptWriteError, kExit},
    };
    for (const auto& c : cases) {
        port.Settings().portName = c.portName;
        port.failAfterWrites = static_cast<int>(port.Writes().size()) + 5;
        positions.clear();
        const Outcome outcome = Download(FirmwareArea::Download);
        EXPECT_EQ(outcome.status, OutcomeStatus::Failed) << c.portName;
        ASSERT_EQ(outcome.notices.size(), 1u);
        EXPECT_EQ(outcome.notices[0].number, c.number) << c.portName;
        EXPECT_EQ(outcome.enabled, c.enabled) << c.portName;
        EXPECT_EQ(outcome.count, 5 * 2048);
        EXPECT_FALSE(port.isOpen());
        EXPECT_TRUE(sent.empty());
    }
    EXPECT_TRUE(clock.Sleeps().empty());  // no settling after a failed transfer
}

TEST_F(AreaDownloadTest, ShortWriteIsAFailure) {
    port.shortWriteBy = 1;
    const Outcome outcome = Download(FirmwareArea::Boot);
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
    EXPECT_EQ(outcome.notices[0].number, msg::kPrinterNotReady);
}

TEST_F(AreaDownloadTest, RefusedNetworkBlockGivesUpAfterItsBound) {
    port.Settings().portName = "ETHERNET_II";
    network.failAfterBytes = 10000;
    const Outcome outcome = Download(FirmwareArea::Download);
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
    ASSERT_EQ(outcome.notices.size(), 1u);
    EXPECT_EQ(outcome.notices[0].number, msg::kCommunication);
    EXPECT_EQ(outcome.enabled, kDownload | kExit);
    EXPECT_EQ(network.EventNames().back(), "CloseSocket");
    // The block was offered every 100 ms until it had been refused for 5 s.
    EXPECT_EQ(clock.Now(), 50 + kNetworkRefusalMs);
    EXPECT_EQ(network.Count("Send"), 3 + 1 + kNetworkRefusalMs / kNetworkRetryMs);
}

TEST_F(AreaDownloadTest, ConnectionLostAfterTheLastSendIsNoSuccess) {
    // Every send went into the socket, but the printer closed the connection before it had
    // taken the last blocks.
    port.Settings().portName = "ETHERNET_II";
    int blocks = 0;
    network.responder = [&](const FakeBytes&) {
        if (++blocks == 24) network.refuse = true;
        return FakeBytes{};
    };
    const Outcome outcome = Download(FirmwareArea::Download);
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
    EXPECT_EQ(outcome.notices[0].number, msg::kCommunication);
    EXPECT_EQ(sent, std::vector<std::uint32_t>{0x18000});
    EXPECT_EQ(network.EventNames().back(), "CloseSocket");
}

TEST_F(AreaDownloadTest, NetworkPrinterThatNeverAnswersTheProbes) {
    port.Settings().portName = "ETHERNET_II";
    network.refuse = true;
    const Outcome outcome = Download(FirmwareArea::Program);
    EXPECT_EQ(outcome.notices[0].number, msg::kPrinterCheck);
    EXPECT_EQ(outcome.enabled, kExit);
    EXPECT_EQ(network.Count("Probe"), 10);
    EXPECT_EQ(network.EventNames().back(), "CloseSocket");
}

TEST_F(AreaDownloadTest, CancelStopsBetweenBlocksAndClosesThePort) {
    cancelAt = 20480;
    const Outcome outcome = Download(FirmwareArea::ExtFont);
    EXPECT_EQ(outcome.status, OutcomeStatus::Cancelled);
    EXPECT_TRUE(outcome.notices.empty());
    EXPECT_EQ(port.Writes().size(), 10u);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(AreaDownloadTest, CancelDuringSettlingReportsNoSuccess) {
    cancelAt = 0x18000 + 1;  // the first settling step
    const Outcome outcome = Download(FirmwareArea::Download);
    EXPECT_EQ(outcome.status, OutcomeStatus::Cancelled);
    EXPECT_TRUE(outcome.notices.empty());
}

}  // namespace
}  // namespace kp70
