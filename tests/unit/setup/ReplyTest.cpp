#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/setup/ReplyMapping.h"
#include "core/setup/SetupReplyParser.h"
#include "core/setup/SetupValues.h"

namespace kp70 {
namespace {

std::vector<SetupReply> FeedAll(SetupReplyParser& parser, const std::string& bytes) {
    std::vector<SetupReply> replies;
    for (char c : bytes)
        if (auto r = parser.Feed(static_cast<std::uint8_t>(c))) replies.push_back(*r);
    return replies;
}

std::string Reply(const std::string& number, const std::string& value) {
    return std::string("\x37\x27") + number + "\x1F" + value + std::string(1, '\0');
}

TEST(SetupReplyParser, ReassemblesRepliesAndDropsNoise) {
    SetupReplyParser parser;
    const auto replies =
        FeedAll(parser, "xx\x01" + Reply("250", "144") + "\x27zz" + Reply("3", "6"));
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].number, 250);
    EXPECT_EQ(replies[0].text, "144");
    EXPECT_EQ(replies[1].number, 3);
    EXPECT_EQ(replies[1].text, "6");
}

TEST(SetupReplyParser, NumberKeepsThreeDigitsInOneByte) {
    SetupReplyParser parser;
    auto r = FeedAll(parser, Reply("1234", "1"));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].number, 123);
    r = FeedAll(parser, Reply("999", "1"));
    EXPECT_EQ(r[0].number, 999 % 256);
    r = FeedAll(parser, Reply("", ""));  // no digits at all
    EXPECT_EQ(r[0].number, 0);
    EXPECT_EQ(r[0].text, "");
}

TEST(SetupReplyParser, OverlongValueIsCutNotOverrun) {
    SetupReplyParser parser;
    const std::string longValue(5000, '7');
    const auto r = FeedAll(parser, Reply("255", longValue) + Reply("1", "2"));
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].text, std::string(SetupReplyParser::kMaxValueLength, '7'));
    EXPECT_EQ(r[1].number, 1);  // the parser is back in step after the long reply
}

TEST(SetupReplyParser, ResetDropsAPartialReply) {
    SetupReplyParser parser;
    FeedAll(parser,
            "\x37\x27"
            "25\x1F"
            "12");
    parser.Reset();
    const auto r = FeedAll(parser, std::string("3", 1) + std::string(1, '\0') + Reply("1", "3"));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].number, 1);
}

struct ApplyCase {
    int number;
    std::string text;
    bool applied;
    std::function<void(const SetupValues&)> check;
};

TEST(ApplyReply, MapsEveryReadableSetting) {
    using V = const SetupValues&;
    const ApplyCase cases[] = {
        {1, "3", true, [](V v) { EXPECT_EQ(v.nvUser, 2); }},
        {1, "9", true, [](V v) { EXPECT_EQ(v.nvUser, 0); }},
        {2, "6", true, [](V v) { EXPECT_EQ(v.nvGraphic, 5); }},
        {2, "", true, [](V v) { EXPECT_EQ(v.nvGraphic, 6); }},
        {3, "2", true, [](V v) { EXPECT_EQ(v.paperWidth * 10 + v.columnChoice, 10); }},
        {3, "3", true, [](V v) { EXPECT_EQ(v.paperWidth * 10 + v.columnChoice, 11); }},
        {3, "6", true, [](V v) { EXPECT_EQ(v.paperWidth * 10 + v.columnChoice, -1); }},
        {3, "5", false, nullptr},
        {116, "1", true, [](V v) { EXPECT_EQ(v.paperType, 0); }},
        {116, "257", true, [](V v) { EXPECT_EQ(v.paperType, 1); }},
        {116, "256", false, nullptr},
        {116, "11", false, nullptr},
        {118, "70", true, [](V v) { EXPECT_EQ(v.twoColorDensity, 0); }},
        {118, "100", true, [](V v) { EXPECT_EQ(v.twoColorDensity, 2); }},
        {118, "", true, [](V v) { EXPECT_EQ(v.twoColorDensity, 1); }},
        {242, "17", true, [](V v) { EXPECT_EQ(v.waterMark * 1000 + v.imageNumber, 1007); }},
        {242, "1", true, [](V v) { EXPECT_EQ(v.waterMark * 1000 + v.imageNumber, 1000); }},
        {242, "1999", true, [](V v) { EXPECT_EQ(v.imageNumber, 999); }},
        {242, "0", true, [](V v) { EXPECT_EQ(v.waterMark * 1000 + v.imageNumber, 42); }},
        {242, "7", false, nullptr},
        {243, "112", true, [](V v) { EXPECT_EQ(v.cuttingAdjust * 1000 + v.lines, 1012); }},
        {243, "05", true, [](V v) { EXPECT_EQ(v.cuttingAdjust * 1000 + v.lines, 42); }},
        {244, "1", true, [](V v) { EXPECT_EQ(v.drawerWithCutting, 1); }},
        {244, "2", false, nullptr},
        {245, "23", true, [](V v) { EXPECT_EQ(v.bellType * 10 + v.bellLength, 12); }},
        {245, "93", true, [](V v) { EXPECT_EQ(v.bellType * 10 + v.bellLength, 42); }},
        {245, "1", true, [](V v) { EXPECT_EQ(v.bellLength, -1); }},
        {245, "19", true, [](V v) { EXPECT_EQ(v.bellLength, -1); }},
        {246, "254", true, [](V v) { EXPECT_EQ(v.codePage, 29); }},
        {246, "16", true, [](V v) { EXPECT_EQ(v.codePage, 7); }},
        {246, "7", true, [](V v) { EXPECT_EQ(v.codePage, -1); }},
        {246, "270", true, [](V v) { EXPECT_EQ(v.codePage, -1); }},
        {247, "1", true, [](V v) { EXPECT_EQ(v.cuttingMode, 1); }},
        {248, "1", true, [](V v) { EXPECT_EQ(v.boldKoreanFont, 0); }},
        {248, "0", true, [](V v) { EXPECT_EQ(v.boldKoreanFont, 1); }},
        {249, "150", true, [](V v) { EXPECT_EQ(v.printSpeed, 3); }},
        {249, "180", true, [](V v) { EXPECT_EQ(v.printSpeed, 2); }},
        {249, "200", true, [](V v) { EXPECT_EQ(v.printSpeed, 1); }},
        {249, "175", true, [](V v) { EXPECT_EQ(v.printSpeed, 0); }},
        {250, "144", true, [](V v) { EXPECT_EQ(v.leftMargin, 300); }},
        {250, "20", true, [](V v) { EXPECT_EQ(v.leftMargin, 512); }},
        {250, "5", true, [](V v) { EXPECT_EQ(v.leftMargin, 5); }},
        {250, "0255", true, [](V v) { EXPECT_EQ(v.leftMargin, 255); }},
        {250, "1100", true, [](V v) { EXPECT_EQ(v.leftMargin, 356); }},
        {250, "255", true, [](V v) { EXPECT_EQ(v.leftMargin, 567); }},  // refused on write
        {251, "1", true, [](V v) { EXPECT_EQ(v.drawerInSelfTest, 1); }},
        {251, "x", true, [](V v) { EXPECT_EQ(v.drawerInSelfTest, 0); }},
        {252, "64", true, [](V v) { EXPECT_EQ(v.receiveBuffer, 0); }},
        {252, "32", true, [](V v) { EXPECT_EQ(v.receiveBuffer, 1); }},
        {252, "20", true, [](V v) { EXPECT_EQ(v.receiveBuffer, 2); }},
        {252, "04", true, [](V v) { EXPECT_EQ(v.receiveBuffer, 3); }},
        {252, "4", true, [](V v) { EXPECT_EQ(v.receiveBuffer, 3); }},
        {252, "4K", true, [](V v) { EXPECT_EQ(v.receiveBuffer, 3); }},
        {252, "4KB", false, nullptr},
        {252, "16", false, nullptr},
        {253, "0", true, [](V v) { EXPECT_EQ(v.stopBit, 0); }},
        {253, "1", true, [](V v) { EXPECT_EQ(v.stopBit, 1); }},
        {253, "", true, [](V v) { EXPECT_EQ(v.stopBit, 1); }},
        {255, "255", true, [](V v) { EXPECT_EQ(v.setupCode, "FF"); }},
        {255, "0", true, [](V v) { EXPECT_EQ(v.setupCode, "0"); }},
        {255, "-1", true, [](V v) { EXPECT_EQ(v.setupCode, "FFFFFFFF"); }},
        {255, "4294967295", true, [](V v) { EXPECT_EQ(v.setupCode, "FFFFFFFF"); }},
        {255, "12abc", true, [](V v) { EXPECT_EQ(v.setupCode, "C"); }},
        {123, "1", false, nullptr},
        {204, "1", false, nullptr},
    };
    for (const ApplyCase& c : cases) {
        SetupValues values;
        values.imageNumber = 42;
        values.lines = 42;
        const bool applied = ApplyReply(values, SetupReply{c.number, c.text});
        SCOPED_TRACE(std::to_string(c.number) + " \"" + c.text + "\"");
        EXPECT_EQ(applied, c.applied);
        EXPECT_EQ(values.received[static_cast<std::size_t>(c.number)], c.applied);
        EXPECT_EQ(MapReply(SetupReply{c.number, c.text}).has_value(), c.applied);
        if (c.check) c.check(values);
    }
}

TEST(ApplyReply, IgnoredReplyChangesNothing) {
    SetupValues values;
    values.paperType = 1;
    EXPECT_FALSE(ApplyReply(values, SetupReply{116, "256"}));
    EXPECT_EQ(values.paperType, 1);
}

TEST(ApplyReply, LongTextsAreCutToTheSettingBuffer) {
    // 40 digits: the margin text is cut to 15 characters and the value saturates instead of
    // overflowing; the write then refuses it.
    const std::string digits(40, '9');
    const auto mapped = MapReply(SetupReply{250, digits});
    ASSERT_TRUE(mapped);
    EXPECT_EQ(mapped->text.size(), kSettingTextLength);
    SetupValues values;
    ASSERT_TRUE(ApplyReply(values, SetupReply{250, digits}));
    EXPECT_GT(values.leftMargin, 512);
    ASSERT_TRUE(ApplyReply(values, SetupReply{242, "1" + digits}));
    EXPECT_GT(values.imageNumber, 255);
    // Settings without the buffer keep their text.
    EXPECT_EQ(MapReply(SetupReply{255, digits})->text.size(), digits.size());
}

TEST(ApplyReply, ParsedReplyReachesTheValues) {
    SetupReplyParser parser;
    SetupValues values;
    for (const SetupReply& r : FeedAll(parser,
                                       "\x37\x27"
                                       "250\x1F"
                                       "144" +
                                           std::string(1, '\0')))
        ApplyReply(values, r);
    EXPECT_EQ(values.leftMargin, 300);
    EXPECT_TRUE(values.received[250]);
}

}  // namespace
}  // namespace kp70
