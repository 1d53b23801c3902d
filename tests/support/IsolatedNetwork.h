#pragma once

// Tests on the discovery port (UDP 2918) hear every broadcast on the machine: another test
// running at the same time, or a kp70sim the developer started, would answer their
// searches. EnterIsolatedNetwork moves the test process, before it starts any thread, into
// a network namespace of its own (inside a user namespace, so no privileges are needed)
// with only the loopback interface, up. Child processes (kp70sim) follow it there.
//
//   int main(int argc, char** argv) {
//       kp70::test::EnterIsolatedNetwork();   // first, while the process has one thread
//       ...
//   }
//
// Where the system does not allow it, the tests share the machine's loopback network;
// ctest runs them one at a time (RESOURCE_LOCK kp70_discovery_port) so they do not meet.

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kp70::test {

namespace detail {
inline bool WriteProcFile(const char* path, const std::string& text) {
    const int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return ok;
}

inline bool& Isolated() {
    static bool isolated = false;
    return isolated;
}
}  // namespace detail

// True once the process runs in a network namespace of its own.
inline bool InIsolatedNetwork() {
    return detail::Isolated();
}

// Adds an address to the loopback interface ("10.9.0.1/24"), giving the PC a second
// network. Only inside the test's own namespace; false where that cannot be done.
inline bool AddLoopbackAddress(const std::string& cidr) {
    if (!InIsolatedNetwork()) return false;
    const std::string command = "ip addr add " + cidr + " dev lo >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

inline bool EnterIsolatedNetwork() {
    if (detail::Isolated()) return true;
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) return false;
    // The same user inside as outside, so files keep their owner.
    detail::WriteProcFile("/proc/self/setgroups", "deny");
    detail::WriteProcFile("/proc/self/uid_map",
                          std::to_string(uid) + " " + std::to_string(uid) + " 1");
    detail::WriteProcFile("/proc/self/gid_map",
                          std::to_string(gid) + " " + std::to_string(gid) + " 1");
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    close(fd);
    detail::Isolated() = up;
    if (!up) std::fprintf(stderr, "no loopback in the new network namespace\n");
    return up;
}

}  // namespace kp70::test
