#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "core/app/VirtualClock.h"
#include "support/BmpBuilder.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/TempDir.h"

namespace kp70::test {
namespace {

class PortsCommandsTest : public ::testing::Test {
protected:
    int Run(std::vector<const char*> args) {
        args.insert(args.begin(), "kp70ctl");
        out.str("");
        err.str("");
        CliContext context{out,    err,     {}, dir.File("kp70tool.INI"), dir.File("error.log"),
                           &clock, &devices};
        context.catalogue.SelectLanguage(korean);
        return RunCli(static_cast<int>(args.size()), args.data(), context);
    }

    // A serial port, a DEVICE entry, a listed logo and a firmware image whose names hold
    // `odd`; returns the image's path.
    std::string NamesHolding(const std::string& odd) {
        devices.serial = {{"/dev/tty" + odd}};
        const std::string bitmap = WriteBmp(dir, "logo " + odd + ".bmp", BmpSpec{});
        const std::string image = dir.File("image " + odd + ".bin");
        WriteFile(image, std::string(1024, '\0'));
        WriteFile(dir.File("kp70tool.INI"),
                  "[DEVICELIST]\r\na=" + odd + " S\r\n[LOGO]\r\nLogofile1=" + bitmap + "\r\n");
        return image;
    }

    TempDir dir;
    VirtualClock clock;
    FakeDeviceEnumerator devices;
    bool korean = false;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(PortsCommandsTest, PortsSaysWhichGroupAnUnopenableDeviceNeeds) {
    devices.serial = {{"/dev/ttyUSB0", true, 0x5A3D, 0x3011}, {"/dev/ttyS0"}};
    devices.parallel = {"/dev/lp0"};
    devices.usb = {{"/dev/usb/lp0", "USB\\VID_5A3D&PID_3012"}};
    devices.unopenable = {"/dev/ttyUSB0", "/dev/usb/lp0"};

    ASSERT_EQ(Run({"ports"}), 0) << err.str();
    EXPECT_EQ(out.str(),
              "Serial ports:\n"
              "  /dev/ttyS0  can be opened\n"
              "  /dev/ttyUSB0  USB\\VID_5A3D&PID_3011  cannot be opened: permission denied; "
              "add your user to the group dialout (sudo usermod -aG dialout $USER) and log in "
              "again\n"
              "Parallel ports:\n"
              "  /dev/lp0  can be opened\n"
              "USB printers:\n"
              "  /dev/usb/lp0  USB\\VID_5A3D&PID_3012  cannot be opened: permission denied; "
              "add your user to the group lp (sudo usermod -aG lp $USER) and log in again\n");

    ASSERT_EQ(Run({"ports", "--json"}), 0);
    const auto json = nlohmann::json::parse(out.str());
    ASSERT_EQ(json["serial"].size(), 2u);
    EXPECT_EQ(json["serial"][1]["path"], "/dev/ttyUSB0");
    EXPECT_EQ(json["serial"][1]["hardwareId"], "USB\\VID_5A3D&PID_3011");
    EXPECT_EQ(json["serial"][1]["canOpen"], false);
    EXPECT_EQ(json["serial"][1]["group"], "dialout");
    EXPECT_TRUE(json["serial"][0]["hardwareId"].is_null());
    EXPECT_TRUE(json["serial"][0]["group"].is_null());
    EXPECT_EQ(json["parallel"][0]["canOpen"], true);
    EXPECT_EQ(json["usb"][0]["group"], "lp");
    EXPECT_EQ(json["usb"][0]["error"], "permission denied");
}

TEST_F(PortsCommandsTest, PortsWithNothingAttachedSaysNone) {
    ASSERT_EQ(Run({"ports"}), 0);
    EXPECT_EQ(out.str(),
              "Serial ports:\n  (none)\nParallel ports:\n  (none)\nUSB printers:\n  (none)\n");
}

TEST_F(PortsCommandsTest, DevicesListsProfileEntriesFirstWithTheirCodes) {
    WriteFile(dir.File("kp70tool.INI"),
              "[DEVICELIST]\r\n=T40 S\r\nskipped=\r\nb=TALVO10 U-II\r\nc=Printer \"X\" P\r\n");
    ASSERT_EQ(Run({"devices", "--json"}), 0) << err.str();
    const auto json = nlohmann::json::parse(out.str());
    struct Row {
        const char* name;
        int selection, ok, interface;
    };
    const Row expected[] = {
        {"T40 S", 4, 1, 1},     {"TALVO10 U-II", 2, 2, 0}, {"Printer \"X\" P", 0, 1, 2},
        {"KP70 S", 6, 6, 1},    {"KP70 P", 6, 6, 2},       {"KP70 U-I", 6, 6, 3},
        {"KP70 U-II", 6, 6, 4}, {"KP70 E-II", 6, 6, 6},    {"KP70 W", 6, 6, 7},
    };
    ASSERT_EQ(json.size(), std::size(expected));
    for (std::size_t i = 0; i < json.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(json[i].size(), 4u);
        EXPECT_EQ(json[i]["name"], expected[i].name);
        EXPECT_EQ(json[i]["selection"], expected[i].selection);
        EXPECT_EQ(json[i]["ok"], expected[i].ok);
        EXPECT_EQ(json[i]["interface"], expected[i].interface);
    }

    ASSERT_EQ(Run({"devices"}), 0);
    std::istringstream lines(out.str());
    std::string header, first, second, third;
    std::getline(lines, header);
    std::getline(lines, first);
    std::getline(lines, second);
    std::getline(lines, third);
    EXPECT_EQ(header.rfind("DEVICE", 0), 0u);
    EXPECT_NE(header.find("selection  ok  interface"), std::string::npos);
    EXPECT_EQ(first, "T40 S          4          1   1 (serial)");
    EXPECT_NE(third.find("Invalid Device!"), std::string::npos);
}

TEST_F(PortsCommandsTest, DevicesWithoutAProfileGivesTheSixBuiltInEntries) {
    ASSERT_EQ(Run({"devices", "--json"}), 0);
    const auto json = nlohmann::json::parse(out.str());
    ASSERT_EQ(json.size(), 6u);
    EXPECT_EQ(json[0]["name"], "KP70 S");
}

TEST_F(PortsCommandsTest, HelpAndBadOptions) {
    for (const char* verb : {"ports", "devices"}) {
        SCOPED_TRACE(verb);
        EXPECT_EQ(Run({verb, "--help"}), 0);
        EXPECT_NE(out.str().find("--json"), std::string::npos);
        EXPECT_EQ(Run({verb, "--bogus"}), 2);
        EXPECT_NE(err.str().find("--bogus"), std::string::npos);
    }
}

// Every --json document parses, whatever the texts it carries hold: control characters, a
// quote, a backslash, non-ASCII, and a byte that is no UTF-8 (which becomes U+FFFD).
TEST_F(PortsCommandsTest, EveryJsonDocumentIsValidWhateverItsTextsHold) {
    const std::string image = NamesHolding("a\x01\x1f\t\"\\ \xC3\xA9 \xFF");
    struct Case {
        std::vector<const char*> args;
        std::string expected;  // a text of the document, as the reader gives it back
    };
    const std::string replaced = "a\x01\x1f\t\"\\ \xC3\xA9 \xEF\xBF\xBD";
    const Case cases[] = {
        {{"ports", "--json"}, "/dev/tty" + replaced},
        {{"devices", "--json"}, replaced + " S"},
        {{"logo", "list", "--json"}, "logo " + replaced + ".bmp"},
        {{"firmware", "check", image.c_str(), "--device", "TALVO10 S", "--json"},
         "image " + replaced + ".bin"},
    };
    for (const Case& c : cases) {
        Run(c.args);
        const std::string document = out.str();
        SCOPED_TRACE(std::string(c.args[0]) + " " + c.args[1] + ": " + document + err.str());
        nlohmann::json json;
        ASSERT_NO_THROW(json = nlohmann::json::parse(document));
        EXPECT_NE(json.dump().find(nlohmann::json(c.expected).dump(-1, ' ', false).substr(1)),
                  std::string::npos);
    }
}

// The same texts in the plain outputs (and a stored name's own messages) reach the terminal
// with every control character but line breaks and tabs shown as \xHH: a name cannot steer
// the terminal.
TEST_F(PortsCommandsTest, PlainOutputsShowControlCharactersVisibly) {
    const std::string image = NamesHolding("a\x1b[2J\x07\x7f\tb");
    const std::string shown = "a\\x1B[2J\\x07\\x7F\tb";
    const std::vector<std::vector<const char*>> verbs = {
        {"ports"},
        {"devices"},
        {"logo", "list"},
        {"firmware", "check", image.c_str(), "--device", "TALVO10 S"},
    };
    for (const auto& args : verbs) {
        Run(args);
        const std::string said = out.str() + err.str();
        SCOPED_TRACE(std::string(args[0]) + ": " + said);
        EXPECT_NE(said.find(shown), std::string::npos);
        EXPECT_EQ(said.find_first_of("\x1b\x07\x7f"), std::string::npos);
    }
}

}  // namespace
}  // namespace kp70::test
