// kp70ctl firmware without a printer: image checks, the refusals before anything is sent,
// and downloads into a print file (what a printer would have received).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/app/VirtualClock.h"
#include "support/CliRunner.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/FirmwareImages.h"
#include "support/TempDir.h"

namespace kp70 {
namespace {

using test::CliRun;

class FirmwareCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteBytes(Path("fw.SHC"), test::MakeImage(0));
        test::WriteBytes(Path("boot.SHC"), test::MakeImage(3));
        test::WriteBytes(Path("t10.bin"), test::MakeTalvo10Image());
    }
    CliRun Run(std::vector<std::string> args) {
        return test::RunKp70ctl(std::move(args), m_dir.File("kp70tool.INI"),
                                m_dir.File("error.log"), &m_clock, &m_devices);
    }
    std::string Path(const char* name) const { return m_dir.File(name); }

    test::TempDir m_dir;
    VirtualClock m_clock;
    test::FakeDeviceEnumerator m_devices;
};

TEST_F(FirmwareCommandsTest, CheckListsTheModelsAreasWithTheirChecksums) {
    CliRun run = Run({"firmware", "check", Path("boot.SHC"), "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    nlohmann::json result = nlohmann::json::parse(run.out);
    EXPECT_EQ(result["boot"], "permitted");
    ASSERT_EQ(result["areas"].size(), 5u);
    EXPECT_EQ(result["areas"][0]["area"], "program");
    EXPECT_EQ(result["areas"][0]["offset"], 0x400000);
    const std::vector<std::uint8_t> image = test::MakeImage(3);
    const std::uint16_t sum = test::Sum16(image.data() + 0x400000, 0xD0000 - 10);
    char text[8];
    std::snprintf(text, sizeof text, "%X", sum);
    EXPECT_EQ(result["areas"][0]["checksum"], text);
    EXPECT_EQ(result["areas"][4]["service"], true);

    // A TALVO30 printer (model code 5): no LCD font, its own program area; the Boot area is
    // not listed when the image does not permit it.
    run = Run({"firmware", "check", Path("fw.SHC"), "--device", "TALVO30 S", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    result = nlohmann::json::parse(run.out);
    EXPECT_EQ(result["boot"], "not permitted");
    std::vector<std::string> areas;
    for (const auto& area : result["areas"]) areas.push_back(area["area"]);
    EXPECT_EQ(areas, (std::vector<std::string>{"program", "ext-font", "download"}));
    EXPECT_EQ(result["areas"][0]["length"], 622592);
}

TEST_F(FirmwareCommandsTest, CheckRefusesWhatTheScreenRefuses) {
    test::WriteBytes(Path("short.SHC"), std::vector<std::uint8_t>(8388607, 0));
    test::WriteBytes(Path("unsigned.SHC"), test::MakeImage(1, false));
    const struct {
        const char* file;
        const char* message;
    } cases[] = {{"short.SHC", "FileSize (8388607 bytes) Error!"},
                 {"unsigned.SHC", "Wrong File!"},
                 {"missing.SHC", "ERROR : File Open"}};
    for (const auto& c : cases) {
        const CliRun run = Run({"firmware", "check", Path(c.file)});
        EXPECT_EQ(run.status, 1) << c.file;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty());
    }
}

TEST_F(FirmwareCommandsTest, DownloadIntoAFileWritesTheAreaPacket) {
    const std::string out = Path("fw.prn");
    const CliRun run = Run({"firmware", "download", Path("fw.SHC"), "--area", "download",
                            "--service", "--yes", "--file", out});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string written = test::ReadFile(out);
    const std::vector<std::uint8_t> image = test::MakeImage(0);
    ASSERT_EQ(written.size(), 0x18000u);
    EXPECT_EQ(written.substr(0, 8), std::string("\x01\x11\x44\x30\x00\x80\x01\x00", 8));
    EXPECT_EQ(written.substr(10),
              std::string(image.begin() + 0x4D0000, image.begin() + 0x4D0000 + 0x18000 - 10));
    EXPECT_NE(run.out.find("FileSize : 98304 bytes"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Update Complete."), std::string::npos);
    EXPECT_NE(run.err.find("Are you sure the Downloader area download? Yes (--yes)"),
              std::string::npos);
    // The port's settling steps end short of the bar's end.
    EXPECT_NE(run.err.find("KP 70 Tool : Firmware Download - 98 %\n"), std::string::npos);
    EXPECT_EQ(run.err.find("- 99 %"), std::string::npos);
    EXPECT_NE(test::ReadFile(Path("kp70tool.INI")).find("FILE=fw.SHC"), std::string::npos);
}

TEST_F(FirmwareCommandsTest, DownloadRefusesAreasTheScreenWouldNotOffer) {
    const std::string out = Path("fw.prn");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{"--area", "lcd-font", "--device", "TALVO30 S"}, 2, "LCD font"},
        {{"--area", "download"}, 2, "--service"},
        {{"--area", "boot", "--service"}, 1, "does not permit the Boot area"},
        {{"--area", "ext-font"}, 2, "--yes answers Yes"},
        {{"--area", "program", "--device", "TALVO10 S"}, 2, "firmware talvo10"},
        {{"--area", "flash"}, 2, "--area"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"firmware", "download", Path("fw.SHC"), "--file", out};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, c.status) << c.args[1];
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(test::ReadFile(out).size(), 0u) << c.args[1];
    }
}

TEST_F(FirmwareCommandsTest, Talvo10IntoAFileWritesEraseAndDataPackets) {
    const std::string out = Path("t10.prn");
    CliRun run = Run({"firmware", "talvo10", Path("t10.bin"), "--area", "boot", "--yes", "--device",
                      "TALVO10 S", "--file", out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "COMPLETED\n");
    const std::string written = test::ReadFile(out);
    ASSERT_EQ(written.size(), 10u + 128u * 522u);
    EXPECT_EQ(written.substr(0, 10), std::string("\x40\xF2\x22\x23\0\0\0\0\0\0", 10));
    EXPECT_NE(run.err.find("Writing...(200000)"), std::string::npos);

    run = Run({"firmware", "talvo10", Path("t10.bin"), "--area", "boot", "--yes", "--file", out});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("TALVO10 printers"), std::string::npos);
}

}  // namespace
}  // namespace kp70
