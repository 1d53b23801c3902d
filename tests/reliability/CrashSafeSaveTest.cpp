// Kills a process with SIGKILL at many points while it saves the profile (the logo list
// after an upload, the firmware tools' last images) and logs to error.log, and checks after
// every kill that the profile is exactly what one of the saves left, no older than the last
// save the process reported, and that every line of error.log is whole.
//
// Kill points are chosen by progress, never by time: the test follows the process's
// system calls (ptrace) and kills it on entry to a chosen one, before it runs. Even points
// pick the N-th system call since the process started (spread over its start and its
// first saves: every open, write, fsync and rename of a save is hit), odd points the write
// that would carry byte T of error.log (so a line written in pieces would be torn).
#include <fcntl.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <iostream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "ProfileSaveSequence.h"
#include "support/BmpBuilder.h"
#include "support/TempDir.h"

namespace kp70 {
namespace {

constexpr int kKillPoints = 200;

// What each save leaves in the profile, worked out in this process on a copy.
class ExpectedContents {
public:
    ExpectedContents(const test::TempDir& dir, std::vector<std::string> bitmaps)
        : m_path(dir.File("expected.INI")), m_bitmaps(std::move(bitmaps)) {
        test::WriteFile(m_path, test::kBaseProfile);
        m_bySave.emplace(test::kBaseProfile, 0);
    }
    // The save whose contents these are, or -1 for contents no save leaves.
    long SaveOf(const std::string& contents, long atLeast) {
        while (m_made < atLeast + 64) MakeNext();
        const auto it = m_bySave.find(contents);
        return it == m_bySave.end() ? -1 : it->second;
    }

private:
    void MakeNext() {
        Profile profile(m_path);
        ++m_made;
        ASSERT_TRUE(test::MakeSave(m_made, profile, m_bitmaps));
        ASSERT_TRUE(m_bySave.emplace(test::ReadFile(m_path), m_made).second)
            << "two saves leave the same contents";
    }
    std::string m_path;
    std::vector<std::string> m_bitmaps;
    std::map<std::string, long> m_bySave;
    long m_made = 0;
};

#if defined(__x86_64__)

// Where to kill: on entry to the syscallNumber-th system call, or (logByte > 0) to the write
// on error.log that would carry that byte of the file.
struct KillPoint {
    long syscallNumber = 0;
    long long logByte = 0;
};

// What the killed process reported on stdout: the last save it made, -1 for none.
struct KilledRun {
    bool killed = false;
    long lastReported = -1;
    std::string why;  // when not killed
};

// The byte count of a write or writev the stopped process is about to make on fd.
long long BytesOf(pid_t pid, const user_regs_struct& regs) {
    if (regs.orig_rax == SYS_write) return static_cast<long long>(regs.rdx);
    long long total = 0;  // writev: the sum of its iovecs' lengths
    for (unsigned long long i = 0; i < regs.rdx; ++i) {
        errno = 0;
        const long length = ptrace(PTRACE_PEEKDATA, pid, regs.rsi + i * sizeof(iovec) + 8, 0);
        if (errno == 0) total += length;
    }
    return total;
}

bool IsErrorLog(pid_t pid, unsigned long long fd) {
    char target[512];
    const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), target, sizeof target);
    return n > 0 && std::string(target, static_cast<std::size_t>(n)).ends_with("/error.log");
}

// Runs the saver from save `first` under ptrace and kills it at the point.
KilledRun RunUntilKilled(const std::string& dir, long first, const KillPoint& point,
                         long long logSize) {
    KilledRun run;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return {false, -1, "no pipe"};
    const std::string firstText = std::to_string(first);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        ptrace(PTRACE_TRACEME, 0, 0, 0);
        raise(SIGSTOP);
        execl(KP70_CRASH_SAVER_PATH, KP70_CRASH_SAVER_PATH, dir.c_str(), firstText.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    ptrace(PTRACE_SETOPTIONS, pid, 0,
           PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL | PTRACE_O_TRACEEXEC);
    long calls = 0;
    bool started = false;  // past the exec
    int signal = 0;
    for (;;) {
        ptrace(PTRACE_SYSCALL, pid, 0, signal);
        signal = 0;
        if (waitpid(pid, &status, 0) != pid || WIFEXITED(status) || WIFSIGNALED(status)) {
            run.why = "the process ended by itself";
            break;
        }
        if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXEC << 8))) {
            started = true;
            continue;
        }
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            signal = WSTOPSIG(status) == SIGSTOP ? 0 : WSTOPSIG(status);
            continue;
        }
        user_regs_struct regs{};
        ptrace(PTRACE_GETREGS, pid, 0, &regs);
        // On entry the kernel has not run the call yet: rax holds -ENOSYS.
        if (!started || static_cast<long long>(regs.rax) != -ENOSYS) continue;
        ++calls;
        bool killNow = point.logByte == 0 && calls >= point.syscallNumber;
        if (point.logByte > 0 && (regs.orig_rax == SYS_write || regs.orig_rax == SYS_writev) &&
            IsErrorLog(pid, regs.rdi)) {
            const long long bytes = BytesOf(pid, regs);
            if (logSize + bytes >= point.logByte) killNow = true;
            logSize += bytes;
        }
        // A watchdog: a process that never reaches its point fails instead of running on.
        if (killNow || calls > 2000000) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            run.killed = killNow;
            if (!killNow) run.why = "the kill point was never reached";
            break;
        }
    }
    std::string said;
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    const auto last = said.rfind("saved ");
    if (last != std::string::npos) run.lastReported = std::stol(said.substr(last + 6));
    return run;
}

// Lines of error.log that are not whole: every line is a time stamp and a save's message,
// ended by CR LF.
std::vector<std::string> TornLines(const std::string& log) {
    static const std::regex line(R"(\[\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\] save (\d+) x{180} end)");
    std::vector<std::string> torn;
    std::size_t from = 0;
    while (from < log.size()) {
        const auto end = log.find("\r\n", from);
        const std::string text = log.substr(from, end == std::string::npos ? end : end - from);
        if (end == std::string::npos || !std::regex_match(text, line)) torn.push_back(text);
        if (end == std::string::npos) break;
        from = end + 2;
    }
    return torn;
}

TEST(CrashSafeSave, ProfileAndErrorLogSurviveAKillAtAnyPoint) {
    test::TempDir dir;
    std::vector<std::string> bitmaps;
    for (int i = 0; i < 8; ++i) {
        bitmaps.push_back(
            test::WriteBmp(dir, "logo" + std::to_string(i) + ".bmp", test::Solid24(8 + i, 8, 0)));
    }
    const std::string profilePath = dir.File("kp70tool.INI");
    test::WriteFile(profilePath, test::kBaseProfile);
    test::TempDir scratch;
    ExpectedContents expected(scratch, bitmaps);

    int survived = 0;
    int insideASave = 0;  // kills that left a save's temporary file behind
    long reported = 0;    // the last save the process said it made
    std::size_t temporaries = 0;
    for (int point = 0; point < kKillPoints; ++point) {
        const long current = expected.SaveOf(test::ReadFile(profilePath), reported);
        ASSERT_GE(current, reported);
        const long long logSize =
            static_cast<long long>(test::ReadFile(dir.File("error.log")).size());
        KillPoint at;
        if (point % 2 == 0) {
            at.syscallNumber = 60 + (point * 7) % 340;
        } else {
            at.logByte = logSize + 1 + (point * 37) % 600;
        }
        const KilledRun run = RunUntilKilled(dir.Path().string(), current + 1, at, logSize);
        ASSERT_TRUE(run.killed) << "kill point " << point << ": " << run.why;
        reported = std::max(reported, run.lastReported);

        const std::string contents = test::ReadFile(profilePath);
        const long found = expected.SaveOf(contents, reported);
        const std::vector<std::string> torn = TornLines(test::ReadFile(dir.File("error.log")));
        EXPECT_GE(found, reported) << "kill point " << point << ": the profile holds\n" << contents;
        EXPECT_EQ(torn, std::vector<std::string>{}) << "kill point " << point;
        if (found >= reported && torn.empty()) ++survived;

        std::size_t now = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
            if (entry.path().filename().string().starts_with("kp70tool.INI.tmp-")) ++now;
        }
        if (now > temporaries) ++insideASave;
        temporaries = now;
    }
    std::cout << "kill points: " << survived << " of " << kKillPoints << " survived ("
              << insideASave << " inside a save)" << std::endl;
    EXPECT_EQ(survived, kKillPoints);
}

#else

TEST(CrashSafeSave, ProfileAndErrorLogSurviveAKillAtAnyPoint) {
    GTEST_SKIP() << "the kill points follow x86-64 system calls";
}

#endif

}  // namespace
}  // namespace kp70
