#include <gtest/gtest.h>

#include "core/app/Language.h"
#include "core/app/MessageCatalogue.h"

using namespace kp70;

TEST(MessageCatalogue, SelectedLanguageDecidesTheText) {
    MessageCatalogue catalogue;
    EXPECT_EQ(catalogue.Message(48),
              "ERROR : Write Fail!\nPlease check the printer power or connection");
    catalogue.SelectLanguage(true);
    EXPECT_TRUE(catalogue.IsKorean());
    EXPECT_EQ(catalogue.Message(48),
              "\xEC\x93\xB0\xEA\xB8\xB0 \xEC\x8B\xA4\xED\x8C\xA8. "
              "\xED\x94\x84\xEB\xA6\xB0\xED\x84\xB0\xEC\x9D\x98 "
              "\xEC\xA0\x84\xEC\x9B\x90\xEC\x9D\xB4\xEB\x82\x98 "
              "\xEC\x97\xB0\xEA\xB2\xB0 \xEC\xBC\x80\xEC\x9D\xB4\xEB\xB8\x94\xEC\x9D\x84 "
              "\xED\x99\x95\xEC\x9D\xB8\xED\x95\x98\xEC\x8B\xAD\xEC\x8B\x9C\xEC\x98\xA4.");
}

TEST(MessageCatalogue, SeparateEntriesWithEqualOrDifferingTexts) {
    EXPECT_EQ(MessageCatalogue::English(20), MessageCatalogue::English(24));
    EXPECT_EQ(MessageCatalogue::Korean(20), MessageCatalogue::Korean(24));
    EXPECT_EQ(MessageCatalogue::English(44), MessageCatalogue::English(47));
    EXPECT_EQ(MessageCatalogue::English(34), MessageCatalogue::English(59));
    EXPECT_NE(MessageCatalogue::Korean(34), MessageCatalogue::Korean(59));
    EXPECT_EQ(MessageCatalogue::English(11),
              "TalvoTool support only One device.\r\nThere are too many device connected!");
    EXPECT_EQ(MessageCatalogue::English(0), "Input the output file name!");
    EXPECT_EQ(MessageCatalogue::English(62), "Please enter IP address between 1 ~ 254.");
    EXPECT_EQ(MessageCatalogue::English(63), "");
    EXPECT_EQ(MessageCatalogue::English(-1), "");
    for (int n = 0; n < MessageCatalogue::kCount; ++n) {
        EXPECT_FALSE(MessageCatalogue::English(n).empty()) << n;
        EXPECT_FALSE(MessageCatalogue::Korean(n).empty()) << n;
    }
}

TEST(MessageCatalogue, FormatsTheOnePlaceholder) {
    MessageCatalogue catalogue;
    EXPECT_EQ(catalogue.Format(19, 5), "ERROR[5] - Open port or file.");
    EXPECT_EQ(catalogue.Format(50, 448),
              "Out of range the MAX NV memory Size!\r\nTotal NV Memory Size 448KB\r\n"
              "(NV User Memory + NV Graphic Memory)");
    EXPECT_EQ(
        catalogue.Format(51, std::string("a.bmp")),
        "In the Gray Print mode, not support under 8bit color depth bitmap image.\r\n(a.bmp)");
}

TEST(Language, KoreanByTheFirstSetLocaleVariable) {
    EXPECT_TRUE(IsKoreanLocale(nullptr, nullptr, "ko_KR.UTF-8"));
    EXPECT_FALSE(IsKoreanLocale(nullptr, nullptr, "en_US.UTF-8"));
    EXPECT_FALSE(IsKoreanLocale("C", nullptr, "ko_KR.UTF-8"));
    EXPECT_TRUE(IsKoreanLocale("", "ko_KR", "en_US"));
    EXPECT_FALSE(IsKoreanLocale(nullptr, nullptr, nullptr));
}
