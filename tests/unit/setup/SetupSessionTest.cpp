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
#include "support/FakePrinterLink.h"
#include "support/FastClock.h"

namespace kp70 {
namespace {

using test::FakeBytes;
using Names = std::vector<std::string>;
using Sleeps = std::vector<std::int64_t>;

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
    explicit Rig(const std::string& portName, SettingListener* listener = nullptr)
        : link(Made(portName)), session(factory, clock, fast, listener ? *listener : collector) {}

    test::FakePrinterLink& Made(const std::string& portName) {
        factory.settings.portName = portName;
        factory.link.SetClock(&clock);
        // A USB printer's and the parallel controller's answers wait to be fetched.
        const Attachment kind = AttachmentOfPort(portName);
        factory.link.answersOnRequest =
            kind == Attachment::UsbPrinter || kind == Attachment::Parallel;
        factory.link.reportsStatus = kind == Attachment::Parallel;
        return factory.link;
    }
    // What the link did, from now on.
    void Clear() {
        link.ClearEvents();
        clock.ClearSleeps();
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
    test::FakeLinkFactory factory;
    test::FakePrinterLink& link;
    SettingsCollector collector;
    SetupSession session;
};

const FakeBytes kStatusBackOff{0x1D, 0x61, 0x00};

// ---- COM and USB ----

TEST(SetupSessionSerial, StartOpensTheLinkForRepliesAndCloseWaitsForTheThread) {
    Rig rig("COM1");
    EXPECT_TRUE(rig.session.Start().ok());
    EXPECT_TRUE(rig.factory.requests.front().replies);
    EXPECT_EQ(rig.factory.requests.front().toolMode, kToolModeSetup);
    rig.session.Close();
    EXPECT_EQ(rig.link.EventNames(), (Names{"Open", "StopReplies", "Close"}));
    EXPECT_EQ(rig.clock.Sleeps(), (Sleeps{300}));
}

TEST(SetupSessionSerial, OpenFailureClosesTheScreenWithInitFailAndSaysWhy) {
    Rig rig("/dev/ttyS0");
    rig.link.openResults = {false};
    rig.link.lastErrorText = "/dev/ttyS0: permission denied";
    const Outcome outcome = rig.session.Start();
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
    EXPECT_EQ(MessageOf(outcome), 2);
    EXPECT_TRUE(outcome.closeScreen);
    EXPECT_TRUE(outcome.notices.front().secondLine.empty());
    EXPECT_EQ(outcome.notices.front().detail, "/dev/ttyS0: permission denied");
}

TEST(SetupSessionSerial, ReadSendsEighteenRequestsAndCollectsTheReplies) {
    for (const char* port : {"COM3", "USB"}) {
        SCOPED_TRACE(port);
        Rig rig(port);
        rig.link.responder = test::AnswerSettings(test::TypicalAnswers());
        ASSERT_TRUE(rig.session.Start().ok());
        rig.Clear();
        std::vector<int> missing;
        const Outcome outcome =
            CollectSettings(rig.session, rig.collector, rig.fast, kCollectMs, missing);
        EXPECT_EQ(outcome.status, OutcomeStatus::Done);
        EXPECT_TRUE(missing.empty());
        EXPECT_EQ(rig.link.Writes(), Requests({3, 116, 118, 242, 243, 244, 245, 246, 247, 248, 249,
                                               250, 251, 252, 253, 1, 2, 255}));
        // A USB printer's replies are fetched once, after the last request.
        const Names names = rig.link.EventNames();
        ASSERT_EQ(names.size(), 19u);
        EXPECT_EQ(names.back(), "RequestReplies");
        rig.ExpectCollected();
        EXPECT_EQ(rig.collector.Values().stopBit, 1);
    }
}

TEST(SetupSessionSerial, UnansweredSettingsAreReportedMissing) {
    Rig rig("COM3");
    auto answers = test::TypicalAnswers();
    answers.erase(250);
    answers[116] = "256";  // a value the tool does not know counts as no answer
    rig.link.responder = test::AnswerSettings(answers);
    ASSERT_TRUE(rig.session.Start().ok());
    std::vector<int> missing;
    CollectSettings(rig.session, rig.collector, rig.fast, 2000, missing);
    EXPECT_EQ(missing, (std::vector<int>{116, 250}));
}

TEST(SetupSessionSerial, FailedRequestStopsWithMessage60AndClosesTheLink) {
    Rig rig("COM1");
    rig.link.takeLimit = 5 * 7 + 3;  // five requests and part of the sixth
    ASSERT_TRUE(rig.session.Start().ok());
    const Outcome outcome = rig.session.ReadSettings();
    EXPECT_EQ(MessageOf(outcome), 60);
    EXPECT_TRUE(Failed(outcome));
    EXPECT_FALSE(rig.link.IsOpen());
    EXPECT_EQ(rig.link.Count("Send"), 6);  // nothing after the failed one
}

TEST(SetupSessionSerial, WriteSendsEnterBlockLeaveAndWaitsForDelivery) {
    Rig rig("COM1");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.Clear();
    SetupValues values;
    values.leftMargin = 300;
    const Outcome outcome = rig.session.WriteSettings(values);
    EXPECT_EQ(outcome.status, OutcomeStatus::Done);
    EXPECT_FALSE(outcome.connectionClosed);
    EXPECT_EQ(rig.link.Writes(),
              (std::vector<FakeBytes>{setup::EnterUserSetting(),
                                      {0x1D, 0x28, 0x45, 0x0A, 0x00, 0x05, 0xFA, 0x2C, 0x01, 0xFF,
                                       0x00, 0x00, 0x00, 0x00, 0x04},
                                      setup::LeaveUserSetting()}));
    EXPECT_EQ(rig.link.EventNames(), (Names{"Send", "Send", "Send", "WaitDelivered"}));
    EXPECT_TRUE(rig.link.IsOpen());  // a serial port stays open
}

TEST(SetupSessionSerial, RefusedOrEmptyWritesSendNothing) {
    Rig rig("COM1");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.Clear();
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
    EXPECT_TRUE(rig.link.Events().empty());
}

TEST(SetupSessionSerial, AWriteNotTakenOrNotDeliveredFailsAndResetsImageAndLines) {
    // The link takes 0, 8 (the enter command) or 9 bytes; or takes them all and then goes,
    // or never has them acknowledged.
    struct Case {
        int takeLimit;
        int lostAfterBytes;
        DeliveryFault delivery;
    };
    for (const Case c : {Case{0, -1, DeliveryFault::None}, Case{8, -1, DeliveryFault::None},
                         Case{9, -1, DeliveryFault::None}, Case{-1, 1, DeliveryFault::None},
                         Case{-1, -1, DeliveryFault::NotTaken}}) {
        SCOPED_TRACE(c.takeLimit * 100 + c.lostAfterBytes);
        Rig rig("COM1");
        ASSERT_TRUE(rig.session.Start().ok());
        rig.link.takeLimit = c.takeLimit;
        rig.link.lostAfterBytes = c.lostAfterBytes;
        rig.link.deliveryFault = c.delivery;
        SetupValues values;
        values.waterMark = 1;
        values.imageNumber = 9;
        values.lines = 4;
        const Outcome outcome = rig.session.WriteSettings(values);
        EXPECT_EQ(MessageOf(outcome), 48);
        EXPECT_TRUE(Failed(outcome));
        EXPECT_FALSE(rig.link.IsOpen());
        EXPECT_EQ(values.imageNumber, 1);
        EXPECT_EQ(values.lines, 0);
    }
}

TEST(SetupSessionSerial, AWriteTheOperatorStopsEndsCancelledAndClosed) {
    Rig rig("COM1");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.link.takeLimit = 8;
    rig.link.stall = true;
    CancelToken cancel;
    cancel.Cancel();
    SetupValues values;
    values.leftMargin = 8;
    const Outcome outcome = rig.session.WriteSettings(values, nullptr, cancel);
    EXPECT_EQ(outcome.status, OutcomeStatus::Cancelled);
    EXPECT_FALSE(rig.link.IsOpen());
}

TEST(SetupSessionSerial, UsbModeWriteLeavesTheLinkClosedAndTheNextReadFails) {
    Rig rig("COM1");
    ASSERT_TRUE(rig.session.Start().ok());
    SetupValues values;
    values.usbMode = 1;
    const Outcome outcome = rig.session.WriteSettings(values);
    EXPECT_TRUE(outcome.ok());
    EXPECT_TRUE(outcome.connectionClosed);
    EXPECT_FALSE(rig.link.IsOpen());
    EXPECT_EQ(MessageOf(rig.session.ReadSettings()), 60);
}

TEST(SetupSessionUsb, WriteReopensOnAFallingScheduleAndGivesUpQuietly) {
    struct Case {
        std::deque<bool> opens;
        Sleeps sleeps;
        int openCalls;
    };
    for (const Case& c :
         {Case{{true}, {3000}, 1}, Case{{false, false, true}, {3000, 500, 400}, 3},
          Case{{false, false, false, false, false}, {3000, 500, 400, 300, 200, 100}, 5}}) {
        Rig rig("USB");
        ASSERT_TRUE(rig.session.Start().ok());
        rig.Clear();
        rig.link.openResults = c.opens;
        SetupValues values;
        values.leftMargin = 1;
        const Outcome outcome = rig.session.WriteSettings(values);
        EXPECT_EQ(outcome.status, OutcomeStatus::Done);
        EXPECT_EQ(MessageOf(outcome), -1);
        EXPECT_EQ(rig.clock.Sleeps(), c.sleeps);
        EXPECT_EQ(rig.link.Count("Open"), c.openCalls);
        EXPECT_EQ(rig.link.Events()[4].what, "Close");  // after the three sends and delivery
    }
}

TEST(SetupSessionUsb, ReadAfterAReopenStillReachesTheListener) {
    Rig rig("USB");
    rig.link.responder = test::AnswerSettings({{250, "20"}});
    ASSERT_TRUE(rig.session.Start().ok());
    SetupValues values;
    values.leftMargin = 1;
    rig.session.WriteSettings(values);
    ASSERT_TRUE(rig.session.ReadSettings().ok());
    EXPECT_TRUE(rig.collector.WaitFor({250}, rig.fast, kCollectMs));
    EXPECT_EQ(rig.collector.Values().leftMargin, 512);
}

// ---- network ----

TEST(SetupSessionNetwork, FailedConnectionClosesTheScreenWithMessage20) {
    Rig rig("ETHERNET_II");
    rig.link.openResults = {false};
    rig.link.lastErrorText = "no answer from 10.0.0.9:9100";
    const Outcome outcome = rig.session.Start();
    EXPECT_EQ(MessageOf(outcome), 20);
    EXPECT_TRUE(outcome.closeScreen);
    EXPECT_EQ(outcome.notices.front().detail, "no answer from 10.0.0.9:9100");
}

TEST(SetupSessionNetwork, ReadDropsStaleBytesChecksThenPacesSeventeenRequests) {
    Rig live("ETHERNET_II");
    live.link.responder = test::AnswerSettings(test::TypicalAnswers());
    // A reply cut short before the read: without the clearing it would swallow the first
    // real reply.
    const std::string stale =
        "7'250\x1F"
        "99";
    live.link.Arrive(FakeBytes(stale.begin(), stale.end()));
    ASSERT_TRUE(live.session.Start().ok());
    live.Clear();
    std::vector<int> missing;
    CollectSettings(live.session, live.collector, live.fast, kCollectMs, missing);
    EXPECT_TRUE(missing.empty());
    EXPECT_EQ(live.link.EventNames().front(), "CheckConnection");
    EXPECT_EQ(live.link.Writes(), Requests({3, 116, 118, 242, 243, 244, 245, 246, 247, 248, 249,
                                            250, 251, 252, 1, 2, 255}));
    EXPECT_EQ(live.clock.Sleeps(), Sleeps(17, 10));
    live.ExpectCollected();
    EXPECT_EQ(live.collector.Values().stopBit, -1);  // not asked on the network

    // The printer rests after the last reply: whatever is sent next waits that out first,
    // whoever sends it. The write connects afresh and closes after three seconds.
    EXPECT_EQ(live.session.RestRemainingMs(), 800);
    live.Clear();
    SetupValues values;
    values.leftMargin = 300;
    EXPECT_EQ(live.session.WriteSettings(values).status, OutcomeStatus::Done);
    EXPECT_EQ(live.clock.Sleeps(), (Sleeps{800, 3000}));
    EXPECT_EQ(live.link.EventNames(),
              (Names{"Open", "Send", "Send", "Send", "WaitDelivered", "Close"}));
    EXPECT_EQ(live.session.RestRemainingMs(), 0);
}

TEST(SetupSessionNetwork, NoConnectionFailsTheReadWith60AndTheWriteWith48) {
    Rig rig("ETHERNET_II");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.link.checkResults = {false};
    const Outcome read = rig.session.ReadSettings();
    EXPECT_EQ(MessageOf(read), 60);
    EXPECT_TRUE(Failed(read));
    EXPECT_EQ(rig.link.Count("Send"), 0);

    rig.link.openResults = {false};
    SetupValues values;
    values.leftMargin = 3;
    EXPECT_EQ(MessageOf(rig.session.WriteSettings(values)), 48);
    EXPECT_EQ(rig.link.Count("Send"), 0);
}

// ---- LPT ----

TEST(SetupSessionParallel, StartOpensTheControllerAndTurnsStatusBackOff) {
    Rig rig("LPT1");
    EXPECT_TRUE(rig.session.Start().ok());
    EXPECT_EQ(rig.link.Writes(), (std::vector<FakeBytes>{kStatusBackOff}));
    EXPECT_TRUE(rig.session.ReadAllowed());
}

TEST(SetupSessionParallel, StartFailures) {
    Rig noPort("LPT2");
    noPort.link.openResults = {false};
    noPort.link.lastErrorText = "[ParPortCtl] CreateFile fail : 2";
    Outcome outcome = noPort.session.Start();
    EXPECT_EQ(MessageOf(outcome), 2);
    EXPECT_EQ(outcome.notices.front().secondLine, "[ParPortCtl] CreateFile fail : 2");
    EXPECT_TRUE(outcome.closeScreen);

    Rig silent("LPT1");
    silent.link.takeLimit = 0;
    outcome = silent.session.Start();
    EXPECT_EQ(MessageOf(outcome), 24);
    EXPECT_TRUE(outcome.closeScreen);

    Rig legacy("/dev/parport0");
    legacy.link.legacyMode = true;
    EXPECT_FALSE(legacy.session.ReadAllowed());
}

TEST(SetupSessionParallel, ReadRequestsEverySettingThenFinishesOnTheTimer) {
    Rig rig("LPT1");
    rig.link.responder = test::AnswerSettings(test::TypicalAnswers());
    ASSERT_TRUE(rig.session.Start().ok());
    rig.Clear();
    const Outcome outcome = rig.session.ReadSettings();
    EXPECT_EQ(outcome.status, OutcomeStatus::Waiting);
    EXPECT_EQ(rig.session.ReadTimerMs(), 3000);

    std::vector<FakeBytes> expected{kStatusBackOff};
    for (const auto& r : Requests(setup::ReadListParallel())) expected.push_back(r);
    EXPECT_EQ(rig.link.Writes(), expected);
    const Names names = rig.link.EventNames();
    EXPECT_EQ(names[1], "Send");
    EXPECT_EQ(names[2], "RequestReplies");
    EXPECT_EQ(rig.link.Count("RequestReplies"), 17);

    ASSERT_TRUE(rig.collector.WaitFor(setup::ReadListParallel(), rig.fast, kCollectMs));
    rig.Clear();
    const Outcome done = rig.session.OnReadTimer();
    EXPECT_EQ(done.status, OutcomeStatus::Done);
    EXPECT_EQ(rig.session.ReadTimerMs(), 0);
    EXPECT_EQ(rig.link.EventNames(), (Names{"StopReplies", "Send"}));
    EXPECT_EQ(rig.link.Writes(), (std::vector<FakeBytes>{FakeBytes(5, 0x00)}));
    rig.ExpectCollected();
}

TEST(SetupSessionParallel, SettingThatNeverAnswersIsAskedAgainEveryTwoSeconds) {
    Rig rig("LPT1");
    auto answers = test::TypicalAnswers();
    answers.erase(250);
    rig.link.responder = test::AnswerSettings(answers);
    ASSERT_TRUE(rig.session.Start().ok());
    ASSERT_EQ(rig.session.ReadSettings().status, OutcomeStatus::Waiting);
    auto others = setup::ReadListParallel();
    std::erase(others, 250);
    ASSERT_TRUE(rig.collector.WaitFor(others, rig.fast, kCollectMs));
    for (int round = 0; round < 3; ++round) {
        rig.Clear();
        const Outcome outcome = rig.session.OnReadTimer();
        EXPECT_EQ(outcome.status, OutcomeStatus::Waiting);
        EXPECT_EQ(rig.session.ReadTimerMs(), 2000);
        EXPECT_EQ(rig.link.EventNames(), (Names{"Send", "RequestReplies"}));
        EXPECT_EQ(rig.link.Writes(), Requests({250}));
    }
    // It answers at last: the next tick ends the read.
    rig.link.Arrive(test::AnswerSettings({{250, "20"}})(Request(250)));
    rig.link.RequestReplies();
    ASSERT_TRUE(rig.collector.WaitFor({250}, rig.fast, kCollectMs));
    EXPECT_EQ(rig.session.OnReadTimer().status, OutcomeStatus::Done);
    EXPECT_EQ(rig.collector.Values().leftMargin, 512);
}

TEST(SetupSessionParallel, FailuresOfTheRead) {
    Rig repeat("LPT1");
    ASSERT_TRUE(repeat.session.Start().ok());
    ASSERT_EQ(repeat.session.ReadSettings().status, OutcomeStatus::Waiting);
    repeat.link.takeLimit = 0;
    Outcome outcome = repeat.session.OnReadTimer();
    EXPECT_EQ(outcome.status, OutcomeStatus::Failed);
    EXPECT_EQ(outcome.notices.front().literal, "GetValueCmd Fail!");
    EXPECT_EQ(repeat.session.ReadTimerMs(), 0);

    Rig request("LPT1");
    ASSERT_TRUE(request.session.Start().ok());
    request.link.takeLimit = 3 + 4 * 7;
    outcome = request.session.ReadSettings();
    EXPECT_EQ(MessageOf(outcome), 22);
    EXPECT_TRUE(Failed(outcome));

    Rig noReader("LPT1");
    ASSERT_TRUE(noReader.session.Start().ok());
    noReader.link.requestRepliesResult = false;
    EXPECT_EQ(MessageOf(noReader.session.ReadSettings()), 52);
}

TEST(SetupSessionParallel, CollectRunsTheTimerItself) {
    Rig rig("LPT1");
    rig.link.responder = test::AnswerSettings(test::TypicalAnswers());
    ASSERT_TRUE(rig.session.Start().ok());
    std::vector<int> missing;
    const Outcome outcome =
        CollectSettings(rig.session, rig.collector, rig.fast, kCollectMs, missing);
    EXPECT_EQ(outcome.status, OutcomeStatus::Done);
    EXPECT_TRUE(missing.empty());
    EXPECT_EQ(rig.link.EventNames().back(), "Send");  // the trailer, after StopReplies
    rig.ExpectCollected();
}

TEST(SetupSessionParallel, WriteReopensTheControllerAfterFourSeconds) {
    Rig rig("LPT1");
    ASSERT_TRUE(rig.session.Start().ok());
    rig.Clear();
    SetupValues values;
    values.leftMargin = 2;
    EXPECT_EQ(rig.session.WriteSettings(values).status, OutcomeStatus::Done);
    EXPECT_EQ(rig.link.EventNames(),
              (Names{"Send", "Send", "Send", "WaitDelivered", "Close", "Open", "Send"}));
    EXPECT_EQ(rig.clock.Sleeps(), (Sleeps{4000}));
    EXPECT_EQ(rig.link.Writes().back(), kStatusBackOff);
    EXPECT_EQ(rig.link.Events()[4].at, 4000);  // closed after the wait

    rig.link.openResults = {false};
    EXPECT_EQ(MessageOf(rig.session.WriteSettings(values)), 48);

    Rig usbMode("LPT1");
    ASSERT_TRUE(usbMode.session.Start().ok());
    SetupValues mode;
    mode.usbMode = 0;
    EXPECT_TRUE(usbMode.session.WriteSettings(mode).connectionClosed);
    EXPECT_FALSE(usbMode.link.IsOpen());
}

// ---- test page ----

TEST(SetupSessionTestPage, EveryStepIsOneSendThenDeliveryAndAPause) {
    for (const char* portName : {"COM1", "LPT1", "ETHERNET_II"}) {
        SCOPED_TRACE(portName);
        Rig rig(portName);
        ASSERT_TRUE(rig.session.Start().ok());
        rig.Clear();
        EXPECT_EQ(rig.session.PrintTestPage(true).status, OutcomeStatus::Done);
        EXPECT_EQ(rig.link.Writes(), BuildTestPage(true));
        EXPECT_EQ(rig.clock.Sleeps().back(), 800);
        EXPECT_EQ(rig.link.Count("WaitDelivered"), 1);
    }
}

TEST(SetupSessionTestPage, StopsAtTheFirstSendNotTakenOrADeliveryThatFails) {
    Rig rig("COM1");
    ASSERT_TRUE(rig.session.Start().ok());
    const std::vector<FakeBytes> page = BuildTestPage(false);
    rig.link.takeLimit = static_cast<int>(page[0].size() + page[1].size() + page[2].size());
    const Outcome outcome = rig.session.PrintTestPage(false);
    EXPECT_EQ(MessageOf(outcome), 48);
    EXPECT_TRUE(Failed(outcome));
    EXPECT_EQ(rig.link.Count("Send"), 4);
    EXPECT_FALSE(rig.link.IsOpen());
    EXPECT_TRUE(rig.clock.Sleeps().empty());

    // A network printer that takes the connection but acknowledges nothing.
    Rig network("ETHERNET_II");
    ASSERT_TRUE(network.session.Start().ok());
    network.link.deliveryFault = DeliveryFault::NotTaken;
    EXPECT_EQ(MessageOf(network.session.PrintTestPage(false)), 48);
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
    SlowListener listener;
    Rig rig("COM1", &listener);
    rig.link.responder = test::AnswerSettings(test::TypicalAnswers());
    ASSERT_TRUE(rig.session.Start().ok());
    ASSERT_TRUE(rig.session.ReadSettings().ok());
    for (int i = 0; i < 20000 && listener.m_count < 18; ++i) rig.fast.SleepFor(10);
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
    BlockedListener listener;
    Rig rig("COM1", &listener);
    rig.link.responder = test::AnswerSettings({{250, "144"}});
    ASSERT_TRUE(rig.session.Start().ok());
    ASSERT_TRUE(rig.session.ReadSettings().ok());
    listener.WaitEntered();
    rig.session.Close(false);  // returns: the hand-off was cancelled and the thread ended
    EXPECT_TRUE(listener.m_cancelled);
    EXPECT_FALSE(rig.link.IsOpen());
}

}  // namespace
}  // namespace kp70
