#pragma once

// Runs the virtual printer (kp70sim) as a child process for end-to-end tests. Link the
// test with kp70simprocess (tests/support/CMakeLists.txt), which names the binary and
// builds it first.
//
//   kp70::test::SimProcess sim;
//   ASSERT_TRUE(sim.Start({"--reply", "1B40=0A"})) << sim.Log();
//   ... connect to 127.0.0.1:sim.TcpPort() or open sim.PtyPath() ...
//   EXPECT_TRUE(sim.WaitForCapture("capture-pty.bin", 2));
//   EXPECT_EQ(sim.Capture("capture-pty.bin"), std::string("\x1B\x40", 2));
//
// It starts kp70sim with --tcp 127.0.0.1:0, --pty DIR/ttyKP70, --out DIR/out and
// --state DIR/state.json in a fresh temporary DIR, plus the extra arguments, and reads the
// lines kp70sim prints when ready ("tcp HOST:PORT", "pty LINK -> DEVICE", "ready").
// Every wait is bounded by a deadline; the destructor stops the process. For the parallel
// side pass {"--lpt", sim.LptLink()}; LptPath() then names the announced link.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

#ifndef KP70SIM_PATH
#error "link the test with kp70simprocess, which defines KP70SIM_PATH"
#endif

namespace kp70::test {

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess() { Stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    static std::string BinaryPath() { return KP70SIM_PATH; }

    // Starts kp70sim and waits (at most `timeout`) until it is ready. False when it did not
    // start or ended; Log() then tells why.
    bool Start(const std::vector<std::string>& extraArgs = {},
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        Stop();
        m_ptyPath = m_dir.File("ttyKP70");
        m_outDir = m_dir.File("out");
        m_statePath = m_dir.File("state.json");
        std::vector<std::string> args = {BinaryPath(), "--tcp",   "127.0.0.1:0",
                                         "--pty",      m_ptyPath, "--out",
                                         m_outDir,     "--state", m_statePath};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        return StartWith(args, timeout);
    }

    // Starts kp70sim with exactly these arguments (args[0] is the binary).
    bool StartWith(const std::vector<std::string>& args,
                   std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        return m_process.Start(args, LogPath()) && ReadReadyLines(timeout);
    }

    // SIGTERM, then waits (at most `timeout`) for the process to end. Returns its exit
    // status, -1 when it had to be killed or was not running.
    int Stop(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        return m_process.Stop(SIGTERM, timeout);
    }

    // True while the process runs.
    bool Running() { return m_process.Running(); }

    pid_t Pid() const { return m_process.Pid(); }
    int TcpPort() const { return m_tcpPort; }
    const std::string& PtyPath() const { return m_ptyPath; }      // the stable link
    const std::string& PtyDevice() const { return m_ptyDevice; }  // /dev/pts/N behind it
    // A link path for --lpt in the temporary folder; its file name begins with "lp", so the
    // tool takes it for a parallel port.
    std::string LptLink() const { return m_dir.File("lpKP70"); }
    const std::string& LptPath() const { return m_lptPath; }  // empty without --lpt
    const std::string& OutDir() const { return m_outDir; }
    const std::string& StatePath() const { return m_statePath; }
    const std::vector<std::string>& ReadyLines() const { return m_readyLines; }
    const TempDir& Dir() const { return m_dir; }
    int ExitStatus() const { return m_process.ExitStatus(); }

    // What kp70sim wrote on stderr (its link events and errors).
    std::string Log() const { return ReadFile(LogPath()); }
    // A capture file of the output folder ("capture-pty.bin", "capture-tcp-1.bin").
    std::string Capture(const std::string& name) const {
        return ReadFile((std::filesystem::path(m_outDir) / name).string());
    }
    // Waits until the capture holds at least `size` bytes.
    bool WaitForCapture(const std::string& name, std::size_t size,
                        std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) const {
        return WaitUntil([&] { return Capture(name).size() >= size; }, timeout);
    }

private:
    std::string LogPath() const { return m_dir.File("kp70sim.log"); }

    bool ReadReadyLines(std::chrono::milliseconds timeout) {
        m_readyLines.clear();
        m_lptPath.clear();
        m_tcpPort = 0;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string line;
        while (m_process.NextLine(line, deadline)) {
            if (line == "ready") return true;
            m_readyLines.push_back(line);
            ParseLine(line);
        }
        return false;  // not ready in time, or ended before it was
    }

    void ParseLine(const std::string& line) {
        // The first TCP line is the printer at the --tcp address; --tcp-printers adds more.
        if (line.rfind("tcp ", 0) == 0 && m_tcpPort == 0) {
            const auto colon = line.rfind(':');
            m_tcpPort = std::stoi(line.substr(colon + 1));
        } else if (line.rfind("pty ", 0) == 0) {
            const auto arrow = line.find(" -> ");
            m_ptyPath = line.substr(4, arrow - 4);
            m_ptyDevice = line.substr(arrow + 4);
        } else if (line.rfind("lpt ", 0) == 0) {
            m_lptPath = line.substr(4, line.find(" -> ") - 4);
        }
    }

    TempDir m_dir;
    ChildProcess m_process;
    int m_tcpPort = 0;
    std::string m_ptyPath;
    std::string m_ptyDevice;
    std::string m_lptPath;
    std::string m_outDir;
    std::string m_statePath;
    std::vector<std::string> m_readyLines;
};

}  // namespace kp70::test
