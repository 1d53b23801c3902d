// The connection options of kp70ctl's printer verbs: what each combination means for the
// settings the port layer opens, and which combinations are refused.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <filesystem>

#include "cli/Connection.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/ModelCatalogue.h"
#include "support/TempDir.h"

namespace kp70 {
namespace {

// Parses `args` as a verb with the connection options; false when CLI11 refused them.
bool ParseVerb(const std::vector<std::string>& args, ConnectionOptions& options) {
    CLI::App verb{"test"};
    AddConnectionOptions(verb, options);
    std::vector<const char*> argv{"test"};
    for (const auto& a : args) argv.push_back(a.c_str());
    try {
        verb.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError&) {
        return false;
    }
    return true;
}

struct Resolved {
    bool ok = false;
    PrinterChoice target;
    std::string why;
};

Resolved Resolve(const std::vector<std::string>& args) {
    ConnectionOptions options;
    Resolved r;
    if (!ParseVerb(args, options)) {
        r.why = "parse error";
        return r;
    }
    MessageCatalogue catalogue;
    r.ok = ResolveConnection(options, r.target, catalogue, r.why);
    return r;
}

TEST(ConnectionOptions, EachKindFillsTheSettingsTheConnectionScreenWould) {
    struct Case {
        std::vector<std::string> args;
        std::string entry;
        std::string portName;
        int baud, data, parity, stop, flow;
    };
    const Case cases[] = {
        // The connection screen's first items are the defaults.
        {{"--port", "/dev/ttyUSB0"}, "KP70 S", "/dev/ttyUSB0", 115200, 8, 0, 0, 1},
        {{"--port", "/dev/ttyS1", "--baud", "9600", "--data", "7", "--parity", "even", "--stop",
          "2", "--flow", "sw"},
         "KP70 S",
         "/dev/ttyS1",
         9600,
         7,
         2,
         2,
         2},
        {{"--port", "/dev/ttyACM0", "--parity", "odd", "--flow", "none"},
         "KP70 S",
         "/dev/ttyACM0",
         115200,
         8,
         1,
         0,
         3},
        {{"--port", "/dev/lp0"}, "KP70 P", "/dev/lp0", -1, -1, -1, 0, -1},
        {{"--port", "/dev/ttyUSB0", "--device", "KP70 U-I"},
         "KP70 U-I",
         "/dev/ttyUSB0",
         115200,
         8,
         0,
         0,
         1},
        {{"--usb"}, "KP70 U-II", "USB", -1, -1, -1, 0, -1},
        {{"--net", "10.0.0.7"}, "KP70 E-II", "ETHERNET_II", -1, -1, -1, 0, -1},
        {{"--net", "10.0.0.7", "--device", "KP70 W"}, "KP70 W", "ETHERNET_II", -1, -1, -1, 0, -1},
        {{"--file", "out.prn"}, "KP70 S", "FILE", -1, -1, -1, 0, -1},
        {{"--file", "out.prn", "--device", "TALVO10 S"}, "TALVO10 S", "FILE", -1, -1, -1, 0, -1},
    };
    for (const auto& c : cases) {
        const Resolved r = Resolve(c.args);
        ASSERT_TRUE(r.ok) << c.args[0] << " " << c.args[1] << ": " << r.why;
        const ConnectionSettings& s = r.target.settings;
        EXPECT_EQ(r.target.deviceEntry, c.entry) << c.args[1];
        EXPECT_EQ(s.modelCode, models::ClassifyAtOk(c.entry)) << c.args[1];
        EXPECT_EQ(s.portName, c.portName) << c.args[1];
        EXPECT_EQ(s.baudRate, c.baud) << c.args[1];
        EXPECT_EQ(s.dataBits, c.data) << c.args[1];
        EXPECT_EQ(s.parity, c.parity) << c.args[1];
        EXPECT_EQ(s.stopBits, c.stop) << c.args[1];
        EXPECT_EQ(s.flowControl, c.flow) << c.args[1];
    }
    EXPECT_EQ(Resolve({"--port", "/dev/ttyS0"}).target.settings.modelCode, 6);
    EXPECT_EQ(Resolve({"--file", "x", "--device", "TALVO10 S"}).target.settings.modelCode, 2);
    EXPECT_EQ(Resolve({"--file", "out.prn"}).target.filePath, "out.prn");
}

TEST(ConnectionOptions, NetworkAddressTakesAPortInTheDialogsRange) {
    struct Case {
        const char* net;
        bool ok;
        const char* host;
        int port;
    };
    const Case cases[] = {
        {"192.168.0.254", true, "192.168.0.254", 6001},
        {"127.0.0.1:9100", true, "127.0.0.1", 9100},
        {"printer.local:1024", true, "printer.local", 1024},
        {"127.0.0.1:65534", true, "127.0.0.1", 65534},
        {"127.0.0.1:515", true, "127.0.0.1", 515},
        {"127.0.0.1:1023", false, "", 0},
        {"127.0.0.1:65535", false, "", 0},
        {"127.0.0.1:", false, "", 0},
        {"127.0.0.1:60x", false, "", 0},
        {":6001", false, "", 0},
    };
    for (const auto& c : cases) {
        const Resolved r = Resolve({"--net", c.net});
        EXPECT_EQ(r.ok, c.ok) << c.net << ": " << r.why;
        if (c.ok) {
            EXPECT_EQ(r.target.settings.networkAddress, c.host) << c.net;
            EXPECT_EQ(r.target.settings.networkPort, c.port) << c.net;
            EXPECT_TRUE(r.target.IsNetwork());
        }
    }
    EXPECT_NE(Resolve({"--net", "127.0.0.1:80"}).why.find("1024 ~ 65534"), std::string::npos);
}

TEST(ConnectionOptions, WrongCombinationsAreRefusedWithAReason) {
    // Refused by the command-line parser itself.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--port", "/dev/ttyS0", "--usb"},
             {"--net", "1.2.3.4", "--file", "x"},
             {"--usb", "--baud", "9600"},
             {"--net", "1.2.3.4", "--flow", "hw"},
         }) {
        ConnectionOptions options;
        EXPECT_FALSE(ParseVerb(args, options)) << args[0] << " " << args[1];
    }
    // Refused when resolved, with a reason that says what to do.
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{}, "--port NAME, --usb, --net HOST[:PORT] or --file PATH"},
        {{"--port", "USB"}, "use --usb"},
        {{"--port", "FILE"}, "use --file"},
        {{"--port", "ETHERNET_II"}, "use --net"},
        {{"--port", "/nowhere/printer"}, "not a serial or parallel port"},
        {{"--port", "/dev/ttyS0", "--device", "KP70 E-II"}, "use --net"},
        {{"--port", "/dev/ttyS0", "--device", "KP70 P"}, "use --port"},
        {{"--usb", "--device", "KP70 S"}, "serial port"},
        {{"--net", "1.2.3.4", "--device", "KP70 U-II"}, "use --usb"},
        // What the connection screen does not offer, with its message.
        {{"--port", "/dev/ttyS0", "--baud", "1234"}, "Baudrate is not selected!"},
        {{"--port", "/dev/ttyS0", "--parity", "mark"}, "Parity type is not selected!"},
        {{"--port", "/dev/ttyS0", "--data", "9"}, "Data length is not selected!"},
        {{"--port", "/dev/ttyS0", "--stop", "3"}, "Stop Bit is not selected"},
        {{"--port", "/dev/ttyS0", "--device", "Shop printer"}, "Invalid Device!"},
    };
    for (const auto& c : cases) {
        const Resolved r = Resolve(c.args);
        EXPECT_FALSE(r.ok) << c.says;
        EXPECT_NE(r.why.find(c.says), std::string::npos) << r.why;
    }
}

TEST(ConnectionOptions, APtyLinkNamedAnyhowIsOpenedByItsTerminal) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);
    test::TempDir dir;
    const std::string link = dir.File("printer");
    std::filesystem::create_symlink(slave, link);
    const Resolved r = Resolve({"--port", link});
    ASSERT_TRUE(r.ok) << r.why;
    EXPECT_EQ(r.target.settings.portName, slave);
    EXPECT_EQ(AttachmentOfPort(r.target.settings.portName), Attachment::Serial);

    // A link whose own name says tty is kept as it is.
    const std::string ttyLink = dir.File("ttyKP70");
    std::filesystem::create_symlink(slave, ttyLink);
    EXPECT_EQ(Resolve({"--port", ttyLink}).target.settings.portName, ttyLink);
    close(master);
}

}  // namespace
}  // namespace kp70
