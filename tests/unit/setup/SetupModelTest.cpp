#include <gtest/gtest.h>

#include "core/app/Profile.h"
#include "core/setup/SetupLists.h"
#include "core/setup/SetupProfile.h"
#include "core/setup/SetupValues.h"
#include "core/setup/TestPage.h"
#include "support/TempDir.h"

namespace kp70 {
namespace {

TEST(LoadDefaults, DependOnTheLanguage) {
    SetupValues english;
    english.imageNumber = 9;
    english.lines = 9;
    english.leftMargin = 40;
    english.setupCode = "AB";
    LoadDefaults(english, false);
    EXPECT_EQ(english.drawerInSelfTest, 1);  // Disable
    EXPECT_EQ(english.receiveBuffer, 3);
    EXPECT_EQ(english.imageNumber, 1);
    EXPECT_EQ(english.lines, 0);
    EXPECT_EQ(english.leftMargin, 0);
    EXPECT_EQ(english.setupCode, "0");
    EXPECT_EQ(english.stopBit, 0);
    EXPECT_TRUE(english.stopBitTouched);
    EXPECT_EQ(english.nvUser, 0);
    EXPECT_EQ(english.nvGraphic, 6);

    SetupValues korean;
    LoadDefaults(korean, true);
    EXPECT_EQ(korean.drawerInSelfTest, 0);  // Enable
    EXPECT_EQ(korean.receiveBuffer, 2);
    // The defaults use the whole NV budget and pass its check.
    EXPECT_TRUE(CheckNvBudget(korean, NvChange::User));
}

TEST(CheckNvBudget, UnsetsTheChangedListWhenTheSumIsTooLarge) {
    struct Case {
        int user, graphic;
        NvChange changed;
        bool ok;
        int userAfter, graphicAfter;
    } cases[] = {
        {1, 6, NvChange::Graphic, false, 1, -1},  // 128 + 384
        {1, 6, NvChange::User, false, -1, 6},
        {0, 6, NvChange::Graphic, true, 0, 6},  // 64 + 384 = 448
        {4, 2, NvChange::User, true, 4, 2},     // 320 + 128 = 448
        {4, 3, NvChange::User, false, -1, 3},
        {-1, 6, NvChange::Graphic, true, -1, 6},  // nothing to compare with
    };
    for (const Case& c : cases) {
        SetupValues v;
        v.nvUser = c.user;
        v.nvGraphic = c.graphic;
        EXPECT_EQ(CheckNvBudget(v, c.changed), c.ok);
        EXPECT_EQ(v.nvUser, c.userAfter);
        EXPECT_EQ(v.nvGraphic, c.graphicAfter);
    }
}

TEST(SetupProfile, ReceiveBufferListFromTheProfile) {
    test::TempDir dir;
    Profile profile(dir.File("kp70tool.INI"));
    test::WriteFile(profile.Path(),
                    "[USER]\r\nR_BUF_SZ0=128\r\nR_BUF_SZ1=8\r\nR_BUF_SZ2=\r\n"
                    "R_BUF_SZ3=1\r\n");
    EXPECT_EQ(LoadReceiveBufferList(profile, false), (std::vector<std::string>{"128", "8"}));
}

TEST(SetupProfile, BuiltInReceiveBufferListIsWrittenBack) {
    test::TempDir dir;
    Profile korean(dir.File("k.INI"));
    EXPECT_EQ(LoadReceiveBufferList(korean, true), (std::vector<std::string>{"64", "32", "20"}));
    EXPECT_EQ(korean.GetString("USER", "R_BUF_SZ3"), "4");  // written whatever the language
    // The next start reads the four written keys.
    EXPECT_EQ(LoadReceiveBufferList(korean, true),
              (std::vector<std::string>{"64", "32", "20", "4"}));

    Profile english(dir.File("e.INI"));
    EXPECT_EQ(LoadReceiveBufferList(english, false),
              (std::vector<std::string>{"64", "32", "20", "4"}));
}

TEST(SetupProfile, CodePageKeys) {
    test::TempDir dir;
    Profile profile(dir.File("kp70tool.INI"));
    WriteCodePageKeys(profile);
    const auto entries = profile.SectionEntries("USER");
    ASSERT_EQ(entries.size(), 30u);
    EXPECT_EQ(profile.GetString("USER", "CodePage0"), "0|PC437 (USA, Std Europe)");
    EXPECT_EQ(profile.GetString("USER", "CodePage16"), "16|WPC1252 (Windows CP)");
    EXPECT_EQ(profile.GetString("USER", "CodePage255"), "254|SPACE PAGE");
    // Each key names the code page of the screen list at the same place, except the last.
    for (std::size_t i = 0; i + 1 < entries.size(); ++i)
        EXPECT_EQ(entries[i].first, "CodePage" + std::to_string(setup::CodePages()[i].number));
}

TEST(TestPage, KoreanLineOnlyWithTheKoreanInterface) {
    const auto english = BuildTestPage(false);
    const auto korean = BuildTestPage(true);
    ASSERT_EQ(english.size(), 31u);
    ASSERT_EQ(korean.size(), 32u);
    EXPECT_EQ(english.front(), (std::vector<std::uint8_t>{0x1B, 0x40}));
    EXPECT_EQ(english[1].size(), 32u);
    EXPECT_EQ(english[1].back(), 0x00);
    EXPECT_EQ(english[2], (std::vector<std::uint8_t>{0x1D, 0x28, 0x4E, 0x02, 0x00, 0x30, 0x32}));
    EXPECT_EQ(english[3].size(), 11u);
    EXPECT_EQ(english[23].size(), 128u);
    EXPECT_EQ(english[23].front(), 0x80);
    EXPECT_EQ(english[23].back(), 0xFF);
    EXPECT_EQ(english[25], (std::vector<std::uint8_t>{0x1B, 0x40}));
    // After the line feed of step 12 the English page goes straight to the three feeds.
    for (int i = 26; i < 30; ++i)
        EXPECT_EQ(english[static_cast<std::size_t>(i)], (std::vector<std::uint8_t>{0x0A, 0x00}));
    EXPECT_EQ(english.back(), (std::vector<std::uint8_t>{0x1B, 0x69}));

    EXPECT_EQ(korean[27].size(), 37u);
    EXPECT_EQ(korean[27].front(), 0xC7);
    EXPECT_EQ(korean[27][35], 0x0A);
    // Apart from that line the pages are the same.
    auto withoutLine = korean;
    withoutLine.erase(withoutLine.begin() + 27);
    EXPECT_EQ(withoutLine, english);
}

}  // namespace
}  // namespace kp70
