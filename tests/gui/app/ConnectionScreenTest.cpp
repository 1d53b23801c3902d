#include "gui/app/ConnectionScreen.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include "GuiHarness.h"
#include "gui/app/MainMenuRunner.h"
#include "gui/app/NetworkConnectionRunner.h"
#include "support/FakeDeviceEnumerator.h"

namespace kp70::test {
namespace {

// Answers for the network connection screen with a fixed result and records the port name it opened
// with.
struct ScriptedNetworkConnection : NetworkConnectionRunner {
    explicit ScriptedNetworkConnection(ConnectionSettings& s) : settings(s) {}
    bool RunNetworkConnectionScreen(QWidget*) override {
        portNames.push_back(settings.portName);
        return accept;
    }
    ConnectionSettings& settings;
    bool accept = true;
    std::vector<std::string> portNames;
};

const UsbPrinterInfo kKp70Usb{"/dev/usb/lp0", "USB\\VID_5A3D&PID_3012"};

class ConnectionScreenTest : public ::testing::Test {
protected:
    explicit ConnectionScreenTest(bool korean = false) : h(korean) {}

    ConnectionScreen& Screen() {
        if (!m_screen)
            m_screen =
                std::make_unique<ConnectionScreen>(h.services, devices, settings, network, menu);
        return *m_screen;
    }
    template <typename T>
    T* Child(const char* name) {
        T* child = Screen().findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QComboBox* List(const char* name) { return Child<QComboBox>(name); }
    QPushButton* Ok() { return Child<QPushButton>("okButton"); }
    QStringList Items(const char* name) {
        QStringList items;
        QComboBox* list = List(name);
        for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
        return items;
    }
    void Choose(const QString& entry) {
        QComboBox* device = List("deviceCombo");
        const int index = device->findText(entry);
        ASSERT_GE(index, 0) << entry.toStdString();
        device->setCurrentIndex(index);
    }
    // Chooses a USB printer entry and waits for the search to end; returns its count.
    int ChooseAndSearch(const QString& entry) {
        QSignalSpy finished(&Screen(), &ConnectionScreen::usbSearchFinished);
        Choose(entry);
        EXPECT_TRUE(finished.count() == 1 || finished.wait(5000));
        return finished.isEmpty() ? 0 : finished.front().front().toInt();
    }
    bool LineSettingsEnabled(bool enabled) {
        for (const char* name :
             {"baudCombo", "parityCombo", "dataLengthCombo", "flowCombo", "stopBitCombo"}) {
            if (List(name)->isEnabled() != enabled) return false;
        }
        return true;
    }

    GuiHarness h;
    FakeDeviceEnumerator devices;
    ConnectionSettings settings;
    ScriptedNetworkConnection network{settings};
    RecordingMenu menu{settings};
    std::unique_ptr<ConnectionScreen> m_screen;
};

TEST_F(ConnectionScreenTest, OpensWithEveryControlInItsInitialState) {
    EXPECT_EQ(Screen().windowTitle(), "KP 70 Tool Ver 1.01");
    EXPECT_EQ(Items("deviceCombo"),
              QStringList({"KP70 S", "KP70 P", "KP70 U-I", "KP70 U-II", "KP70 E-II", "KP70 W"}));
    EXPECT_EQ(List("deviceCombo")->currentIndex(), -1);
    EXPECT_TRUE(List("deviceCombo")->isEnabled());
    EXPECT_EQ(List("portCombo")->count(), 0);
    EXPECT_FALSE(List("portCombo")->isEnabled());
    EXPECT_EQ(Items("baudCombo"), QStringList({"115200", "38400", "19200", "9600"}));
    EXPECT_EQ(Items("parityCombo"), QStringList({"NONE", "ODD", "EVEN"}));
    EXPECT_EQ(Items("dataLengthCombo"), QStringList({"8 Bits", "7 Bits", "6 Bits", "5 Bits"}));
    EXPECT_EQ(Items("flowCombo"), QStringList({"H/W", "S/W", "NONE"}));
    EXPECT_EQ(Items("stopBitCombo"), QStringList({"1", "2"}));
    for (const char* name :
         {"baudCombo", "parityCombo", "dataLengthCombo", "flowCombo", "stopBitCombo"})
        EXPECT_EQ(List(name)->currentIndex(), 0) << name;
    EXPECT_TRUE(LineSettingsEnabled(false));
    EXPECT_FALSE(Ok()->isEnabled());
    EXPECT_TRUE(Child<QPushButton>("cancelButton")->isEnabled());
    EXPECT_EQ(Child<QLabel>("deviceLabel")->text(), "DEVICE");
    EXPECT_EQ(Child<QLabel>("dataLengthLabel")->text(), "Data Length");
    EXPECT_EQ(Child<QPushButton>("cancelButton")->text(), "Cancel");
}

TEST_F(ConnectionScreenTest, ProfileEntriesComeFirstAndAreClassifiedLikeAnyOther) {
    WriteFile(h.profile.Path(), "[DEVICELIST]\r\n=TALVO10 S\r\nnext=\r\nlast=Printer X\r\n");
    EXPECT_EQ(Items("deviceCombo").mid(0, 3), QStringList({"TALVO10 S", "Printer X", "KP70 S"}));
    EXPECT_EQ(List("deviceCombo")->count(), 8);

    devices.serial = {{"/dev/ttyS0"}};
    Choose("TALVO10 S");
    EXPECT_EQ(Screen().modelCode(), 2);
    EXPECT_EQ(Items("baudCombo"), QStringList({"38400", "19200", "9600"}));
    EXPECT_EQ(List("baudCombo")->currentText(), "38400");
    EXPECT_TRUE(Ok()->isEnabled());

    // An unknown model is refused as an invalid device; the other controls keep their state,
    // but OK cannot go on with the unknown name.
    Choose("Printer X");
    EXPECT_EQ(h.prompter.Texts(), QStringList({"Invalid Device!"}));
    EXPECT_EQ(h.prompter.boxes.front().caption, "KP70 Tool");
    EXPECT_EQ(Screen().modelCode(), 0);
    EXPECT_FALSE(Ok()->isEnabled());
    EXPECT_TRUE(List("portCombo")->isEnabled());

    // Back to a model with 115200.
    Choose("KP70 S");
    EXPECT_EQ(Items("baudCombo").front(), "115200");
}

TEST_F(ConnectionScreenTest, SerialEntryListsSortedPortsAndEnablesLineSettings) {
    devices.serial = {{"/dev/ttyUSB0", true, 0x0403, 0x6001}, {"/dev/ttyS0"}};
    Choose("KP70 S");
    EXPECT_EQ(Screen().attachment(), Attachment::Serial);
    EXPECT_EQ(Items("portCombo"), QStringList({"/dev/ttyS0", "/dev/ttyUSB0"}));
    EXPECT_EQ(List("portCombo")->currentIndex(), 0);
    EXPECT_TRUE(List("portCombo")->isEnabled());
    EXPECT_TRUE(LineSettingsEnabled(true));
    EXPECT_TRUE(Ok()->isEnabled());
    EXPECT_TRUE(h.prompter.boxes.empty());

    // Switching to a network entry disables them again.
    Choose("KP70 E-II");
    EXPECT_EQ(Screen().attachment(), Attachment::Ethernet);
    EXPECT_FALSE(List("portCombo")->isEnabled());
    EXPECT_TRUE(LineSettingsEnabled(false));
    EXPECT_TRUE(Ok()->isEnabled());
}

TEST_F(ConnectionScreenTest, MissingPortsGiveTheirMessageAndDisableOk) {
    struct Case {
        const char* before;  // an entry whose port exists, so OK was enabled
        const char* entry;
        const char* message;
    };
    for (const Case& c : {Case{"KP70 P", "KP70 S", "Not exist COM port on your system."},
                          Case{"KP70 S", "KP70 P", "Not exist LPT port on your system."}}) {
        SCOPED_TRACE(c.entry);
        m_screen.reset();
        h.prompter.Clear();
        devices.serial.clear();
        devices.parallel.clear();
        if (std::string(c.before) == "KP70 S") devices.serial = {{"/dev/ttyS0"}};
        if (std::string(c.before) == "KP70 P") devices.parallel = {"/dev/lp0"};
        Choose(c.before);
        ASSERT_TRUE(Ok()->isEnabled());
        Choose(c.entry);
        EXPECT_EQ(h.prompter.Texts(), QStringList({c.message}));
        EXPECT_EQ(List("portCombo")->currentIndex(), -1);
        // With no port the menu would open for nothing.
        EXPECT_FALSE(Ok()->isEnabled());
        Ok()->click();
        EXPECT_TRUE(menu.shown.empty());
    }
}

TEST_F(ConnectionScreenTest, TheVirtualPrintersPortsAreSelectedAheadOfTheSystems) {
    devices.serial = {{"/dev/ttyS0"}, {"/dev/ttyS1"}, {"/tmp/kp70sim/ttyKP70"}};
    devices.parallel = {"/dev/lp0", "/tmp/kp70sim/lpKP70"};
    m_screen = std::make_unique<ConnectionScreen>(
        h.services, devices, settings, network, menu,
        std::vector<std::string>{"/tmp/kp70sim/missing", "/tmp/kp70sim/ttyKP70",
                                 "/tmp/kp70sim/lpKP70"});
    Choose("KP70 S");
    EXPECT_EQ(Items("portCombo").front(), "/dev/ttyS0") << "still sorted";
    EXPECT_EQ(List("portCombo")->currentText(), "/tmp/kp70sim/ttyKP70");
    Choose("KP70 P");
    EXPECT_EQ(List("portCombo")->currentText(), "/tmp/kp70sim/lpKP70");
    Ok()->click();
    ASSERT_EQ(menu.shown.size(), 1u);
    EXPECT_EQ(menu.shown[0].portName, "/tmp/kp70sim/lpKP70");

    // Without them, the first port as before.
    devices.serial = {{"/dev/ttyS1"}, {"/dev/ttyS0"}};
    Choose("KP70 S");
    EXPECT_EQ(List("portCombo")->currentText(), "/dev/ttyS0");
}

TEST_F(ConnectionScreenTest, ParallelEntryEnablesOnlyThePort) {
    devices.parallel = {"/dev/parport0", "/dev/lp0"};
    Choose("KP70 P");
    EXPECT_EQ(Items("portCombo"), QStringList({"/dev/lp0", "/dev/parport0"}));
    EXPECT_TRUE(List("portCombo")->isEnabled());
    EXPECT_TRUE(LineSettingsEnabled(false));
    EXPECT_TRUE(Ok()->isEnabled());

    List("portCombo")->setCurrentIndex(1);
    Ok()->click();
    ASSERT_EQ(menu.shown.size(), 1u);
    EXPECT_EQ(menu.shown[0].portName, "/dev/parport0");
    EXPECT_EQ(menu.shown[0].modelCode, 6);
}

TEST_F(ConnectionScreenTest, UsbSerialEntryShowsThePortOfItsDeviceEvenWhenNoneIsFound) {
    // No device: an empty port name is added without a message, and OK, enabled for the
    // entry before, cannot open the menu with it.
    Choose("KP70 E-II");
    ASSERT_TRUE(Ok()->isEnabled());
    Choose("KP70 U-I");
    EXPECT_EQ(Items("portCombo"), QStringList({""}));
    EXPECT_TRUE(h.prompter.boxes.empty());
    EXPECT_TRUE(LineSettingsEnabled(true));
    EXPECT_FALSE(Ok()->isEnabled());

    devices.serial = {{"/dev/ttyS0"},
                      {"/dev/ttyACM1", true, 0x5A3D, 0x3111},
                      {"/dev/ttyACM0", true, 0x5A3D, 0x3011}};
    Choose("KP70 S");
    Choose("KP70 U-I");
    EXPECT_EQ(Items("portCombo"), QStringList({"/dev/ttyACM0"}));
    EXPECT_EQ(Screen().attachment(), Attachment::UsbSerial);
    EXPECT_TRUE(Ok()->isEnabled());
}

TEST_F(ConnectionScreenTest, UsbPrinterSearchCountsDevicesWithDotsInTheTitle) {
    struct Case {
        int printers;
        int absentQueries;
        int expectedCount;
        const char* message;  // nullptr: none
        int waits;
    };
    const Case cases[] = {
        {0, 0, -1, "Turn on your USB printer\r\nand Try again.", 16},
        {1, 0, 1, nullptr, 0},
        {1, 3, 1, nullptr, 3},
        {2, 0, 2, "TalvoTool support only One device.\r\nThere are too many device connected!", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.printers << " printers after " << c.absentQueries);
        m_screen.reset();
        h.prompter.Clear();
        h.clock.ClearSleeps();
        devices.usb.assign(c.printers, kKp70Usb);
        devices.usb.push_back({"/dev/usb/lp9", "USB\\VID_5A3D&PID_0101"});  // another model
        devices.usbQueries = 0;
        devices.absentQueries = c.absentQueries;
        QStringList titles;
        QObject::connect(&Screen(), &QWidget::windowTitleChanged,
                         [&](const QString& title) { titles << title; });

        QSignalSpy finished(&Screen(), &ConnectionScreen::usbSearchFinished);
        Choose("KP70 U-II");
        // While searching only Cancel is offered.
        EXPECT_TRUE(Screen().isSearching());
        EXPECT_FALSE(List("deviceCombo")->isEnabled());
        EXPECT_FALSE(List("portCombo")->isEnabled());
        EXPECT_FALSE(Ok()->isEnabled());
        EXPECT_TRUE(Child<QPushButton>("cancelButton")->isEnabled());
        ASSERT_TRUE(finished.count() == 1 || finished.wait(5000));
        EXPECT_EQ(finished.front().front().toInt(), c.expectedCount);

        QStringList expectedTitles{"Searching for the printer"};
        for (int dot = 1; dot <= c.waits; ++dot)
            expectedTitles << "Searching for the printer" + QString(dot, '.');
        expectedTitles << "KP 70 Tool Ver 1.01";
        EXPECT_EQ(titles, expectedTitles);
        EXPECT_EQ(h.clock.Sleeps(), std::vector<std::int64_t>(c.waits, 250));
        EXPECT_TRUE(List("deviceCombo")->isEnabled());

        if (c.message) {
            EXPECT_EQ(h.prompter.Texts(), QStringList({c.message}));
            EXPECT_FALSE(Ok()->isEnabled());
            EXPECT_EQ(List("deviceCombo")->currentIndex(), -1);
            EXPECT_EQ(List("portCombo")->currentIndex(), -1);
        } else {
            EXPECT_TRUE(h.prompter.boxes.empty());
            EXPECT_TRUE(Ok()->isEnabled());
            EXPECT_FALSE(List("portCombo")->isEnabled());
            EXPECT_TRUE(LineSettingsEnabled(false));
            Ok()->click();
            ASSERT_EQ(menu.shown.size(), 1u);
            EXPECT_EQ(menu.shown.back().portName, "USB");
            menu.shown.clear();
        }
    }
}

TEST_F(ConnectionScreenTest, PrinterThatCannotBeOpenedIsStillCounted) {
    devices.usb = {kKp70Usb};
    devices.unopenable = {"/dev/usb/lp0"};
    EXPECT_EQ(ChooseAndSearch("KP70 U-II"), 1);
    EXPECT_TRUE(Ok()->isEnabled());
}

TEST_F(ConnectionScreenTest, CancelDuringTheSearchEndsTheScreenWithoutAMessage) {
    QSignalSpy finished(&Screen(), &ConnectionScreen::usbSearchFinished);
    QSignalSpy rejected(&Screen(), &QDialog::rejected);
    Choose("KP70 U-II");
    Screen().reject();
    EXPECT_TRUE(rejected.isEmpty());
    ASSERT_TRUE(rejected.wait(5000));
    EXPECT_TRUE(finished.isEmpty());
    EXPECT_TRUE(h.prompter.boxes.empty());
    EXPECT_EQ(Screen().result(), QDialog::Rejected);
}

TEST_F(ConnectionScreenTest, UsbPrinterEntryOfModelGroup2IsNotUsable) {
    WriteFile(h.profile.Path(), "[DEVICELIST]\r\n=TALVO10 U-II\r\n");
    Choose("TALVO10 U-II");
    EXPECT_EQ(Screen().attachment(), Attachment::None);
    EXPECT_EQ(devices.usbQueries, 0);
    EXPECT_FALSE(Ok()->isEnabled());
}

TEST_F(ConnectionScreenTest, StopBitFollowsDataLength) {
    struct Case {
        const char* stopBefore;
        const char* dataLength;
        QStringList stopItems;
        const char* stopAfter;
    };
    const Case cases[] = {
        {"2", "5 Bits", {"1"}, "1"},
        {"1", "5 Bits", {"1"}, "1"},
        {"2", "7 Bits", {"1", "2"}, "2"},
        {"1", "6 Bits", {"1", "2"}, "1"},
    };
    devices.serial = {{"/dev/ttyS0"}};
    Choose("KP70 S");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stopBefore << " then " << c.dataLength);
        List("dataLengthCombo")->setCurrentIndex(0);
        List("stopBitCombo")->setCurrentText(c.stopBefore);
        ASSERT_EQ(List("stopBitCombo")->currentText(), c.stopBefore);
        List("dataLengthCombo")->setCurrentText(c.dataLength);
        EXPECT_EQ(Items("stopBitCombo"), c.stopItems);
        EXPECT_EQ(List("stopBitCombo")->currentText(), c.stopAfter);
    }
    // Back from five bits: both choices again, "1" kept.
    List("dataLengthCombo")->setCurrentText("8 Bits");
    EXPECT_EQ(Items("stopBitCombo"), QStringList({"1", "2"}));
    EXPECT_EQ(List("stopBitCombo")->currentText(), "1");
}

TEST_F(ConnectionScreenTest, OkChecksTheLineSettingsInOrder) {
    devices.serial = {{"/dev/ttyS3"}};
    Choose("KP70 S");
    for (const char* name :
         {"baudCombo", "dataLengthCombo", "parityCombo", "stopBitCombo", "flowCombo"})
        List(name)->setCurrentIndex(-1);
    // Stop Bit was rebuilt by the Data Length change; clear it again.
    List("stopBitCombo")->setCurrentIndex(-1);

    struct Step {
        const char* missing;
        const char* list;
        const char* choice;
    };
    const Step steps[] = {
        {"Baudrate is not selected!", "baudCombo", "38400"},
        {"Data length is not selected!", "dataLengthCombo", "7 Bits"},
        {"Parity type is not selected!", "parityCombo", "EVEN"},
        {"Stop Bit is not selected", "stopBitCombo", "2"},
        {"Flow control is not selected!", "flowCombo", "S/W"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.missing);
        h.prompter.Clear();
        Ok()->click();
        EXPECT_EQ(h.prompter.Texts(), QStringList({step.missing}));
        EXPECT_TRUE(menu.shown.empty());
        List(step.list)->setCurrentText(step.choice);
    }
    h.prompter.Clear();
    Ok()->click();
    EXPECT_TRUE(h.prompter.boxes.empty());
    ASSERT_EQ(menu.shown.size(), 1u);
    const ConnectionSettings& s = menu.shown[0];
    EXPECT_EQ(s.portName, "/dev/ttyS3");
    EXPECT_EQ(s.modelCode, 6);
    EXPECT_EQ(s.baudRate, 38400);
    EXPECT_EQ(s.dataBits, 7);
    EXPECT_EQ(s.parity, 2);
    EXPECT_EQ(s.stopBits, 2);
    EXPECT_EQ(s.flowControl, 2);
}

TEST_F(ConnectionScreenTest, DefaultLineSettingsAreStoredAsTheirCodes) {
    devices.serial = {{"/dev/ttyS0"}};
    WriteFile(h.profile.Path(), "[DEVICELIST]\r\n=T40 S\r\n");
    Choose("T40 S");
    List("flowCombo")->setCurrentText("NONE");
    Ok()->click();
    ASSERT_EQ(menu.shown.size(), 1u);
    const ConnectionSettings& s = menu.shown[0];
    // "T40" is model 4 at selection but 1 at OK.
    EXPECT_EQ(Screen().modelCode(), 4);
    EXPECT_EQ(s.modelCode, 1);
    EXPECT_EQ(s.baudRate, 115200);
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.parity, 0);
    EXPECT_EQ(s.stopBits, 0);
    EXPECT_EQ(s.flowControl, 3);
    // OK leaves the screen open with its selections.
    EXPECT_EQ(List("deviceCombo")->currentText(), "T40 S");
    EXPECT_EQ(Screen().result(), 0);
}

TEST_F(ConnectionScreenTest, NetworkEntriesGoThroughTheNetworkConnectionScreen) {
    struct Case {
        const char* entry;
        bool accept;
        const char* nameDuringScreen;
        bool menuShown;
    };
    const Case cases[] = {
        {"KP70 E-II", true, "ETHERNET_II", true},
        {"KP70 E-II", false, "ETHERNET_II", false},
        {"KP70 W", true, "WIFI", true},
        {"KP70 W", false, "WIFI", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.entry << (c.accept ? " accepted" : " cancelled"));
        network.portNames.clear();
        menu.shown.clear();
        network.accept = c.accept;
        Choose(c.entry);
        Ok()->click();
        EXPECT_EQ(network.portNames, std::vector<std::string>{c.nameDuringScreen});
        EXPECT_EQ(settings.portName, "ETHERNET_II");
        EXPECT_EQ(settings.modelCode, 6);
        EXPECT_EQ(menu.shown.size(), c.menuShown ? 1u : 0u);
        if (c.menuShown) {
            EXPECT_EQ(menu.shown[0].portName, "ETHERNET_II");
        }
    }
}

class KoreanConnectionScreenTest : public ConnectionScreenTest {
protected:
    KoreanConnectionScreenTest() : ConnectionScreenTest(true) {}
};

TEST_F(KoreanConnectionScreenTest, LabelsAndMessagesAreKorean) {
    const std::pair<const char*, const char*> labels[] = {
        {"deviceLabel", "프린터종류"},      {"portLabel", "포트"},
        {"baudLabel", "통신속도"},          {"parityLabel", "패리티"},
        {"dataLengthLabel", "테이터 길이"}, {"flowLabel", "플로우 컨트롤"},
        {"stopBitLabel", "스톱 비트"},
    };
    for (const auto& [name, text] : labels) EXPECT_EQ(Child<QLabel>(name)->text(), text);
    EXPECT_EQ(Child<QPushButton>("cancelButton")->text(), "취소");
    EXPECT_EQ(Ok()->text(), "OK");
    EXPECT_EQ(Screen().windowTitle(), "KP 70 Tool Ver 1.01");

    Choose("KP70 S");
    EXPECT_EQ(h.prompter.Texts(), QStringList({h.Message(13)}));
    EXPECT_EQ(h.prompter.Texts().front(), "시스템에 COM포트가 존재하지 않습니다.");
    EXPECT_EQ(h.prompter.Captions().front(), "KP70 Tool");
}

}  // namespace
}  // namespace kp70::test
