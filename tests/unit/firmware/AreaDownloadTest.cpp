#include <gtest/gtest.h>

#include "core/app/CancelToken.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/Profile.h"
#include "core/app/VirtualClock.h"
#include "core/firmware/AreaDownload.h"
#include "support/FakePrinterLink.h"
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
        links.settings.portName = "COM1";
        links.settings.modelCode = 6;
        port.SetClock(&clock);
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
    test::FakeLinkFactory links;
    test::FakePrinterLink& port = links.link;
    AreaDownload session{links, clock};
    CancelToken cancel;
    std::uint32_t cancelAt = 0;
    std::vector<std::uint16_t> checksums;
    std::vector<std::uint32_t> positions;
    std::vector<std::uint32_t> sent;
};

// Every write returned, but the line went while the last blocks sat in the system's
// buffers: no "Update Complete".
TEST_F(AreaDownloadTest, ABlockOrTheLastBytesNotDeliveredIsNoSuccess) {
    // The link went behind the last writes, or the printer took nothing of the last bytes;
    // a serial port and a network printer offer DOWNLOAD again, the others EXIT only.
    const struct {
        const char* portName;
        int lostAfterBytes;
        DeliveryFault delivery;
        int number;
        ActionSet enabled;
    } cases[] = {
        {"COM1", 0xD0000 - 4096, DeliveryFault::None, msg::kPrinterNotReady, kDownload | kExit},
        {"ETHERNET_II", -1, DeliveryFault::NotTaken, msg::kCommunication, kDownload | kExit},
        {"LPT1", 100, DeliveryFault::None, msg::kLptWriteError, kExit},
        {"USB", -1, DeliveryFault::NotTaken, msg::kLptWriteError, kExit},
    };
    for (const auto& c : cases) {
        links.settings.portName = c.portName;
        port.lostAfterBytes = c.lostAfterBytes;
        port.deliveryFault = c.delivery;
        port.ClearEvents();
        const Outcome outcome = Download(FirmwareArea::Program);
        EXPECT_EQ(outcome.status, OutcomeStatus::Failed) << c.portName;
        ASSERT_EQ(outcome.notices.size(), 1u);
        EXPECT_EQ(outcome.notices[0].number, c.number) << c.portName;
        EXPECT_EQ(outcome.enabled, c.enabled) << c.portName;
        EXPECT_EQ(port.EventNames().back(), "Close");
        EXPECT_EQ(port.Count("WaitDelivered"), 1);
    }
}

TEST_F(AreaDownloadTest, SerialProgramAreaIn416BlocksThenSixteenSettlingSteps) {
    const Outcome outcome = Download(FirmwareArea::Program);
    ASSERT_EQ(outcome.status, OutcomeStatus::Done);
    ASSERT_EQ(outcome.notices.size(), 1u);
    EXPECT_EQ(outcome.notices[0].number, msg::kUpdateComplete);
    EXPECT_EQ(outcome.enabled, kDownload | kFileOpen | kExit);

    // The port is opened for the transfer (binary: flow control none) and closed once the
    // printer has taken the packet, before it settles.
    EXPECT_TRUE(links.requests.back().binary);
    const auto names = port.EventNames();
    EXPECT_EQ(names.front(), "Open");
    EXPECT_EQ(names[names.size() - 2], "WaitDelivered");
    EXPECT_EQ(names.back(), "Close");
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 416u);
    for (const FakeBytes& block : writes) EXPECT_EQ(block.size(), 2048u);
    const std::vector<std::uint8_t> image = test::MakeImage();
    const AreaPacket packet = BuildAreaPacket(image.data(), image.size(), FirmwareArea::Program, 6);
    EXPECT_EQ(port.WrittenBytes(), packet.bytes);
    EXPECT_EQ(checksums, std::vector<std::uint16_t>{packet.checksum});

    EXPECT_EQ(clock.Sleeps(), std::vector<std::int64_t>(16, 83));
    ASSERT_EQ(positions.size(), 416u + 16u);
    EXPECT_EQ(positions[415], 851968u);
    EXPECT_EQ(positions[416], 851969u);
    EXPECT_EQ(positions.back(), 851969u + 1280u * 15);
    EXPECT_EQ(sent, std::vector<std::uint32_t>{851968});
    EXPECT_EQ(LoadLastImage(profile, "FWDN20").path, dir.File("fw.SHC"));
    EXPECT_EQ(LoadLastImage(profile, "FWDN20").name, "fw.SHC");
}

TEST_F(AreaDownloadTest, NetworkProgramAreaIn208BlocksThen256SettlingSteps) {
    links.settings.portName = "ETHERNET_II";
    const Outcome outcome = Download(FirmwareArea::Program);
    ASSERT_EQ(outcome.status, OutcomeStatus::Done);
    EXPECT_EQ(outcome.notices[0].number, msg::kUpdateComplete);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 208u);
    for (const FakeBytes& block : writes) EXPECT_EQ(block.size(), 4096u);
    // Delivered before settling; the connection stays while the printer writes its flash.
    const auto names = port.EventNames();
    EXPECT_EQ(names[names.size() - 2], "WaitDelivered");
    EXPECT_EQ(names.back(), "Close");
    EXPECT_EQ(port.Events().back().at, 256 * 83);
    EXPECT_EQ(clock.Sleeps(), std::vector<std::int64_t>(256, 83));
    EXPECT_EQ(positions.back(), 851968u + 4096 + 1 + 80 * 255);
}

TEST_F(AreaDownloadTest, CaptionShowsThePercentageUpToTheBarsEnd) {
    EXPECT_EQ(ProgressCaption(0, 851968), "KP 70 Tool : Firmware Download - 0 %");
    EXPECT_EQ(ProgressCaption(393216, 851968), "KP 70 Tool : Firmware Download - 45 %");
    // The network's last settling steps run past the bar, which stops at its end.
    EXPECT_EQ(ProgressPercent(98304 + 4097 + 80 * 255, 98304), 100);
}

TEST_F(AreaDownloadTest, ANetworkPrinterThatTookEverythingAndRestartsIsASuccess) {
    links.settings.portName = "ETHERNET_II";
    port.closesAfterTakingAll = true;
    const Outcome outcome = Download(FirmwareArea::Download);
    ASSERT_EQ(outcome.status, OutcomeStatus::Done);
    EXPECT_EQ(outcome.notices[0].number, msg::kUpdateComplete);
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
        const Outcome outcome = session.CheckFile(c.file[0] ? dir.File(c.file) : "", nullptr);
        EXPECT_EQ(outcome.status, c.status) << c.file;
        ASSERT_EQ(outcome.notices.size(), 1u);
        EXPECT_EQ(outcome.notices[0].literal, c.text);
        EXPECT_EQ(outcome.enabled, c.enabled);
    }
    EXPECT_TRUE(port.Events().empty());
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
    EXPECT_FALSE(port.IsOpen());
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
        links.settings.portName = c.portName;
        port.takeLimit = port.Taken() + 5 * 2048;
        positions.clear();
        const Outcome outcome = Download(FirmwareArea::Download);
        EXPECT_EQ(outcome.status, OutcomeStatus::Failed) << c.portName;
        ASSERT_EQ(outcome.notices.size(), 1u);
        EXPECT_EQ(outcome.notices[0].number, c.number) << c.portName;
        EXPECT_EQ(outcome.enabled, c.enabled) << c.portName;
        EXPECT_EQ(outcome.count, 5 * 2048);
        EXPECT_EQ(outcome.notices[0].detail, "the port took 10240 of 98304 bytes");
        EXPECT_FALSE(port.IsOpen());
        EXPECT_TRUE(sent.empty());
    }
    EXPECT_TRUE(clock.Sleeps().empty());  // no settling after a failed transfer
}

TEST_F(AreaDownloadTest, ANetworkPrinterThatStopsTakingEndsWithMessage42) {
    links.settings.portName = "ETHERNET_II";
    port.takeLimit = 10000;
    port.stall = true;
    const Outcome outcome = Download(FirmwareArea::Download);
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
    ASSERT_EQ(outcome.notices.size(), 1u);
    EXPECT_EQ(outcome.notices[0].number, msg::kCommunication);
    EXPECT_EQ(outcome.notices[0].detail, "the printer took 10000 of 98304 bytes");
    EXPECT_EQ(outcome.enabled, kDownload | kExit);
    EXPECT_EQ(port.EventNames().back(), "Close");
    EXPECT_EQ(clock.Now(), 10000);  // the link's write time-out
}

TEST_F(AreaDownloadTest, NetworkPrinterThatNeverAnswersTheProbes) {
    links.settings.portName = "ETHERNET_II";
    port.openResults = {false};
    const Outcome outcome = Download(FirmwareArea::Program);
    EXPECT_EQ(outcome.notices[0].number, msg::kPrinterCheck);
    EXPECT_EQ(outcome.enabled, kExit);
    EXPECT_EQ(port.Count("Send"), 0);
}

TEST_F(AreaDownloadTest, CancelStopsBetweenBlocksAndClosesThePort) {
    cancelAt = 20480;
    const Outcome outcome = Download(FirmwareArea::ExtFont);
    EXPECT_EQ(outcome.status, OutcomeStatus::Cancelled);
    EXPECT_TRUE(outcome.notices.empty());
    EXPECT_EQ(port.Writes().size(), 10u);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(AreaDownloadTest, CancelDuringSettlingReportsNoSuccess) {
    cancelAt = 0x18000 + 1;  // the first settling step
    const Outcome outcome = Download(FirmwareArea::Download);
    EXPECT_EQ(outcome.status, OutcomeStatus::Cancelled);
    EXPECT_TRUE(outcome.notices.empty());
}

}  // namespace
}  // namespace kp70
