// kp70ctl setup set against a virtual printer whose setting replies arrive garbled: a write
// carries every setting as read, so it must not go out when the read was not clean.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/CliRunner.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/ScaledClock.h"
#include "support/SimProcess.h"

namespace kp70 {
namespace {

TEST(SetupCleanReadE2eTest, GarbledRepliesWriteNothingAndKeepThePrintersMemory) {
    test::SimProcess sim;
    // The printer holds a margin, a code page and a setup code of its own.
    test::WriteFile(sim.Dir().File("state.json"),
                    R"({"user-settings": {"leftMargin": 300, "codePage": 16, "setupCode": 6699}})");
    test::ScaledClock clock;
    std::vector<std::string> simArgs = clock.SimArgs();
    simArgs.insert(simArgs.end(), {"--fault", "garbage"});
    ASSERT_TRUE(sim.Start(simArgs)) << sim.Log();

    test::FakeDeviceEnumerator devices;
    test::TempDir dir;
    const test::CliRun run = test::RunKp70ctl(
        {"setup", "set", "cutting-mode=full", "--port", sim.PtyPath(), "--timeout", "3000"},
        dir.File("kp70tool.INI"), dir.File("error.log"), &clock, &devices);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("no clean reply from the printer for:"), std::string::npos) << run.err;
    for (const char* name : {" code-page", " left-margin", " setup-code", " stop-bit"})
        EXPECT_NE(run.err.find(name), std::string::npos) << name << "\n" << run.err;
    // The operator's own setting needed no reply.
    EXPECT_EQ(run.err.find("cutting-mode"), std::string::npos) << run.err;

    // Nothing but read requests reached the printer, and its memory is as it was.
    EXPECT_EQ(sim.Capture("capture-pty.bin").find(std::string("\x1D\x28\x45\x03", 4)),
              std::string::npos);
    const auto stored = nlohmann::json::parse(test::ReadFile(sim.StatePath()))["user-settings"];
    EXPECT_EQ(stored["leftMargin"], 300);
    EXPECT_EQ(stored["codePage"], 16);
    EXPECT_EQ(stored["setupCode"], 0x1A2B);
}

}  // namespace
}  // namespace kp70
