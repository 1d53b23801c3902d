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

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

#ifndef KP70SIM_PATH
#error "link the test with kp70simprocess, which defines KP70SIM_PATH"
#endif

namespace kp70::test {

// Calls `done` every few milliseconds until it returns true or `timeout` passes; returns its
// last answer. For waiting on another process, which no virtual clock can drive.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

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
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
        const std::string logPath = LogPath();
        // Everything the child needs is prepared before fork: after it, only system calls.
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            dup2(pipeFds[1], STDOUT_FILENO);
            const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (log >= 0) dup2(log, STDERR_FILENO);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(pipeFds[1]);
        m_stdout = pipeFds[0];
        if (m_pid < 0) return false;
        return ReadReadyLines(timeout);
    }

    // SIGTERM, then waits (at most `timeout`) for the process to end. Returns its exit
    // status, -1 when it had to be killed or was not running.
    int Stop(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        int result = -1;
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status = 0;
            const bool ended =
                WaitUntil([&] { return waitpid(m_pid, &status, WNOHANG) == m_pid; }, timeout);
            if (ended) {
                result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            } else {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
            }
            m_pid = -1;
        }
        if (m_stdout >= 0) {
            close(m_stdout);
            m_stdout = -1;
        }
        return result;
    }

    // True while the process runs.
    bool Running() {
        if (m_pid <= 0) return false;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return false;
        }
        return true;
    }

    pid_t Pid() const { return m_pid; }
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
    int ExitStatus() const { return m_exitStatus; }

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
        std::string pending;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd fd{m_stdout, POLLIN, 0};
            if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
            char buffer[512];
            const ssize_t n = read(m_stdout, buffer, sizeof buffer);
            if (n <= 0) return false;  // ended before it was ready
            pending.append(buffer, static_cast<std::size_t>(n));
            std::size_t end;
            while ((end = pending.find('\n')) != std::string::npos) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (line == "ready") return true;
                m_readyLines.push_back(line);
                ParseLine(line);
            }
        }
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
    pid_t m_pid = -1;
    int m_stdout = -1;
    int m_tcpPort = 0;
    int m_exitStatus = -1;
    std::string m_ptyPath;
    std::string m_ptyDevice;
    std::string m_lptPath;
    std::string m_outDir;
    std::string m_statePath;
    std::vector<std::string> m_readyLines;
};

}  // namespace kp70::test
