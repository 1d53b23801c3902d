#pragma once

// A program run as a child process by an end-to-end test or a benchmark (kp70ctl monitor, a
// Prometheus server, the virtual printer through SimProcess): its standard output read line by line
// as it comes, its standard error kept in a file, every wait bounded, and the process stopped when
// the object goes.
//
//   kp70::test::ChildProcess monitor;
//   ASSERT_TRUE(monitor.Start({kp70ctl, "monitor", ...}, dir.File("monitor.log")));
//   const std::string line = monitor.WaitForLine("metrics at ");
//   ...
//   EXPECT_EQ(monitor.Stop(), 0);   // SIGTERM, then the exit status

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

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

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts args[0] with the arguments after it, stderr into logPath, in the folder `dir`
    // (the current one when empty), with the variables `env` ("NAME=VALUE") added to its
    // environment. False when it could not be started.
    bool Start(const std::vector<std::string>& args, const std::string& logPath,
               const std::string& dir = {}, const std::vector<std::string>& env = {}) {
        Stop();
        m_exitStatus = -1;
        m_logPath = logPath;
        m_output.clear();
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
        // Everything the child needs is prepared before fork: after it, only system calls.
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e) environment.emplace_back(*e);
        environment.insert(environment.end(), env.begin(), env.end());
        std::vector<char*> envp;
        for (auto& e : environment) envp.push_back(e.data());
        envp.push_back(nullptr);
        const pid_t parent = getpid();
        m_pid = fork();
        if (m_pid == 0) {
            // A test that crashes takes its child with it: a virtual printer left running
            // would hold its ports and whatever it inherited.
            if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(125);
            dup2(pipeFds[1], STDOUT_FILENO);
            const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (log >= 0) dup2(log, STDERR_FILENO);
            if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(126);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        close(pipeFds[1]);
        m_stdout = pipeFds[0];
        return m_pid > 0;
    }

    // Waits (at most `timeout`) for a line of standard output that holds `text` and returns
    // it; empty when none came or the process ended.
    std::string WaitForLine(const std::string& text,
                            std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string line;
        while (NextLine(line, deadline))
            if (line.find(text) != std::string::npos) return line;
        return "";
    }

    // The next line of standard output, without its line break, once it came before
    // `deadline`. False when none came in time or the process closed its output.
    bool NextLine(std::string& line, std::chrono::steady_clock::time_point deadline) {
        for (;;) {
            const std::size_t end = m_output.find('\n');
            if (end != std::string::npos) {
                line = m_output.substr(0, end);
                m_output.erase(0, end + 1);
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || m_stdout < 0) return false;
            pollfd fd{m_stdout, POLLIN, 0};
            if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
            char buffer[512];
            const ssize_t n = read(m_stdout, buffer, sizeof buffer);
            if (n <= 0) return false;
            m_output.append(buffer, static_cast<std::size_t>(n));
        }
    }

    // SIGTERM (or `signal`), then waits (at most `timeout`) for the end. Its exit status;
    // -1 when it had to be killed, ended by a signal or was not running.
    int Stop(int signal = SIGTERM, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        int result = -1;
        if (m_pid > 0) {
            kill(m_pid, signal);
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

    // True while the process runs; once it ended, ExitStatus() says how (-1: by a signal).
    bool Running() {
        if (m_pid <= 0) return false;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) != m_pid) return true;
        m_pid = -1;
        m_exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return false;
    }
    int ExitStatus() const { return m_exitStatus; }

    pid_t Pid() const { return m_pid; }
    // What it wrote on stderr so far.
    std::string Log() const { return ReadFile(m_logPath); }

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    int m_exitStatus = -1;
    std::string m_logPath;
    std::string m_output;  // read, not yet split into lines
};

}  // namespace kp70::test
