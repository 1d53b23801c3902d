// kp70ctl status against the virtual printer running as a process: the status it was
// started with and the status a test sets while it runs (its --control file), over TCP, the
// serial pseudo-terminal and the parallel side.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <ostream>
#include <thread>

#include "cli/Cli.h"
#include "support/CliRunner.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/ScaledClock.h"
#include "support/SimProcess.h"

namespace kp70 {
namespace {

using test::CliRun;
using test::SimProcess;
using test::WaitUntil;

// Generous in tool time (the tool's clock runs ten times fast): 2 s of real time.
const std::string kTimeout = "20000";

// An output stream another thread may read while kp70ctl writes to it.
class SharedText : public std::streambuf {
public:
    std::string Text() const {
        std::lock_guard lock(m_mutex);
        return m_text;
    }

protected:
    int_type overflow(int_type c) override {
        if (c == traits_type::eof()) return traits_type::not_eof(c);
        std::lock_guard lock(m_mutex);
        m_text += static_cast<char>(c);
        return c;
    }

private:
    mutable std::mutex m_mutex;
    std::string m_text;
};

class StatusE2eTest : public ::testing::Test {
protected:
    bool Start(std::vector<std::string> args) {
        const auto pace = m_clock.SimArgs();
        args.insert(args.end(), pace.begin(), pace.end());
        args.insert(args.end(), {"--control", Control()});
        return m_sim.Start(args);
    }
    std::string Control() const { return m_dir.File("status.txt"); }
    // Replaces the control file whole, as a test should, and waits until kp70sim took it.
    void SetStatus(const std::string& names) {
        const std::string temporary = Control() + ".new";
        std::ofstream(temporary) << names << "\n";
        std::filesystem::rename(temporary, Control());
        ASSERT_TRUE(WaitUntil([&] {
            return m_sim.Log().find("status " + names + "\n") != std::string::npos;
        })) << m_sim.Log();
    }
    CliRun Run(std::vector<std::string> args) {
        return test::RunKp70ctl(std::move(args), m_dir.File("kp70tool.INI"),
                                m_dir.File("error.log"), &m_clock, &m_devices);
    }
    std::string Net() const { return "127.0.0.1:" + std::to_string(m_sim.TcpPort()); }

    test::TempDir m_dir;
    SimProcess m_sim;
    test::ScaledClock m_clock;
    test::FakeDeviceEnumerator m_devices;
};

TEST_F(StatusE2eTest, TcpReportsTheStatusSetAtStartAndChangedWhileRunning) {
    ASSERT_TRUE(Start({"--status", "paper-end"})) << m_sim.Log();
    CliRun run = Run({"status", "--net", Net(), "--timeout", kTimeout});
    ASSERT_EQ(run.status, kExitDone) << run.err;
    EXPECT_NE(run.out.find("DLE EOT 4  paper sensor   7E  paper end, paper near end\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("status: offline: paper end, paper near end, printing stopped by "
                           "paper end\n"),
              std::string::npos)
        << run.out;

    SetStatus("cover-open");
    run = Run({"status", "--net", Net(), "--json", "--timeout", kTimeout});
    ASSERT_EQ(run.status, kExitDone) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["answers"]["2"], "16");
    EXPECT_EQ(json["conditions"]["cover-open"], true);
    EXPECT_EQ(json["conditions"]["paper-end"], false);
    EXPECT_EQ(json["status"], "offline: cover open");
}

TEST_F(StatusE2eTest, WatchOverThePtyPrintsALinePerChangeUntilInterrupted) {
    ASSERT_TRUE(Start({"--status", "paper-near-end"})) << m_sim.Log();
    SharedText out;
    std::ostream outStream(&out);
    std::ostringstream err;
    int status = -1;
    std::thread watch([&] {
        CliContext context{
            outStream, err,       {}, m_dir.File("kp70tool.INI"), m_dir.File("error.log"),
            &m_clock,  &m_devices};
        const char* argv[] = {
            "kp70ctl",   "status",        "--watch", "--port", m_sim.PtyPath().c_str(),
            "--timeout", kTimeout.c_str()};
        status = RunCli(7, argv, context);
    });
    // The watch's lines so far, without their time ("13:55:21 "). kp70ctl writes a line a
    // character at a time, so a line still being written is left for the next look.
    const auto lines = [&] {
        std::string text = out.Text();
        text.erase(text.rfind('\n') + 1);
        std::vector<std::string> result;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            result.push_back(line.erase(0, std::min<std::size_t>(9, line.size())));
        return result;
    };
    const bool first = WaitUntil([&] { return lines().size() == 1; }, std::chrono::seconds(10));
    if (first) SetStatus("ok");
    const bool second = WaitUntil([&] { return lines().size() == 2; }, std::chrono::seconds(10));
    // Ctrl+C ends the watch.
    std::raise(SIGINT);
    watch.join();
    ASSERT_TRUE(first && second) << out.Text() << err.str() << m_sim.Log();
    EXPECT_EQ(status, kExitDone) << err.str();
    EXPECT_EQ(lines(), (std::vector<std::string>{"online: paper near end",
                                                 "online, no error, paper present"}));
}

TEST_F(StatusE2eTest, ParallelSideReadsTheAutomaticBlockAndSendsNothing) {
    ASSERT_TRUE(Start({"--status", "paper-end", "--lpt", m_sim.LptLink()})) << m_sim.Log();
    const CliRun run = Run({"status", "--port", m_sim.LptPath(), "--timeout", kTimeout});
    ASSERT_EQ(run.status, kExitDone) << run.err << m_sim.Log();
    EXPECT_NE(run.out.find("status block   1C 00 0F 0F"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("status: offline: paper end, paper near end\n"), std::string::npos);
    EXPECT_EQ(test::ReadFile(m_sim.OutDir() + "/capture-lpt.bin"), "");
}

TEST_F(StatusE2eTest, SilentPrinterIsNoAnswer) {
    ASSERT_TRUE(Start({"--fault", "silent"})) << m_sim.Log();
    const CliRun run = Run({"status", "--net", Net(), "--timeout", "300"});
    EXPECT_EQ(run.status, kExitFailed);
    EXPECT_EQ(run.err, "kp70ctl status: no answer within 300 ms\n");
    EXPECT_EQ(run.out, "");
}

}  // namespace
}  // namespace kp70
