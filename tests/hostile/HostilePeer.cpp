// The other end of the hostile-network test: a sender of junk datagrams and three TCP peers
// that no printer would be. It knows nothing of the tool and links nothing of it.
//
//   kp70_hostile_peer flood ADDRESS COUNT   COUNT datagrams to ADDRESS:2918: random bytes of
//                                           any length but 35, and 35-byte frames that name
//                                           no printer (another PC's search, blank frames)
//   kp70_hostile_peer silent PORT           accepts every connection and never reads
//   kp70_hostile_peer reset PORT BYTES      reads BYTES of each connection, then resets it
//   kp70_hostile_peer endless PORT          sends random bytes without end (and drops what
//                                           it receives)
//
// The TCP peers listen on 0.0.0.0:PORT until they are killed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

std::mt19937 g_random(2918);

int Flood(const char* address, int count) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(2918);
    if (fd < 0 || inet_pton(AF_INET, address, &to.sin_addr) != 1) {
        std::fprintf(stderr, "flood: cannot send to %s\n", address);
        return 2;
    }
    int sent = 0;
    int frames = 0;
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        if (i % 3 == 2) {
            // 35 bytes whose settings are all zero: any header, command and trailer.
            bytes.assign(35, 0);
            for (int k : {0, 1, 2, 33, 34}) bytes[static_cast<std::size_t>(k)] = g_random() & 0xFF;
            for (std::size_t k = 24; k < 33; ++k) bytes[k] = g_random() & 0xFF;
            ++frames;
        } else {
            std::size_t size = g_random() % 1400;
            if (size == 35) size = 36;
            bytes.resize(size);
            for (auto& b : bytes) b = g_random() & 0xFF;
        }
        if (sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to),
                   sizeof to) == static_cast<ssize_t>(bytes.size()))
            ++sent;
        // A steady stream over a couple of seconds rather than one burst the socket drops.
        if (i % 50 == 49) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    close(fd);
    std::printf("sent %d frames %d\n", sent, frames);
    return 0;
}

void Serve(const std::string& mode, int connection, int resetAfter) {
    std::vector<std::uint8_t> buffer(4096);
    if (mode == "silent") {
        // Holds the connection and reads nothing until the tool closes it.
        pollfd fd{connection, POLLRDHUP, 0};
        while (poll(&fd, 1, -1) >= 0 && !(fd.revents & (POLLRDHUP | POLLHUP | POLLERR))) {
        }
    } else if (mode == "reset") {
        int got = 0;
        while (got < resetAfter) {
            const ssize_t n = read(connection, buffer.data(),
                                   static_cast<std::size_t>(std::min<int>(4096, resetAfter - got)));
            if (n <= 0) break;
            got += static_cast<int>(n);
        }
        linger hard{1, 0};  // close with a reset
        setsockopt(connection, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    } else {
        for (auto& b : buffer) b = g_random() & 0xFF;
        for (;;) {
            pollfd fd{connection, POLLIN | POLLOUT, 0};
            if (poll(&fd, 1, -1) < 0 || (fd.revents & (POLLHUP | POLLERR))) break;
            if ((fd.revents & POLLIN) && read(connection, buffer.data(), buffer.size()) <= 0) break;
            if ((fd.revents & POLLOUT) && write(connection, buffer.data(), buffer.size()) < 0)
                break;
        }
    }
    close(connection);
}

int Listen(const std::string& mode, int port, int resetAfter) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<std::uint16_t>(port));
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        listen(fd, 16) != 0) {
        std::fprintf(stderr, "%s: cannot listen on port %d: %s\n", mode.c_str(), port,
                     std::strerror(errno));
        return 2;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        const int connection = accept(fd, nullptr, nullptr);
        if (connection < 0) continue;
        std::thread(Serve, mode, connection, resetAfter).detach();
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "flood" && argc == 4) return Flood(argv[2], std::atoi(argv[3]));
    if ((mode == "silent" || mode == "endless") && argc == 3)
        return Listen(mode, std::atoi(argv[2]), 0);
    if (mode == "reset" && argc == 4) return Listen(mode, std::atoi(argv[2]), std::atoi(argv[3]));
    std::fprintf(stderr,
                 "usage: kp70_hostile_peer flood ADDRESS COUNT | silent PORT | reset PORT BYTES | "
                 "endless PORT\n");
    return 2;
}
