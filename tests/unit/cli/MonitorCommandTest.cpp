// kp70ctl monitor's command lines that are refused before it polls or listens, and the
// address to listen at that another program holds.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/app/VirtualClock.h"
#include "support/CliRunner.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/TempDir.h"

namespace kp70 {
namespace {

using test::CliRun;

class MonitorCommandTest : public ::testing::Test {
protected:
    CliRun Run(std::vector<std::string> args) {
        args.insert(args.begin(), "monitor");
        return test::RunKp70ctl(std::move(args), m_dir.File("kp70tool.INI"),
                                m_dir.File("error.log"), &m_clock, &m_devices);
    }

    test::TempDir m_dir;
    VirtualClock m_clock;
    test::FakeDeviceEnumerator m_devices;
};

TEST_F(MonitorCommandTest, WrongCommandLinesSayWhatToGive) {
    const std::string targets = m_dir.File("targets");
    test::WriteFile(targets,
                    "# the shop\n10.0.0.5\n10.0.0.6:80\nprinter:none\n10.0.0.7 10.0.0.8\n");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::string listen = "--listen";
    const Case cases[] = {
        {{listen, "127.0.0.1:0"}, "say which printers to watch: --net HOST[:PORT] (repeat it)"},
        {{"--net", "10.0.0.5", "--targets", targets, listen, "127.0.0.1:0"},
         "give the printers one way only"},
        {{"--net", "10.0.0.5"}, "--listen is required"},
        {{"--net", "10.0.0.5", listen, "9470"}, "--listen 9470: give ADDRESS:PORT"},
        {{"--net", "10.0.0.5", listen, "localhost:9470"}, "--listen localhost:9470: give"},
        {{"--net", "10.0.0.5", listen, "127.0.0.1:"}, "--listen 127.0.0.1:: give"},
        {{"--net", "10.0.0.5", listen, "127.0.0.1:65536"}, "--listen 127.0.0.1:65536: give"},
        {{"--net", "10.0.0.5", listen, "[::1:9470"}, "--listen [::1:9470: give"},
        {{"--net", "10.0.0.5:80", listen, "127.0.0.1:0"}, "--net 10.0.0.5:80: "},
        {{"--net", "10.0.0.5", "--interval", "0", listen, "127.0.0.1:0"}, "--interval"},
        {{"--discover", "--broadcast", "everyone", listen, "127.0.0.1:0"},
         "--broadcast wants a dotted IPv4 address"},
        {{"--targets", m_dir.File("none"), listen, "127.0.0.1:0"},
         "--targets " + m_dir.File("none") + ": cannot be read (No such file or directory)"},
        // Every line that does not parse is told by its number, and nothing is watched.
        {{"--targets", targets, listen, "127.0.0.1:0"}, targets + ":3: --net 10.0.0.6:80: "},
        {{"--targets", targets, listen, "127.0.0.1:0"}, targets + ":4: --net printer:none: "},
        {{"--targets", targets, listen, "127.0.0.1:0"},
         targets + ":5: one printer a line, HOST[:PORT]"},
    };
    for (const Case& c : cases) {
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.status, kExitUsage) << c.args[1] << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.message << "\n" << run.err;
        EXPECT_EQ(run.out, "");
    }
}

TEST_F(MonitorCommandTest, AnAddressAnotherProgramListensAtIsRefused) {
    const int other = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(other, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    ASSERT_EQ(bind(other, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(listen(other, 1), 0);
    ASSERT_EQ(getsockname(other, reinterpret_cast<sockaddr*>(&at), &size), 0);
    const std::string address = "127.0.0.1:" + std::to_string(ntohs(at.sin_port));

    const CliRun run = Run({"--net", "10.0.0.5", "--net", "10.0.0.5:6001", "--listen", address});
    close(other);
    EXPECT_EQ(run.status, kExitFailed);
    EXPECT_NE(run.err.find("--net 10.0.0.5:6001: 10.0.0.5:6001 is given more than once; it is "
                           "polled once\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("--listen " + address +
                           ": the port is in use by another program; stop it or choose another "
                           "port\n"),
              std::string::npos)
        << run.err;
}

}  // namespace
}  // namespace kp70
