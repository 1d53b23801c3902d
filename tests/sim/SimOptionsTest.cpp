#include <gtest/gtest.h>

#include <sstream>

#include "sim/Faults.h"
#include "sim/Hex.h"
#include "sim/SimOptions.h"
#include "support/TempDir.h"

namespace kp70sim {
namespace {

TEST(SimHex, ReadsEverySeparatorStyleAndRejectsBrokenText) {
    struct Case {
        const char* text;
        bool ok;
        Bytes bytes;
    };
    const Case cases[] = {
        {"1B 40", true, {0x1B, 0x40}},
        {"1b40ff", true, {0x1B, 0x40, 0xFF}},
        {"0x1B,0x40", true, {0x1B, 0x40}},
        {"1D:28:45", true, {0x1D, 0x28, 0x45}},
        {"", true, {}},
        {"1B4", false, {}},
        {"1G", false, {}},
        {"1 B", false, {}},
    };
    for (const auto& c : cases) {
        Bytes bytes{0x99};
        EXPECT_EQ(ParseHex(c.text, bytes), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(bytes, c.bytes) << c.text;
        }
    }
    const Bytes data{0x00, 0x1B, 0xAF};
    EXPECT_EQ(ToHex(data.data(), data.size()), "00 1B AF");
}

TEST(SimFaults, ParsesEverySpecAndExplainsBadOnes) {
    FaultSet faults;
    std::string why;
    for (const char* faultText :
         {"drop-after=12", "refuse", "silent", "nak-every=3", "late=250", "garbage", "keep-status",
          "stall-after=0", "nak-last", "repeat"}) {
        EXPECT_TRUE(ParseFault(faultText, faults, why)) << faultText << ": " << why;
    }
    EXPECT_EQ(faults.dropAfter, 12);
    EXPECT_TRUE(faults.refuse);
    EXPECT_TRUE(faults.silent);
    EXPECT_EQ(faults.nakEvery, 3);
    EXPECT_EQ(faults.lateMs, 250);
    EXPECT_TRUE(faults.garbage);
    EXPECT_TRUE(faults.keepStatus);
    EXPECT_EQ(faults.stallAfter, 0);
    EXPECT_TRUE(faults.nakLast);
    EXPECT_TRUE(faults.repeat);

    for (const char* faultText : {"drop-after", "drop-after=", "drop-after=0", "drop-after=-1",
                                  "drop-after=5x", "nak-every=0", "late=soon", "silent=1",
                                  "keep-status=1", "stall-after=-2", "repeat=2", "explode", ""}) {
        FaultSet untouched;
        why.clear();
        EXPECT_FALSE(ParseFault(faultText, untouched, why)) << faultText;
        EXPECT_FALSE(why.empty()) << faultText;
        EXPECT_EQ(untouched.dropAfter, -1) << faultText;
    }
}

// Runs the option parser on a command line given as one string.
ParseOutcome Parse(std::vector<std::string> args, SimOptions& options, std::string& err) {
    args.insert(args.begin(), "kp70sim");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    std::ostringstream out, errStream;
    const auto outcome =
        ParseSimOptions(static_cast<int>(argv.size()), argv.data(), options, out, errStream);
    err = errStream.str();
    return outcome;
}

TEST(SimOptions, DefaultsMatchTheDocumentedOnes) {
    SimOptions options;
    std::string err;
    ASSERT_EQ(Parse({}, options, err), ParseOutcome::Run) << err;
    EXPECT_EQ(options.tcpHost, "127.0.0.1");
    EXPECT_EQ(options.tcpPort, 6001);
    EXPECT_EQ(options.ptyPath, "/tmp/kp70sim/ttyKP70");
    EXPECT_TRUE(options.lptPath.empty());  // no parallel side unless asked for
    EXPECT_EQ(options.modelCode, 6);
    EXPECT_EQ(options.printers, 1);
    EXPECT_EQ(options.timeScale, 1.0);  // the printer's real pace
}

TEST(SimOptions, ReadsListenersFaultsAndReplies) {
    kp70::test::TempDir dir;
    kp70::test::WriteFile(dir.File("script"), "# answers\n\n 1D 49 45 = 5F 4B \n1B76=14\n");
    SimOptions options;
    std::string err;
    ASSERT_EQ(
        Parse({"--tcp",    "0.0.0.0:0",        "--pty",        "none",   "--lpt",   "/tmp/x/lpKP70",
               "--udp",    "127.255.255.255",  "--printers",   "3",      "--model", "2",
               "--fault",  "late=10",          "--fault",      "silent", "--reply", "1B40=0A",
               "--script", dir.File("script"), "--time-scale", "0.05"},
              options, err),
        ParseOutcome::Run)
        << err;
    EXPECT_EQ(options.tcpHost, "0.0.0.0");
    EXPECT_EQ(options.tcpPort, 0);
    EXPECT_FALSE(options.ptyEnabled);
    EXPECT_EQ(options.lptPath, "/tmp/x/lpKP70");
    EXPECT_EQ(options.udpAddress, "127.255.255.255");
    EXPECT_EQ(options.printers, 3);
    EXPECT_EQ(options.modelCode, 2);
    EXPECT_EQ(options.faults.lateMs, 10);
    EXPECT_TRUE(options.faults.silent);
    EXPECT_DOUBLE_EQ(options.timeScale, 0.05);
    ASSERT_EQ(options.replies.size(), 3u);
    EXPECT_EQ(options.replies[0].request, (Bytes{0x1B, 0x40}));
    EXPECT_EQ(options.replies[1].request, (Bytes{0x1D, 0x49, 0x45}));
    EXPECT_EQ(options.replies[1].reply, (Bytes{0x5F, 0x4B}));
    EXPECT_EQ(options.replies[2].reply, (Bytes{0x14}));
}

TEST(SimOptions, WrongCommandLinesAreUsageErrorsThatSayWhy) {
    kp70::test::TempDir dir;
    kp70::test::WriteFile(dir.File("bad-script"), "1B40=0A\nnot a rule\n");
    const std::vector<std::vector<std::string>> lines = {
        {"--tcp", "6001"},
        {"--tcp", "127.0.0.1:70000"},
        {"--tcp", ":6001"},
        {"--fault", "melt"},
        {"--reply", "1B40"},
        {"--reply", "1B40="},
        {"--reply", "zz=00"},
        {"--model", "9"},
        {"--script", dir.File("bad-script")},
        {"--script", dir.File("missing")},
        {"--unknown"},
        // A device is an absolute path, with one of the three kinds in front or none.
        {"--device", "dev/ttyGS0"},
        {"--device", "usb:"},
        {"--device", "scsi:/dev/sg0"},
        // A time scale slows nothing down and never stops time.
        {"--time-scale", "0"},
        {"--time-scale", "-0.5"},
        {"--time-scale", "1.5"},
        {"--time-scale", "nan"},
        {"--time-scale", "fast"},
    };
    for (const auto& line : lines) {
        SimOptions options;
        std::string err;
        const std::string label = line[0] + (line.size() > 1 ? " " + line[1] : "");
        EXPECT_EQ(Parse(line, options, err), ParseOutcome::Usage) << label;
        EXPECT_NE(err.find("kp70sim: "), std::string::npos) << label;
    }
    for (const char* scale : {"1", "0.001"}) {
        SimOptions options;
        std::string err;
        EXPECT_EQ(Parse({"--time-scale", scale}, options, err), ParseOutcome::Run) << err;
    }
    SimOptions options;
    std::string err;
    Parse({"--script", dir.File("bad-script")}, options, err);
    EXPECT_NE(err.find("bad-script:2:"), std::string::npos) << err;
}

}  // namespace
}  // namespace kp70sim
