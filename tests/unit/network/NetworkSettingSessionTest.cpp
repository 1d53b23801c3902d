#include "core/network/NetworkSettingSession.h"

#include <gtest/gtest.h>

#include <algorithm>

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
            // Within 1000 ms of the last frame that named a printer (the one at 350 ms).
            {1300, PrinterFrame(6), "192.168.0.6"},
            {2400, PrinterFrame(8), "192.168.0.8"},  // too late: the search has ended
        };
    };
    const Outcome outcome = Search();
    EXPECT_EQ(found,
              (std::vector<std::string>{"192.168.0.1", "192.168.0.3 (DHCP)", "192.168.0.6"}));
    EXPECT_EQ(outcome.count, 3);
    EXPECT_EQ(clock.Now(), 2300);
}

// Datagrams that name no printer neither end a search nor keep it going; a printer heard
// twice (two programs searching at once make every printer answer twice) is one row; and
// no stream of frames keeps a search going for more than five receive windows.
TEST(NetworkSearch, OnlyFramesThatNameAPrinterCountOneRowPerMacAndEverySearchIsBounded) {
    const auto search = DiscoveryFrame::Search().bytes();
    const Bytes zeros(search.begin(), search.end());
    auto printer = [](int n) {
        NetworkSettings s;
        s.address = {10, 0, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
        s.mac = {0x02,
                 0x5A,
                 0x3D,
                 0x00,
                 static_cast<std::uint8_t>(n >> 8),
                 static_cast<std::uint8_t>(n)};
        s.port = 6001;
        const auto& bytes = DiscoveryFrame::Set(s).WithCommand(0x01).bytes();
        return Bytes(bytes.begin(), bytes.end());
    };
    std::vector<Arrival> junkFlood{{600, printer(1), "10.0.0.1"}};
    for (int ms = 1; ms <= 10000; ++ms)
        junkFlood.push_back({ms, ms % 2 ? Bytes(20, 0xFF) : zeros, "10.0.9.9"});
    std::vector<Arrival> manyPrinters, twice, oneKeepsAnswering;
    for (int n = 1; n <= 300; ++n) manyPrinters.push_back({n, printer(n), "10.0.0.2"});
    for (int n = 1; n <= 3; ++n) {
        twice.push_back({n, printer(n), "10.0.0.3"});
        twice.push_back({10 + n, printer(n), "10.0.0.3"});
    }
    for (int n = 1; n <= 300; ++n) oneKeepsAnswering.push_back({n * 900, printer(7), "10.0.0.7"});
    const struct {
        const char* what;
        std::vector<Arrival> arrivals;
        std::size_t listed;
        std::int64_t endsAt;
    } cases[] = {
        {"a flood of junk around one answer", junkFlood, 1, 1600},
        {"254 frames that name printers end it", manyPrinters, 254, 254},
        {"every printer answering two searches", twice, 3, 1013},
        {"a printer that never stops answering", oneKeepsAnswering, 1, 5000},
    };
    for (const auto& c : cases) {
        VirtualClock clock;
        FakeDatagramLink link{clock};
        NetworkSettingSession session{link, clock, "127.255.255.255"};
        link.Deliver(c.arrivals);
        std::vector<std::string> macs;
        const Outcome outcome = session.Search(
            CancelToken{}, [&](const DiscoveredPrinter& p) { macs.push_back(p.mac); });
        EXPECT_EQ(macs.size(), c.listed) << c.what;
        EXPECT_EQ(outcome.count, static_cast<int>(c.listed)) << c.what;
        EXPECT_EQ(clock.Now(), c.endsAt) << c.what;
        std::sort(macs.begin(), macs.end());
        EXPECT_EQ(std::unique(macs.begin(), macs.end()), macs.end()) << c.what;
    }
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

// The frames go out as always, but a change that no printer answered (another PC's search
// and junk are no answer) says so instead of "Update Complete.".
TEST_F(NetworkSettingSessionTest, AnUnansweredChangeEndsAfterTheTimeOutAndSaysNoPrinterAnswered) {
    const auto search = DiscoveryFrame::Search().bytes();
    link.Deliver({{100, Bytes(search.begin(), search.end()), "192.168.0.7"},
                  {200, Bytes(20, 0), "192.168.0.7"}});
    session.Open();
    const Outcome outcome =
        session.Change(ChangeKind::ManualMac, SetFrame(ChangeKind::ManualMac), cancel);
    const auto sends = link.Sends();
    ASSERT_EQ(sends.size(), 2u);
    EXPECT_EQ(sends[1].bytes[2], discovery::kEndOfChange);
    EXPECT_EQ(sends[1].at, 1000);
    ASSERT_EQ(outcome.notices.size(), 1u);
    EXPECT_STREQ(outcome.notices[0].text.english, kNoPrinterAnswered.english);
    EXPECT_EQ(outcome.notices[0].caption, "");  // the application's caption
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
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
