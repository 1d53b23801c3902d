#pragma once

// What a process holds, read from /proc: its open descriptors (with what each points at),
// its threads and its child processes. Take one before an operation and one after, and
// LeftBehind names what the operation left:
//
//   const auto before = kp70::test::ResourceSnapshot::Of(getpid());
//   ... run the operation ...
//   EXPECT_EQ(kp70::test::LeftBehind(before, kp70::test::ResourceSnapshot::Of(getpid())),
//             std::vector<std::string>{});
//
// In the process itself nothing lingers: a joined thread and a closed descriptor are gone
// when the code returns. Another process (kp70sim) closes its end of a link only once it
// notices ours closed; SettledSnapshot waits for that, boundedly.
#include <dirent.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace kp70::test {

struct ResourceSnapshot {
    bool readable = false;           // /proc/<pid> could be read
    std::map<int, std::string> fds;  // descriptor -> what it points at
    std::set<int> threads;           // thread ids
    std::set<int> children;          // child process ids

    static ResourceSnapshot Of(pid_t pid) {
        ResourceSnapshot s;
        const std::string base = "/proc/" + std::to_string(pid);
        s.readable = ForEachEntry(base + "/fd", [&](const std::string& name) {
            char target[512];
            const std::string link = base + "/fd/" + name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            s.fds[std::stoi(name)] =
                n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string("?");
        });
        ForEachEntry(base + "/task", [&](const std::string& name) {
            const int tid = std::stoi(name);
            s.threads.insert(tid);
            // Each thread lists the children it started.
            std::ifstream children(base + "/task/" + name + "/children");
            for (int child; children >> child;) s.children.insert(child);
        });
        return s;
    }

    // Calls `entry` with each numeric name in a /proc folder; false when it cannot be read.
    static bool ForEachEntry(const std::string& folder,
                             const std::function<void(const std::string&)>& entry) {
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) return false;
        // Collected first: the callback must not see the descriptor of this listing.
        std::vector<std::string> names;
        const int own = ::dirfd(dir);
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
            if (folder.ends_with("/fd") && std::stoi(name) == own) continue;
            names.push_back(name);
        }
        ::closedir(dir);
        for (const auto& name : names) entry(name);
        return true;
    }
};

// What `after` holds that `before` did not: "fd 7 -> socket:[1234]", "thread 4321",
// "child 4400". Empty when nothing was left behind.
inline std::vector<std::string> LeftBehind(const ResourceSnapshot& before,
                                           const ResourceSnapshot& after) {
    std::vector<std::string> left;
    for (const auto& [fd, target] : after.fds) {
        const auto it = before.fds.find(fd);
        if (it == before.fds.end() || it->second != target) {
            left.push_back("fd " + std::to_string(fd) + " -> " + target);
        }
    }
    for (int tid : after.threads) {
        if (!before.threads.count(tid)) left.push_back("thread " + std::to_string(tid));
    }
    for (int child : after.children) {
        if (!before.children.count(child)) left.push_back("child " + std::to_string(child));
    }
    return left;
}

// A snapshot of pid once it holds no more descriptors, threads and children than `before`
// (counted: a program may open the same things again under other numbers), or after
// `bound` the last one taken. For another process, which tears down what a closed link
// left only once it notices; no clock of the program under test is involved.
inline ResourceSnapshot SettledSnapshot(
    pid_t pid, const ResourceSnapshot& before,
    std::chrono::milliseconds bound = std::chrono::milliseconds(2000)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        ResourceSnapshot now = ResourceSnapshot::Of(pid);
        const bool settled = now.fds.size() <= before.fds.size() &&
                             now.threads.size() <= before.threads.size() &&
                             now.children.size() <= before.children.size();
        if (settled || std::chrono::steady_clock::now() >= deadline) return now;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The processes of a session (the session id of a process started with setsid()), from
// /proc: what is left of a program and everything it started once the program has ended.
inline std::vector<int> ProcessesOfSession(pid_t session) {
    std::vector<int> found;
    ResourceSnapshot::ForEachEntry("/proc", [&](const std::string& name) {
        std::ifstream stat("/proc/" + name + "/stat");
        std::string line;
        if (!std::getline(stat, line)) return;
        // pid (comm) state ppid pgrp session ...; comm may hold blanks and parentheses.
        const auto close = line.rfind(')');
        if (close == std::string::npos) return;
        std::istringstream rest(line.substr(close + 1));
        std::string state;
        int ppid = 0, group = 0, sid = 0;
        if (rest >> state >> ppid >> group >> sid && sid == session && state != "Z") {
            found.push_back(std::stoi(name));
        }
    });
    return found;
}

}  // namespace kp70::test
