// Runs the core sessions in this process, as kp70ctl does, against the virtual printer over
// a pseudo-terminal, TCP and UDP discovery, when they succeed and when the printer fails
// them, and checks from /proc that none leaves a descriptor, a thread or a child process
// behind, nor kp70sim holding more descriptors or threads than before. Each operation runs
// once first, so what a first use sets up for the whole process is not counted; the second
// run must end holding exactly what it started with.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "support/BmpBuilder.h"
#include "support/CliRunner.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/FirmwareImages.h"
#include "support/IsolatedNetwork.h"
#include "support/ResourceSnapshot.h"
#include "support/ScaledClock.h"
#include "support/SimProcess.h"

namespace kp70 {
namespace {

using test::SimProcess;

int g_leaks = 0;

class ResourceHygieneTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_bitmap = test::WriteBmp(m_dir, "logo.bmp", test::Solid24(384, 120, 0x000000));
        test::WriteBytes(m_dir.File("fw.SHC"), test::MakeImage());
    }

    bool Start(SimProcess& sim, std::vector<std::string> args = {}) {
        const auto pace = m_clock.SimArgs();
        args.insert(args.end(), pace.begin(), pace.end());
        return sim.Start(args);
    }

    // Runs the operation twice and returns what the second run left behind, in this process
    // and, once it has noticed the links closing, in kp70sim; both runs must end with
    // `status`.
    std::vector<std::string> LeftBehind(const std::vector<std::string>& args, const SimProcess& sim,
                                        bool pty, int status) {
        const auto simBefore = test::ResourceSnapshot::Of(sim.Pid());
        EXPECT_EQ(RunOperation(args, sim, pty), status);
        const auto before = test::ResourceSnapshot::Of(getpid());
        EXPECT_EQ(RunOperation(args, sim, pty), status);
        std::vector<std::string> left =
            test::LeftBehind(before, test::ResourceSnapshot::Of(getpid()));
        const auto simAfter = test::SettledSnapshot(sim.Pid(), simBefore);
        if (simAfter.fds.size() > simBefore.fds.size() ||
            simAfter.threads.size() > simBefore.threads.size()) {
            left.push_back("kp70sim holds " + std::to_string(simAfter.fds.size()) +
                           " descriptors and " + std::to_string(simAfter.threads.size()) +
                           " threads, " + std::to_string(simBefore.fds.size()) + " and " +
                           std::to_string(simBefore.threads.size()) + " before");
        }
        return left;
    }

    int RunOperation(std::vector<std::string> args, const SimProcess& sim, bool pty) {
        if (pty) {
            args.insert(args.end(), {"--port", sim.PtyPath()});
        } else if (args[0] != "net") {
            args.insert(args.end(), {"--net", "127.0.0.1:" + std::to_string(sim.TcpPort())});
        }
        const test::CliRun run = test::RunKp70ctl(args, m_dir.File("kp70tool.INI"),
                                                  m_dir.File("error.log"), &m_clock, &m_devices);
        // A write resets the printer; its serial side is deaf until it says it is ready.
        if (pty && args[1] == "set") {
            const auto ready = ++m_resets;
            test::WaitUntil([&] { return Count(sim.Log(), "pty printer ready") >= ready; },
                            std::chrono::milliseconds(30000));
        }
        return run.status;
    }

    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }

    test::TempDir m_dir;
    test::ScaledClock m_clock;
    test::FakeDeviceEnumerator m_devices;
    std::string m_bitmap;
    int m_resets = 0;
};

TEST_F(ResourceHygieneTest, NoOperationLeavesADescriptorThreadOrChildBehind) {
    SimProcess good;
    ASSERT_TRUE(Start(good, {"--udp", "127.0.0.1", "--printers", "2"})) << good.Log();
    SimProcess silent;
    ASSERT_TRUE(Start(silent, {"--fault", "silent"})) << silent.Log();
    SimProcess dropping;
    ASSERT_TRUE(Start(dropping, {"--fault", "drop-after=300"})) << dropping.Log();
    const std::string timeout = "20000";

    const struct {
        const char* name;
        std::vector<std::string> args;
        const SimProcess& sim;
        bool pty;
        int status;  // 0 done, 1 failed
    } cases[] = {
        {"setup read, pty", {"setup", "get", "--timeout", timeout}, good, true, 0},
        {"setup read, tcp", {"setup", "get", "--timeout", timeout}, good, false, 0},
        {"setup write, pty",
         {"setup", "set", "--timeout", timeout, "left-margin=8"},
         good,
         true,
         0},
        {"setup write, tcp",
         {"setup", "set", "--timeout", timeout, "left-margin=9"},
         good,
         false,
         0},
        {"logo upload, pty", {"logo", "upload", m_bitmap}, good, true, 0},
        {"logo upload, tcp", {"logo", "upload", m_bitmap}, good, false, 0},
        {"logo print, pty", {"logo", "print", "--select", "1"}, good, true, 0},
        {"logo print, tcp", {"logo", "print", "--select", "1"}, good, false, 0},
        {"firmware area download, tcp",
         {"firmware", "download", m_dir.File("fw.SHC"), "--area", "program"},
         good,
         false,
         0},
        {"network search", {"net", "search", "--broadcast", "127.255.255.255"}, good, false, 0},
        // Failures: a printer that never answers, a link that drops mid-transfer.
        {"setup read, silent printer, pty", {"setup", "get", "--timeout", "3000"}, silent, true, 1},
        {"setup read, silent printer, tcp",
         {"setup", "get", "--timeout", "3000"},
         silent,
         false,
         1},
        {"logo upload, link dropped, tcp", {"logo", "upload", m_bitmap}, dropping, false, 1},
        {"firmware area download, link dropped, tcp",
         {"firmware", "download", m_dir.File("fw.SHC"), "--area", "program"},
         dropping,
         false,
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> left = LeftBehind(c.args, c.sim, c.pty, c.status);
        EXPECT_EQ(left, std::vector<std::string>{}) << c.name;
        g_leaks += static_cast<int>(left.size());
    }
}

// The check itself sees each kind of thing left behind.
TEST(ResourceSnapshot, NamesADescriptorAThreadAndAChildLeftBehind) {
    const test::ResourceSnapshot before = test::ResourceSnapshot::Of(getpid());
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::thread thread([&] {
        char c;
        (void)read(go[0], &c, 1);
    });
    const pid_t child = fork();
    if (child == 0) {
        pause();
        _exit(0);
    }
    const std::vector<std::string> left =
        test::LeftBehind(before, test::ResourceSnapshot::Of(getpid()));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    (void)write(go[1], "x", 1);
    thread.join();
    for (int fd : {fds[0], fds[1], go[0], go[1]}) close(fd);

    std::string all;
    for (const auto& l : left) all += l + "\n";
    EXPECT_NE(all.find("fd " + std::to_string(fds[0]) + " -> pipe:"), std::string::npos) << all;
    EXPECT_NE(all.find("thread "), std::string::npos) << all;
    EXPECT_NE(all.find("child " + std::to_string(child)), std::string::npos) << all;
    EXPECT_TRUE(test::LeftBehind(before, test::ResourceSnapshot::Of(getpid())).empty());
}

}  // namespace
}  // namespace kp70

int main(int argc, char** argv) {
    kp70::test::EnterIsolatedNetwork();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::cout << "leaks: " << kp70::g_leaks << " found" << std::endl;
    return result;
}
