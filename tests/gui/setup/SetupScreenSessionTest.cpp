// The user setup screen driving its session over fake links: opening, Get Value, Set
// Value, TEST, the failed state and closing. Replies come from the session's receive
// thread, the session's steps run on the screen's operation runner.
#include <QSignalSpy>
#include <algorithm>

#include "SetupScreenRig.h"
#include "core/setup/SetupCommands.h"
#include "core/setup/SetupLists.h"
#include "core/setup/TestPage.h"
#include "unit/setup/PrinterScript.h"

namespace kp70::test {
namespace {

using Phase = AdvancedUserSetupScreen::Phase;

const FakeBytes kEnter = {0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 0x49, 0x4E};
const FakeBytes kLeave = {0x1D, 0x28, 0x45, 0x04, 0x00, 0x02, 0x4F, 0x55, 0x54};
const QString kWriteFail =
    QStringLiteral("ERROR : Write Fail!\nPlease check the printer power or connection");

bool Slept(const VirtualClock& clock, std::int64_t ms) {
    const auto sleeps = clock.Sleeps();
    return std::find(sleeps.begin(), sleeps.end(), ms) != sleeps.end();
}

// Waits until every setting of the list has been applied by the screen.
bool WaitForReplies(SetupScreenRig& rig, const std::vector<int>& numbers) {
    return QTest::qWaitFor(
        [&] {
            return std::all_of(numbers.begin(), numbers.end(),
                               [&](int n) { return rig.screen->values().received[n]; });
        },
        10000);
}

void ExpectButtons(const SetupScreenRig& rig, bool get, bool set, bool test, bool defaults,
                   bool exit) {
    EXPECT_EQ(rig.Button("getValue")->isEnabled(), get);
    EXPECT_EQ(rig.Button("setValue")->isEnabled(), set);
    EXPECT_EQ(rig.Button("test")->isEnabled(), test);
    EXPECT_EQ(rig.Button("defaults")->isEnabled(), defaults);
    EXPECT_EQ(rig.Button("exit")->isEnabled(), exit);
}

// ---- opening ----

TEST(SetupScreenSession, OpeningReopensThePortWithTheScreenAsListener) {
    SetupScreenRig rig("COM3");
    rig.port.Open();  // left open by an earlier tool
    rig.port.ClearEvents();
    rig.Open();
    EXPECT_TRUE(rig.Idle());
    EXPECT_EQ(rig.port.EventNames(), (std::vector<std::string>{"Close", "Open"}));
    EXPECT_EQ(rig.port.Settings().toolMode, kToolModeSetup);
    EXPECT_NE(rig.port.NotifyWindow(), nullptr);
    ExpectButtons(rig, true, true, true, true, true);
}

TEST(SetupScreenSession, AFailedOpeningShowsItsMessageAndClosesTheScreen) {
    struct Case {
        const char* port;
        std::function<void(SetupScreenRig&)> fault;
        QString message;
    };
    const Case cases[] = {
        {"COM1", [](SetupScreenRig& r) { r.port.openResults = {false}; }, "Init Fail"},
        {"USB", [](SetupScreenRig& r) { r.port.openResults = {false}; }, "Init Fail"},
        {"LPT1", [](SetupScreenRig& r) { r.parallel->openResults = {false}; },
         "Init Fail\n[ParPortCtl] CreateFile fail : 2"},
        {"LPT1", [](SetupScreenRig& r) { r.parallel->failAfterWrites = 0; },
         "ERROR : Printer check."},
        {"ETHERNET_II", [](SetupScreenRig& r) { r.network.refuse = true; },
         "ERROR : Printer check."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        SetupScreenRig rig(c.port);
        c.fault(rig);
        rig.Build();
        QSignalSpy finished(rig.screen.get(), &QDialog::finished);
        rig.screen->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return rig.Closed(); }, 10000));
        ASSERT_EQ(rig.h.prompter.boxes.size(), 1u);
        EXPECT_EQ(rig.h.prompter.boxes[0].text, c.message);
        EXPECT_EQ(rig.h.prompter.boxes[0].caption, "KP70 Tool");
        ASSERT_EQ(finished.count(), 1);
        EXPECT_EQ(finished[0][0].toInt(), QDialog::Rejected);
        EXPECT_FALSE(rig.port.isOpen());
        EXPECT_FALSE(rig.parallel->isOpen());
    }
}

// ---- Get Value ----

TEST(SetupScreenSession, GetValueFillsTheControlsOnEveryAttachment) {
    for (const char* portName : {"COM1", "USB", "ETHERNET_II", "LPT1"}) {
        SCOPED_TRACE(portName);
        const bool parallel = std::string(portName) == "LPT1";
        FastClock sequenceFast;
        SetupScreenRig rig(portName, 6, false, parallel ? &sequenceFast : nullptr);
        rig.port.responder = AnswerSettings(TypicalAnswers());
        rig.port.answersOnReadUsbReply = std::string(portName) == "USB";
        rig.network.responder = AnswerSettings(TypicalAnswers());
        rig.parallel->responder = AnswerSettings(TypicalAnswers());
        rig.Open();
        ASSERT_TRUE(rig.Idle());

        rig.Press("getValue");
        if (parallel) {
            // The parallel-port read keeps the buttons disabled until every reply came.
            EXPECT_EQ(rig.screen->phase(), Phase::Reading);
            ExpectButtons(rig, false, false, false, false, false);
            EXPECT_EQ(rig.screen->cursor().shape(), Qt::WaitCursor);
        }
        std::vector<int> numbers = setup::ReadListNetwork();  // what every kind asks for
        ASSERT_TRUE(WaitForReplies(rig, numbers));
        rig.WaitIdle();

        EXPECT_EQ(rig.Field("leftMargin")->text(), "300");
        EXPECT_TRUE(rig.Radio("paperWidth", true)->isChecked());
        EXPECT_EQ(rig.List("columnList")->currentText(), "32 Column");
        EXPECT_TRUE(rig.List("columnList")->isEnabled());
        EXPECT_TRUE(rig.Radio("paperType", false)->isChecked());
        EXPECT_FALSE(rig.List("twoColorDensityList")->isEnabled());
        EXPECT_TRUE(rig.Radio("waterMark", true)->isChecked());
        EXPECT_EQ(rig.Field("imageNumber")->text(), "7");
        EXPECT_TRUE(rig.Field("imageNumber")->isEnabled());
        EXPECT_TRUE(rig.Radio("cuttingAdjust", false)->isChecked());
        EXPECT_FALSE(rig.Field("lines")->isEnabled());
        EXPECT_TRUE(rig.Radio("drawerWithCutting", true)->isChecked());
        EXPECT_EQ(rig.List("bellTypeList")->currentText(), "Melody 1");
        EXPECT_EQ(rig.List("bellLengthList")->currentText(), "3");
        EXPECT_EQ(rig.Label("bellUnitLabel")->text(), " / 5");
        EXPECT_EQ(rig.List("codePageList")->currentText(), "16| PC1252 (Windows CP)");
        EXPECT_EQ(rig.List("nvUserList")->currentText(), "128");
        EXPECT_EQ(rig.List("nvGraphicList")->currentText(), "256");
        EXPECT_TRUE(rig.Radio("cuttingMode", true)->isChecked());
        EXPECT_TRUE(rig.Radio("boldFont", false)->isChecked());
        EXPECT_EQ(rig.List("printSpeedList")->currentText(), "200");
        EXPECT_TRUE(rig.Radio("drawerInSelfTest", false)->isChecked());
        EXPECT_EQ(rig.List("receiveBufferList")->currentText(), "20");
        EXPECT_EQ(rig.Field("setupCode")->text(), "1234");
        // Only COM and USB ask for the stop bit.
        const bool stopBitAsked = std::string(portName) == "COM1" || std::string(portName) == "USB";
        EXPECT_EQ(rig.Radio("stopBit", true)->isChecked(), stopBitAsked);

        if (parallel) {
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return rig.parallel->Count("StopReader") > 0; }, 5000));
            EXPECT_EQ(rig.parallel->Writes().back(), setup::ReadTrailer());
            EXPECT_EQ(rig.screen->cursor().shape(), Qt::ArrowCursor);
        }
        if (std::string(portName) == "ETHERNET_II") {
            // The last reply of a network read rests the buttons for 800 ms.
            ASSERT_TRUE(QTest::qWaitFor([&] { return Slept(rig.h.clock, 800); }, 5000));
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return rig.Button("getValue")->isEnabled(); }, 5000));
        ExpectButtons(rig, true, true, true, true, true);
        EXPECT_FALSE(rig.screen->isFailed());
    }
}

TEST(SetupScreenSession, APrinterThatNeverAnswersIsSaidAndTheScreenStaysUsable) {
    for (const char* portName : {"COM1", "USB", "ETHERNET_II"}) {
        SCOPED_TRACE(portName);
        SetupScreenRig rig(portName);  // the fakes answer nothing
        rig.Open();
        rig.Press("getValue");
        rig.WaitIdle();
        ASSERT_EQ(rig.h.prompter.boxes.size(), 1u);
        EXPECT_EQ(rig.h.prompter.boxes[0].text,
                  "The printer did not answer within 3 seconds.\nCheck that it is switched on "
                  "and connected, then read the settings again.");
        EXPECT_FALSE(rig.screen->isFailed());
        ExpectButtons(rig, true, true, true, true, true);
    }
}

TEST(SetupScreenSession, GetValueStaysOffForALegacyParallelController) {
    SetupScreenRig rig("LPT1");
    rig.parallel->legacyMode = true;
    rig.Open();
    ExpectButtons(rig, false, true, true, true, true);
}

TEST(SetupScreenSession, AFailedReadLeavesTheFailedState) {
    struct Case {
        const char* port;
        QString message;
        bool defaults;  // a COM read leaves Default; a parallel read had disabled it
    };
    const Case cases[] = {
        {"COM1", "ERROR : Read Fail!\nPlease check the printer power or connection", true},
        {"LPT1", "ERROR : Write to port.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        SetupScreenRig rig(c.port);
        rig.Open();
        rig.port.failAfterWrites = 0;
        rig.parallel->failAfterWrites = 1;  // the status back off of opening was written
        rig.Type("leftMargin", "100");
        rig.Press("getValue");
        rig.WaitIdle();
        ASSERT_EQ(rig.h.prompter.boxes.size(), 1u);
        EXPECT_EQ(rig.h.prompter.boxes[0].text, c.message);
        EXPECT_TRUE(rig.screen->isFailed());
        // EXIT always leaves a failed screen.
        ExpectButtons(rig, false, false, false, c.defaults, true);
        EXPECT_FALSE(rig.Field("leftMargin")->isEnabled());
        EXPECT_TRUE(rig.Radio("stopBit", true)->isEnabled());
        EXPECT_TRUE(rig.Radio("emulation", true)->isEnabled());
    }
}

// ---- Set Value ----

TEST(SetupScreenSession, SetValueSendsEnterTheChangedItemsAndLeave) {
    SetupScreenRig rig("COM1");
    rig.Open();
    rig.port.ClearEvents();
    rig.Click("paperWidth", true);  // 58mm, "32 Column"
    rig.Type("leftMargin", "300");
    rig.Click("stopBit", true);
    rig.Type("setupCode", "1a2b");

    rig.Press("setValue");
    // The stop bit warning comes before anything is sent.
    ASSERT_EQ(rig.h.prompter.boxes.size(), 1u);
    EXPECT_EQ(rig.h.prompter.boxes[0].text,
              "If you change the stop bit configuration,\r\nthis program maybe do not work "
              "correctly.");
    EXPECT_EQ(rig.h.prompter.boxes[0].caption, "Notice");
    EXPECT_EQ(rig.screen->phase(), Phase::Busy);
    ExpectButtons(rig, false, false, false, false, false);
    rig.WaitIdle();

    const FakeBytes block = {0x1D, 0x28, 0x45, 0x10, 0x00, 0x05, 0x03, 0x03, 0x00, 0xFD, 0x01,
                             0x01, 0xFA, 0x2C, 0x01, 0xFF, 0x2B, 0x1A, 0x00, 0x00, 0x04};
    EXPECT_EQ(rig.port.Writes(), (std::vector<FakeBytes>{kEnter, block, kLeave}));
    ExpectButtons(rig, true, true, true, true, true);
    EXPECT_FALSE(rig.screen->values().stopBitTouched);
    EXPECT_TRUE(rig.port.isOpen());

    // Writing again without touching the stop bit warns no more.
    rig.h.prompter.Clear();
    rig.Press("setValue");
    rig.WaitIdle();
    EXPECT_TRUE(rig.h.prompter.boxes.empty());
    EXPECT_EQ(rig.port.Writes().size(), 6u);
}

TEST(SetupScreenSession, SetValueRefusesFieldsOutOfRange) {
    struct Case {
        const char* name;
        std::function<void(SetupScreenRig&)> edit;
        QString text;
        QString caption;
    };
    const Case cases[] = {
        {"image 0",
         [](SetupScreenRig& r) {
             r.Click("waterMark", true);
             r.Type("imageNumber", "0");
         },
         "Please enter an integer between 1 and 255.", "KP70 Tool"},
        {"image empty",
         [](SetupScreenRig& r) {
             r.Click("waterMark", true);
             r.Field("imageNumber")->clear();
         },
         "Please enter an integer between 1 and 255.", "KP70 Tool"},
        {"lines 256",
         [](SetupScreenRig& r) {
             r.Click("cuttingAdjust", true);
             r.Type("lines", "256");
         },
         "Please enter an integer between 0 and 255.", "KP70 Tool"},
        {"margin 513", [](SetupScreenRig& r) { r.Type("leftMargin", "513"); },
         "Please input a value between 0 ~ 512.", "Notice"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupScreenRig rig("COM1");
        rig.Open();
        c.edit(rig);
        rig.Press("setValue");
        ASSERT_EQ(rig.h.prompter.boxes.size(), 1u);
        EXPECT_EQ(rig.h.prompter.boxes[0].text, c.text);
        EXPECT_EQ(rig.h.prompter.boxes[0].caption, c.caption);
        EXPECT_TRUE(rig.Idle());
        EXPECT_TRUE(rig.port.Writes().empty());
    }
}

TEST(SetupScreenSession, SetValueWithNothingChosenSendsAndShowsNothing) {
    SetupScreenRig rig("COM1");
    rig.Open();
    rig.Press("setValue");
    EXPECT_TRUE(rig.Idle());
    EXPECT_TRUE(rig.h.prompter.boxes.empty());
    EXPECT_TRUE(rig.port.Writes().empty());
}

TEST(SetupScreenSession, ImageNumberTypedBeforeAnotherChoiceIsKept) {
    SetupScreenRig rig("COM1");
    rig.Open();
    rig.Click("waterMark", true);
    rig.Type("imageNumber", "42");
    rig.Click("cuttingMode", true);  // shows the values again
    EXPECT_EQ(rig.Field("imageNumber")->text(), "42");
    rig.Press("setValue");
    rig.WaitIdle();
    ASSERT_EQ(rig.port.Writes().size(), 3u);
    const FakeBytes block = rig.port.Writes()[1];
    const FakeBytes waterMark = {0xF2, 0x00, 42};
    EXPECT_NE(std::search(block.begin(), block.end(), waterMark.begin(), waterMark.end()),
              block.end());
}

TEST(SetupScreenSession, DefaultThenSetValueWritesEveryDefault) {
    // Model 5 hides most new options; Default still sets and writes them all, USB mode too,
    // so the connection is closed afterwards.
    SetupScreenRig rig("COM1", 5);
    rig.Open();
    rig.h.prompter.answers.push_back(Prompter::Answer::Yes);
    rig.Press("defaults");
    rig.Press("setValue");
    rig.WaitIdle();
    ASSERT_EQ(rig.h.prompter.boxes.size(), 2u);
    EXPECT_EQ(rig.h.prompter.boxes[1].caption, "Notice");  // the stop bit warning

    const FakeBytes block = {
        0x1D, 0x28, 0x45, 0x52, 0x00, 0x05,                    // header, 82 bytes follow
        0xD5, 0x00, 0x00, 0xD4, 0x00, 0x00, 0xCC, 0x02, 0x00,  // paper save, sleep, EPSON
        0xCE, 0x01, 0x00, 0xCD, 0x02, 0x00, 0xCF, 0x02, 0x00,  // auto cut ON, bell OFF, self-test
        0xD0, 0x02, 0x00, 0xD2, 0x01, 0x00, 0x03, 0x06, 0x00,  // LEVEL 2, USB, 80mm
        0x74, 0x01, 0x00, 0x76, 0x55, 0x00, 0xF2, 0x00, 0x00,  // Black, MEDIUM, no water mark
        0xF3, 0x00, 0x00, 0xF4, 0x00, 0x00, 0xF5, 0x01, 0x03,  // cutting OFF, drawer, Bell 3
        0xF6, 0x00, 0x00, 0x01, 0x01, 0x00, 0x02, 0x07, 0x00,  // PC437, 64 KB, 384 KB
        0xF7, 0x00, 0x01, 0xF9, 0xDC, 0x00, 0xF8, 0x01, 0x01,  // Partial, 220, bold OFF
        0xFB, 0x01, 0x01, 0xFD, 0x00, 0x01, 0xFC, 0x30, 0x34,  // drawer self-test off, ONE, "04"
        0xFA, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x04,  // margin 0, code 0
    };
    EXPECT_EQ(rig.port.Writes(), (std::vector<FakeBytes>{kEnter, block, kLeave}));
    // The printer comes back as another device: the port stays closed.
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_FALSE(rig.screen->isFailed());
}

TEST(SetupScreenSession, AFailedWriteLeavesTheFailedState) {
    SetupScreenRig rig("COM1");
    rig.Open();
    rig.Click("waterMark", true);
    rig.Type("imageNumber", "9");
    rig.Click("cuttingAdjust", true);
    rig.Type("lines", "4");
    rig.port.failAfterWrites = 1;  // enter goes out, the block does not
    rig.Press("setValue");
    rig.WaitIdle();

    ASSERT_EQ(rig.h.prompter.boxes.size(), 1u);
    EXPECT_EQ(rig.h.prompter.boxes[0].text, kWriteFail);
    EXPECT_TRUE(rig.screen->isFailed());
    EXPECT_FALSE(rig.port.isOpen());
    ExpectButtons(rig, false, false, false, false, true);
    EXPECT_EQ(rig.Field("imageNumber")->text(), "1");
    EXPECT_EQ(rig.Field("lines")->text(), "0");
    // The left group is off but for the stop bit; the new options stay.
    for (const char* name :
         {"paperWidthFirst", "waterMarkSecond", "cuttingModeFirst", "drawerInSelfTestSecond"})
        EXPECT_FALSE(rig.Find<QRadioButton>(name)->isEnabled()) << name;
    for (const char* name : {"codePageList", "nvUserList", "receiveBufferList", "bellTypeList"})
        EXPECT_FALSE(rig.List(name)->isEnabled()) << name;
    for (const char* name : {"imageNumber", "lines", "leftMargin", "setupCode"})
        EXPECT_FALSE(rig.Field(name)->isEnabled()) << name;
    EXPECT_TRUE(rig.Radio("stopBit", false)->isEnabled());
    EXPECT_TRUE(rig.Radio("stopBit", true)->isEnabled());
    EXPECT_TRUE(rig.Radio("usbMode", true)->isEnabled());
    EXPECT_TRUE(rig.List("sleepModeList")->isEnabled());

    // EXIT leaves the failed screen.
    QSignalSpy finished(rig.screen.get(), &QDialog::finished);
    rig.Press("exit");
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.Closed(); }, 5000));
    EXPECT_EQ(finished.count(), 1);
}

// ---- TEST ----

TEST(SetupScreenSession, TestPrintsTheTestPage) {
    for (bool korean : {false, true}) {
        SCOPED_TRACE(korean ? "Korean" : "English");
        SetupScreenRig rig("COM1", 6, korean);
        rig.Open();
        rig.port.ClearEvents();
        rig.h.clock.ClearSleeps();
        rig.Press("test");
        ExpectButtons(rig, false, false, false, false, false);
        rig.WaitIdle();
        EXPECT_EQ(rig.port.Writes(), BuildTestPage(korean));
        // Half a second for a line that went to show it, then the page's own pause.
        EXPECT_EQ(rig.h.clock.Sleeps(), (std::vector<std::int64_t>{100, 100, 100, 100, 100, 800}));
        EXPECT_TRUE(rig.h.prompter.boxes.empty());
        ExpectButtons(rig, true, true, true, true, true);
    }
}

TEST(SetupScreenSession, AFailedTestPageKeepsExitButNotDefault) {
    SetupScreenRig rig("COM1");
    rig.Open();
    rig.port.failAfterWrites = 3;
    rig.Press("test");
    rig.WaitIdle();
    ASSERT_EQ(rig.h.prompter.boxes.size(), 1u);
    EXPECT_EQ(rig.h.prompter.boxes[0].text, kWriteFail);
    EXPECT_EQ(rig.port.Writes().size(), 3u);
    EXPECT_TRUE(rig.screen->isFailed());
    ExpectButtons(rig, false, false, false, false, true);
}

// ---- closing ----

TEST(SetupScreenSession, ExitAndTheCloseBoxCloseTheConnection) {
    for (bool exitButton : {true, false}) {
        SCOPED_TRACE(exitButton ? "EXIT" : "close box");
        SetupScreenRig rig("COM1");
        rig.Open();
        rig.h.clock.ClearSleeps();
        QSignalSpy finished(rig.screen.get(), &QDialog::finished);
        if (exitButton)
            rig.Press("exit");
        else
            rig.screen->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return rig.Closed(); }, 5000));
        ASSERT_EQ(finished.count(), 1);
        EXPECT_EQ(finished[0][0].toInt(), exitButton ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_FALSE(rig.port.isOpen());
        EXPECT_EQ(rig.port.NotifyWindow(), nullptr);
        // EXIT lets the receive thread end first; the close box does not wait.
        EXPECT_EQ(Slept(rig.h.clock, 300), exitButton);
    }
}

TEST(SetupScreenSession, CloseBoxEndsAParallelReadThatNeverCompletes) {
    FastClock sequenceFast;
    SetupScreenRig rig("LPT1", 6, false, &sequenceFast);
    auto answers = TypicalAnswers();
    answers.erase(255);  // this setting never answers: the read repeats its request
    rig.parallel->responder = AnswerSettings(answers);
    rig.Open();
    rig.Press("getValue");
    ASSERT_TRUE(WaitForReplies(rig, {1, 2, 3, 250}));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return rig.parallel->Count("Write") > 20;  // a request was repeated
        },
        10000));
    EXPECT_EQ(rig.screen->phase(), Phase::Reading);
    rig.screen->reject();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.Closed(); }, 10000));
    EXPECT_FALSE(rig.parallel->isOpen());
    EXPECT_FALSE(rig.parallel->Reading());
}

TEST(SetupScreenSession, DestroyingTheScreenWhileRepliesArriveEndsCleanly) {
    // Replies keep the receive thread handing settings over while the screen goes away.
    SetupScreenRig rig("COM1");
    rig.port.responder = AnswerSettings(TypicalAnswers());
    rig.Open();
    rig.Press("getValue");
    rig.screen.reset();
    EXPECT_FALSE(rig.port.isOpen());
}

}  // namespace
}  // namespace kp70::test
