#include "gui/app/MainMenuScreen.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QSignalSpy>

#include "GuiHarness.h"
#include "gui/app/AppToolLauncher.h"
#include "gui/app/ToolLauncher.h"

namespace kp70::test {
namespace {

// Records the calls the menu makes, with the tool mode and port state at each call.
struct RecordingTools : ToolLauncher {
    explicit RecordingTools(FakePrinterPort& p) : port(p) {}
    void LoadStoredLogoList() override { Record("load logo list"); }
    void OpenLogoTool(QWidget*) override { Record("logo"); }
    void OpenUserSetup(QWidget*) override { Record("setup"); }
    void OpenFirmwareTool(QWidget*, int modelCode) override {
        Record("firmware " + std::to_string(modelCode));
        if (firmwareLeavesPortOpen) port.Open();
    }
    void Record(const std::string& what) {
        calls.push_back(what + " mode " + std::to_string(port.Settings().toolMode));
    }
    FakePrinterPort& port;
    bool firmwareLeavesPortOpen = false;
    std::vector<std::string> calls;
};

class MainMenuScreenTest : public ::testing::Test {
protected:
    explicit MainMenuScreenTest(bool korean = false) : h(korean) {}

    std::unique_ptr<MainMenuScreen> Open() {
        return std::make_unique<MainMenuScreen>(h.services, port, summary, tools);
    }
    static QPushButton* Button(MainMenuScreen& menu, const char* name) {
        auto* button = menu.findChild<QPushButton*>(name);
        EXPECT_NE(button, nullptr) << name;
        return button;
    }

    GuiHarness h;
    FakePrinterPort port;
    std::string summary;
    RecordingTools tools{port};
};

TEST_F(MainMenuScreenTest, BuildsTheSummaryForEachAttachment) {
    struct Case {
        ConnectionSettings settings;
        std::string summary;
    };
    const Case cases[] = {
        {{"/dev/ttyS3", 38400, 8, 0, 0, 1, 6, 0},
         "KP70 - /dev/ttyS3\r\nBaud : 38400\r\nData : 8 bit\r\nNone Parity\r\n"
         "H/W Flow control\r\nOne Stop Bit"},
        {{"COM4", 9600, 7, 2, 2, 3, 2, 0},
         "TALVO10 - COM4\r\nBaud : 9600\r\nData : 7 bit\r\nEven Parity\r\n"
         "None Flow control\r\nTwo Stop Bits"},
        {{"USB", -1, -1, -1, 0, -1, 6, 0}, "KP 70\r\nUSB-II Interface"},
        {{"USB", -1, -1, -1, 0, -1, 2, 0}, "KP 70\r\nUSB-II Interface"},
        {{"/dev/lp0", -1, -1, -1, 0, -1, 6, 0}, "KP70 - /dev/lp0"},
        {{"ETHERNET_II", -1, -1, -1, 0, -1, 6, 0}, "KP70 - ETHERNET_II"},
        {{"ETHERNET_II", -1, -1, -1, 0, -1, 2, 0}, "TALVO10 - ETHERNET_II"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings.portName);
        port.Settings() = c.settings;
        summary = "left over from the last time";
        auto menu = Open();
        EXPECT_EQ(summary, c.summary);
    }
}

TEST_F(MainMenuScreenTest, ShowsFourButtonsAndDisablesUserSetupForModel2) {
    for (int model : {6, 2}) {
        SCOPED_TRACE(model);
        port.Settings().modelCode = model;
        auto menu = Open();
        EXPECT_EQ(menu->windowTitle(), "KP70 Tool");
        EXPECT_EQ(Button(*menu, "logoButton")->text(), "&Logo Download");
        EXPECT_EQ(Button(*menu, "setupButton")->text(), "&User Setup");
        EXPECT_EQ(Button(*menu, "firmwareButton")->text(), "&Firmware Download");
        EXPECT_EQ(Button(*menu, "backButton")->text(), "<< &Back  ");
        EXPECT_EQ(Button(*menu, "setupButton")->isEnabled(), model != 2);
        EXPECT_TRUE(Button(*menu, "logoButton")->isEnabled());
        EXPECT_TRUE(Button(*menu, "firmwareButton")->isEnabled());
    }
}

TEST_F(MainMenuScreenTest, EachToolButtonSetsItsModeFirst) {
    port.Settings().modelCode = 2;
    auto menu = Open();
    Button(*menu, "logoButton")->click();
    Button(*menu, "firmwareButton")->click();
    port.Settings().modelCode = 6;
    auto menu6 = Open();
    Button(*menu6, "setupButton")->click();
    Button(*menu6, "firmwareButton")->click();
    EXPECT_EQ(tools.calls,
              (std::vector<std::string>{"load logo list mode 1", "logo mode 1", "firmware 2 mode 3",
                                        "setup mode 2", "firmware 6 mode 3"}));
    // The mode keeps its last value after the tool closes.
    EXPECT_EQ(port.Settings().toolMode, 3);
}

TEST_F(MainMenuScreenTest, PortLeftOpenByTheFirmwareToolIsClosed) {
    auto menu = Open();
    Button(*menu, "firmwareButton")->click();
    EXPECT_EQ(port.Count("Close"), 0) << "nothing to close";
    tools.firmwareLeavesPortOpen = true;
    Button(*menu, "firmwareButton")->click();
    EXPECT_EQ(port.EventNames(), (std::vector<std::string>{"Open", "Close"}));
    EXPECT_FALSE(port.isOpen());
    // Other tools close what they opened themselves.
    port.Open();
    Button(*menu, "logoButton")->click();
    EXPECT_EQ(port.Count("Close"), 1);
}

TEST_F(MainMenuScreenTest, BackClosesTheMenu) {
    auto menu = Open();
    QSignalSpy rejected(menu.get(), &QDialog::rejected);
    Button(*menu, "backButton")->click();
    EXPECT_EQ(rejected.count(), 1);
    EXPECT_TRUE(tools.calls.empty());
}

TEST_F(MainMenuScreenTest, TheLogoButtonLoadsTheStoredListThenOpensTheSheet) {
    AppToolLauncher launcher;
    MainMenuScreen menu(h.services, port, summary, launcher);
    int opened = 0;
    std::vector<std::string> order;
    launcher.SetLogoTool([&] { order.push_back("load"); },
                         [&](QWidget* parent) {
                             order.push_back("open");
                             opened += parent == &menu;
                         });
    Button(menu, "logoButton")->click();
    EXPECT_EQ(order, (std::vector<std::string>{"load", "open"}));
    EXPECT_EQ(opened, 1);
}

class KoreanMainMenuScreenTest : public MainMenuScreenTest {
protected:
    KoreanMainMenuScreenTest() : MainMenuScreenTest(true) {}
};

TEST_F(KoreanMainMenuScreenTest, ButtonsCarryKoreanLabels) {
    auto menu = Open();
    EXPECT_EQ(menu->windowTitle(), "KP70 Tool");
    EXPECT_EQ(Button(*menu, "logoButton")->text(), "로고 전송");
    EXPECT_EQ(Button(*menu, "setupButton")->text(), "사용자 설정");
    EXPECT_EQ(Button(*menu, "firmwareButton")->text(), "펌웨어 전송");
    EXPECT_EQ(Button(*menu, "backButton")->text(), "<< 뒤로");
}

}  // namespace
}  // namespace kp70::test
