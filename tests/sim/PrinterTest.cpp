#include <gtest/gtest.h>

#include "sim/Printer.h"
#include "support/TempDir.h"

namespace kp70sim {
namespace {

// Records what the modules asked of the link.
class RecordingLink : public LinkActions {
public:
    const std::string& LinkName() const override { return m_name; }
    void Reply(const Bytes& bytes) override { replies.push_back(bytes); }
    void CloseLink() override { ++closes; }
    void Restart(int) override {}
    void GoSilent(int) override {}

    std::vector<Bytes> replies;
    int closes = 0;

private:
    std::string m_name = "test";
};

Printer PrinterWithRules(std::vector<ReplyRule> rules) {
    SimOptions options;
    options.replies = std::move(rules);
    return Printer(options);
}

void FeedText(PrinterSession& session, const Bytes& bytes, LinkActions& link) {
    session.Feed(bytes.data(), bytes.size(), link);
}

TEST(SimScriptedReply, AnswersEachRequestOnceEvenAcrossChunkEdges) {
    Printer printer =
        PrinterWithRules({{{0x1B, 0x40}, {0x0A}}, {{0x1D, 0x49, 0x01}, {0x41, 0x42}}});
    PrinterSession session(printer);
    RecordingLink link;

    FeedText(session, {0x00, 0x1B}, link);
    EXPECT_TRUE(link.replies.empty());
    FeedText(session, {0x40, 0x1B, 0x40, 0x1D, 0x49}, link);
    FeedText(session, {0x01}, link);
    FeedText(session, {0x49, 0x01}, link);  // only the tail of a request: no answer
    ASSERT_EQ(link.replies.size(), 3u);
    EXPECT_EQ(link.replies[0], (Bytes{0x0A}));
    EXPECT_EQ(link.replies[1], (Bytes{0x0A}));
    EXPECT_EQ(link.replies[2], (Bytes{0x41, 0x42}));
}

TEST(SimScriptedReply, FirstGivenRuleWinsWhenTwoEndTogether) {
    Printer printer = PrinterWithRules({{{0x40}, {0x01}}, {{0x1B, 0x40}, {0x02}}});
    PrinterSession session(printer);
    RecordingLink link;
    FeedText(session, {0x1B, 0x40}, link);
    ASSERT_EQ(link.replies.size(), 1u);
    EXPECT_EQ(link.replies[0], (Bytes{0x01}));
}

TEST(SimScriptedReply, EachLinkMatchesOnItsOwn) {
    Printer printer = PrinterWithRules({{{0x1B, 0x40}, {0x0A}}});
    PrinterSession first(printer);
    PrinterSession second(printer);
    RecordingLink a, b;
    FeedText(first, {0x1B}, a);
    FeedText(second, {0x40}, b);
    EXPECT_TRUE(a.replies.empty());
    EXPECT_TRUE(b.replies.empty());
}

// GS ( fn pL pH and its pL + 256 pH bytes are skipped whole, so the commands after a
// user-setup read (GS ( E 02 00 06 n) still count: here an NV image definition.
TEST(SimNvGraphics, CommandsAfterGsParenthesisAreStillRead) {
    SimOptions options;
    Printer printer(options);
    PrinterSession session(printer);
    RecordingLink link;
    Bytes bytes = {0x1D, 0x28, 0x45, 0x02, 0x00, 0x06, 0x03,
                   0x1D, 0x28, 0x45, 0x02, 0x00, 0x06, 0x74};
    // FS q 1, one image of 8 x 8 dots.
    const Bytes define = {0x1C, 0x71, 0x01, 0x01, 0x00, 0x01, 0x00};
    bytes.insert(bytes.end(), define.begin(), define.end());
    bytes.insert(bytes.end(), 8, 0xAA);
    FeedText(session, bytes, link);
    ASSERT_TRUE(printer.State("nv").contains("images"));
    ASSERT_EQ(printer.State("nv")["images"].size(), 1u);
    EXPECT_EQ(printer.State("nv")["images"][0]["width"], 8);
    EXPECT_EQ(printer.State("nv")["images"][0]["height"], 8);
}

TEST(SimPrinterState, SectionsPersistThroughTheStateFile) {
    kp70::test::TempDir dir;
    SimOptions options;
    options.stateFile = dir.File("state.json");
    std::string why;
    {
        Printer printer(options);
        ASSERT_TRUE(printer.LoadState(why)) << why;  // no file yet: empty memory
        EXPECT_TRUE(printer.State("settings").empty());
        printer.State("settings")["speed"] = 3;
        printer.State("nv")["count"] = 2;
        printer.StateChanged();
        ASSERT_TRUE(printer.SaveStateIfChanged(why)) << why;
    }
    Printer again(options);
    ASSERT_TRUE(again.LoadState(why)) << why;
    EXPECT_EQ(again.State("settings")["speed"], 3);
    EXPECT_EQ(again.State("nv")["count"], 2);
    EXPECT_FALSE(std::filesystem::exists(dir.File("state.json.tmp")));
}

TEST(SimPrinterState, UnchangedStateIsNotWrittenAndBrokenFilesAreRefused) {
    kp70::test::TempDir dir;
    SimOptions options;
    options.stateFile = dir.File("state.json");
    std::string why;
    Printer printer(options);
    printer.State("settings");
    ASSERT_TRUE(printer.SaveStateIfChanged(why));
    EXPECT_FALSE(std::filesystem::exists(options.stateFile));

    for (const char* text : {"{ not json", "[1, 2]"}) {
        kp70::test::WriteFile(options.stateFile, text);
        Printer broken(options);
        why.clear();
        EXPECT_FALSE(broken.LoadState(why)) << text;
        EXPECT_NE(why.find(options.stateFile), std::string::npos) << why;
    }
}

}  // namespace
}  // namespace kp70sim
