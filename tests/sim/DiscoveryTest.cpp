#include "sim/Discovery.h"

#include <gtest/gtest.h>

#include <sstream>

#include "sim/Printer.h"

namespace kp70sim {
namespace {

SimOptions Options(int printers) {
    SimOptions options;
    options.udpAddress = "10.0.0.1";
    options.printers = printers;
    return options;
}

Bytes Frame(std::uint8_t command, std::uint8_t macLast, std::array<std::uint8_t, 4> address = {}) {
    NetFrame frame;
    frame.command = command;
    frame.settings.mac = {0x02, 0x5A, 0x3D, 0x00, 0x00, macLast};
    frame.settings.address = address;
    frame.settings.subnet = {255, 0, 0, 0};
    frame.settings.port = 9100;
    frame.settings.dhcp = true;
    return EncodeNetFrame(frame);
}

std::vector<DiscoveryResponder::Answer> Handle(DiscoveryResponder& responder, const Bytes& bytes) {
    return responder.Handle(bytes.data(), bytes.size(), "10.0.0.200", "10.0.0.255");
}

TEST(SimDiscovery, EveryPrinterAnswersASearchWithItsOwnSettings) {
    Printer printer(Options(3));
    std::ostringstream log;
    DiscoveryResponder responder(printer, log);
    std::string why;
    ASSERT_TRUE(responder.MakePrinters(why)) << why;
    const auto answers = Handle(responder, Frame(0x00, 0));
    ASSERT_EQ(answers.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const auto frame = DecodeNetFrame(answers[i].bytes.data(), answers[i].bytes.size());
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->command, 0x01);
        EXPECT_EQ(AddressText(frame->settings.address), "10.0.0." + std::to_string(i + 2));
        EXPECT_EQ(frame->settings.mac[5], i + 1);
        EXPECT_EQ(frame->settings.port, 6001);
        EXPECT_EQ(answers[i].to, "10.0.0.255");
    }
    // Datagrams that are no frames are not answered.
    Bytes shorter = Frame(0x00, 0);
    shorter.pop_back();
    EXPECT_TRUE(Handle(responder, shorter).empty());
    Bytes noTrailer = Frame(0x00, 0);
    noTrailer[34] = 0;
    EXPECT_TRUE(Handle(responder, noTrailer).empty());
}

TEST(SimDiscovery, ASetFrameTakesEffectWithItsEndFrameAndIsKept) {
    Printer printer(Options(2));
    std::ostringstream log;
    DiscoveryResponder responder(printer, log);
    std::string why;
    ASSERT_TRUE(responder.MakePrinters(why)) << why;

    EXPECT_TRUE(Handle(responder, Frame(0x04, 2, {10, 0, 0, 50})).empty()) << "no set frame yet";
    EXPECT_TRUE(Handle(responder, Frame(0x02, 9, {10, 0, 0, 50})).empty()) << "nobody's MAC";
    EXPECT_EQ(Handle(responder, Frame(0x02, 2, {10, 0, 0, 50})).size(), 1u);
    EXPECT_EQ(AddressText(responder.printers()[1].settings.address), "10.0.0.3");
    Handle(responder, Frame(0x04, 2, {10, 0, 0, 50}));
    const NetSettings& now = responder.printers()[1].settings;
    EXPECT_EQ(AddressText(now.address), "10.0.0.50");
    EXPECT_EQ(now.port, 9100);
    EXPECT_TRUE(now.dhcp);
    EXPECT_EQ(printer.State("network")["printers"][1]["address"], "10.0.0.50");

    // The next run starts from what was kept.
    DiscoveryResponder again(printer, log);
    ASSERT_TRUE(again.MakePrinters(why));
    EXPECT_EQ(again.printers()[1].settings, now);
    EXPECT_EQ(AddressText(again.printers()[0].settings.address), "10.0.0.2");
}

TEST(SimDiscovery, PrintersMustFitBelowDot254) {
    SimOptions options = Options(60);
    options.udpAddress = "127.0.0.200";
    Printer printer(options);
    std::ostringstream log;
    DiscoveryResponder responder(printer, log);
    std::string why;
    EXPECT_FALSE(responder.MakePrinters(why));
    EXPECT_NE(why.find("past 127.0.0.254"), std::string::npos) << why;
}

}  // namespace
}  // namespace kp70sim
