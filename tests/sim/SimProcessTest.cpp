// kp70sim as a process: its listeners, captures, scripted replies, faults and stop.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "support/SimProcess.h"

namespace kp70::test {
namespace {

using std::chrono::milliseconds;

// A TCP connection to 127.0.0.1:port; -1 (errno set) when refused.
int ConnectTcp(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// The pty's slave through its link, in raw mode as a serial port program would set it.
int OpenPty(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

void Send(int fd, const std::string& bytes) {
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// Reads until `expected` bytes came, the peer ended, or `timeout` passed.
std::string ReadFor(int fd, std::size_t expected, milliseconds timeout = milliseconds(2000)) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < expected) {
        const auto left =
            std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

// True when the peer ended the connection (or the pty hung up) within `timeout`.
bool EndsWithin(int fd, milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    char byte;
    return read(fd, &byte, 1) <= 0;
}

const std::string kInit("\x1B\x40", 2);

TEST(SimProcess, AnnouncesItsListenersAndRemovesThePtyLinkOnSigterm) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start()) << sim.Log();
    ASSERT_EQ(sim.ReadyLines().size(), 2u);
    EXPECT_GT(sim.TcpPort(), 0);
    EXPECT_EQ(sim.ReadyLines()[0], "tcp 127.0.0.1:" + std::to_string(sim.TcpPort()));
    EXPECT_EQ(sim.ReadyLines()[1], "pty " + sim.PtyPath() + " -> " + sim.PtyDevice());
    EXPECT_EQ(std::filesystem::read_symlink(sim.PtyPath()).string(), sim.PtyDevice());

    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(sim.PtyPath())));
}

TEST(SimProcess, SigintStopsItToo) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start()) << sim.Log();
    kill(sim.Pid(), SIGINT);
    EXPECT_TRUE(WaitUntil([&] { return !sim.Running(); }));
    EXPECT_EQ(sim.ExitStatus(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(sim.PtyPath())));
}

TEST(SimProcess, CapturesEveryByteOfEachConnectionApart) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start()) << sim.Log();
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);

    const int first = ConnectTcp(sim.TcpPort());
    const int second = ConnectTcp(sim.TcpPort());
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    Send(first, all);
    Send(second, "second");
    Send(first, all);
    const int pty = OpenPty(sim.PtyPath());
    ASSERT_GE(pty, 0);
    Send(pty, all);

    EXPECT_TRUE(sim.WaitForCapture("capture-tcp-1.bin", 512)) << sim.Log();
    EXPECT_TRUE(sim.WaitForCapture("capture-tcp-2.bin", 6)) << sim.Log();
    EXPECT_TRUE(sim.WaitForCapture("capture-pty.bin", 256)) << sim.Log();
    // Which accepted connection is number 1 follows the order of the connects.
    EXPECT_EQ(sim.Capture("capture-tcp-1.bin"), all + all);
    EXPECT_EQ(sim.Capture("capture-tcp-2.bin"), "second");
    EXPECT_EQ(sim.Capture("capture-pty.bin"), all);
    close(first);
    close(second);
    close(pty);
}

TEST(SimProcess, ScriptedRepliesComeBackOnTcpAndPty) {
    SimProcess sim;
    TempDir scripts;
    WriteFile(scripts.File("rules"), "# a status query\n10 04 01 = 16\n");
    ASSERT_TRUE(sim.Start({"--reply", "1B40=4F4B", "--script", scripts.File("rules")}))
        << sim.Log();

    const int tcp = ConnectTcp(sim.TcpPort());
    ASSERT_GE(tcp, 0);
    Send(tcp, "abc" + kInit);
    EXPECT_EQ(ReadFor(tcp, 2), "OK");
    Send(tcp, std::string("\x10\x04\x01", 3));
    EXPECT_EQ(ReadFor(tcp, 1), "\x16");

    const int pty = OpenPty(sim.PtyPath());
    ASSERT_GE(pty, 0);
    Send(pty, kInit.substr(0, 1));
    Send(pty, kInit.substr(1));
    EXPECT_EQ(ReadFor(pty, 2), "OK");
    close(tcp);
    close(pty);
}

TEST(SimProcess, PtySurvivesTheProgramClosingAndReopeningIt) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--reply", "1B40=4F4B"})) << sim.Log();
    for (int round = 0; round < 3; ++round) {
        const int pty = OpenPty(sim.PtyPath());
        ASSERT_GE(pty, 0) << "round " << round;
        Send(pty, kInit);
        EXPECT_EQ(ReadFor(pty, 2), "OK") << "round " << round;
        close(pty);
    }
    // Bytes written just before a close still reach the capture.
    const int pty = OpenPty(sim.PtyPath());
    Send(pty, "last");
    close(pty);
    EXPECT_TRUE(sim.WaitForCapture("capture-pty.bin", 10));
    EXPECT_EQ(sim.Capture("capture-pty.bin"), kInit + kInit + kInit + "last");
    EXPECT_TRUE(sim.Running());
}

// The parallel side follows each reply with a status block until status back off, which
// counts from the byte after it, even within one chunk or split across chunks.
TEST(SimProcess, ParallelSideSendsStatusBlocksUntilStatusBackOff) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--lpt", sim.LptLink(), "--reply", "1B40=4F4B"})) << sim.Log();
    ASSERT_EQ(sim.LptPath(), sim.LptLink());
    ASSERT_EQ(sim.ReadyLines().size(), 3u);
    EXPECT_EQ(sim.ReadyLines()[2].rfind("lpt " + sim.LptLink() + " -> /dev/pts/", 0), 0u);
    const std::string status("\x14\x00\x00\x0F", 4);
    const std::string backOff("\x1D\x61\x00", 3);

    int lpt = OpenPty(sim.LptPath());
    ASSERT_GE(lpt, 0);
    // A program that opens the port hears the status first.
    EXPECT_EQ(ReadFor(lpt, 4), status);
    Send(lpt, kInit);
    EXPECT_EQ(ReadFor(lpt, 6), "OK" + status);
    // Status back off split over chunks: the printer has decoded the first part first.
    Send(lpt, backOff.substr(0, 2));
    ASSERT_TRUE(sim.WaitForCapture("capture-lpt.bin", 4)) << sim.Log();
    Send(lpt, backOff.substr(2) + kInit);
    EXPECT_EQ(ReadFor(lpt, 6, milliseconds(300)), "OK");
    // On again, then off between two requests of one chunk; the link survives a reopen
    // (with status back off in force the reopen brings no block).
    close(lpt);
    lpt = OpenPty(sim.LptPath());
    ASSERT_GE(lpt, 0);
    Send(lpt, std::string("\x1D\x61\x01", 3) + kInit + backOff + kInit);
    EXPECT_EQ(ReadFor(lpt, 10, milliseconds(300)), "OK" + status + "OK");
    close(lpt);

    // The serial side never sends status blocks.
    const int pty = OpenPty(sim.PtyPath());
    ASSERT_GE(pty, 0);
    Send(pty, kInit);
    EXPECT_EQ(ReadFor(pty, 6, milliseconds(300)), "OK");
    close(pty);
    EXPECT_EQ(sim.Capture("capture-lpt.bin"),
              kInit + backOff + kInit + "\x1D\x61\x01" + kInit + backOff + kInit);
    EXPECT_EQ(sim.Capture("capture-pty.bin"), kInit);
}

// --device serves a node that exists already (here a pty's slave, in the hardware test a
// USB gadget's): as the serial side, as a USB printer whose replies escape 00 and 1B, or as
// the parallel side with its status blocks. A device that goes away leaves kp70sim running.
TEST(SimProcess, DeviceAnswersAsItsKindSays) {
    struct Case {
        const char* kind;
        std::string heard;  // what the program on the other end reads first
        std::string reply;  // the answer to ESC @
    };
    const std::string status("\x14\x00\x00\x0F", 4);
    const Case cases[] = {
        {"", "", std::string("\x00\x1B\x41", 3)},
        {"serial:", "", std::string("\x00\x1B\x41", 3)},
        {"usb:", "", std::string("\x1B\x30\x1B\x1B\x41", 5)},
        {"lpt:", status, std::string("\x00\x1B\x41", 3) + status},
    };
    for (const Case& c : cases) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        const std::string slave = ptsname(master);
        SimProcess sim;
        ASSERT_TRUE(sim.Start({"--device", c.kind + slave, "--reply", "1B40=001B41"})) << sim.Log();
        EXPECT_EQ(sim.ReadyLines()[2],
                  "device " + slave + " " +
                      (*c.kind ? std::string(c.kind, strlen(c.kind) - 1) : std::string("serial")))
            << c.kind;
        EXPECT_EQ(ReadFor(master, c.heard.size()), c.heard) << c.kind;
        Send(master, kInit);
        EXPECT_EQ(ReadFor(master, c.reply.size()), c.reply) << c.kind;
        EXPECT_TRUE(sim.WaitForCapture("capture-device.bin", 2)) << c.kind;
        close(master);
        EXPECT_TRUE(WaitUntil([&] {
            return sim.Log().find("device went away") != std::string::npos;
        })) << c.kind
            << sim.Log();
        EXPECT_TRUE(sim.Running()) << c.kind;
        EXPECT_EQ(sim.Stop(), 0) << c.kind;
    }
    SimProcess sim;
    EXPECT_FALSE(sim.Start({"--device", "usb:/nonexistent/g_printer0"}));
    EXPECT_NE(sim.Log().find("cannot open the device /nonexistent/g_printer0"), std::string::npos)
        << sim.Log();
}

TEST(SimProcess, KeepStatusFaultIgnoresStatusBackOff) {
    SimProcess sim;
    ASSERT_TRUE(
        sim.Start({"--lpt", sim.LptLink(), "--reply", "1B40=4F4B", "--fault", "keep-status"}))
        << sim.Log();
    const int lpt = OpenPty(sim.LptPath());
    ASSERT_GE(lpt, 0);
    EXPECT_EQ(ReadFor(lpt, 4), std::string("\x14\x00\x00\x0F", 4));
    Send(lpt, std::string("\x1D\x61\x00", 3) + kInit);
    EXPECT_EQ(ReadFor(lpt, 6), std::string("OK\x14\x00\x00\x0F", 6));
    close(lpt);
}

// DLE EOT n is answered from the status given at start, with the printer off line while
// the cover is open or an error stopped it; an unknown status name is a usage error.
TEST(SimProcess, AnswersStatusRequestsFromItsStatus) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--status", "cover-open", "--status", "error"})) << sim.Log();
    const int tcp = ConnectTcp(sim.TcpPort());
    ASSERT_GE(tcp, 0);
    Send(tcp, std::string("\x10\x04\x01\x10\x04\x02\x10", 7));
    Send(tcp, std::string("\x04\x03\x10\x04\x04\x10\x04\x05", 8));
    EXPECT_EQ(ReadFor(tcp, 5, milliseconds(1000)), "\x1E\x56\x32\x12");
    close(tcp);

    SimProcess wrong;
    EXPECT_FALSE(wrong.Start({"--status", "jammed"}));
    EXPECT_NE(wrong.Log().find("unknown status 'jammed'"), std::string::npos) << wrong.Log();
}

TEST(SimProcess, DropAfterClosesTheConnectionAtThatByte) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--fault", "drop-after=5"})) << sim.Log();
    const int tcp = ConnectTcp(sim.TcpPort());
    ASSERT_GE(tcp, 0);
    Send(tcp, "0123456789");
    EXPECT_TRUE(EndsWithin(tcp, milliseconds(2000)));
    close(tcp);
    EXPECT_EQ(sim.Capture("capture-tcp-1.bin"), "01234");

    // A new connection counts afresh.
    const int again = ConnectTcp(sim.TcpPort());
    ASSERT_GE(again, 0);
    Send(again, "abc");
    EXPECT_TRUE(sim.WaitForCapture("capture-tcp-2.bin", 3));
    EXPECT_FALSE(EndsWithin(again, milliseconds(50)));
    close(again);
}

TEST(SimProcess, DropAfterHangsUpThePtyAndAFreshOneTakesTheLink) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--fault", "drop-after=3"})) << sim.Log();
    const int pty = OpenPty(sim.PtyPath());
    ASSERT_GE(pty, 0);
    Send(pty, "abcdef");
    EXPECT_TRUE(EndsWithin(pty, milliseconds(2000)));
    close(pty);
    EXPECT_TRUE(WaitUntil([&] {
        std::error_code ec;
        return std::filesystem::read_symlink(sim.PtyPath(), ec).string() != sim.PtyDevice();
    })) << sim.Log();

    const int fresh = OpenPty(sim.PtyPath());
    ASSERT_GE(fresh, 0);
    Send(fresh, "xy");
    EXPECT_TRUE(sim.WaitForCapture("capture-pty.bin", 5));
    EXPECT_EQ(sim.Capture("capture-pty.bin"), "abcxy");
    close(fresh);
}

TEST(SimProcess, StallAfterTakesNothingMoreButKeepsTheConnectionAndRepeatEchoes) {
    SimProcess sim;
    ASSERT_TRUE(
        sim.Start({"--fault", "stall-after=4", "--fault", "repeat", "--reply", "1B40=4F4B"}))
        << sim.Log();
    const int tcp = ConnectTcp(sim.TcpPort());
    ASSERT_GE(tcp, 0);
    Send(tcp, kInit + "abcdef");
    EXPECT_EQ(ReadFor(tcp, 4), "OKOK");
    EXPECT_FALSE(EndsWithin(tcp, milliseconds(50)));
    close(tcp);
    EXPECT_EQ(sim.Capture("capture-tcp-1.bin"), kInit + "ab");
}

TEST(SimProcess, RefuseMakesEveryConnectFail) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--fault", "refuse"})) << sim.Log();
    ASSERT_GT(sim.TcpPort(), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ConnectTcp(sim.TcpPort()), -1);
        EXPECT_EQ(errno, ECONNREFUSED);
    }
}

TEST(SimProcess, SilentNeverAnswersButStillCaptures) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--fault", "silent", "--reply", "1B40=4F4B"})) << sim.Log();
    const int tcp = ConnectTcp(sim.TcpPort());
    ASSERT_GE(tcp, 0);
    Send(tcp, kInit);
    EXPECT_TRUE(sim.WaitForCapture("capture-tcp-1.bin", 2));
    EXPECT_EQ(ReadFor(tcp, 1, milliseconds(100)), "");
    close(tcp);
}

TEST(SimProcess, LateRepliesWaitTheirTime) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--fault", "late=150", "--reply", "1B40=4F4B", "--reply", "0A=21"}))
        << sim.Log();
    const int tcp = ConnectTcp(sim.TcpPort());
    ASSERT_GE(tcp, 0);
    const auto sent = std::chrono::steady_clock::now();
    Send(tcp, kInit + "\n");
    EXPECT_EQ(ReadFor(tcp, 3), "OK!");
    EXPECT_GE(std::chrono::steady_clock::now() - sent, milliseconds(150));
    close(tcp);
}

TEST(SimProcess, TimeScaleShortensThePrintersOwnDelays) {
    SimProcess sim;
    ASSERT_TRUE(
        sim.Start({"--time-scale", "0.001", "--fault", "late=100000", "--reply", "1B40=4F4B"}))
        << sim.Log();
    // 100 s late at the printer's pace, a tenth of a second here.
    const int tcp = ConnectTcp(sim.TcpPort());
    ASSERT_GE(tcp, 0);
    Send(tcp, kInit);
    EXPECT_EQ(ReadFor(tcp, 2, milliseconds(10000)), "OK");
    close(tcp);

    // Leaving user-setting mode resets the printer: deaf, then "printer ready" and it
    // answers again.
    const int pty = OpenPty(sim.PtyPath());
    ASSERT_GE(pty, 0);
    Send(pty, std::string("\x1D\x28\x45\x03\x00\x01IN\x1D\x28\x45\x04\x00\x02OUT", 17));
    ASSERT_TRUE(WaitUntil([&] { return sim.Log().find("pty printer ready") != std::string::npos; },
                          milliseconds(10000)))
        << sim.Log();
    EXPECT_LT(sim.Log().find("pty printer restarted"), sim.Log().find("pty printer ready"));
    Send(pty, kInit);
    EXPECT_EQ(ReadFor(pty, 2, milliseconds(10000)), "OK");
    close(pty);
}

TEST(SimProcess, StartFailuresSayWhy) {
    {
        SimProcess sim;
        WriteFile(sim.Dir().File("state.json"), "{broken");
        EXPECT_FALSE(sim.Start());
        EXPECT_NE(sim.Log().find("is not a JSON object"), std::string::npos) << sim.Log();
    }
    {
        SimProcess sim;
        WriteFile(sim.Dir().File("ttyKP70"), "a plain file");
        EXPECT_FALSE(sim.Start());
        EXPECT_NE(sim.Log().find("is not a link"), std::string::npos) << sim.Log();
        EXPECT_EQ(ReadFile(sim.Dir().File("ttyKP70")), "a plain file");
    }
    {
        SimProcess sim;
        EXPECT_FALSE(sim.Start({"--fault", "melt"}));
        EXPECT_NE(sim.Log().find("unknown fault"), std::string::npos) << sim.Log();
    }
}

}  // namespace
}  // namespace kp70::test
