// The virtual printer's user-setting memory, driven with literal bytes (not with the tool's
// own command builders, so the two readings of the protocol stay independent).
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "sim/Printer.h"
#include "support/TempDir.h"

namespace kp70sim {
namespace {

class RecordingLink : public LinkActions {
public:
    const std::string& LinkName() const override { return m_name; }
    void Reply(const Bytes& bytes) override { replies.push_back(bytes); }
    void CloseLink() override { ++closes; }
    void Restart(int deafMs) override { restarts.push_back(deafMs); }
    void GoSilent(int) override {}

    std::vector<Bytes> replies;
    std::vector<int> restarts;
    int closes = 0;

private:
    std::string m_name = "pty";
};

const Bytes kEnter = {0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 'I', 'N'};
const Bytes kLeave = {0x1D, 0x28, 0x45, 0x04, 0x00, 0x02, 'O', 'U', 'T'};

Bytes Ask(int n) {
    return {0x1D, 0x28, 0x45, 0x02, 0x00, 0x06, static_cast<std::uint8_t>(n)};
}

Bytes Block(const Bytes& items) {
    Bytes b = {0x1D, 0x28, 0x45, static_cast<std::uint8_t>(items.size() + 1), 0x00, 0x05};
    b.insert(b.end(), items.begin(), items.end());
    return b;
}

std::string AnswerText(const Bytes& reply) {
    // "7" 27 digits 1F text 00 -> "digits=text"
    if (reply.size() < 4 || reply[0] != 0x37 || reply[1] != 0x27 || reply.back() != 0x00)
        return "malformed";
    std::string s(reply.begin() + 2, reply.end() - 1);
    const auto sep = s.find('\x1F');
    if (sep == std::string::npos) return "malformed";
    return s.substr(0, sep) + "=" + s.substr(sep + 1);
}

struct SimRig {
    explicit SimRig(SimOptions options = {}) : printer(Prepare(std::move(options))) {
        std::string why;
        printer.LoadState(why);
        session = std::make_unique<PrinterSession>(printer);
    }
    SimOptions Prepare(SimOptions options) {
        if (options.stateFile.empty()) options.stateFile = dir.File("state.json");
        options.outDir = dir.Path().string();
        return options;
    }
    void Feed(const Bytes& bytes) { session->Feed(bytes.data(), bytes.size(), link); }
    std::string Read(int n) {
        link.replies.clear();
        Feed(Ask(n));
        return link.replies.size() == 1 ? AnswerText(link.replies[0]) : "no answer";
    }
    void Write(const Bytes& items) {
        Feed(kEnter);
        Feed(Block(items));
        Feed(kLeave);
        std::string why;
        printer.SaveStateIfChanged(why);
        session = std::make_unique<PrinterSession>(printer);  // the printer reset
    }
    nlohmann::json Stored() { return printer.State("user-settings"); }

    kp70::test::TempDir dir;
    Printer printer;
    RecordingLink link;
    std::unique_ptr<PrinterSession> session;
};

TEST(SimUserSettings, FreshPrinterReportsItsFactorySettings) {
    SimRig rig;
    EXPECT_EQ(rig.Read(250), "250=00");
    EXPECT_EQ(rig.Read(3), "3=6");
    EXPECT_EQ(rig.Read(116), "116=1");
    EXPECT_EQ(rig.Read(242), "242=0");
    EXPECT_EQ(rig.Read(252), "252=04");
    EXPECT_EQ(rig.Read(2), "2=7");
    EXPECT_EQ(rig.Read(255), "255=0");
    EXPECT_EQ(rig.Read(204), "no answer");  // written, never reported
}

TEST(SimUserSettings, WrittenItemsAreReportedInThePrintersForms) {
    SimRig rig;
    rig.Write({0x74, 0x01, 0x01, 0x76, 0x46, 0x00,  // 2Color, LIGHT
               0xF2, 0x00, 0x07,                    // water mark image 7
               0xF3, 0x01, 0x0C,                    // cut 12 lines later
               0xF5, 0x02, 0x05,                    // Melody 1, 5 times
               0x03, 0x03, 0x00,                    // 58mm, 32 columns
               0xFD, 0x01, 0x01,                    // two stop bits
               0xFC, '2',  '0',                     // 20 KB receive buffer
               0xFA, 0x2C, 0x01,                    // margin 300
               0xFF, 0x34, 0x12, 0x00, 0x00, 0x04});
    EXPECT_EQ(rig.link.restarts, (std::vector<int>{3000}));
    EXPECT_EQ(rig.link.closes, 0);
    EXPECT_EQ(rig.Read(250), "250=144");
    EXPECT_EQ(rig.Read(116), "116=257");
    EXPECT_EQ(rig.Read(118), "118=70");
    EXPECT_EQ(rig.Read(242), "242=17");
    EXPECT_EQ(rig.Read(243), "243=112");
    EXPECT_EQ(rig.Read(245), "245=25");
    EXPECT_EQ(rig.Read(3), "3=3");
    EXPECT_EQ(rig.Read(253), "253=1");
    EXPECT_EQ(rig.Read(252), "252=20");
    EXPECT_EQ(rig.Read(255), "255=4660");
    const nlohmann::json stored = rig.Stored();
    EXPECT_EQ(stored["leftMargin"], 300);
    EXPECT_EQ(stored["paper"], "58mm-32");
    EXPECT_EQ(stored["waterMarkImage"], 7);
}

TEST(SimUserSettings, MarginHighByteFirst) {
    for (auto [lo, hi, text] : {std::tuple{0x00, 0x02, "20"}, std::tuple{0x05, 0x00, "05"},
                                std::tuple{0xFF, 0x00, "0255"}}) {
        SimRig rig;
        rig.Write({0xFA, static_cast<std::uint8_t>(lo), static_cast<std::uint8_t>(hi)});
        EXPECT_EQ(rig.Read(250), std::string("250=") + text);
    }
}

TEST(SimUserSettings, MalformedBlocksChangeNothing) {
    const Bytes bad[] = {
        {0xFA, 0x2C, 0x01, 0x99, 0x00, 0x00},  // unknown setting after a good item
        {0xFA, 0x01, 0x03},                    // margin 769
        {0xFF, 0x01, 0x00, 0x00, 0x00, 0x05},  // code item without its 04
        {0xF3, 0x00, 0x05},                    // adjustment off with lines
        {0xFA, 0x2C},                          // cut short
        {0xFC, '1', '6'},                      // no such receive buffer
    };
    for (const Bytes& items : bad) {
        SimRig rig;
        rig.Write(items);
        EXPECT_EQ(rig.Read(250), "250=00");
        EXPECT_EQ(rig.Stored()["leftMargin"], 0);
    }
    // Items outside user-setting mode are refused too.
    SimRig rig;
    rig.Feed(Block({0xFA, 0x2C, 0x01}));
    EXPECT_EQ(rig.Read(250), "250=00");
}

TEST(SimUserSettings, CommandsSplitAnywhereAreDecoded) {
    SimRig rig;
    Bytes all = kEnter;
    const Bytes block = Block({0xF6, 0x10, 0x00});
    all.insert(all.end(), block.begin(), block.end());
    all.insert(all.end(), kLeave.begin(), kLeave.end());
    for (std::uint8_t b : all) rig.Feed({b});
    rig.session = std::make_unique<PrinterSession>(rig.printer);
    const Bytes ask = Ask(246);
    rig.link.replies.clear();
    rig.Feed(Bytes(ask.begin(), ask.begin() + 3));
    rig.Feed(Bytes(ask.begin() + 3, ask.end()));
    ASSERT_EQ(rig.link.replies.size(), 1u);
    EXPECT_EQ(AnswerText(rig.link.replies[0]), "246=16");
}

TEST(SimUserSettings, UsbModeChangeRestartsAsAnotherDevice) {
    SimRig rig;
    rig.Write({0xD2, 0x02, 0x00});
    EXPECT_EQ(rig.link.closes, 1);
    EXPECT_EQ(rig.Stored()["usbMode"], "COM");
    rig.Write({0xD2, 0x02, 0x00});  // no change this time
    EXPECT_EQ(rig.link.closes, 1);
}

TEST(SimUserSettings, SettingsPersistInTheStateFile) {
    kp70::test::TempDir keep;
    SimOptions options;
    options.stateFile = keep.File("state.json");
    {
        SimRig rig(options);
        rig.Write({0xF9, 0x96, 0x00});
    }
    std::ifstream in(options.stateFile);
    const nlohmann::json file = nlohmann::json::parse(in);
    EXPECT_EQ(file["user-settings"]["printSpeed"], 150);
    SimRig again(options);
    EXPECT_EQ(again.Read(249), "249=150");
}

TEST(SimUserSettings, GarbageFaultSpoilsTheValues) {
    SimOptions options;
    options.faults.garbage = true;
    SimRig rig(options);
    EXPECT_EQ(rig.Read(250), "250=?\x7F#");
}

TEST(SimUserSettings, TestPageIsRecorded) {
    SimRig rig;
    Bytes page = {0x1B, 0x40};
    const std::string title = "USER SETUP UTILITY TEST PRINT!\n";
    page.insert(page.end(), title.begin(), title.end());
    page.push_back(0x00);
    for (std::uint8_t b : {0xC7, 0xD1, 0xB1, 0xDB, 0x0A, 0x00, 0x1B, 0x69}) page.push_back(b);
    rig.Feed(page);
    const nlohmann::json record = rig.printer.State("test-page");
    EXPECT_EQ(record["count"], 1);
    EXPECT_EQ(record["koreanLine"], true);
    EXPECT_TRUE(std::ifstream(rig.dir.File("test-page-1.bin")).good());
}

}  // namespace
}  // namespace kp70sim
