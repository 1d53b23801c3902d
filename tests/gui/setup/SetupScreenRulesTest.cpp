// The rules between the controls of the user setup screen, its labels and the model rules.
#include <QGroupBox>

#include "SetupScreenRig.h"
#include "core/app/Profile.h"

namespace kp70::test {
namespace {

const QString kSelectOneColor = QStringLiteral(
    "Water mark print is impossible in Two-color print mode.\nSelect One-color mode?");
const QString kDisableWaterMark = QStringLiteral(
    "Water mark print is impossible in Two-color print mode.\nDisable water mark function?");

TEST(SetupScreenRules, WaterMarkAndTwoColorExcludeEachOther) {
    struct Case {
        const char* name;
        bool twoColorFirst;  // 2Color chosen before water mark Enable
        Prompter::Answer answer;
        int paperType, waterMark, density;
        bool densityList, imageField;
    };
    const Case cases[] = {
        // Water mark on, then 2Color: No keeps Black, Yes switches the water mark off.
        {"2Color, No", false, Prompter::Answer::No, 0, 1, -1, false, true},
        {"2Color, Yes", false, Prompter::Answer::Yes, 1, 0, 1, true, false},
        // 2Color on, then water mark Enable: No keeps the water mark off, Yes goes Black.
        {"Enable, No", true, Prompter::Answer::No, 1, 0, 1, true, false},
        {"Enable, Yes", true, Prompter::Answer::Yes, 0, 1, 1, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupScreenRig rig;
        rig.Open();
        const int writesBefore = rig.port.Count("Write");
        rig.h.prompter.answers.push_back(c.answer);
        if (c.twoColorFirst) {
            rig.Click("paperType", true);
            rig.Click("waterMark", true);
        } else {
            rig.Click("waterMark", true);
            rig.Click("paperType", true);
        }
        ASSERT_EQ(rig.h.prompter.boxes.size(), 1u);
        EXPECT_EQ(rig.h.prompter.boxes[0].text,
                  c.twoColorFirst ? kSelectOneColor : kDisableWaterMark);
        EXPECT_EQ(rig.h.prompter.boxes[0].caption, "Notice");
        EXPECT_EQ(rig.h.prompter.boxes[0].buttons, Prompter::Buttons::YesNo);

        EXPECT_EQ(rig.Radio("paperType", false)->isChecked(), c.paperType == 0);
        EXPECT_EQ(rig.Radio("paperType", true)->isChecked(), c.paperType == 1);
        EXPECT_EQ(rig.Radio("waterMark", false)->isChecked(), c.waterMark == 0);
        EXPECT_EQ(rig.Radio("waterMark", true)->isChecked(), c.waterMark == 1);
        EXPECT_EQ(rig.List("twoColorDensityList")->currentIndex(), c.density);
        EXPECT_EQ(rig.List("twoColorDensityList")->isEnabled(), c.densityList);
        EXPECT_EQ(rig.Field("imageNumber")->isEnabled(), c.imageField);
        // Questions never send anything.
        EXPECT_EQ(rig.port.Count("Write"), writesBefore);
    }
}

TEST(SetupScreenRules, TwoColorWithoutWaterMarkAsksNothingAndProposesMedium) {
    SetupScreenRig rig;
    rig.Open();
    EXPECT_FALSE(rig.List("twoColorDensityList")->isEnabled());  // off while Black
    rig.Click("paperType", true);
    EXPECT_TRUE(rig.h.prompter.boxes.empty());
    EXPECT_EQ(rig.List("twoColorDensityList")->currentIndex(), 1);
    EXPECT_TRUE(rig.List("twoColorDensityList")->isEnabled());
    rig.Click("paperType", false);
    EXPECT_FALSE(rig.List("twoColorDensityList")->isEnabled());
}

TEST(SetupScreenRules, FiftyEightMillimetresProposesThirtyTwoColumns) {
    SetupScreenRig rig;
    rig.Open();
    QComboBox* columns = rig.List("columnList");
    EXPECT_FALSE(columns->isEnabled());
    rig.Click("paperWidth", true);
    EXPECT_EQ(columns->currentText(), "32 Column");
    EXPECT_TRUE(columns->isEnabled());
    rig.Choose("columnList", 0);
    EXPECT_EQ(rig.screen->values().columnChoice, 0);
    rig.Click("paperWidth", false);
    EXPECT_FALSE(columns->isEnabled());
    rig.Click("paperWidth", true);  // always 32 again
    EXPECT_EQ(columns->currentText(), "32 Column");
}

TEST(SetupScreenRules, NvMemoryBudgetUnsetsTheChangedList) {
    struct Case {
        const char* first;
        int firstIndex;
        const char* second;
        int secondIndex;
        bool refused;
    };
    const Case cases[] = {
        {"nvUserList", 1, "nvGraphicList", 6, true},   // 128 + 384
        {"nvGraphicList", 6, "nvUserList", 1, true},   // 384 + 128
        {"nvUserList", 0, "nvGraphicList", 6, false},  // 64 + 384 = 448 fits
        {"nvUserList", 4, "nvGraphicList", 1, false},  // 320 + 64
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " then " + c.second);
        SetupScreenRig rig;
        rig.Open();
        rig.Choose(c.first, c.firstIndex);
        rig.Choose(c.second, c.secondIndex);
        EXPECT_EQ(rig.List(c.first)->currentIndex(), c.firstIndex);
        if (c.refused) {
            ASSERT_EQ(rig.h.prompter.boxes.size(), 1u);
            EXPECT_EQ(rig.h.prompter.boxes[0].text,
                      "Out of range the MAX NV memory Size!\r\nTotal NV Memory Size 448KB\r\n"
                      "(NV User Memory + NV Graphic Memory)");
            EXPECT_EQ(rig.h.prompter.boxes[0].caption, "KP70 Tool");
            EXPECT_EQ(rig.List(c.second)->currentIndex(), -1);
        } else {
            EXPECT_TRUE(rig.h.prompter.boxes.empty());
            EXPECT_EQ(rig.List(c.second)->currentIndex(), c.secondIndex);
        }
    }
}

TEST(SetupScreenRules, NumberAndCodeFieldsTakeOnlyWhatFits) {
    SetupScreenRig rig;
    rig.Open();
    rig.Type("setupCode", "123456789");
    EXPECT_EQ(rig.Field("setupCode")->text(), "12345678");
    EXPECT_EQ(rig.screen->values().setupCode, "12345678");
    rig.Type("leftMargin", "-12a3456");
    EXPECT_EQ(rig.Field("leftMargin")->text(), "123");
    EXPECT_EQ(rig.screen->values().leftMargin, 123);
}

TEST(SetupScreenRules, StopBitChoiceAsksForTheWarningOnTheNextWrite) {
    SetupScreenRig rig;
    rig.Open();
    EXPECT_FALSE(rig.screen->values().stopBitTouched);
    rig.Click("stopBit", true);
    EXPECT_TRUE(rig.screen->values().stopBitTouched);
    EXPECT_EQ(rig.screen->values().stopBit, 1);
}

TEST(SetupScreenRules, KitchenBellUnitFollowsTheType) {
    SetupScreenRig rig;
    rig.Open();
    const QStringList expected = {"Times", " / 5", " / 5", " / 5", "Times"};
    for (int type = 0; type < 5; ++type) {
        rig.Choose("bellTypeList", type);
        EXPECT_EQ(rig.Label("bellUnitLabel")->text(), expected[type]) << type;
    }
}

TEST(SetupScreenRules, ModelFiveShowsOnlyPaperSaveSleepAndThePicture) {
    SetupScreenRig rig("COM1", 5);
    rig.Open();
    for (const char* pair : {"emulation", "autoCut", "selfTest", "kitchenBell", "usbMode"}) {
        SCOPED_TRACE(pair);
        EXPECT_FALSE(rig.Visible(rig.Label((std::string(pair) + "Label").c_str())));
        EXPECT_FALSE(rig.Visible(rig.Radio(pair, false)));
        EXPECT_FALSE(rig.Visible(rig.Radio(pair, true)));
    }
    EXPECT_FALSE(rig.Visible(rig.Label("densityLabel")));
    EXPECT_FALSE(rig.Visible(rig.List("densityList")));
    EXPECT_TRUE(rig.Visible(rig.List("paperSaveList")));
    EXPECT_TRUE(rig.Visible(rig.List("sleepModeList")));
    EXPECT_TRUE(rig.Visible(rig.Label("picture")));
    EXPECT_FALSE(rig.List("nvGraphicList")->isEnabled());
    EXPECT_FALSE(rig.List("nvUserList")->isEnabled());
    EXPECT_TRUE(rig.List("codePageList")->isEnabled());
}

TEST(SetupScreenRules, OtherModelsHideThePictureAndShowEveryOption) {
    for (int model : {1, 3, 4, 6}) {
        SCOPED_TRACE(model);
        SetupScreenRig rig("COM1", model);
        rig.Open();
        EXPECT_FALSE(rig.Visible(rig.Label("picture")));
        for (const char* pair : {"emulation", "autoCut", "selfTest", "kitchenBell", "usbMode"})
            EXPECT_TRUE(rig.Visible(rig.Radio(pair, true))) << pair;
        EXPECT_TRUE(rig.Visible(rig.List("densityList")));
        EXPECT_EQ(rig.List("nvGraphicList")->isEnabled(), true);
    }
}

TEST(SetupScreenRules, ModelFourReservesBellUsbAndSleep) {
    for (bool korean : {false, true}) {
        SCOPED_TRACE(korean ? "Korean" : "English");
        SetupScreenRig rig("COM1", 4, korean);
        rig.Open();
        for (const char* label :
             {"bellTypeLengthLabel", "kitchenBellLabel", "usbModeLabel", "sleepModeLabel"}) {
            EXPECT_EQ(rig.Label(label)->text(), "Reserved") << label;
            EXPECT_FALSE(rig.Label(label)->isEnabled()) << label;
        }
        for (const char* pair : {"kitchenBell", "usbMode"}) {
            EXPECT_FALSE(rig.Radio(pair, false)->isEnabled()) << pair;
            EXPECT_FALSE(rig.Radio(pair, true)->isEnabled()) << pair;
        }
        EXPECT_FALSE(rig.List("bellTypeList")->isEnabled());
        EXPECT_FALSE(rig.List("bellLengthList")->isEnabled());
        EXPECT_FALSE(rig.List("sleepModeList")->isEnabled());
        // The rest of the options stay as they are.
        EXPECT_TRUE(rig.Radio("emulation", true)->isEnabled());
        EXPECT_TRUE(rig.List("paperSaveList")->isEnabled());
        EXPECT_TRUE(rig.Visible(rig.List("densityList")));
    }
}

TEST(SetupScreenRules, LabelsInEnglishAndKorean) {
    struct Expect {
        const char* name;
        const char* english;
        const char* korean;
    };
    const Expect labels[] = {
        {"paperWidthLabel", "Paper Width & Max. Column", "용지 폭"},
        {"paperTypeLabel", "Paper Type", "용지 종류"},
        {"waterMarkLabel", "Water Mark Function", "워터마크 기능"},
        {"imageNumberLabel", "Image#", "이미지#"},
        {"cuttingAdjustLabel", "Cutting postion adjustment Function", "용지 절단 위치 조정"},
        {"drawerWithCuttingLabel", "Drawer open with cutting", "용지 절단시 돈통 열기"},
        {"bellTypeLengthLabel", "Kitchen Bell Type & Length", "주방벨 종류 / 횟수"},
        {"bellUnitLabel", "Times", "회"},
        {"codePageLabel", "Default Code Page", "기본 문자"},
        {"nvGraphicLabel", "NV Graphic Memory Size", "내장 그래픽 메모리 크기"},
        {"nvUserLabel", "NV User Memory Size", "내장 사용자 메모리 크기"},
        {"cuttingModeLabel", "Cutting Mode Select", "절단 모드"},
        {"printSpeedLabel", "Max Print Speed", "인쇄 최고 속도"},
        {"leftMarginLabel", "Set Left Paper Margin", "용지 좌측 여백"},
        {"leftMarginUnit", "dot (0 ~ 512)", "dot (0 ~ 512)"},
        {"drawerInSelfTestLabel", "Drawer Open In Self-Test", "Self-Test시 돈통 열기"},
        {"boldFontLabel", "Reserved", "Bold Korean Font"},
        {"receiveBufferLabel", "Receive Buffer Size", "수신 버퍼 크기"},
        {"stopBitLabel", "STOP BIT(COM PORT)", "스톱 비트 (COM)"},
        {"setupCodeLabel", "Customize Setup Code(HEX)", "Customize Setup Code(HEX)"},
        {"emulationLabel", "Emulation", "동작모드"},
        {"densityLabel", "Density", "인쇄농도"},
        {"autoCutLabel", "AutoCut", "자동절단기"},
        {"selfTestLabel", "SELF-TEST", "SELF-TEST"},
        {"kitchenBellLabel", "Kitchen Bell", "주방벨"},
        {"usbModeLabel", "USB mode", "USB동작"},
        {"paperSaveLabel", "Paper Save Mode", "용지절약모드"},
        {"sleepModeLabel", "Sleep mode", "절전모드"},
        {"modelLabel", "MODEL", "MODEL"},
    };
    const Expect radios[] = {
        {"paperTypeFirst", "Black", "검정"},          {"paperTypeSecond", "2Color", "2 색"},
        {"waterMarkFirst", "Disable", "사용안함"},    {"waterMarkSecond", "Enable", "사용"},
        {"cuttingModeFirst", "Partial", "일부"},      {"cuttingModeSecond", "Full Cut", "전체"},
        {"drawerInSelfTestFirst", "Enable", "사용"},  {"emulationFirst", "EPSON", "엡손"},
        {"emulationSecond", "STAR", "스타"},          {"selfTestFirst", "Self-Test", "셀프테스트"},
        {"selfTestSecond", "HexaDump", "16진수인쇄"}, {"autoCutFirst", "ON", "사용"},
        {"usbModeFirst", "USB", "USB통신"},           {"usbModeSecond", "COM", "가상시리얼"},
        {"paperWidthFirst", "80mm", "80mm"},          {"stopBitSecond", "TWO", "TWO"},
    };
    const Expect buttons[] = {
        {"getValue", "Get Value", "설정 읽기"},
        {"setValue", "Set Value", "설정 쓰기"},
        {"test", "TEST", "테스트"},
        {"defaults", "Default", "기본값"},
        {"exit", "EXIT", "취소"},
    };
    for (bool korean : {false, true}) {
        SCOPED_TRACE(korean ? "Korean" : "English");
        SetupScreenRig rig("COM1", 6, korean);
        rig.Open();
        auto text = [korean](const Expect& e) {
            return QString::fromUtf8(korean ? e.korean : e.english);
        };
        for (const Expect& e : labels) EXPECT_EQ(rig.Label(e.name)->text(), text(e)) << e.name;
        for (const Expect& e : radios)
            EXPECT_EQ(rig.Find<QRadioButton>(e.name)->text(), text(e)) << e.name;
        for (const Expect& e : buttons) EXPECT_EQ(rig.Button(e.name)->text(), text(e)) << e.name;
        EXPECT_EQ(rig.Find<QGroupBox>("setupGroup")->title(),
                  korean ? "사용자 설정" : "SELECT USER SETUP FUNCTION");
        EXPECT_EQ(rig.Find<QGroupBox>("newOptionGroup")->title(), "New Option");
        EXPECT_EQ(rig.screen->windowTitle(), "KP 70 Tool : User Setup");
        EXPECT_EQ(rig.Label("modelText")->text(), "KP70 - COM1\nBaud : 115200");
        // Only the Korean printer's bold font row can be changed.
        EXPECT_EQ(rig.Label("boldFontLabel")->isEnabled(), korean);
        EXPECT_EQ(rig.Radio("boldFont", false)->isEnabled(), korean);
        EXPECT_EQ(rig.Radio("boldFont", true)->isEnabled(), korean);
    }
}

TEST(SetupScreenRules, ListsAndProfileKeys) {
    for (bool korean : {false, true}) {
        SCOPED_TRACE(korean ? "Korean" : "English");
        SetupScreenRig rig("COM1", 6, korean);
        rig.Build();
        EXPECT_EQ(rig.List("codePageList")->count(), 30);
        EXPECT_EQ(rig.List("codePageList")->itemText(29), "254| SPACE PAGE");
        EXPECT_EQ(rig.List("sleepModeList")->itemText(0), "0 Min | OFF");
        EXPECT_EQ(rig.List("paperSaveList")->itemText(1), "LV 1 (Recommend)");
        EXPECT_EQ(rig.List("densityList")->itemText(3), "LEVEL 4");
        EXPECT_EQ(rig.List("nvGraphicList")->itemText(6), "384");
        // The built-in receive buffers; the Korean list has no "4".
        EXPECT_EQ(rig.List("receiveBufferList")->count(), korean ? 3 : 4);
        EXPECT_EQ(rig.h.profile.GetString("USER", "R_BUF_SZ3"), "4");
        EXPECT_EQ(rig.h.profile.GetString("USER", "CodePage255"), "254|SPACE PAGE");
        // Nothing is chosen before a read or Default.
        EXPECT_EQ(rig.List("codePageList")->currentIndex(), -1);
        EXPECT_FALSE(rig.Radio("stopBit", false)->isChecked());
        EXPECT_FALSE(rig.Radio("stopBit", true)->isChecked());
        EXPECT_EQ(rig.Field("imageNumber")->text(), "1");
        EXPECT_EQ(rig.Field("lines")->text(), "0");
        EXPECT_EQ(rig.Field("leftMargin")->text(), "0");
        EXPECT_EQ(rig.Field("setupCode")->text(), "0");
    }
}

TEST(SetupScreenRules, ReceiveBufferListFromTheProfile) {
    SetupScreenRig rig;
    rig.h.profile.WriteString("USER", "R_BUF_SZ0", "16");
    rig.h.profile.WriteString("USER", "R_BUF_SZ1", "8");
    rig.Build();
    QComboBox* list = rig.List("receiveBufferList");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(0), "16");
    EXPECT_EQ(list->itemText(1), "8");
}

TEST(SetupScreenRules, DefaultAsksFirstAndFillsEveryControl) {
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        SetupScreenRig rig("COM1", 6, false);
        rig.Open();
        rig.h.prompter.answers.push_back(yes ? Prompter::Answer::Yes : Prompter::Answer::No);
        rig.Press("defaults");
        ASSERT_EQ(rig.h.prompter.boxes.size(), 1u);
        EXPECT_EQ(rig.h.prompter.boxes[0].text,
                  "Are you sure?(Y/N)\n(All settings will be set to default.)");
        EXPECT_EQ(rig.h.prompter.boxes[0].buttons, Prompter::Buttons::YesNo);
        EXPECT_EQ(rig.Radio("paperWidth", false)->isChecked(), yes);
        EXPECT_EQ(rig.List("nvGraphicList")->currentIndex(), yes ? 6 : -1);
        EXPECT_EQ(rig.List("receiveBufferList")->currentIndex(), yes ? 3 : -1);
        EXPECT_EQ(rig.Radio("drawerInSelfTest", true)->isChecked(), yes);  // Disable
        EXPECT_EQ(rig.Radio("boldFont", false)->isChecked(), yes);         // OFF, though reserved
        EXPECT_EQ(rig.List("bellLengthList")->currentText(), yes ? "3" : "");
        EXPECT_EQ(rig.List("densityList")->currentText(), yes ? "LEVEL 2" : "");
        EXPECT_EQ(rig.port.Count("Write"), 0);  // nothing is sent
    }
}

}  // namespace
}  // namespace kp70::test
