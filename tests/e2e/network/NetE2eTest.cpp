// kp70ctl net against virtual printers answering discovery on the loopback network (in a
// network namespace of the test's own where the system allows it): the tool's frames are
// decoded by kp70sim on its own, which keeps what a change sets in its state file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>

#include "support/CliRunner.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/IsolatedNetwork.h"
#include "support/ScaledClock.h"
#include "support/SimProcess.h"

namespace kp70 {
namespace {

using test::CliRun;
using test::SimProcess;

class NetE2eTest : public ::testing::Test {
protected:
    bool Start(SimProcess& sim, int printers, std::vector<std::string> args = {}) {
        args.insert(args.end(), {"--udp", "127.0.0.1", "--printers", std::to_string(printers)});
        const auto pace = m_clock.SimArgs();
        args.insert(args.end(), pace.begin(), pace.end());
        return sim.Start(args);
    }
    CliRun Run(std::vector<std::string> args) {
        args.insert(args.end(), {"--broadcast", "127.255.255.255"});
        return test::RunKp70ctl(std::move(args), m_dir.File("kp70tool.INI"),
                                m_dir.File("error.log"), &m_clock, &m_devices);
    }
    // The printers a search lists, as JSON.
    nlohmann::json Search() {
        const CliRun run = Run({"net", "search", "--json"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("The printer has finished searching."), std::string::npos);
        return nlohmann::json::parse(run.out);
    }

    test::ScaledClock m_clock;
    test::TempDir m_dir;
    test::FakeDeviceEnumerator m_devices;
};

TEST_F(NetE2eTest, SearchListsEveryPrinterButNotThePc) {
    SimProcess sim;
    ASSERT_TRUE(Start(sim, 20)) << sim.Log();
    const nlohmann::json printers = Search();
    ASSERT_EQ(printers.size(), 20u);
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        // The order of arrival is the printers' own; each is there once.
        const std::string address = "127.0.0." + std::to_string(i + 2);
        const auto found = std::find_if(printers.begin(), printers.end(),
                                        [&](const auto& p) { return p["address"] == address; });
        ASSERT_NE(found, printers.end());
        EXPECT_EQ((*found)["port"], 6001);
        EXPECT_EQ((*found)["dhcp"], false);
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:5A:3D:00:00:%02X", i + 1);
        EXPECT_EQ((*found)["mac"], mac);
    }
    for (const auto& p : printers) EXPECT_NE(p["address"], "127.0.0.1");
}

TEST_F(NetE2eTest, AChangeIsAppliedKeptAndFoundByTheNextSearch) {
    SimProcess sim;
    ASSERT_TRUE(Start(sim, 3)) << sim.Log();
    CliRun run = Run({"net", "set", "--mac", "02:5a:3d:00:00:02", "--ip", "127.0.0.77", "--subnet",
                      "255.0.0.0", "--gateway", "127.0.0.254", "--port", "515", "--dhcp", "--yes"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Update Complete."), std::string::npos);
    // Service use: a new address for the printer whose MAC ends 00:00:03.
    run = Run({"net", "set-mac", "00:00:03", "--ip", "127.0.0.255", "--subnet", "255.0.0.0",
               "--gateway", "127.0.0.1", "--port", "9100", "--yes"});
    ASSERT_EQ(run.status, 0) << run.err;

    auto check = [](const nlohmann::json& printers) {
        ASSERT_EQ(printers.size(), 3u);
        std::map<std::string, nlohmann::json> byMac;
        for (const auto& p : printers) byMac[p["mac"]] = p;
        const auto& changed = byMac["02:5A:3D:00:00:02"];
        EXPECT_EQ(changed["address"], "127.0.0.77");
        EXPECT_EQ(changed["subnet"], "255.0.0.0");
        EXPECT_EQ(changed["gateway"], "127.0.0.254");
        EXPECT_EQ(changed["port"], 515);
        EXPECT_EQ(changed["dhcp"], true);
        EXPECT_EQ(byMac["02:5A:3D:00:00:03"]["address"], "127.0.0.255");
        EXPECT_EQ(byMac["02:5A:3D:00:00:01"]["address"], "127.0.0.2");
    };
    check(Search());
    // Kept in the state file: a new run of the printers still has them.
    sim.Stop();
    ASSERT_TRUE(Start(sim, 3)) << sim.Log();
    check(Search());
}

TEST_F(NetE2eTest, RefusedSettingsSendNothing) {
    SimProcess sim;
    ASSERT_TRUE(Start(sim, 1)) << sim.Log();
    const std::vector<std::string> common = {"--subnet", "255.0.0.0", "--gateway", "127.0.0.1",
                                             "--yes"};
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"net", "set", "--mac", "02:5A:3D:00:00:01", "--ip", "127.0.0.255", "--port", "6001"},
         "Please enter IP address between 1 ~ 254."},
        {{"net", "set-mac", "00:00:01", "--ip", "127.0.0.9", "--port", "515"},
         "Please enter PORT number between 1024 ~ 65534."},
        {{"net", "set-mac", "00:0:01", "--ip", "127.0.0.9", "--port", "6001"},
         "two hexadecimal digits"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), common.begin(), common.end());
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    // Without --yes the question is printed and nothing goes out either.
    const CliRun asked = Run({"net", "set", "--mac", "02:5A:3D:00:00:01", "--ip", "127.0.0.9",
                              "--subnet", "255.0.0.0", "--gateway", "127.0.0.1", "--port", "6001"});
    EXPECT_EQ(asked.status, 2);
    EXPECT_NE(asked.err.find("Do you want to change the Network Settings?."), std::string::npos);
    EXPECT_EQ(Search()[0]["address"], "127.0.0.2");
}

TEST_F(NetE2eTest, DiscoveryFaults) {
    const struct {
        const char* fault;
        std::size_t listed;
    } cases[] = {
        {"garbage", 0},   // answers that are no frames are not listed
        {"silent", 0},    // nobody answers
        {"late=300", 4},  // within the 1000 ms a receive waits
        {"late=3000", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        SimProcess sim;
        ASSERT_TRUE(Start(sim, 4, {"--fault", c.fault})) << sim.Log();
        EXPECT_EQ(Search().size(), c.listed);
    }
    // A change nobody answers still ends, with the end frame, and the silent printer takes
    // it; but no answer came, and that is what kp70ctl says (exit status 1).
    SimProcess silent;
    ASSERT_TRUE(Start(silent, 1, {"--fault", "silent"})) << silent.Log();
    const CliRun run =
        Run({"net", "set", "--mac", "02:5A:3D:00:00:01", "--ip", "127.0.0.60", "--subnet",
             "255.0.0.0", "--gateway", "127.0.0.1", "--port", "6001", "--yes"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("No printer answered the change"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Update Complete."), std::string::npos) << run.err;
    EXPECT_TRUE(test::WaitUntil([&] {
        return silent.Log().find("now 127.0.0.60") != std::string::npos;
    })) << silent.Log();
}

}  // namespace
}  // namespace kp70

int main(int argc, char** argv) {
    kp70::test::EnterIsolatedNetwork();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
