// The network setting screen over fake discovery sockets in virtual time, and the WiFi
// buttons of the network connection screen with and without the set-up component.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include "../app/GuiHarness.h"
#include "core/network/DiscoveryFrame.h"
#include "gui/app/NetworkConnectionScreen.h"
#include "gui/network/NetworkSettingForm.h"
#include "gui/network/NetworkSettingScreen.h"
#include "gui/network/NetworkSettingTool.h"
#include "platform/WifiPlugin.h"
#include "support/FakeDatagramLink.h"

namespace kp70::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Answer(std::uint8_t last, bool dhcp) {
    NetworkSettings s;
    s.address = {192, 168, 0, last};
    s.subnet = {255, 255, 255, 0};
    s.gateway = {192, 168, 0, 1};
    s.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, last};
    s.dhcp = dhcp;
    s.port = 6001;
    const auto& bytes = DiscoveryFrame::Set(s).WithCommand(0x01).bytes();
    return Bytes(bytes.begin(), bytes.end());
}

class NetworkSettingScreenTest : public ::testing::Test {
protected:
    NetworkSettingScreenTest() {
        // Two printers answer a search; the printer answers a set frame.
        link.responder = [](const Bytes& sent) {
            if (sent[2] == discovery::kSearch)
                return std::vector<FakeDatagramLink::Arrival>{
                    {20, Answer(10, true), "192.168.0.10"},
                    {40, Answer(11, false), "192.168.0.11"}};
            if (sent[2] == discovery::kSet)
                return std::vector<FakeDatagramLink::Arrival>{
                    {20, Answer(10, true), "192.168.0.10"}};
            return std::vector<FakeDatagramLink::Arrival>{};
        };
    }

    NetworkSettingScreen& Open() {
        screen = std::make_unique<NetworkSettingScreen>(h.services, link, "192.168.0.255");
        screen->show();
        return *screen;
    }
    NetworkSettingForm& Form() { return screen->form(); }
    // Clicks a button and waits until what it started has ended.
    void ClickAndWait(QPushButton* button) {
        QSignalSpy finished(screen.get(), &NetworkSettingScreen::operationFinished);
        button->click();
        ASSERT_TRUE(finished.wait(5000));
    }
    void ClickRow(int row) {
        QTableWidget* list = Form().list();
        const QPoint at = row >= 0 ? list->visualItemRect(list->item(row, 0)).center()
                                   : QPoint(10, list->viewport()->height() - 5);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    QStringList RowTexts(int row) {
        QStringList texts;
        for (int c = 0; c < Form().list()->columnCount(); ++c)
            texts << Form().list()->item(row, c)->text();
        return texts;
    }

    GuiHarness h;
    FakeDatagramLink link{h.clock};
    std::unique_ptr<NetworkSettingScreen> screen;
};

TEST_F(NetworkSettingScreenTest, OpensWithChangeSettingOffAndTheServiceControlsOnlyWithCtrl) {
    Open();
    EXPECT_EQ(screen->windowTitle(), "Ethernet-II Network Setting");
    QTableWidget* list = Form().list();
    EXPECT_TRUE(list->showGrid());
    QStringList titles;
    for (int c = 0; c < list->columnCount(); ++c) titles << list->horizontalHeaderItem(c)->text();
    EXPECT_EQ(titles, QStringList({"IP", "Port", "Subnet", "Gateway", "Mac Address"}));
    EXPECT_EQ(list->columnWidth(0), 130);
    EXPECT_EQ(list->columnWidth(1), 60);
    EXPECT_EQ(list->columnWidth(4), list->viewport()->width() - 450);
    EXPECT_FALSE(Form().changeButton()->isEnabled());
    EXPECT_TRUE(Form().searchButton()->isEnabled());
    for (QWidget* w : Form().serviceWidgets()) EXPECT_TRUE(w->isHidden());

    h.keyboard.controlHeld = true;
    GuiHarness korean(true);
    korean.keyboard.controlHeld = true;
    NetworkSettingScreen withCtrl(korean.services, link);
    for (QWidget* w : withCtrl.form().serviceWidgets()) EXPECT_FALSE(w->isHidden());
    EXPECT_EQ(withCtrl.form().manualButton()->text(), "Manually change");
    EXPECT_EQ(withCtrl.form().searchButton()->text(), "프린터 검색");
    EXPECT_EQ(withCtrl.form().changeButton()->text(), "설정 변경");
    EXPECT_EQ(withCtrl.form().exitButton()->text(), "닫기");
}

TEST_F(NetworkSettingScreenTest, SearchListsThePrintersThenSaysItHasFinished) {
    Open();
    ClickAndWait(Form().searchButton());
    ASSERT_EQ(Form().list()->rowCount(), 2);
    EXPECT_EQ(RowTexts(0), QStringList({"192.168.0.10 (DHCP)", "6001", "255.255.255.0",
                                        "192.168.0.1", "00:1A:2B:3C:4D:0A"}));
    EXPECT_EQ(RowTexts(1)[0], "192.168.0.11");
    EXPECT_EQ(h.prompter.Texts(), QStringList({h.Message(57)}));
    EXPECT_EQ(link.Sends()[0].address, "192.168.0.255");
    EXPECT_FALSE(Form().changeButton()->isEnabled());

    // A second search starts from an empty list.
    ClickAndWait(Form().searchButton());
    EXPECT_EQ(Form().list()->rowCount(), 2);
}

TEST_F(NetworkSettingScreenTest, TheNewestRowIsScrolledIntoView) {
    std::vector<FakeDatagramLink::Arrival> many;
    for (int i = 1; i <= 30; ++i)
        many.push_back({i, Answer(static_cast<std::uint8_t>(i), false), "192.168.0.200"});
    link.responder = [many](const Bytes&) { return many; };
    Open();
    ClickAndWait(Form().searchButton());
    QTableWidget* list = Form().list();
    ASSERT_EQ(list->rowCount(), 30);
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(list->item(29, 0))));
}

TEST_F(NetworkSettingScreenTest, ARowClickFillsTheFieldsAndOffersChangeSetting) {
    Open();
    ClickAndWait(Form().searchButton());
    ClickRow(0);
    EXPECT_EQ(Form().addressField()->text(), "192.168.0.10");
    EXPECT_EQ(Form().portField()->text(), "6001");
    EXPECT_EQ(Form().subnetField()->text(), "255.255.255.0");
    EXPECT_EQ(Form().gatewayField()->text(), "192.168.0.1");
    EXPECT_TRUE(Form().dhcpBox()->isChecked());
    EXPECT_TRUE(Form().changeButton()->isEnabled());
    ClickRow(1);
    EXPECT_FALSE(Form().dhcpBox()->isChecked());
    ClickRow(-1);
    EXPECT_FALSE(Form().changeButton()->isEnabled());
}

TEST_F(NetworkSettingScreenTest, ChangeSettingAsksThenSendsTheFieldsToTheRowsPrinter) {
    Open();
    ClickAndWait(Form().searchButton());
    ClickRow(0);
    h.prompter.Clear();

    // No: nothing is sent, and the button is off until the next row click.
    ClickAndWait(Form().changeButton());
    EXPECT_EQ(link.Sends().size(), 1u);  // the search only
    EXPECT_EQ(h.prompter.Texts(), QStringList({h.Message(58)}));
    EXPECT_EQ(h.prompter.boxes[0].caption, "Notice");
    EXPECT_FALSE(Form().changeButton()->isEnabled());

    ClickRow(0);
    Form().addressField()->setText("192.168.0.50");
    Form().portField()->setText("515");
    h.prompter.Clear();
    h.prompter.answers = {Prompter::Answer::Yes};
    ClickAndWait(Form().changeButton());
    const auto sends = link.Sends();
    ASSERT_EQ(sends.size(), 3u);
    const NetworkSettings sent = DiscoveryFrame::FromBytes(sends[1].bytes.data(), 35)->Settings();
    EXPECT_EQ(sent.address, (Ipv4Octets{192, 168, 0, 50}));
    EXPECT_EQ(sent.port, 515);
    EXPECT_TRUE(sent.dhcp);
    EXPECT_EQ(MacText(sent.mac), "00:1A:2B:3C:4D:0A");
    EXPECT_EQ(sends[1].bytes[2], discovery::kSet);
    EXPECT_EQ(sends[2].bytes[2], discovery::kEndOfChange);
    EXPECT_EQ(h.prompter.Texts(), QStringList({h.Message(58), h.Message(59)}));
    EXPECT_EQ(h.prompter.Captions(), QStringList({"Notice", "Notice"}));
    EXPECT_FALSE(Form().changeButton()->isEnabled());
}

TEST_F(NetworkSettingScreenTest, AChangeNoPrinterAnsweredSaysSo) {
    Open();
    ClickAndWait(Form().searchButton());
    ClickRow(1);
    link.responder = {};  // the printer is gone
    h.prompter.Clear();
    h.prompter.answers = {Prompter::Answer::Yes};
    ClickAndWait(Form().changeButton());
    EXPECT_EQ(link.Sends().back().bytes[2], discovery::kEndOfChange);
    ASSERT_EQ(h.prompter.boxes.size(), 2u);
    EXPECT_TRUE(h.prompter.boxes[1].text.startsWith("No printer answered the change"));
    EXPECT_EQ(h.prompter.Captions(), QStringList({"Notice", "Notice"}));
}

TEST_F(NetworkSettingScreenTest, RefusedFieldsOpenNothingAndKeepChangeSetting) {
    Open();
    ClickAndWait(Form().searchButton());
    ClickRow(0);
    h.prompter.Clear();
    Form().addressField()->setText("192.168.0.255");
    Form().changeButton()->click();
    EXPECT_EQ(h.prompter.Texts(), QStringList({h.Message(62)}));
    EXPECT_TRUE(Form().changeButton()->isEnabled());
    EXPECT_EQ(link.opens, 1);  // the search's

    h.keyboard.controlHeld = true;
    NetworkSettingScreen service(h.services, link);
    service.show();
    NetworkSettingForm& form = service.form();
    form.addressField()->setText("192.168.0.255");
    form.subnetField()->setText("255.255.255.0");
    form.gatewayField()->setText("192.168.0.1");
    form.portField()->setText("6001");
    form.macBoxes()[0]->setText("4d");
    form.macBoxes()[1]->setText("5");
    form.macBoxes()[2]->setText("6F");
    h.prompter.Clear();
    form.manualButton()->click();
    ASSERT_EQ(h.prompter.boxes.size(), 1u);
    EXPECT_TRUE(h.prompter.boxes[0].text.startsWith("Please enter each MAC box"));
    EXPECT_EQ(link.opens, 1);

    // Fixed, the manual change sends to 02:5A:3D and the boxes, .255 included.
    form.macBoxes()[1]->setText("5e");
    h.prompter.Clear();
    h.prompter.answers = {Prompter::Answer::Yes};
    QSignalSpy finished(&service, &NetworkSettingScreen::operationFinished);
    form.manualButton()->click();
    ASSERT_TRUE(finished.wait(5000));
    const auto sends = link.Sends();
    EXPECT_EQ(MacText(DiscoveryFrame::FromBytes(sends.back().bytes.data(), 35)->Settings().mac),
              "02:5A:3D:4D:5E:6F");
    EXPECT_EQ(h.prompter.Captions(), QStringList({"KP70 Tool", "KP70 Tool"}));
}

TEST_F(NetworkSettingScreenTest, WifiButtonsCallTheComponentOrSayWhereItWasLookedFor) {
    ConnectionSettings settings{"WIFI"};
    FakeNetworkLink tcp;
    NetworkConnectionScreen connection(h.services, settings, tcp);
    TempDir empty;
    WifiPlugin absent({empty.Path().string()});
    connection.SetWifiSetup(MakeWifiSetup(h.services, absent));
    connection.PrepareToShow();
    connection.findChild<QPushButton*>("settingButton")->click();
    ASSERT_EQ(h.prompter.boxes.size(), 2u);
    EXPECT_EQ(h.prompter.boxes[0].text, "Turn on the printer and Connect a USB cable.");
    EXPECT_TRUE(h.prompter.boxes[1].text.contains("libkp70wifi.so) is not installed"));
    EXPECT_TRUE(h.prompter.boxes[1].text.contains(QString::fromStdString(empty.Path().string())));

    WifiPlugin present({KP70_WIFI_TEST_PLUGIN_DIR});
    connection.SetWifiSetup(MakeWifiSetup(h.services, present));
    h.prompter.Clear();
    connection.findChild<QPushButton*>("reservedButton")->click();
    connection.findChild<QPushButton*>("settingButton")->click();
    EXPECT_EQ(h.prompter.Texts(), QStringList({"Turn on the printer and Connect a USB cable.",
                                               "Turn on the printer and Connect a USB cable."}));
    void* handle = dlopen(KP70_WIFI_TEST_PLUGIN_DIR "/libkp70wifi.so", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_TRUE(handle);
    auto calls = reinterpret_cast<const char* (*)()>(dlsym(handle, "kp70_wifi_test_calls"));
    const std::string window = std::to_string(connection.winId());
    EXPECT_EQ(std::string(calls()), "limited-ap " + window + ";infrastructure " + window + ";");
    dlclose(handle);
}

}  // namespace
}  // namespace kp70::test
