#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/app/CancelToken.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/Profile.h"
#include "core/app/VirtualClock.h"
#include "core/firmware/FirmwareTexts.h"
#include "core/firmware/FlashPacket.h"
#include "core/firmware/LastImage.h"
#include "core/firmware/Talvo10Download.h"
#include "support/FakePrinterLink.h"
#include "support/FirmwareImages.h"
#include "support/TempDir.h"

namespace kp70 {
namespace {

using test::FakeBytes;

const FakeBytes kDleAck = {0x10, 0x06};
const FakeBytes kDleNak = {0x10, 0x15};

TEST(FlashPacket, EraseAndDataPackets) {
    EXPECT_EQ(FlashPacket::Erase(FlashArea::Boot).Bytes(),
              (FakeBytes{0x40, 0xF2, 0x22, 0x23, 0, 0, 0, 0, 0, 0}));
    for (int a = 0; a < kFlashAreaCount; ++a) {
        const FlashAreaInfo info = FlashAreaOf(static_cast<FlashArea>(a));
        EXPECT_EQ(info.eraseFirst, info.start / 65536 + 3);
        EXPECT_EQ(info.eraseSecond, info.end / 65536 + 3);
    }
    const std::uint8_t data[] = {1, 2, 3};
    EXPECT_EQ(FlashPacket::Data(0x1FFFFD, data, 3, true).Bytes(),
              (FakeBytes{0x40, 0xF1, 0x00, 0x03, 0x00, 0x1F, 0xFF, 0xFD, 1, 2, 3, 0x00, 0x06}));
    const std::vector<std::uint8_t> full(512, 0xFF);
    const FlashPacket largest = FlashPacket::Data(0x80000, full.data(), 512, false);
    EXPECT_EQ(largest.length(), 522);
    EXPECT_EQ(largest.Checksum(), (512 * 255) % 65536);
}

TEST(FlashPacket, ReplyRules) {
    const struct {
        FakeBytes bytes;
        std::vector<FlashReply> replies;
    } cases[] = {
        {{0x10, 0x06}, {FlashReply::Ack}},
        {{0x10, 0x15}, {FlashReply::Nak}},
        {{0x06}, {}},              // a lone ACK
        {{0x10, 0x10, 0x06}, {}},  // DLE DLE: the second DLE is "anything else"
        {{0x10, 0x41, 0x10, 0x06}, {FlashReply::Ack}},
        {{0x00, 0x10, 0x06, 0x10, 0x15}, {FlashReply::Ack, FlashReply::Nak}},
    };
    for (const auto& c : cases) {
        FlashReplyParser parser;
        std::vector<FlashReply> got;
        for (std::uint8_t b : c.bytes)
            if (auto reply = parser.Feed(b)) got.push_back(*reply);
        EXPECT_EQ(got, c.replies);
    }
}

// The download tool's sequence over fake links in virtual time; a serial port answers
// through the fake's responder as its receive thread would.
class Talvo10DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteBytes(dir.File("fw.bin"), test::MakeTalvo10Image());
        links.settings.portName = "COM1";
        links.settings.modelCode = 2;
        port.SetClock(&clock);
        port.responder = [this](const FakeBytes&) {
            ++packets;
            return nakPackets.count(packets) ? kDleNak : kDleAck;
        };
    }

    Outcome Run(FlashArea area, const std::string& file = "fw.bin") {
        Talvo10Observer observer;
        observer.caption = [this](const std::string& c) { captions.push_back(c); };
        return session.Run(dir.File(file), area, &profile, observer, cancel);
    }

    test::TempDir dir;
    Profile profile{dir.File("kp70tool.INI")};
    VirtualClock clock;
    test::FakeLinkFactory links;
    test::FakePrinterLink& port = links.link;
    Talvo10Download session{links, clock};
    CancelToken cancel;
    int packets = 0;
    std::set<int> nakPackets;
    std::vector<std::string> captions;
};

TEST_F(Talvo10DownloadTest, SerialProgramAreaAcknowledgedPacketByPacket) {
    const Outcome outcome = Run(FlashArea::Program);
    ASSERT_EQ(outcome.status, OutcomeStatus::Done);
    ASSERT_EQ(outcome.notices.size(), 1u);
    EXPECT_EQ(outcome.notices[0].number, msg::kCompleted);
    EXPECT_TRUE(outcome.closeScreen);

    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 1u + 256u);
    EXPECT_EQ(writes[0], (FakeBytes{0x40, 0xF2, 0x20, 0x22, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(FakeBytes(writes[1].begin(), writes[1].begin() + 8),
              (FakeBytes{0x40, 0xF0, 0x02, 0x00, 0x00, 0x1D, 0x00, 0x00}));
    const std::vector<std::uint8_t> image = test::MakeTalvo10Image();
    FakeBytes sentData;
    for (std::size_t i = 1; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i][1], i < 256 ? 0xF0 : 0xF1) << i;
        ASSERT_EQ(writes[i].size(), 522u);
        sentData.insert(sentData.end(), writes[i].begin() + 8, writes[i].end() - 2);
    }
    EXPECT_EQ(sentData, FakeBytes(image.begin() + 0x1D0000, image.begin() + 0x1F0000));

    EXPECT_EQ(captions[0], "Erasing...");
    EXPECT_EQ(captions[1], "Erasing....");
    EXPECT_EQ(captions[6], "Erasing.........");
    EXPECT_EQ(captions[7], "Writing...(1D0200)");
    EXPECT_EQ(captions.back(), "Writing...(1F0000)");
    // The six erase pauses of 500 ms (waited in slices, so a cancel is seen), and no other
    // wait: each answer was there at once.
    EXPECT_EQ(clock.Sleeps(), std::vector<std::int64_t>(30, 100));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(links.requests.front().replies);
    EXPECT_TRUE(links.requests.front().binary);
    EXPECT_EQ(LoadLastImage(profile, "FWDN15").name, "fw.bin");
}

TEST_F(Talvo10DownloadTest, NakSendsTheSamePacketAgain) {
    nakPackets = {3, 4};  // the second data packet is refused twice
    ASSERT_EQ(Run(FlashArea::Boot).status, OutcomeStatus::Done);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 1u + 128u + 2u);
    EXPECT_EQ(writes[2], writes[3]);
    EXPECT_EQ(writes[3], writes[4]);
    EXPECT_NE(writes[4], writes[5]);
}

// A link that repeats every answer (an adapter or a line that echoes): the repeat belongs
// to no packet, so a refusal still lands on the packet it refuses and the area arrives whole.
TEST_F(Talvo10DownloadTest, RepeatedAnswersNeverAnswerTheNextPacket) {
    port.responder = [this](const FakeBytes&) {
        ++packets;
        const FakeBytes& answer = packets == 5 ? kDleNak : kDleAck;
        FakeBytes twice = answer;
        twice.insert(twice.end(), answer.begin(), answer.end());
        return twice;
    };
    ASSERT_EQ(Run(FlashArea::Boot).status, OutcomeStatus::Done);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 1u + 128u + 1u);
    EXPECT_EQ(writes[4], writes[5]);
    const std::vector<std::uint8_t> image = test::MakeTalvo10Image();
    FakeBytes sentData;
    for (std::size_t i = 1; i < writes.size(); ++i) {
        if (i == 5) continue;  // the refused packet, sent again
        sentData.insert(sentData.end(), writes[i].begin() + 8, writes[i].end() - 2);
    }
    EXPECT_EQ(sentData, FakeBytes(image.begin() + 0x1F0000, image.begin() + 0x200000));
}

TEST_F(Talvo10DownloadTest, PrinterThatKeepsRefusingEndsTheDownload) {
    port.responder = [](const FakeBytes&) { return kDleNak; };
    const Outcome outcome = Run(FlashArea::Font);
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
    EXPECT_EQ(outcome.notices[0].number, msg::kCommunication);
    EXPECT_EQ(port.Writes().size(), static_cast<std::size_t>(kMaxRefusals));
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(Talvo10DownloadTest, SilentPrinterEndsTheDownloadAfterTheReplyBound) {
    port.responder = [this](const FakeBytes&) { return ++packets <= 3 ? kDleAck : FakeBytes{}; };
    const Outcome outcome = Run(FlashArea::Program);
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
    EXPECT_EQ(outcome.notices[0].number, msg::kReadFail);
    EXPECT_EQ(outcome.enabled, talvo10::kOk | talvo10::kOpen | talvo10::kCancel);
    EXPECT_EQ(port.Writes().size(), 4u);
    EXPECT_EQ(clock.Now(), 6 * 500 + kReplyTimeoutMs);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(Talvo10DownloadTest, ExtFontFileWithTheNormalFontMarkIsRefused) {
    std::vector<std::uint8_t> image = test::MakeTalvo10Image();
    std::copy_n("T15S", 4, image.begin() + 0x80000);
    test::WriteBytes(dir.File("t15s.bin"), image);
    const Outcome outcome = Run(FlashArea::ExtFont, "t15s.bin");
    EXPECT_EQ(outcome.notices[0].number, msg::kNoExtendedFont);
    EXPECT_TRUE(port.Writes().empty());
    EXPECT_FALSE(port.IsOpen());
    // The mark means nothing to the other areas.
    EXPECT_EQ(Run(FlashArea::Font, "t15s.bin").status, OutcomeStatus::Done);
}

TEST_F(Talvo10DownloadTest, FilesThatCannotFeedTheAreaEraseNothing) {
    test::WriteBytes(dir.File("short.bin"), test::MakeTalvo10Image(0x1EFFFF));
    const struct {
        const char* file;
        int number;
    } cases[] = {{"missing.bin", msg::kFileOpenError}, {"short.bin", msg::kNoMoreFiles}};
    for (const auto& c : cases) {
        const Outcome outcome = Run(FlashArea::Program, c.file);
        EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
        EXPECT_EQ(outcome.notices[0].number, c.number) << c.file;
        EXPECT_FALSE(port.IsOpen());
    }
    EXPECT_TRUE(port.Writes().empty());
}

TEST_F(Talvo10DownloadTest, FailedWriteIsReported) {
    port.takeLimit = 10 + 9 * 522 + 100;
    const Outcome outcome = Run(FlashArea::Boot);
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
    EXPECT_EQ(outcome.notices[0].number, msg::kWriteToPort);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(Talvo10DownloadTest, PortsWithoutAnAnswerToWaitForArePacedByTheirPause) {
    for (const char* name : {"LPT1", "USB", "ETHERNET_II"}) {
        links.settings.portName = name;
        port.responder = nullptr;
        port.ClearEvents();
        clock.ClearSleeps();
        const Outcome outcome = Run(FlashArea::Boot);
        ASSERT_EQ(outcome.status, OutcomeStatus::Done) << name;
        EXPECT_EQ(port.Writes().size(), 1u + 128u) << name;
        const auto sleeps = clock.Sleeps();
        EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), kPacketPauseMs), 1 + 128) << name;
        // COMPLETED only once the link has delivered the last packet.
        EXPECT_EQ(port.Count("WaitDelivered"), 1) << name;
    }
}

// Over the network the printer's answers are read after each packet's pause: a refused
// packet is sent again, the last one too, and a refusal that does not end fails at once.
TEST_F(Talvo10DownloadTest, NetworkRefusalsAreHeededPacketByPacket) {
    links.settings.portName = "ETHERNET_II";
    std::set<int> refused = {5, 130, 131};  // a packet, the last one twice
    port.responder = [&](const FakeBytes&) {
        ++packets;
        return refused.count(packets) ? kDleNak : kDleAck;
    };
    ASSERT_EQ(Run(FlashArea::Boot).status, OutcomeStatus::Done);
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 1u + 128u + 3u);
    EXPECT_EQ(writes[4], writes[5]);
    EXPECT_EQ(writes[129], writes[130]);
    EXPECT_EQ(writes[130], writes[131]);
    EXPECT_EQ(writes.back()[1], 0xF1);

    port.responder = [](const FakeBytes& packet) {
        return packet[1] == 0xF1 ? kDleNak : kDleAck;  // the last packet, always
    };
    const Outcome outcome = Run(FlashArea::Boot);
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
    EXPECT_EQ(outcome.notices[0].number, msg::kCommunication);
}

// ... and a connection gone behind the last packets, or bytes the printer never took, are
// no "COMPLETED" on any port that is not waited on.
TEST_F(Talvo10DownloadTest, AnAreaTheLinkDidNotDeliverIsNoSuccess) {
    for (const char* name : {"ETHERNET_II", "LPT1", "USB", "FILE"}) {
        for (const bool closed : {true, false}) {
            links.settings.portName = name;
            port.responder = nullptr;
            port.lostAfterBytes = closed ? port.Taken() + 4000 : -1;
            port.deliveryFault = closed ? DeliveryFault::None : DeliveryFault::NotTaken;
            const Outcome outcome = Run(FlashArea::Boot);
            EXPECT_EQ(outcome.status, OutcomeStatus::Failed) << name << closed;
            ASSERT_EQ(outcome.notices.size(), 1u);
            EXPECT_EQ(outcome.notices[0].number, msg::kCommunication);
        }
    }
}

TEST_F(Talvo10DownloadTest, CancelDuringTheErasePauses) {
    int caption = 0;
    Talvo10Observer observer;
    observer.caption = [&](const std::string&) {
        if (++caption == 3) cancel.Cancel();
    };
    const Outcome outcome =
        session.Run(dir.File("fw.bin"), FlashArea::Boot, nullptr, observer, cancel);
    EXPECT_EQ(outcome.status, OutcomeStatus::Cancelled);
    EXPECT_EQ(port.Writes().size(), 1u);
    EXPECT_FALSE(port.IsOpen());
    // The erase packet went out: the area stays erased, and the operator is told.
    EXPECT_TRUE(session.Erased());
    ASSERT_EQ(outcome.notices.size(), 1u);
    EXPECT_STREQ(outcome.notices[0].text.english, firmwaretext::kErasedNotWritten.english);

    // Stopped before the erase (a printer that takes nothing): nothing to say.
    links.settings.portName = "LPT1";
    port.takeLimit = port.Taken();
    port.stall = true;
    const Outcome before = session.Run(dir.File("fw.bin"), FlashArea::Boot, nullptr, {}, cancel);
    EXPECT_EQ(before.status, OutcomeStatus::Cancelled);
    EXPECT_FALSE(session.Erased());
    EXPECT_TRUE(before.notices.empty());
}

}  // namespace
}  // namespace kp70
