// kp70ctl send and the network connection against the virtual printer running as a
// process: bytes written by the tool land in kp70sim's captures exactly, and what kp70sim
// answers comes back as hex.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/Cli.h"
#include "core/app/VirtualClock.h"
#include "core/transport/NetworkLink.h"
#include "core/transport/Notifier.h"
#include "platform/NetworkSocket.h"
#include "platform/SystemClock.h"
#include "support/CliRunner.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/SimProcess.h"

namespace kp70 {
namespace {

using test::SimProcess;

using test::CliRun;

class SendTest : public ::testing::Test {
protected:
    CliRun Run(std::vector<std::string> args, Clock* clock = nullptr, bool korean = false) {
        return test::RunKp70ctl(std::move(args), m_dir.File("kp70tool.INI"),
                                m_dir.File("error.log"), clock ? clock : &m_clock, &m_devices,
                                korean);
    }

    std::string Port(const SimProcess& sim) const {
        return "127.0.0.1:" + std::to_string(sim.TcpPort());
    }

    test::TempDir m_dir;
    SystemClock m_clock;
    test::FakeDeviceEnumerator m_devices;
};

const std::string kInitLf("\x1B\x40\x0A", 3);

TEST_F(SendTest, BytesReachThePtyExactlyAndTheReplyComesBackAsHex) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--reply", "1B40=4F4B"})) << sim.Log();
    // Every line setting the port accepts carries the bytes unchanged over a pty.
    const std::vector<std::vector<std::string>> settings = {
        {},
        {"--flow", "none"},
        {"--flow", "sw", "--baud", "9600"},
        {"--baud", "38400", "--parity", "even", "--stop", "2"},
    };
    std::string expected;
    for (const auto& extra : settings) {
        std::vector<std::string> args = {"send",     "--port", sim.PtyPath(), "--hex",
                                         "1B 40 0A", "--wait", "150"};
        args.insert(args.end(), extra.begin(), extra.end());
        const CliRun run = Run(args);
        const std::string label = extra.empty() ? "defaults" : extra[1];
        EXPECT_EQ(run.status, 0) << label << ": " << run.err;
        EXPECT_EQ(run.out, "4F 4B\n") << label;
        expected += kInitLf;
    }
    EXPECT_TRUE(sim.WaitForCapture("capture-pty.bin", expected.size()));
    EXPECT_EQ(sim.Capture("capture-pty.bin"), expected);
}

TEST_F(SendTest, BytesReachTcpExactlyAndJsonDescribesTheExchange) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--reply", "1B40=4F4B"})) << sim.Log();
    const CliRun run =
        Run({"send", "--net", Port(sim), "--hex", "1b,40,0a", "--json", "--wait", "150"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "{\n  \"sent\": 3,\n  \"receivedCount\": 2,\n  \"received\": \"4F 4B\"\n}\n");
    EXPECT_TRUE(sim.WaitForCapture("capture-tcp-1.bin", 3));
    EXPECT_EQ(sim.Capture("capture-tcp-1.bin"), kInitLf);
}

TEST_F(SendTest, InputFileIsSentByteForByte) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start()) << sim.Log();
    std::string all;
    for (int round = 0; round < 8; ++round) {
        for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    }
    test::WriteFile(m_dir.File("data.bin"), all);

    CliRun run = Run({"send", "--net", Port(sim), "--in", m_dir.File("data.bin"), "--wait", "0"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "\n");  // nothing came back
    run = Run({"send", "--port", sim.PtyPath(), "--in", m_dir.File("data.bin"), "--wait", "0"});
    EXPECT_EQ(run.status, 0) << run.err;

    EXPECT_TRUE(sim.WaitForCapture("capture-tcp-1.bin", all.size()));
    EXPECT_TRUE(sim.WaitForCapture("capture-pty.bin", all.size()));
    EXPECT_EQ(sim.Capture("capture-tcp-1.bin"), all);
    EXPECT_EQ(sim.Capture("capture-pty.bin"), all);
}

TEST_F(SendTest, OnlyWhatArrivesWithinTheWaitIsPrinted) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--fault", "late=400", "--reply", "1B40=4F4B"})) << sim.Log();
    const CliRun run = Run({"send", "--net", Port(sim), "--hex", "1B40", "--wait", "50"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "\n");
}

TEST_F(SendTest, RefusedPrinterFailsAfterTenProbeRoundsWithTheToolsMessage) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--fault", "refuse"})) << sim.Log();
    VirtualClock clock;
    CliRun run = Run({"send", "--net", Port(sim), "--hex", "1B40"}, &clock);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "ERROR : Port open. (no answer from " + Port(sim) + ")\n");
    EXPECT_EQ(clock.Sleeps(), std::vector<std::int64_t>(10, 50));

    run = Run({"send", "--net", Port(sim), "--hex", "1B40"}, &clock, true);
    EXPECT_EQ(run.err.rfind("ERROR - 포트 열기.", 0), 0u) << run.err;
}

class QuietNotifier : public Notifier {
public:
    void ShowMessage(int n, const std::string&) override { messages.push_back(n); }
    std::vector<int> messages;
};

TEST(ConnectNetworkE2e, ConnectsToTheVirtualPrinterAndExchangesBytes) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--reply", "1D4945=5F4B503730"})) << sim.Log();
    SystemClock clock;
    QuietNotifier notifier;
    NetworkSocket socket(clock, notifier);
    ASSERT_TRUE(
        ConnectNetwork(socket, clock, "127.0.0.1", static_cast<std::uint16_t>(sim.TcpPort())));
    EXPECT_TRUE(socket.connected());

    const std::uint8_t query[] = {0x1D, 0x49, 0x45};
    EXPECT_EQ(socket.Send(query, 3), 3);
    std::string reply;
    EXPECT_TRUE(test::WaitUntil([&] {
        while (!socket.Queue().IsEmpty()) reply += static_cast<char>(socket.Queue().Get());
        return reply.size() >= 5;
    }));
    EXPECT_EQ(reply, "_KP70");
    EXPECT_TRUE(sim.WaitForCapture("capture-tcp-1.bin", 3));
    // The probe sends are zero-length: only the query reached the printer.
    EXPECT_EQ(sim.Capture("capture-tcp-1.bin"), "\x1D\x49\x45");
    socket.CloseSocket();
    EXPECT_TRUE(notifier.messages.empty());
}

TEST(ConnectNetworkE2e, RefusedConnectionGivesUpAfterTenRounds) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--fault", "refuse"})) << sim.Log();
    VirtualClock clock;
    QuietNotifier notifier;
    NetworkSocket socket(clock, notifier);
    EXPECT_FALSE(
        ConnectNetwork(socket, clock, "127.0.0.1", static_cast<std::uint16_t>(sim.TcpPort())));
    EXPECT_FALSE(socket.connected());
    EXPECT_EQ(clock.Sleeps(), std::vector<std::int64_t>(10, 50));
    socket.CloseSocket();
}

}  // namespace
}  // namespace kp70
