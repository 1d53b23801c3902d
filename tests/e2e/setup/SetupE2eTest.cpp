// kp70ctl setup against the virtual printer running as a process, over a pseudo-terminal
// and over TCP: what the tool writes, kp70sim decodes on its own and keeps in its state
// file, and reads back the same way.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/Cli.h"
#include "core/setup/TestPage.h"
#include "support/CliRunner.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/ScaledClock.h"
#include "support/SimProcess.h"

namespace kp70 {
namespace {

using test::SimProcess;

using test::CliRun;

// Reads get this long (tool time) to collect every reply: generous, because the tool's
// clock runs ten times fast while the printer's answers take real time.
const std::string kReadTimeout = "60000";

class SetupE2eTest : public ::testing::Test {
protected:
    // Starts the virtual printer at the tool's pace.
    bool Start(SimProcess& sim, std::vector<std::string> args = {}) {
        const auto pace = m_clock.SimArgs();
        args.insert(args.end(), pace.begin(), pace.end());
        return sim.Start(args);
    }

    CliRun Run(std::vector<std::string> args) {
        return test::RunKp70ctl(std::move(args), m_dir.File("kp70tool.INI"),
                                m_dir.File("error.log"), &m_clock, &m_devices);
    }

    static std::vector<std::string> With(std::vector<std::string> args,
                                         const std::vector<std::string>& link) {
        args.insert(args.end(), link.begin(), link.end());
        return args;
    }

    static nlohmann::json Stored(const SimProcess& sim) {
        return nlohmann::json::parse(test::ReadFile(sim.StatePath()))["user-settings"];
    }

    // get, change three settings, get again, and compare with the printer's memory. The
    // printer resets after the write; on `deafLink` ("pty", "lpt") it hears nothing until it
    // says it is ready again, while a TCP connection is closed by the reset and the next one
    // is heard at once. `readBack` receives what the last get read.
    void RoundTrip(const SimProcess& sim, const std::vector<std::string>& link,
                   const std::string& deafLink, nlohmann::json* readBack = nullptr) {
        CliRun run = Run(With({"setup", "get", "--json", "--timeout", kReadTimeout}, link));
        ASSERT_EQ(run.status, 0) << run.err;
        nlohmann::json before = nlohmann::json::parse(run.out);
        EXPECT_EQ(before["left-margin"], "0");
        EXPECT_EQ(before["paper-width"], "80mm");
        EXPECT_EQ(before["code-page"], "0");

        run = Run(With({"setup", "set", "--timeout", kReadTimeout, "left-margin=300",
                        "paper-width=58mm", "code-page=16"},
                       link));
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "COMPLETED\n");
        if (!deafLink.empty()) {
            ASSERT_TRUE(test::WaitUntil(
                [&] { return sim.Log().find(deafLink + " printer ready") != std::string::npos; },
                std::chrono::milliseconds(30000)))
                << sim.Log();
        }

        run = Run(With({"setup", "get", "--json", "--timeout", kReadTimeout}, link));
        ASSERT_EQ(run.status, 0) << run.err;
        const nlohmann::json after = nlohmann::json::parse(run.out);
        EXPECT_EQ(after["left-margin"], "300");
        EXPECT_EQ(after["paper-width"], "58mm");
        EXPECT_EQ(after["max-column"], "32");  // 58mm proposes 32 columns
        EXPECT_EQ(after["code-page"], "16");
        // Everything else is as it was.
        for (const auto& key : {"paper-type", "nv-graphic-memory", "setup-code", "bell-type"})
            EXPECT_EQ(after[key], before[key]) << key;

        const nlohmann::json stored = Stored(sim);
        EXPECT_EQ(stored["leftMargin"], 300);
        EXPECT_EQ(stored["paper"], "58mm-32");
        EXPECT_EQ(stored["codePage"], 16);
        EXPECT_EQ(stored["nvGraphicKb"], 384);
        if (readBack) *readBack = after;
    }

    test::TempDir m_dir;
    test::ScaledClock m_clock;
    test::FakeDeviceEnumerator m_devices;
};

TEST_F(SetupE2eTest, RoundTripOverThePty) {
    SimProcess sim;
    ASSERT_TRUE(Start(sim)) << sim.Log();
    RoundTrip(sim, {"--port", sim.PtyPath()}, "pty");
}

TEST_F(SetupE2eTest, RoundTripOverTcp) {
    SimProcess sim;
    ASSERT_TRUE(Start(sim)) << sim.Log();
    RoundTrip(sim, {"--net", "127.0.0.1:" + std::to_string(sim.TcpPort())}, "");
}

// The parallel side: a second pty whose link name says "parallel port", so the tool drives it
// through its parallel-port controller (status back off first, then the paced read, a write
// that waits for the printer's reset and reopens). The printer's status blocks must never
// reach a value: the keep-status fault sends one after every reply even after status back
// off, so some also arrive cut by the end of a read. The paced reads and the write's wait
// for the reset add up to about 20 s of tool time, 2 s here.
TEST_F(SetupE2eTest, RoundTripOverTheParallelLinkReadsWhatTheSerialSideReads) {
    SimProcess sim;
    ASSERT_TRUE(Start(sim, {"--lpt", sim.LptLink(), "--fault", "keep-status"})) << sim.Log();
    nlohmann::json parallel;
    RoundTrip(sim, {"--port", sim.LptPath()}, "lpt", &parallel);
    ASSERT_TRUE(parallel.is_object());

    const CliRun run =
        Run({"setup", "get", "--json", "--timeout", kReadTimeout, "--port", sim.PtyPath()});
    ASSERT_EQ(run.status, 0) << run.err;
    nlohmann::json serial = nlohmann::json::parse(run.out);
    // The parallel port's read list leaves out the stop bits, a serial line setting.
    EXPECT_EQ(serial["stop-bit"], "one");
    EXPECT_TRUE(parallel["stop-bit"].is_null());
    serial.erase("stop-bit");
    parallel.erase("stop-bit");
    EXPECT_EQ(parallel, serial);
    for (const auto& [key, value] : parallel.items()) {
        if (!value.is_string()) continue;
        const std::string text = value.get<std::string>();
        EXPECT_FALSE(text.empty()) << key;
        EXPECT_EQ(text.find_first_of(std::string("\x14\x00\x0F", 3)), std::string::npos) << key;
    }
    // The tool switched the status off before anything else.
    EXPECT_EQ(sim.Capture("capture-lpt.bin").rfind("\x1D\x61\x00", 0), 0u);
}

TEST_F(SetupE2eTest, TextOutputNamesEverySettingReadBack) {
    SimProcess sim;
    ASSERT_TRUE(Start(sim)) << sim.Log();
    const CliRun run = Run({"setup", "get", "--timeout", kReadTimeout, "--port", sim.PtyPath()});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* line : {"paper-width           80mm\n", "left-margin           0\n",
                             "stop-bit              one\n", "receive-buffer        4\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line;
}

TEST_F(SetupE2eTest, TestPageReachesThePrinter) {
    SimProcess sim;
    ASSERT_TRUE(Start(sim)) << sim.Log();
    const CliRun run =
        Run({"setup", "test-print", "--net", "127.0.0.1:" + std::to_string(sim.TcpPort())});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string page;
    for (const auto& step : BuildTestPage(false)) page.append(step.begin(), step.end());
    ASSERT_TRUE(sim.WaitForCapture("capture-tcp-2.bin", page.size())) << sim.Log();
    EXPECT_EQ(sim.Capture("capture-tcp-2.bin"), page);  // the first connection was the open
    const auto record = nlohmann::json::parse(test::ReadFile(sim.StatePath()))["test-page"];
    EXPECT_EQ(record["count"], 1);
    EXPECT_EQ(record["koreanLine"], false);
}

TEST_F(SetupE2eTest, SettingThatBreaksARuleSendsNothing) {
    SimProcess sim;
    ASSERT_TRUE(Start(sim)) << sim.Log();
    const std::vector<std::string> link = {"--port", sim.PtyPath(), "--timeout", kReadTimeout};
    CliRun run = Run(With({"setup", "set", "water-mark=enable", "paper-type=2color"}, link));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Water mark print is impossible in Two-color print mode."),
              std::string::npos);
    run = Run(With({"setup", "set", "nv-user-memory=128"}, link));  // graphic is 384
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Total NV Memory Size 448KB"), std::string::npos);
    run = Run(With({"setup", "set", "left-margin=513"}, link));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Please input a value between 0 ~ 512."), std::string::npos);
    run = Run(With({"setup", "set", "paper-colour=red"}, link));
    EXPECT_EQ(run.status, 2);
    // Nothing but read requests reached the printer.
    EXPECT_EQ(sim.Capture("capture-pty.bin").find(std::string("\x1D\x28\x45\x03", 4)),
              std::string::npos);
}

TEST_F(SetupE2eTest, SilentPrinterFailsTheRead) {
    SimProcess sim;
    ASSERT_TRUE(Start(sim, {"--fault", "silent"})) << sim.Log();
    const CliRun run = Run({"setup", "get", "--port", sim.PtyPath(), "--timeout", "500"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("The printer did not answer within 3 seconds."), std::string::npos)
        << run.err;
}

}  // namespace
}  // namespace kp70
