#include "gui/app/NetworkConnectionScreen.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <condition_variable>
#include <mutex>

#include "GuiHarness.h"

namespace kp70::test {
namespace {

class NetworkConnectionScreenTest : public ::testing::Test {
protected:
    explicit NetworkConnectionScreenTest(bool korean = false) : h(korean) {
        settings.portName = "ETHERNET_II";
    }

    NetworkConnectionScreen& Screen() {
        if (!m_screen)
            m_screen = std::make_unique<NetworkConnectionScreen>(h.services, settings, link);
        return *m_screen;
    }
    template <typename T>
    T* Child(const char* name) {
        T* child = Screen().findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    // Types address and port, presses OK and waits for a connection check if one starts.
    void PressOk(const QString& address, const QString& port) {
        Child<QLineEdit>("addressEdit")->setText(address);
        Child<QLineEdit>("portEdit")->setText(port);
        QSignalSpy checked(&Screen(), &NetworkConnectionScreen::connectionChecked);
        Child<QPushButton>("okButton")->click();
        if (Screen().isChecking()) {
            // Only Cancel is offered while checking.
            EXPECT_FALSE(Child<QPushButton>("okButton")->isEnabled());
            EXPECT_FALSE(Child<QLineEdit>("addressEdit")->isEnabled());
            EXPECT_FALSE(Child<QPushButton>("settingButton")->isEnabled());
            EXPECT_TRUE(Child<QPushButton>("cancelButton")->isEnabled());
            EXPECT_TRUE(checked.wait(5000));
        }
    }

    GuiHarness h;
    ConnectionSettings settings;
    FakeNetworkLink link;
    std::unique_ptr<NetworkConnectionScreen> m_screen;
};

TEST_F(NetworkConnectionScreenTest, EthernetAndWifiCaptionsAndButtons) {
    EXPECT_EQ(Screen().windowTitle(), "Ethernet-II Network");
    EXPECT_EQ(Child<QLineEdit>("addressEdit")->text(), "192.168.0.254");
    EXPECT_EQ(Child<QLineEdit>("portEdit")->text(), "6001");
    EXPECT_EQ(Screen().printerAddress(), "192.168.0.254");
    EXPECT_EQ(Screen().printerPort(), 0u);
    EXPECT_EQ(&Screen().networkSocket(), &link);
    EXPECT_EQ(Child<QPushButton>("settingButton")->text(), "Network Setting");
    EXPECT_EQ(Child<QPushButton>("reservedButton")->text(), "Reserved");
    EXPECT_FALSE(Child<QPushButton>("reservedButton")->isEnabled());
    EXPECT_EQ(Screen().findChild<QGroupBox*>()->title(), "Setting");
    EXPECT_EQ(Child<QPushButton>("cancelButton")->text(), "Cancel");

    // The same screen, opened for a WiFi entry.
    settings.portName = "WIFI";
    Screen().PrepareToShow();
    EXPECT_EQ(Screen().windowTitle(), "WLAN(WiFi) Network");
    EXPECT_EQ(Child<QPushButton>("settingButton")->text(), "Infrastructure");
    EXPECT_EQ(Child<QPushButton>("reservedButton")->text(), "Limited AP");
    EXPECT_TRUE(Child<QPushButton>("reservedButton")->isEnabled());

    settings.portName = "ETHERNET_II";
    Screen().PrepareToShow();
    EXPECT_EQ(Screen().windowTitle(), "Ethernet-II Network");
    EXPECT_FALSE(Child<QPushButton>("reservedButton")->isEnabled());
}

TEST_F(NetworkConnectionScreenTest, PortMustBeInRangeOr515) {
    struct Case {
        const char* port;
        bool accepted;
    };
    const Case cases[] = {{"80", false},    {"0", false},   {"", false},          {"1023", false},
                          {"1024", true},   {"515", true},  {"514", false},       {"65534", true},
                          {"65535", false}, {"9100", true}, {"4294967297", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        m_screen.reset();
        h.prompter.Clear();
        const int connectsBefore = link.Count("StartConnect");
        PressOk("10.0.0.7", c.port);
        if (c.accepted) {
            EXPECT_TRUE(h.prompter.boxes.empty());
            EXPECT_EQ(Screen().printerPort(), QString(c.port).toUInt());
            EXPECT_EQ(link.Count("StartConnect"), connectsBefore + 1);
            EXPECT_EQ(Screen().result(), QDialog::Accepted);
        } else {
            EXPECT_EQ(h.prompter.Texts(),
                      QStringList({"Please enter PORT number between 1024 ~ 65534."}));
            EXPECT_EQ(h.prompter.Captions().front(), "KP70 Tool");
            EXPECT_EQ(Screen().printerPort(), 0u);
            EXPECT_EQ(link.Count("StartConnect"), connectsBefore);
            EXPECT_NE(Screen().result(), QDialog::Accepted);
        }
    }
}

TEST_F(NetworkConnectionScreenTest, ConnectedPrinterClosesTheSocketAndAccepts) {
    link.failingProbes = 2;
    PressOk("192.168.1.50", "9100");
    EXPECT_TRUE(h.prompter.boxes.empty());
    EXPECT_EQ(Screen().result(), QDialog::Accepted);
    EXPECT_EQ(Screen().printerAddress(), "192.168.1.50");
    EXPECT_EQ(Screen().printerPort(), 9100u);
    // The first connect, then a reconnect after each of the two failed probes.
    EXPECT_EQ(link.EventNames(),
              (std::vector<std::string>{"StartConnect", "Probe", "StartConnect", "Probe",
                                        "StartConnect", "Probe", "CloseSocket"}));
    EXPECT_EQ(link.Address(), "192.168.1.50");
    EXPECT_EQ(link.Port(), 9100);
    EXPECT_EQ(h.clock.Sleeps(), (std::vector<std::int64_t>{10, 50, 50, 50}));
}

TEST_F(NetworkConnectionScreenTest, PrinterThatNeverAnswersFailsThePrinterCheckAndStays) {
    link.refuse = true;
    PressOk("192.168.0.254", "6001");
    EXPECT_EQ(h.prompter.Texts(), QStringList({"ERROR : Printer check."}));
    EXPECT_NE(Screen().result(), QDialog::Accepted);
    EXPECT_TRUE(Screen().isEnabled());
    // The port passed the range check, so it is kept although the connection failed.
    EXPECT_EQ(Screen().printerPort(), 6001u);
    std::vector<std::int64_t> waits{10};
    waits.insert(waits.end(), 10, 50);
    EXPECT_EQ(h.clock.Sleeps(), waits);
    EXPECT_EQ(link.Count("Probe"), 10);
    EXPECT_EQ(link.Count("StartConnect"), 11);
    EXPECT_EQ(link.EventNames().back(), "CloseSocket");
    EXPECT_EQ(link.Count("CloseSocket"), 1);
    EXPECT_EQ(Child<QLineEdit>("portEdit")->text(), "6001");
    EXPECT_TRUE(Child<QPushButton>("okButton")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>("reservedButton")->isEnabled());
}

// A clock whose waits last until the test lets them pass.
class GatedClock : public VirtualClock {
public:
    void SleepFor(std::int64_t ms) override {
        std::unique_lock lock(m_mutex);
        ++m_waiting;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
        --m_waiting;
        lock.unlock();
        VirtualClock::SleepFor(ms);
    }
    bool WaitUntilSleeping() {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_waiting > 0; });
    }
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_waiting = 0;
    bool m_open = false;
};

TEST_F(NetworkConnectionScreenTest, CancelDuringTheCheckStopsItAndTheNextOpeningChecksAgain) {
    GatedClock gate;
    ScreenServices services{h.prompter, h.catalogue, gate, h.log, h.profile, h.keyboard};
    NetworkConnectionScreen screen(services, settings, link);
    link.refuse = true;
    QSignalSpy checked(&screen, &NetworkConnectionScreen::connectionChecked);
    QSignalSpy rejected(&screen, &QDialog::rejected);
    screen.findChild<QPushButton*>("okButton")->click();
    ASSERT_TRUE(gate.WaitUntilSleeping());
    screen.findChild<QPushButton*>("cancelButton")->click();
    EXPECT_TRUE(rejected.isEmpty()) << "the check ends first";
    gate.Open();
    ASSERT_TRUE(rejected.wait(5000));
    EXPECT_TRUE(checked.isEmpty());
    EXPECT_TRUE(h.prompter.boxes.empty()) << "no message for a check the operator stopped";
    EXPECT_LT(link.Count("Probe"), 10);
    EXPECT_EQ(link.EventNames().back(), "CloseSocket");

    // Opened again, OK checks again.
    link.refuse = false;
    screen.PrepareToShow();
    EXPECT_TRUE(screen.findChild<QPushButton*>("okButton")->isEnabled());
    screen.findChild<QPushButton*>("okButton")->click();
    ASSERT_TRUE(checked.wait(5000));
    EXPECT_TRUE(checked.front().front().toBool());
    EXPECT_EQ(screen.result(), QDialog::Accepted);
}

TEST_F(NetworkConnectionScreenTest, InvalidAddressIsRefusedBeforeConnecting) {
    for (const char* address : {"192.168.0", "300.1.1.1", ""}) {
        SCOPED_TRACE(address);
        h.prompter.Clear();
        PressOk(address, "6001");
        ASSERT_EQ(h.prompter.boxes.size(), 1u);
        EXPECT_TRUE(h.prompter.boxes[0].text.contains("IPv4 address"));
        EXPECT_EQ(link.Count("StartConnect"), 0);
        EXPECT_EQ(Screen().printerAddress(), "192.168.0.254");
    }
}

TEST_F(NetworkConnectionScreenTest, WifiButtonsShowTheUsbNoticeFirst) {
    settings.portName = "WIFI";
    Screen().PrepareToShow();
    Child<QPushButton>("settingButton")->click();
    ASSERT_EQ(h.prompter.boxes.size(), 1u);
    EXPECT_EQ(h.prompter.boxes[0].text, "Turn on the printer and Connect a USB cable.");
    EXPECT_EQ(h.prompter.boxes[0].caption, "Notice");

    // Each button calls its own function after the notice.
    std::vector<NetworkConnectionScreen::WifiSetup> calls;
    Screen().SetWifiSetup([&](NetworkConnectionScreen::WifiSetup which, QWidget* parent) {
        EXPECT_EQ(parent, &Screen());
        calls.push_back(which);
    });
    h.prompter.Clear();
    Child<QPushButton>("reservedButton")->click();
    Child<QPushButton>("settingButton")->click();
    EXPECT_EQ(calls, (std::vector<NetworkConnectionScreen::WifiSetup>{
                         NetworkConnectionScreen::WifiSetup::LimitedAp,
                         NetworkConnectionScreen::WifiSetup::Infrastructure}));
    EXPECT_EQ(h.prompter.Captions(), QStringList({"Notice", "Notice"}));
}

TEST_F(NetworkConnectionScreenTest, EthernetNetworkSettingOpensTheSettingScreen) {
    QWidget* parent = nullptr;
    Screen().SetSettingScreen([&](QWidget* opener) { parent = opener; });
    Child<QPushButton>("settingButton")->click();
    EXPECT_EQ(parent, &Screen());
    EXPECT_TRUE(h.prompter.boxes.empty());
}

TEST_F(NetworkConnectionScreenTest, RunReturnsWhetherTheCheckSucceeded) {
    QWidget parent;
    // Accept by pressing OK once the screen runs; a cancelled run returns false.
    QTimer::singleShot(0, &Screen(), [&] { Child<QPushButton>("okButton")->click(); });
    QWidget* parentWhileShown = nullptr;
    QTimer::singleShot(0, &Screen(), [&] { parentWhileShown = Screen().parentWidget(); });
    EXPECT_TRUE(Screen().RunNetworkConnectionScreen(&parent));
    EXPECT_EQ(parentWhileShown, &parent);
    EXPECT_EQ(Screen().parentWidget(), nullptr)
        << "the network connection screen outlives the screen it was shown over";
    QTimer::singleShot(0, &Screen(), [&] { Child<QPushButton>("cancelButton")->click(); });
    EXPECT_FALSE(Screen().RunNetworkConnectionScreen(&parent));
    EXPECT_EQ(link.Count("StartConnect"), 1);
}

class KoreanNetworkConnectionScreenTest : public NetworkConnectionScreenTest {
protected:
    KoreanNetworkConnectionScreenTest() : NetworkConnectionScreenTest(true) {}
};

TEST_F(KoreanNetworkConnectionScreenTest, KoreanLabelsAndNotice) {
    EXPECT_EQ(Child<QPushButton>("settingButton")->text(), "네트워크 설정");
    EXPECT_EQ(Child<QPushButton>("cancelButton")->text(), "취소");
    PressOk("192.168.0.254", "80");
    EXPECT_EQ(h.prompter.Texts(),
              QStringList({"포트번호는 1024 ~ 65534 범위의 값으로 입력해 주시기 바랍니다."}));

    settings.portName = "WIFI";
    Screen().PrepareToShow();
    EXPECT_EQ(Child<QPushButton>("settingButton")->text(), "Infrastructure");
    h.prompter.Clear();
    Child<QPushButton>("settingButton")->click();
    EXPECT_EQ(h.prompter.boxes.at(0).text, "프린터를 켜고 USB케이블을 연결하십시오.");
    EXPECT_EQ(h.prompter.boxes.at(0).caption, "알림");
}

}  // namespace
}  // namespace kp70::test
