// kp70ctl firmware against the virtual printer running as a process, over a pseudo-terminal
// and over TCP, at the end-to-end pace: what the printer's flash holds afterwards must be
// exactly the image's slice, and a link that goes away mid-transfer must never end in a
// success message.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/CliRunner.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/FirmwareImages.h"
#include "support/ScaledClock.h"
#include "support/SimProcess.h"

namespace kp70 {
namespace {

using test::CliRun;
using test::SimProcess;

class FirmwareE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteBytes(m_dir.File("fw.SHC"), m_image);
        test::WriteBytes(m_dir.File("t10.bin"), m_talvo10);
    }

    bool Start(SimProcess& sim, std::vector<std::string> args = {}) {
        const auto pace = m_clock.SimArgs();
        args.insert(args.end(), pace.begin(), pace.end());
        return sim.Start(args);
    }

    CliRun Run(std::vector<std::string> args) {
        return test::RunKp70ctl(std::move(args), m_dir.File("kp70tool.INI"),
                                m_dir.File("error.log"), &m_clock, &m_devices);
    }

    static nlohmann::json Flash(const SimProcess& sim) {
        const std::string state = test::ReadFile(sim.StatePath());
        if (state.empty()) return nlohmann::json::object();
        return nlohmann::json::parse(state)["flash"];
    }
    // The printer's record of an area once it has one with `writes` writes: the tool may be
    // done sending before the printer has read the last bytes off the link.
    static nlohmann::json Written(const SimProcess& sim, const char* section, const char* area,
                                  int writes = 1) {
        nlohmann::json entry;
        test::WaitUntil(
            [&] {
                entry = Flash(sim)[section][area];
                return entry.is_object() && entry.value("writes", 1) >= writes;
            },
            std::chrono::milliseconds(10000));
        return entry;
    }

    // The printer's record of an area must match the image's bytes from..from+length.
    static void ExpectSlice(const nlohmann::json& area, const std::vector<std::uint8_t>& image,
                            std::size_t from, std::size_t length) {
        ASSERT_TRUE(area.is_object()) << area.dump();
        EXPECT_EQ(area["checksum"], test::Sum16(image.data() + from, length));
        EXPECT_EQ(area["crc32"], test::Crc32(image.data() + from, length));
    }

    static std::vector<std::string> Pty(const SimProcess& sim) { return {"--port", sim.PtyPath()}; }
    static std::vector<std::string> Tcp(const SimProcess& sim) {
        return {"--net", "127.0.0.1:" + std::to_string(sim.TcpPort())};
    }
    static std::vector<std::string> With(std::vector<std::string> args,
                                         const std::vector<std::string>& more) {
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    test::TempDir m_dir;
    test::ScaledClock m_clock;
    test::FakeDeviceEnumerator m_devices;
    const std::vector<std::uint8_t> m_image = test::MakeImage();
    const std::vector<std::uint8_t> m_talvo10 = test::MakeTalvo10Image();
};

TEST_F(FirmwareE2eTest, ProgramAreaReachesTheFlashOverThePtyAndTcp) {
    SimProcess sim;
    ASSERT_TRUE(Start(sim)) << sim.Log();
    int writes = 0;
    for (const auto& link : {Pty(sim), Tcp(sim)}) {
        const CliRun run =
            Run(With({"firmware", "download", m_dir.File("fw.SHC"), "--area", "program"}, link));
        ASSERT_EQ(run.status, 0) << run.err << sim.Log();
        EXPECT_NE(run.out.find("Update Complete."), std::string::npos);
        const nlohmann::json area = Written(sim, "areas", "program", ++writes);
        EXPECT_EQ(area["length"], 0xD0000);
        ExpectSlice(area, m_image, 0x400000, 0xD0000 - 10);
    }
}

TEST_F(FirmwareE2eTest, BootAreaCarriesItsFixedTail) {
    SimProcess sim;
    ASSERT_TRUE(Start(sim)) << sim.Log();
    const CliRun run = Run(
        With({"firmware", "download", m_dir.File("fw.SHC"), "--area", "boot", "--service", "--yes"},
             Pty(sim)));
    ASSERT_EQ(run.status, 0) << run.err << sim.Log();
    std::vector<std::uint8_t> expected(m_image.begin() + 0x2E0000,
                                       m_image.begin() + 0x2E0000 + 0x15000 - 10);
    std::copy_n(std::vector<std::uint8_t>{0x00, 0x80, 0xFE, 0xFF}.begin(), 4, expected.end() - 4);
    ExpectSlice(Written(sim, "areas", "boot"), expected, 0, expected.size());
}

TEST_F(FirmwareE2eTest, LinkDroppedMidTransferIsNeverASuccess) {
    const struct {
        bool tcp;
        const char* area;
        const char* message;
        std::int64_t boundMs;  // tool time from the command to the message
    } cases[] = {
        // The pseudo-terminal hangs up: the next write fails at once. (The pty holds some
        // 64 KB on their way, which a printer without answers cannot be asked about, so the
        // area is long enough to leave more than that unsent.)
        {false, "program", "ERROR : PRINTER IS NOT READY!", 5000},
        // The printer closes the connection: the block is refused for 5 s, or the socket has
        // seen the connection go when the settling wait ends.
        {true, "download", "Communication error. Can not transimitted.", 5000 + 10000},
        {true, "program", "Communication error. Can not transimitted.", 5000 + 10000},
    };
    for (const auto& c : cases) {
        SimProcess sim;
        ASSERT_TRUE(Start(sim, {"--fault", "drop-after=40000"})) << sim.Log();
        const std::int64_t start = m_clock.Now();
        const CliRun run = Run(With(
            {"firmware", "download", m_dir.File("fw.SHC"), "--area", c.area, "--service", "--yes"},
            c.tcp ? Tcp(sim) : Pty(sim)));
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("Update Complete."), std::string::npos) << run.out;
        EXPECT_LT(m_clock.Now() - start, c.boundMs + (c.tcp ? 256 * 83 : 0)) << c.area;
        EXPECT_FALSE(Flash(sim).contains("areas"));
    }
}

TEST_F(FirmwareE2eTest, Talvo10AreaWithAndWithoutRefusedPackets) {
    for (const char* fault : {"", "nak-every=7"}) {
        SimProcess sim;
        ASSERT_TRUE(Start(sim, fault[0] ? std::vector<std::string>{"--fault", fault}
                                        : std::vector<std::string>{}))
            << sim.Log();
        const CliRun run = Run(With({"firmware", "talvo10", m_dir.File("t10.bin"), "--area",
                                     "program", "--yes", "--device", "TALVO10 S"},
                                    Pty(sim)));
        ASSERT_EQ(run.status, 0) << run.err << sim.Log();
        EXPECT_EQ(run.out, "COMPLETED\n");
        const nlohmann::json area = Written(sim, "talvo10", "program");
        ExpectSlice(area, m_talvo10, 0x1D0000, 0x20000);
        EXPECT_EQ(area["contiguous"], true);
        EXPECT_EQ(area["naks"].get<int>() > 0, fault[0] != 0) << area.dump();
    }
}

TEST_F(FirmwareE2eTest, Talvo10OverTcpIsPacedWithoutReplies) {
    SimProcess sim;
    ASSERT_TRUE(Start(sim)) << sim.Log();
    const CliRun run = Run(With({"firmware", "talvo10", m_dir.File("t10.bin"), "--area", "boot",
                                 "--yes", "--device", "TALVO10 E-II"},
                                Tcp(sim)));
    ASSERT_EQ(run.status, 0) << run.err << sim.Log();
    ExpectSlice(Written(sim, "talvo10", "boot"), m_talvo10, 0x1F0000, 0x10000);
}

TEST_F(FirmwareE2eTest, SilentTalvo10PrinterEndsTheDownloadWithinTheBound) {
    SimProcess sim;
    ASSERT_TRUE(Start(sim, {"--fault", "silent"})) << sim.Log();
    const std::int64_t start = m_clock.Now();
    const CliRun run = Run(With({"firmware", "talvo10", m_dir.File("t10.bin"), "--area", "boot",
                                 "--yes", "--device", "TALVO10 S"},
                                Pty(sim)));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ERROR : Read Fail!"), std::string::npos) << run.err;
    // Six erase pauses of 400 ms, then 10 s without an answer (and a little for the link).
    EXPECT_LT(m_clock.Now() - start, 6 * 400 + 10000 + 2000);
    EXPECT_FALSE(Flash(sim).contains("talvo10"));
}

}  // namespace
}  // namespace kp70
