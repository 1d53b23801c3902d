#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <thread>

#include "PrinterScript.h"
#include "core/app/VirtualClock.h"
#include "core/setup/SettingsCollector.h"
#include "core/setup/SetupCommands.h"
#include "core/setup/SetupLists.h"
#include "core/setup/SetupSession.h"
#include "core/setup/TestPage.h"
#include "support/FakeNetworkLink.h"
#include "support/FakeParallelController.h"
#include "support/FakePrinterPort.h"
#include "support/FastClock.h"

namespace kp70 {
namespace {

using test::FakeBytes;

constexpr int kCollectMs = 60000;

int MessageOf(const Outcome& outcome) {
    return outcome.notices.empty() ? -1 : outcome.notices.front().number;
}

// The failed state: the stored settings can no longer be edited, EXIT still leaves.
bool Failed(const Outcome& outcome) {
    return outcome.status == OutcomeStatus::Failed && !(outcome.enabled & setup::kEditStored) &&
           (outcome.enabled & setup::kExit);
}

FakeBytes Request(int n) {
    return setup::ReadOneSetting(n);
}

std::vector<FakeBytes> Requests(const std::vector<int>& numbers) {
    std::vector<FakeBytes> out;
    for (int n : numbers) out.push_back(Request(n));
    return out;
}

// A session on one fake link with the sequence waits in virtual time.
struct Rig {
    explicit Rig(const std::string& portName)
        : session(portName, Links(), clock, fast, collector) {}

    SetupLinks Links() {
        port.SetClock(&clock);
        network.SetClock(&clock);
        parallel.SetClock(&clock);
        SetupLinks links;
        links.port = &port;
        links.network = &network;
        links.networkAddress = "10.0.0.9";
        links.networkPort = 9100;
        links.parallel = &parallel;
        return links;
    }

    void ExpectCollected() {
        const SetupValues v = collector.Values();
        EXPECT_EQ(v.leftMargin, 300);
        EXPECT_EQ(v.paperWidth, 1);
        EXPECT_EQ(v.columnChoice, 1);
        EXPECT_EQ(v.waterMark, 1);
        EXPECT_EQ(v.imageNumber, 7);
        EXPECT_EQ(v.bellType, 1);
        EXPECT_EQ(v.codePage, 7);
        EXPECT_EQ(v.setupCode, "1234");
        EXPECT_EQ(v.receiveBuffer, 2);
    }

    VirtualClock clock;
    test::FastClock fast;
    test::FakePrinterPort port;
    test::FakeNetworkLink network;
    test::FakeParallelController parallel;
    SettingsCollector collector;
    SetupSession session;
};

// ---- COM ----

TEST(SetupSessionSerial, StartReopensThePortAndListens) {
    Rig rig("COM1");
    rig.port.Open();  // left open by an earlier tool
    rig.port.ClearEvents();
    const Outcome outcome = rig.session.Start();
    EXPECT_TRUE(outcome.ok());
    EXPECT_EQ(rig.port.EventNames(), (std::vector<std::string>{"Close", "Open"}));
    EXPECT_EQ(rig.port.Settings().toolMode, kToolModeSetup);
    EXPECT_NE(rig.port.NotifyWindow(), nullptr);
    rig.session.Close();
    EXPECT_EQ(rig.port.NotifyWindow(), nullptr);
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_EQ(rig.clock.Sleeps(), (std::vector<std::int64_t>{300}));
}

TEST(SetupSessionSerial, OpenFailureClosesTheScreenWithInitFail) {
    Rig rig("/dev/ttyS0");
    rig.port.openResults = {false};
    const Outcome outcome = rig.session.Start();
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
    EXPECT_EQ(MessageOf(outcome), 2);
    EXPECT_TRUE(outcome.closeScreen);
    EXPECT_TRUE(outcome.notices.front().secondLine.empty());
}

TEST(SetupSessionSerial, ReadSendsEighteenRequestsAndCollectsTheReplies) {
    Rig rig("COM3");
    rig.port.responder = test::AnswerSettings(test::TypicalAnswers());
    ASSERT_TRUE(rig.session.Start().ok());
    std::vector<int> missing;
    const Outcome outcome =
        CollectSettings(rig.session, rig.collector, rig.fast, kCollectMs, missing);
    EXPECT_EQ(outcome.status, OutcomeStatus::Done);
    EXPECT_TRUE(missing.empty());
    EXPECT_EQ(rig.port.Writes(), Requests({3, 116, 118, 242, 243, 244, 245, 246, 247, 248, 249, 250,
                                           251, 252, 253, 1, 2, 255}));
    EXPECT_EQ(rig.port.Count("ReadUsbReply"), 0);
    rig.ExpectCollected();
    EXPECT_EQ(rig.collector.Values().stopBit, 1);
}

TEST(SetupSessionSerial, UnansweredSettingsAreReportedMissing) {
    Rig rig("COM3");
    auto answers = test::TypicalAnswers();
    answers.erase(250);
    answers[116] = "256";  // a value the tool does not know counts as no answer
    rig.port.responder = test::AnswerSettings(answers);
    ASSERT_TRUE(rig.session.Start().ok());
    std::vector<int> missing;
    CollectSettings(rig.session, rig.collector, rig.fast, 2000, missing);
    EXPECT_EQ(missing, (std::vector<int>{116, 250}));
}

TEST(SetupSessionSerial, FailedRequestStopsWithMessage60AndClosesThePort) {
    Rig rig("COM1");
    rig.port.failAfterWrites = 5;
    ASSERT_TRUE(rig.session.Start().ok());
    const Outcome outcome = rig.session.ReadSettings();
    EXPECT_EQ(MessageOf(outcome), 60);
    EXPECT_TRUE(Failed(outcome));
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_EQ(rig.port.Writes().size(), 5u);  // nothing after the failed one
}

TEST(SetupSessionSerial, WriteSendsEnterBlockLeave) {
    Rig rig("COM1");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.port.ClearEvents();
    SetupValues values;
    values.leftMargin = 300;
    const Outcome outcome = rig.session.WriteSettings(values);
    EXPECT_EQ(outcome.status, OutcomeStatus::Done);
    EXPECT_FALSE(outcome.connectionClosed);
    EXPECT_EQ(rig.port.Writes(),
              (std::vector<FakeBytes>{setup::EnterUserSetting(),
                                      {0x1D, 0x28, 0x45, 0x0A, 0x00, 0x05, 0xFA, 0x2C, 0x01, 0xFF,
                                       0x00, 0x00, 0x00, 0x00, 0x04},
                                      setup::LeaveUserSetting()}));
    EXPECT_TRUE(rig.port.isOpen());  // a serial port stays open
    // Only the half second in which the line carries the bytes before it is checked.
    EXPECT_EQ(rig.clock.Sleeps(), std::vector<std::int64_t>{500});
}

TEST(SetupSessionSerial, RefusedOrEmptyWritesSendNothing) {
    Rig rig("COM1");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.port.ClearEvents();
    SetupValues empty;
    EXPECT_EQ(rig.session.WriteSettings(empty).status, OutcomeStatus::NothingToDo);
    SetupValues wide;
    wide.leftMargin = 600;
    const Outcome refused = rig.session.WriteSettings(wide);
    EXPECT_EQ(refused.status, OutcomeStatus::Refused);
    EXPECT_EQ(MessageOf(refused), 61);
    SetupValues odd;
    odd.waterMark = 1;
    odd.imageNumber = 300;
    WriteBlock block;
    const Outcome range = rig.session.WriteSettings(odd, &block);
    EXPECT_EQ(range.status, OutcomeStatus::Refused);
    EXPECT_EQ(block.rangeField, RangeField::ImageNumber);
    EXPECT_TRUE(rig.port.Events().empty());
}

TEST(SetupSessionSerial, FailedWriteClosesThePortAndResetsImageAndLines) {
    // 3: every write returned, but the line went while the bytes sat in its buffers.
    for (int okWrites : {0, 1, 2, 3}) {
        Rig rig("COM1");
        ASSERT_TRUE(rig.session.Start().ok());
        if (okWrites < 3) rig.port.failAfterWrites = okWrites;
        if (okWrites == 3) rig.port.linkLostAfterBytes = 1;
        SetupValues values;
        values.waterMark = 1;
        values.imageNumber = 9;
        values.lines = 4;
        const Outcome outcome = rig.session.WriteSettings(values);
        EXPECT_EQ(MessageOf(outcome), 48);
        EXPECT_TRUE(Failed(outcome));
        EXPECT_FALSE(rig.port.isOpen());
        EXPECT_EQ(values.imageNumber, 1);
        EXPECT_EQ(values.lines, 0);
    }
}

TEST(SetupSessionSerial, ShortWriteCountsAsFailure) {
    Rig rig("COM1");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.port.shortWriteBy = 1;
    SetupValues values;
    values.leftMargin = 8;
    EXPECT_EQ(MessageOf(rig.session.WriteSettings(values)), 48);
}

TEST(SetupSessionSerial, UsbModeWriteLeavesThePortClosedAndTheNextReadFails) {
    Rig rig("COM1");
    ASSERT_TRUE(rig.session.Start().ok());
    SetupValues values;
    values.usbMode = 1;
    const Outcome outcome = rig.session.WriteSettings(values);
    EXPECT_TRUE(outcome.ok());
    EXPECT_TRUE(outcome.connectionClosed);
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_EQ(MessageOf(rig.session.ReadSettings()), 60);
}

// ---- USB ----

TEST(SetupSessionUsb, RepliesAreFetchedOnceAfterTheRequests) {
    Rig rig("USB");
    rig.port.answersOnReadUsbReply = true;
    rig.port.responder = test::AnswerSettings(test::TypicalAnswers());
    ASSERT_TRUE(rig.session.Start().ok());
    rig.port.ClearEvents();
    std::vector<int> missing;
    CollectSettings(rig.session, rig.collector, rig.fast, kCollectMs, missing);
    EXPECT_TRUE(missing.empty());
    const auto names = rig.port.EventNames();
    ASSERT_EQ(names.size(), 19u);
    EXPECT_EQ(names.back(), "ReadUsbReply");
    rig.ExpectCollected();
}

TEST(SetupSessionUsb, WriteReopensThePortAfterThreeSeconds) {
    Rig rig("USB");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.port.ClearEvents();
    SetupValues values;
    values.leftMargin = 1;
    EXPECT_EQ(rig.session.WriteSettings(values).status, OutcomeStatus::Done);
    EXPECT_EQ(rig.port.EventNames(),
              (std::vector<std::string>{"Write", "Write", "Write", "Close", "Open"}));
    EXPECT_EQ(rig.clock.Sleeps(), (std::vector<std::int64_t>{3000}));
    EXPECT_TRUE(rig.port.isOpen());
}

TEST(SetupSessionUsb, ReopenScheduleGivesUpQuietlyAfterFiveAttempts) {
    Rig rig("USB");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.port.ClearEvents();
    rig.port.openResults = {false, false, false, false, false};
    SetupValues values;
    values.leftMargin = 1;
    const Outcome outcome = rig.session.WriteSettings(values);
    EXPECT_EQ(outcome.status, OutcomeStatus::Done);
    EXPECT_EQ(MessageOf(outcome), -1);
    EXPECT_EQ(rig.clock.Sleeps(), (std::vector<std::int64_t>{3000, 500, 400, 300, 200, 100}));
    EXPECT_EQ(rig.port.Count("Open"), 5);
    EXPECT_EQ(rig.port.EventNames(),
              (std::vector<std::string>{"Write", "Write", "Write", "Close", "Open", "Close", "Open",
                                        "Open", "Open", "Open"}));
}

TEST(SetupSessionUsb, ReopenStopsAtTheFirstSuccess) {
    Rig rig("USB");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.port.openResults = {false, false, true};
    SetupValues values;
    values.leftMargin = 1;
    rig.session.WriteSettings(values);
    EXPECT_EQ(rig.clock.Sleeps(), (std::vector<std::int64_t>{3000, 500, 400}));
    EXPECT_TRUE(rig.port.isOpen());
}

TEST(SetupSessionUsb, ReadAfterAReopenStillReachesTheListener) {
    Rig rig("USB");
    rig.port.answersOnReadUsbReply = true;
    rig.port.responder = test::AnswerSettings({{250, "20"}});
    ASSERT_TRUE(rig.session.Start().ok());
    SetupValues values;
    values.leftMargin = 1;
    rig.session.WriteSettings(values);
    ASSERT_TRUE(rig.session.ReadSettings().ok());
    EXPECT_TRUE(rig.collector.WaitFor({250}, rig.fast, kCollectMs));
    EXPECT_EQ(rig.collector.Values().leftMargin, 512);
}

// ---- network ----

TEST(SetupSessionNetwork, StartConnectsToTheDialogsAddress) {
    Rig rig("ETHERNET_II");
    EXPECT_TRUE(rig.session.Start().ok());
    EXPECT_EQ(rig.network.Address(), "10.0.0.9");
    EXPECT_EQ(rig.network.Port(), 9100);
    EXPECT_EQ(rig.network.EventNames(), (std::vector<std::string>{"StartConnect", "Probe"}));
}

TEST(SetupSessionNetwork, FailedConnectionClosesTheScreenWithMessage20) {
    Rig rig("ETHERNET_II");
    rig.network.refuse = true;
    const Outcome outcome = rig.session.Start();
    EXPECT_EQ(MessageOf(outcome), 20);
    EXPECT_TRUE(outcome.closeScreen);
    EXPECT_EQ(rig.network.EventNames().back(), "CloseSocket");
}

TEST(SetupSessionNetwork, ReadDropsStaleBytesProbesAndPacesSeventeenRequests) {
    Rig live("ETHERNET_II");
    live.network.responder = test::AnswerSettings(test::TypicalAnswers());
    // A reply cut short before the read: without the clearing it would swallow the first
    // real reply.
    const std::string stale =
        "7'250\x1F"
        "99";
    live.network.Deliver(FakeBytes(stale.begin(), stale.end()));
    ASSERT_TRUE(live.session.Start().ok());
    live.network.ClearEvents();
    live.clock.ClearSleeps();
    std::vector<int> missing;
    CollectSettings(live.session, live.collector, live.fast, kCollectMs, missing);
    EXPECT_TRUE(missing.empty());
    EXPECT_EQ(live.network.Writes(), Requests({3, 116, 118, 242, 243, 244, 245, 246, 247, 248, 249,
                                               250, 251, 252, 1, 2, 255}));
    std::vector<std::int64_t> expected{50};
    expected.insert(expected.end(), 17, 10);
    EXPECT_EQ(live.clock.Sleeps(), expected);
    live.ExpectCollected();
    EXPECT_EQ(live.collector.Values().stopBit, -1);  // not asked on the network

    // The printer rests after the last reply: whatever is sent next waits that out first,
    // whoever sends it.
    EXPECT_EQ(live.session.RestRemainingMs(), 800);
    live.clock.ClearSleeps();
    SetupValues values;
    values.leftMargin = 300;
    EXPECT_EQ(live.session.WriteSettings(values).status, OutcomeStatus::Done);
    EXPECT_EQ(live.clock.Sleeps(), (std::vector<std::int64_t>{800, 50, 3000}));
    EXPECT_EQ(live.session.RestRemainingMs(), 0);
}

TEST(SetupSessionNetwork, ProbeReconnectsAndGivesUpAfterTenRounds) {
    Rig rig("ETHERNET_II");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.network.ClearEvents();
    rig.clock.ClearSleeps();
    rig.network.failingProbes = 3;
    EXPECT_TRUE(rig.session.ReadSettings().ok());
    EXPECT_EQ(rig.network.Count("StartConnect"), 3);

    rig.network.ClearEvents();
    rig.clock.ClearSleeps();
    rig.network.refuse = true;
    const Outcome outcome = rig.session.ReadSettings();
    EXPECT_EQ(MessageOf(outcome), 60);
    EXPECT_TRUE(Failed(outcome));
    EXPECT_EQ(rig.network.Count("Probe"), 10);
    EXPECT_EQ(rig.network.Count("Send"), 0);
    EXPECT_EQ(rig.network.EventNames().back(), "CloseSocket");
    EXPECT_EQ(rig.clock.Sleeps(), std::vector<std::int64_t>(10, 50));
}

TEST(SetupSessionNetwork, WriteConnectsSendsAndClosesAfterThreeSeconds) {
    Rig rig("ETHERNET_II");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.network.ClearEvents();
    rig.clock.ClearSleeps();
    SetupValues values;
    values.leftMargin = 300;
    EXPECT_EQ(rig.session.WriteSettings(values).status, OutcomeStatus::Done);
    EXPECT_EQ(rig.network.EventNames(), (std::vector<std::string>{"StartConnect", "Probe", "Send",
                                                                  "Send", "Send", "CloseSocket"}));
    EXPECT_EQ(rig.clock.Sleeps(), (std::vector<std::int64_t>{50, 3000}));
    EXPECT_EQ(rig.network.Writes().front(), setup::EnterUserSetting());
}

TEST(SetupSessionNetwork, WriteWithoutConnectionFailsWithMessage48) {
    Rig rig("ETHERNET_II");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.network.refuse = true;
    SetupValues values;
    values.leftMargin = 3;
    const Outcome outcome = rig.session.WriteSettings(values);
    EXPECT_EQ(MessageOf(outcome), 48);
    EXPECT_EQ(rig.network.Count("Send"), 0);
    EXPECT_EQ(rig.network.EventNames().back(), "CloseSocket");
}

// ---- LPT ----

TEST(SetupSessionParallel, StartOpensTheControllerAndTurnsStatusBackOff) {
    Rig rig("LPT1");
    EXPECT_TRUE(rig.session.Start().ok());
    EXPECT_EQ(rig.parallel.PortName(), "LPT1");
    EXPECT_EQ(rig.parallel.Writes(), (std::vector<FakeBytes>{{0x1D, 0x61, 0x00}}));
    EXPECT_TRUE(rig.session.ReadAllowed());
}

TEST(SetupSessionParallel, StartFailures) {
    Rig noPort("LPT2");
    noPort.parallel.openResults = {false};
    Outcome outcome = noPort.session.Start();
    EXPECT_EQ(MessageOf(outcome), 2);
    EXPECT_EQ(outcome.notices.front().secondLine, "[ParPortCtl] CreateFile fail : 2");
    EXPECT_TRUE(outcome.closeScreen);

    Rig silent("LPT1");
    silent.parallel.failAfterWrites = 0;
    outcome = silent.session.Start();
    EXPECT_EQ(MessageOf(outcome), 24);
    EXPECT_TRUE(outcome.closeScreen);

    Rig legacy("/dev/parport0");
    legacy.parallel.legacyMode = true;
    EXPECT_FALSE(legacy.session.ReadAllowed());
}

TEST(SetupSessionParallel, ReadRequestsEverySettingThenFinishesOnTheTimer) {
    Rig rig("LPT1");
    rig.parallel.responder = test::AnswerSettings(test::TypicalAnswers());
    ASSERT_TRUE(rig.session.Start().ok());
    rig.parallel.ClearEvents();
    const Outcome outcome = rig.session.ReadSettings();
    EXPECT_EQ(outcome.status, OutcomeStatus::Waiting);
    EXPECT_EQ(rig.session.ReadTimerMs(), 3000);

    std::vector<FakeBytes> expected{{0x1D, 0x61, 0x00}};
    for (const auto& r : Requests(setup::ReadListParallel())) expected.push_back(r);
    EXPECT_EQ(rig.parallel.Writes(), expected);
    const auto names = rig.parallel.EventNames();
    EXPECT_EQ(names[1], "Write");
    EXPECT_EQ(names[2], "RequestRead");
    EXPECT_EQ(names.back(), "StartReader");

    ASSERT_TRUE(rig.collector.WaitFor(setup::ReadListParallel(), rig.fast, kCollectMs));
    rig.parallel.ClearEvents();
    const Outcome done = rig.session.OnReadTimer();
    EXPECT_EQ(done.status, OutcomeStatus::Done);
    EXPECT_EQ(rig.session.ReadTimerMs(), 0);
    EXPECT_EQ(rig.parallel.EventNames(), (std::vector<std::string>{"StopReader", "Write"}));
    EXPECT_EQ(rig.parallel.Writes(), (std::vector<FakeBytes>{FakeBytes(5, 0x00)}));
    rig.ExpectCollected();
}

TEST(SetupSessionParallel, SettingThatNeverAnswersIsAskedAgainEveryTwoSeconds) {
    Rig rig("LPT1");
    auto answers = test::TypicalAnswers();
    answers.erase(250);
    rig.parallel.responder = test::AnswerSettings(answers);
    ASSERT_TRUE(rig.session.Start().ok());
    ASSERT_EQ(rig.session.ReadSettings().status, OutcomeStatus::Waiting);
    auto others = setup::ReadListParallel();
    std::erase(others, 250);
    ASSERT_TRUE(rig.collector.WaitFor(others, rig.fast, kCollectMs));
    for (int round = 0; round < 3; ++round) {
        rig.parallel.ClearEvents();
        const Outcome outcome = rig.session.OnReadTimer();
        EXPECT_EQ(outcome.status, OutcomeStatus::Waiting);
        EXPECT_EQ(rig.session.ReadTimerMs(), 2000);
        EXPECT_EQ(rig.parallel.EventNames(), (std::vector<std::string>{"Write", "RequestRead"}));
        EXPECT_EQ(rig.parallel.Writes(), Requests({250}));
    }
    // It answers at last: the next tick ends the read.
    rig.parallel.Deliver(test::AnswerSettings({{250, "20"}})(Request(250)));
    ASSERT_TRUE(rig.collector.WaitFor({250}, rig.fast, kCollectMs));
    EXPECT_EQ(rig.session.OnReadTimer().status, OutcomeStatus::Done);
    EXPECT_EQ(rig.collector.Values().leftMargin, 512);
}

TEST(SetupSessionParallel, RepeatThatCannotBeWrittenAbandonsTheRead) {
    Rig rig("LPT1");
    ASSERT_TRUE(rig.session.Start().ok());
    ASSERT_EQ(rig.session.ReadSettings().status, OutcomeStatus::Waiting);
    rig.parallel.failAfterWrites = 0;
    const Outcome outcome = rig.session.OnReadTimer();
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
    EXPECT_EQ(outcome.notices.front().literal, "GetValueCmd Fail!");
    EXPECT_EQ(MessageOf(outcome), -1);
    EXPECT_EQ(rig.session.ReadTimerMs(), 0);
}

TEST(SetupSessionParallel, FailedRequestGivesMessage22) {
    Rig rig("LPT1");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.parallel.failAfterWrites = 4;
    const Outcome outcome = rig.session.ReadSettings();
    EXPECT_EQ(MessageOf(outcome), 22);
    EXPECT_TRUE(Failed(outcome));
    EXPECT_EQ(rig.parallel.Count("StartReader"), 0);

    Rig noReader("LPT1");
    ASSERT_TRUE(noReader.session.Start().ok());
    noReader.parallel.startReaderResult = false;
    EXPECT_EQ(MessageOf(noReader.session.ReadSettings()), 52);
}

TEST(SetupSessionParallel, CollectRunsTheTimerItself) {
    Rig rig("LPT1");
    rig.parallel.responder = test::AnswerSettings(test::TypicalAnswers());
    ASSERT_TRUE(rig.session.Start().ok());
    std::vector<int> missing;
    const Outcome outcome =
        CollectSettings(rig.session, rig.collector, rig.fast, kCollectMs, missing);
    EXPECT_EQ(outcome.status, OutcomeStatus::Done);
    EXPECT_TRUE(missing.empty());
    EXPECT_FALSE(rig.parallel.Reading());
    rig.ExpectCollected();
}

TEST(SetupSessionParallel, WriteReopensTheControllerAfterFourSeconds) {
    Rig rig("LPT1");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.parallel.ClearEvents();
    SetupValues values;
    values.leftMargin = 2;
    EXPECT_EQ(rig.session.WriteSettings(values).status, OutcomeStatus::Done);
    EXPECT_EQ(rig.parallel.EventNames(),
              (std::vector<std::string>{"Write", "Write", "Write", "Close", "Open", "Write"}));
    EXPECT_EQ(rig.clock.Sleeps(), (std::vector<std::int64_t>{4000}));
    EXPECT_EQ(rig.parallel.Writes().back(), (FakeBytes{0x1D, 0x61, 0x00}));
    EXPECT_EQ(rig.parallel.Events()[3].at, 4000);  // closed after the wait

    rig.parallel.openResults = {false};
    EXPECT_EQ(MessageOf(rig.session.WriteSettings(values)), 48);
}

TEST(SetupSessionParallel, UsbModeWriteClosesTheController) {
    Rig rig("LPT1");
    ASSERT_TRUE(rig.session.Start().ok());
    SetupValues values;
    values.usbMode = 0;
    const Outcome outcome = rig.session.WriteSettings(values);
    EXPECT_TRUE(outcome.connectionClosed);
    EXPECT_FALSE(rig.parallel.isOpen());
}

// ---- test page ----

TEST(SetupSessionTestPage, EveryStepIsOneWriteThenAPause) {
    for (const char* portName : {"COM1", "LPT1", "ETHERNET_II"}) {
        SCOPED_TRACE(portName);
        Rig rig(portName);
        ASSERT_TRUE(rig.session.Start().ok());
        rig.port.ClearEvents();
        rig.parallel.ClearEvents();
        rig.network.ClearEvents();
        rig.clock.ClearSleeps();
        EXPECT_EQ(rig.session.PrintTestPage(true).status, OutcomeStatus::Done);
        const auto writes = PortKindOf(portName) == PortKind::Serial     ? rig.port.Writes()
                            : PortKindOf(portName) == PortKind::Parallel ? rig.parallel.Writes()
                                                                         : rig.network.Writes();
        EXPECT_EQ(writes, BuildTestPage(true));
        EXPECT_EQ(rig.clock.Sleeps().back(), 800);
    }
}

TEST(SetupSessionTestPage, StopsAtTheFirstFailedWrite) {
    Rig rig("COM1");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.port.failAfterWrites = 3;
    const Outcome outcome = rig.session.PrintTestPage(false);
    EXPECT_EQ(MessageOf(outcome), 48);
    EXPECT_TRUE(Failed(outcome));
    EXPECT_EQ(rig.port.Writes().size(), 3u);
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_TRUE(rig.clock.Sleeps().empty());
}

TEST(SetupSessionTestPage, NetworkSendResultsAreIgnored) {
    Rig rig("ETHERNET_II");
    ASSERT_TRUE(rig.session.Start().ok());
    // The printer takes the connection but the data never goes anywhere.
    rig.network.responder = [](const FakeBytes&) { return FakeBytes{}; };
    EXPECT_EQ(rig.session.PrintTestPage(false).status, OutcomeStatus::Done);
    rig.network.refuse = true;
    EXPECT_EQ(MessageOf(rig.session.PrintTestPage(false)), 48);
}

// ---- the hand-off ----

// A listener that, like a screen, takes a while to apply each reply and counts how many
// hand-offs overlap.
class SlowListener : public SettingListener {
public:
    void OnSettingReceived(const SetupReply&) override {
        const int now = ++m_inFlight;
        int seen = m_maxInFlight.load();
        while (now > seen && !m_maxInFlight.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        --m_inFlight;
        ++m_count;
    }
    std::atomic<int> m_inFlight{0};
    std::atomic<int> m_maxInFlight{0};
    std::atomic<int> m_count{0};
};

TEST(SetupReceiveThread, HandsOverOneReplyAtATime) {
    VirtualClock clock;
    test::FastClock fast;
    test::FakePrinterPort port;
    port.responder = test::AnswerSettings(test::TypicalAnswers());
    SlowListener listener;
    SetupSession session("COM1", SetupLinks{&port}, clock, fast, listener);
    ASSERT_TRUE(session.Start().ok());
    ASSERT_TRUE(session.ReadSettings().ok());
    for (int i = 0; i < 20000 && listener.m_count < 18; ++i) fast.SleepFor(10);
    EXPECT_EQ(listener.m_count, 18);
    EXPECT_EQ(listener.m_maxInFlight, 1);
}

// A listener that waits for "its own thread" until the delivery is cancelled, as a GUI
// listener blocked on a thread that is busy closing the session would.
class BlockedListener : public SettingListener {
public:
    void OnSettingReceived(const SetupReply&) override {
        std::unique_lock lock(m_mutex);
        m_entered = true;
        m_cv.notify_all();
        m_cv.wait(lock, [this] { return m_cancelled; });
    }
    void CancelDelivery() override {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
        m_cv.notify_all();
    }
    void WaitEntered() {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return m_entered; });
    }
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_entered = false;
    bool m_cancelled = false;
};

TEST(SetupReceiveThread, CloseCancelsAHandOffUnderWay) {
    VirtualClock clock;
    test::FastClock fast;
    test::FakePrinterPort port;
    port.responder = test::AnswerSettings({{250, "144"}});
    BlockedListener listener;
    SetupSession session("COM1", SetupLinks{&port}, clock, fast, listener);
    ASSERT_TRUE(session.Start().ok());
    ASSERT_TRUE(session.ReadSettings().ok());
    listener.WaitEntered();
    session.Close(false);  // returns: the hand-off was cancelled and the thread ended
    EXPECT_TRUE(listener.m_cancelled);
    EXPECT_FALSE(port.isOpen());
}

}  // namespace
}  // namespace kp70
