// kp70ctl setup set into a print file: the changes go through the setting rules in the
// screen's order, with the model's and the questions' refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "core/app/VirtualClock.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/TempDir.h"

namespace kp70::test {
namespace {

class SetupCommandsTest : public ::testing::Test {
protected:
    int Set(std::vector<std::string> args) {
        args.insert(args.begin(), {"kp70ctl", "setup", "set", "--file", Path()});
        std::vector<const char*> argv;
        for (const auto& a : args) argv.push_back(a.c_str());
        out.str("");
        err.str("");
        CliContext context{out,    err,     {}, dir.File("kp70tool.INI"), dir.File("error.log"),
                           &clock, &devices};
        return RunCli(static_cast<int>(argv.size()), argv.data(), context);
    }
    std::string Path() const { return dir.File("setup.prn"); }
    // The items of the written block between its header and the margin and code items.
    std::string Items() const {
        const std::string file = ReadFile(Path());
        const std::size_t at = file.find("\x1D\x28\x45", 1);  // after enter user setting
        return at == std::string::npos || file.size() < at + 6 + 9 + 9
                   ? std::string()
                   : file.substr(at + 6, file.size() - at - 6 - 9 - 9);
    }

    TempDir dir;
    VirtualClock clock;
    FakeDeviceEnumerator devices;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(SetupCommandsTest, ChangesFollowTheScreensOrderAndRules) {
    // The density depends on 2Color paper: it is applied after the paper type whatever the
    // command line's order, and 2Color's MEDIUM does not override it.
    ASSERT_EQ(Set({"two-color-density=dark", "paper-type=2color"}), 0) << err.str();
    EXPECT_EQ(Items(), std::string("\x74\x01\x01\x76\x64\x00", 6));

    // The water mark question: refused without --yes, answered Yes with it (One-color).
    std::filesystem::remove(Path());
    EXPECT_EQ(Set({"water-mark=enable", "paper-type=2color"}), 2);
    EXPECT_NE(err.str().find("Two-color print mode.\nSelect One-color mode?\n"), std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("water-mark=enable asks this question; --yes answers Yes; nothing "
                             "written"),
              std::string::npos)
        << err.str();
    EXPECT_FALSE(std::filesystem::exists(Path()));
    ASSERT_EQ(Set({"water-mark=enable", "paper-type=2color", "--yes"}), 0) << err.str();
    EXPECT_EQ(Items(), std::string("\x74\x01\x00\x76\x55\x00\xF2\x00\x01", 9));
}

TEST_F(SetupCommandsTest, TheModelOfDeviceDecidesWhatCanBeChanged) {
    EXPECT_EQ(Set({"sleep-mode=5", "--device", "MX-5100 S"}), 2);
    EXPECT_NE(err.str().find("\"Sleep mode\" (sleep-mode) cannot be changed on this printer "
                             "model.\nkp70ctl setup set: sleep-mode=5 refused; nothing written"),
              std::string::npos)
        << err.str();
    EXPECT_FALSE(std::filesystem::exists(Path()));
    ASSERT_EQ(Set({"sleep-mode=5"}), 0) << err.str();  // "KP70 S"
    EXPECT_EQ(Items(), std::string("\xD4\x01\x00", 3));
}

}  // namespace
}  // namespace kp70::test
