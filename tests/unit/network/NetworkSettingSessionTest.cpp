#include "core/network/NetworkSettingSession.h"

#include <gtest/gtest.h>

#include "core/app/CancelToken.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/VirtualClock.h"
#include "support/FakeDatagramLink.h"

namespace kp70 {
namespace {

using test::FakeDatagramLink;
using Bytes = std::vector<std::uint8_t>;
using Arrival = FakeDatagramLink::Arrival;

Bytes PrinterFrame(std::uint8_t last, bool dhcp = false) {
    NetworkSettings s;
    s.address = {192, 168, 0, last};
    s.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, last};
    s.dhcp = dhcp;
    s.port = 6001;
    const auto& bytes = DiscoveryFrame::Set(s).WithCommand(0x01).bytes();
    return Bytes(bytes.begin(), bytes.end());
}

std::vector<int> Numbers(const Outcome& outcome) {
    std::vector<int> numbers;
    for (const Notice& n : outcome.notices) numbers.push_back(n.number);
    return numbers;
}

class NetworkSettingSessionTest : public ::testing::Test {
protected:
    Outcome Search() {
        session.Open();
        found.clear();
        return session.Search(cancel, [&](const DiscoveredPrinter& p) { found.push_back(p.ip); });
    }
    DiscoveryFrame SetFrame(ChangeKind kind = ChangeKind::FromRow) {
        SettingInput input;
        input.address = "192.168.0.50";
        input.subnet = "255.255.255.0";
        input.gateway = "192.168.0.1";
        input.port = "9100";
        input.mac = "00:1A:2B:3C:4D:07";
        input.macLow = {"00", "00", "07"};
        return *CheckSetFrame(kind, input).frame;
    }

    VirtualClock clock;
    FakeDatagramLink link{clock};
    NetworkSettingSession session{link, clock, "127.255.255.255"};
    CancelToken cancel;
    std::vector<std::string> found;
};

TEST_F(NetworkSettingSessionTest, SearchWithNoPrinterEndsAfterOneReceiveTimeOut) {
    const Outcome outcome = Search();
    ASSERT_EQ(link.Sends().size(), 1u);
    const auto& search = DiscoveryFrame::Search().bytes();
    EXPECT_EQ(link.Sends()[0].bytes, Bytes(search.begin(), search.end()));
    EXPECT_EQ(link.Sends()[0].address, "127.255.255.255");
    EXPECT_EQ(link.Sends()[0].port, 2918);
    EXPECT_EQ(link.openPort, 2918);
    // The PC's own search frame came back and is no printer.
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(clock.TotalSlept(), 1000);
    EXPECT_EQ(Numbers(outcome), std::vector<int>{msg::kSearchFinished});
    EXPECT_TRUE(outcome.ok());
    EXPECT_FALSE(link.open);
}

TEST_F(NetworkSettingSessionTest, SearchListsFramesFromOtherAddressesInOrderOfArrival) {
    link.responder = [](const Bytes&) {
        const auto frame = DiscoveryFrame::Search();
        const Bytes search(frame.bytes().begin(), frame.bytes().end());
        Bytes longer = PrinterFrame(9);
        longer.push_back(0);
        Bytes shorter = PrinterFrame(5);
        shorter.pop_back();
        return std::vector<Arrival>{
            {300, PrinterFrame(3, true), "192.168.0.3"},
            {100, PrinterFrame(1), "192.168.0.1"},
            {350, PrinterFrame(4), "192.168.0.100"},  // another address of this PC
            {400, shorter, "192.168.0.5"},
            {450, longer, "192.168.0.9"},
            // Another PC's search names no printer.
            {500, search, "192.168.0.7"},
            {1400, PrinterFrame(6), "192.168.0.6"},  // within 1000 ms of the one before
            {2500, PrinterFrame(8), "192.168.0.8"},  // too late: the search has ended
        };
    };
    const Outcome outcome = Search();
    EXPECT_EQ(found,
              (std::vector<std::string>{"192.168.0.1", "192.168.0.3 (DHCP)", "192.168.0.6"}));
    EXPECT_EQ(outcome.count, 3);
    EXPECT_EQ(clock.Now(), 2400);
}

TEST_F(NetworkSettingSessionTest, SearchStopsAfter254DatagramsCountingItsOwn) {
    std::vector<Arrival> flood;
    for (int i = 0; i < 300; ++i) flood.push_back({1, PrinterFrame(7), "10.0.0.7"});
    link.Deliver(flood);
    Search();
    EXPECT_EQ(found.size(), 253u);
    EXPECT_EQ(clock.TotalSlept(), 1);
}

TEST_F(NetworkSettingSessionTest, SetUpFailuresAreToldAndTheOperationGoesOn) {
    link.openFailures = {{DatagramStep::SendSocket, "out of resources"},
                         {DatagramStep::Bind, "UDP port 2918 is in use"}};
    link.canReceive = false;
    const Outcome opened = session.Open();
    ASSERT_EQ(opened.notices.size(), 2u);
    EXPECT_EQ(opened.notices[0].literal, "socket() error");
    EXPECT_EQ(opened.notices[1].number, msg::kSystemError);
    EXPECT_EQ(opened.notices[1].secondLine, "UDP port 2918 is in use");
    EXPECT_EQ(opened.status, OutcomeStatus::Failed);

    // Nothing can be received: the search ends at once, still with its message.
    const Outcome searched = session.Search(cancel, {});
    EXPECT_EQ(clock.TotalSlept(), 0);
    EXPECT_EQ(Numbers(searched), std::vector<int>{msg::kSearchFinished});
}

TEST_F(NetworkSettingSessionTest, AFrameThatCannotBeSentIsSaidInWords) {
    link.sendError = "no usable network";
    const Outcome outcome = Search();
    ASSERT_EQ(outcome.notices.size(), 2u);
    EXPECT_STREQ(outcome.notices[0].text.english, kFrameNotSent.english);
    EXPECT_EQ(outcome.notices[0].secondLine, "127.255.255.255: no usable network");
    EXPECT_EQ(outcome.notices[1].number, msg::kSearchFinished);
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
}

TEST_F(NetworkSettingSessionTest, ChangeWaitsForAnAnswerThenSendsTheEndFrame) {
    session.ChooseRow(DiscoveredPrinter::From({}));
    EXPECT_TRUE(session.IdleActions() & network::kChange);
    link.responder = [](const Bytes& sent) {
        if (sent[2] != discovery::kSet) return std::vector<Arrival>{};
        return std::vector<Arrival>{{50, Bytes(20, 0), "192.168.0.7"},  // no frame
                                    {200, PrinterFrame(7), "192.168.0.7"}};
    };
    const DiscoveryFrame frame = SetFrame();
    session.Open();
    const Outcome outcome = session.Change(ChangeKind::FromRow, frame, cancel);
    const auto sends = link.Sends();
    ASSERT_EQ(sends.size(), 2u);
    EXPECT_EQ(sends[0].bytes, Bytes(frame.bytes().begin(), frame.bytes().end()));
    const auto& end = frame.WithCommand(discovery::kEndOfChange).bytes();
    EXPECT_EQ(sends[1].bytes, Bytes(end.begin(), end.end()));
    EXPECT_EQ(sends[1].at, 200);
    ASSERT_EQ(Numbers(outcome), std::vector<int>{msg::kNetworkUpdateComplete});
    EXPECT_EQ(outcome.notices[0].caption, "Notice");
    EXPECT_FALSE(outcome.enabled & network::kChange);
    EXPECT_FALSE(link.open);
}

TEST_F(NetworkSettingSessionTest, AnUnansweredChangeStillEndsAfterTheTimeOut) {
    session.Open();
    const Outcome outcome =
        session.Change(ChangeKind::ManualMac, SetFrame(ChangeKind::ManualMac), cancel);
    const auto sends = link.Sends();
    ASSERT_EQ(sends.size(), 2u);
    EXPECT_EQ(sends[1].bytes[2], discovery::kEndOfChange);
    EXPECT_EQ(sends[1].at, 1000);
    ASSERT_EQ(Numbers(outcome), std::vector<int>{msg::kNetworkUpdateComplete});
    EXPECT_EQ(outcome.notices[0].caption, "");  // the application's caption
}

TEST_F(NetworkSettingSessionTest, NoSendsNothing) {
    session.ChooseRow(DiscoveredPrinter::From({}));
    session.Open();
    const Notice question = NetworkSettingSession::ChangeQuestion(ChangeKind::FromRow);
    EXPECT_EQ(question.number, msg::kChangeNetworkQuestion);
    EXPECT_EQ(question.caption, "Notice");
    const Outcome outcome = session.Decline();
    EXPECT_TRUE(link.Sends().empty());
    EXPECT_FALSE(outcome.enabled & network::kChange);
    EXPECT_FALSE(link.open);
}

TEST_F(NetworkSettingSessionTest, ACancelEndsTheWaitingButNotTheChange) {
    link.responder = [&](const Bytes&) {
        cancel.Cancel();
        return std::vector<Arrival>{};
    };
    Search();
    EXPECT_EQ(clock.TotalSlept(), 0);

    link.Deliver({});
    session.Open();
    session.Change(ChangeKind::FromRow, SetFrame(), cancel);
    const auto sends = link.Sends();
    ASSERT_EQ(sends.size(), 3u);
    EXPECT_EQ(sends[2].bytes[2], discovery::kEndOfChange);
}

}  // namespace
}  // namespace kp70
