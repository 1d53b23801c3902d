#include "platform/CPorts.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <future>

#include "core/app/CancelToken.h"
#include "core/app/ErrorLog.h"
#include "core/app/VirtualClock.h"
#include "core/transport/OutputFileAsker.h"
#include "platform/ParPortCtl.h"
#include "platform/PlatformTestSupport.h"
#include "platform/PosixIo.h"
#include "platform/SerialLineSettings.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/TempDir.h"

using namespace kp70;
using kp70::test::PtyPair;
using kp70::test::RecordingNotifier;
using kp70::test::TempDir;
using kp70::test::WaitUntil;

namespace {

// Takes every byte out of the port's queue on each hand-off.
class DrainingListener : public ReceiveListener {
public:
    explicit DrainingListener(PrinterPort& port) : m_port(port) {}
    void OnDataReceived() override {
        std::lock_guard lock(m_mutex);
        ++m_deliveries;
        while (!m_port.QueueRead().IsEmpty()) m_bytes.push_back(m_port.QueueRead().Get());
    }
    std::vector<std::uint8_t> Bytes() {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }
    int Deliveries() {
        std::lock_guard lock(m_mutex);
        return m_deliveries;
    }

private:
    PrinterPort& m_port;
    std::mutex m_mutex;
    std::vector<std::uint8_t> m_bytes;
    int m_deliveries = 0;
};

// Counts hand-offs and leaves the queue alone.
class CountingListener : public ReceiveListener {
public:
    void OnDataReceived() override { ++deliveries; }
    std::atomic<int> deliveries{0};
};

// A hand-off that waits for a thread that never comes, until the port cancels it: what a
// GUI listener does while the GUI thread is inside Close.
class StuckListener : public ReceiveListener {
public:
    void OnDataReceived() override {
        std::unique_lock lock(m_mutex);
        entered = true;
        m_cv.wait(lock, [&] { return m_cancelled; });
        m_cancelled = false;
    }
    void CancelDelivery() override {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
        ++cancels;
        m_cv.notify_all();
    }
    std::atomic<bool> entered{false};
    std::atomic<int> cancels{0};

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_cancelled = false;
};

class CPortsTest : public ::testing::Test {
protected:
    CPortsTest() : log(clock), port(log, clock, notifier, devices, asker) {
        log.Open(dir.File("error.log"));
    }

    void UseSerial(const std::string& path, int flow = 3, std::uint8_t toolMode = 1) {
        ConnectionSettings& s = port.Settings();
        s.portName = path;
        s.baudRate = 115200;
        s.dataBits = 8;
        s.parity = 0;
        s.stopBits = 0;
        s.flowControl = flow;
        s.modelCode = 6;
        s.toolMode = toolMode;
    }
    std::string Log() const { return kp70::test::ReadFile(dir.File("error.log")); }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
    int WriteText(const std::string& text) {
        return port.Write(reinterpret_cast<const std::uint8_t*>(text.data()),
                          static_cast<int>(text.size()));
    }

    TempDir dir;
    VirtualClock clock;
    ErrorLog log;
    RecordingNotifier notifier;
    kp70::test::FakeDeviceEnumerator devices;
    FixedOutputFileAsker asker;
    CPorts port;
};

std::vector<std::uint8_t> Text(const std::string& text) {
    return {text.begin(), text.end()};
}

}  // namespace

TEST_F(CPortsTest, CloseOfNeverOpenedPortReturnsZero) {
    EXPECT_EQ(port.Close(), 0);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(Log(), "");
}

TEST_F(CPortsTest, SerialOpenFailuresAndTheirLogLines) {
    const std::string notATerminal = dir.File("ttyFake");
    kp70::test::WriteFile(notATerminal, "x");
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    struct Case {
        const char* what;
        std::function<void(ConnectionSettings&)> change;
        const char* logLine;    // nullptr: nothing logged
        const char* errorText;  // part of LastErrorText
    };
    const std::vector<Case> cases = {
        {"baud unset", [](ConnectionSettings& s) { s.baudRate = -1; }, nullptr, "incomplete"},
        {"data unset", [](ConnectionSettings& s) { s.dataBits = -1; }, nullptr, "incomplete"},
        {"flow unset", [](ConnectionSettings& s) { s.flowControl = -1; }, nullptr, "incomplete"},
        {"parity unset", [](ConnectionSettings& s) { s.parity = -1; }, nullptr, "incomplete"},
        {"missing device", [](ConnectionSettings& s) { s.portName = "/dev/ttyKP70none"; },
         "CPorts::Open() CreateFile error\r\n", "/dev/ttyKP70none: not found"},
        {"COM name without node", [](ConnectionSettings& s) { s.portName = "COM200"; },
         "CPorts::Open() CreateFile error\r\n", "/dev/ttyS199"},
        {"not a terminal", [&](ConnectionSettings& s) { s.portName = notATerminal; },
         "CPorts::Open() GetCommState failed.\r\n", "not a serial port"},
        {"odd speed", [](ConnectionSettings& s) { s.baudRate = 12345; },
         "CPorts::Open() SetCommstate failed(22).\r\n", "unsupported speed 12345"},
        {"nine data bits", [](ConnectionSettings& s) { s.dataBits = 9; },
         "CPorts::Open() SetCommstate failed(22).\r\n", "unsupported data size 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log.Open(dir.File("error.log"));  // empties it
        UseSerial(pty.SlavePath());
        c.change(port.Settings());
        EXPECT_EQ(port.Open(), 0);
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(port.Close(), 0);
        if (c.logLine) {
            EXPECT_TRUE(Logged(c.logLine)) << Log();
        } else {
            EXPECT_EQ(Log(), "");
        }
        EXPECT_NE(port.LastErrorText().find(c.errorText), std::string::npos)
            << port.LastErrorText();
    }
}

TEST_F(CPortsTest, NamesOfNoKnownKindFailWithInvalidHandle) {
    for (const char* name : {"ETHERNET_II", "", "WIFI", "printer"}) {
        SCOPED_TRACE(name);
        log.Open(dir.File("error.log"));
        port.Settings().portName = name;
        EXPECT_EQ(port.Open(), 0);
        EXPECT_EQ(Log().substr(22), "CPorts::Open() Invalid Handle\r\n\r\n");
    }
}

TEST_F(CPortsTest, OpenErrorTextSaysWhatToDo) {
    EXPECT_EQ(
        posix::OpenErrorText("/dev/ttyS0", EACCES, "dialout"),
        "/dev/ttyS0: permission denied (add the user to the 'dialout' group and log in again)");
    EXPECT_EQ(posix::OpenErrorText("/dev/lp0", EPERM, "lp"),
              "/dev/lp0: permission denied (add the user to the 'lp' group and log in again)");
    EXPECT_EQ(posix::OpenErrorText("out.prn", EACCES, nullptr), "out.prn: permission denied");
    EXPECT_EQ(posix::OpenErrorText("/dev/ttyUSB0", EBUSY, "dialout"),
              "/dev/ttyUSB0: in use by another program");
    EXPECT_EQ(posix::DevicePathOf("COM1"), "/dev/ttyS0");
    EXPECT_EQ(posix::DevicePathOf("COM12"), "/dev/ttyS11");
    EXPECT_EQ(posix::DevicePathOf("LPT2"), "/dev/lp1");
    EXPECT_EQ(posix::DevicePathOf("COM0"), "COM0");
    EXPECT_EQ(posix::DevicePathOf("/dev/ttyUSB0"), "/dev/ttyUSB0");
}

TEST_F(CPortsTest, PermissionErrorIsLoggedAndReported) {
    const std::string node = dir.File("ttyLocked");
    kp70::test::WriteFile(node, "");
    ::chmod(node.c_str(), 0);
    UseSerial(node);
    auto check = [&] {
        return port.Open() == 0 && port.LastErrorCode() == EACCES &&
               port.LastErrorText().find(node +
                                         ": permission denied (add the user to the "
                                         "'dialout' group") != std::string::npos;
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(check()) << port.LastErrorText();
    } else {
        // Root opens anything: try it as an ordinary user in a child process.
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            ::_exit(dropped && check() ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    EXPECT_TRUE(Logged("CPorts::Open() CreateFile error\r\n"));
    EXPECT_TRUE(Logged(node + ": permission denied"));
}

TEST_F(CPortsTest, SerialPortIsNotShared) {
    PtyPair pty;
    UseSerial(pty.SlavePath());
    ASSERT_EQ(port.Open(), 1);
    CPorts other(log, clock, notifier, devices, asker);
    other.Settings() = port.Settings();
    EXPECT_EQ(other.Open(), 0);
    EXPECT_NE(other.LastErrorText().find("in use by another program"), std::string::npos);
    EXPECT_TRUE(Logged("CPorts::Open() CreateFile error\r\n"));
    port.Close();
    EXPECT_EQ(other.Open(), 1);
}

TEST_F(CPortsTest, OpeningTwiceReleasesWaitsAndLogs) {
    PtyPair pty;
    UseSerial(pty.SlavePath(), 3, kToolModeSetup);
    ASSERT_EQ(port.Open(), 1);
    EXPECT_TRUE(clock.Sleeps().empty());
    ASSERT_EQ(port.Open(), 1);
    EXPECT_EQ(clock.Sleeps(), std::vector<std::int64_t>{1000});
    EXPECT_TRUE(Logged("CPorts::Open() CloseHandle run\r\n"));
    EXPECT_TRUE(port.isOpen());
    EXPECT_TRUE(port.ReceiveThreadRunning());
    EXPECT_EQ(WriteText("again"), 5);
    EXPECT_EQ(pty.Receive(5), Text("again"));
    EXPECT_EQ(port.Close(), 1);
    EXPECT_EQ(port.Close(), 0);
}

TEST(SerialLineSettings, LineSettingsAndFlowControlRules) {
    struct Case {
        int baud, data, parity, stop, flow;
        tcflag_t iflagBefore, cflagBefore;
        speed_t speed;
        tcflag_t size, cflagSet, cflagClear, iflagSet, iflagClear;
    };
    const std::vector<Case> cases = {
        // Hardware: RTS/CTS on, output XON/XOFF off, input XON/XOFF as it was.
        {115200, 8, 0, 0, 1, IXON | IXOFF, 0, B115200, CS8, CRTSCTS, PARENB | CSTOPB, IXOFF, IXON},
        {9600, 7, 2, 2, 1, IXON, 0, B9600, CS7, CRTSCTS | PARENB | CSTOPB, PARODD, INPCK,
         IXON | IXOFF},
        // Software: XON/XOFF and RTS/CTS exactly as the line had them.
        {19200, 8, 1, 0, 2, IXON | IXOFF, 0, B19200, CS8, PARENB | PARODD, CRTSCTS, IXON | IXOFF,
         0},
        {38400, 6, 0, 0, 2, 0, CRTSCTS, B38400, CS6, CRTSCTS, PARENB, 0, IXON | IXOFF},
        // None: no handshake of either kind.
        {9600, 5, 0, 2, 3, IXON | IXOFF, CRTSCTS, B9600, CS5, CSTOPB, CRTSCTS | PARENB, 0,
         IXON | IXOFF},
        {57600, 8, 3, 0, 3, 0, 0, B57600, CS8, PARENB | PARODD | CMSPAR, CSTOPB, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "baud " << c.baud << " flow " << c.flow);
        termios tio{};
        tio.c_iflag = ICRNL | c.iflagBefore;
        tio.c_oflag = OPOST | ONLCR;
        tio.c_lflag = ICANON | ECHO | ISIG;
        tio.c_cflag = CS8 | PARENB | c.cflagBefore;
        ConnectionSettings s;
        s.baudRate = c.baud;
        s.dataBits = c.data;
        s.parity = c.parity;
        s.stopBits = c.stop;
        s.flowControl = c.flow;
        ASSERT_EQ(ApplyLineSettings(s, tio), "");
        EXPECT_EQ(cfgetospeed(&tio), c.speed);
        EXPECT_EQ(cfgetispeed(&tio), c.speed);
        EXPECT_EQ(tio.c_cflag & CSIZE, c.size);
        EXPECT_EQ(tio.c_cflag & c.cflagSet, c.cflagSet);
        EXPECT_EQ(tio.c_cflag & c.cflagClear, 0u);
        EXPECT_EQ(tio.c_cflag & (CREAD | CLOCAL), tcflag_t{CREAD | CLOCAL});
        EXPECT_EQ(tio.c_iflag & c.iflagSet, c.iflagSet);
        EXPECT_EQ(tio.c_iflag & c.iflagClear, 0u);
        // Binary transfer whatever the flow control.
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_EQ(tio.c_iflag & ICRNL, 0u);
        EXPECT_EQ(tio.c_cc[VMIN], 0);
    }
    ConnectionSettings bad;
    bad.baudRate = 9600;
    bad.dataBits = 8;
    bad.parity = 7;
    bad.flowControl = 3;
    termios tio{};
    EXPECT_EQ(ApplyLineSettings(bad, tio), "unsupported parity 7");
}

TEST_F(CPortsTest, OpenAppliesTheSettingsToTheLine) {
    // A pty keeps speed, stop bits and the flow-control flags (it forces 8 bits, no parity).
    PtyPair pty;
    termios before = pty.SlaveTermios();
    before.c_iflag |= IXON | IXOFF | ICRNL;
    before.c_lflag |= ICANON | ECHO;
    pty.SetSlaveTermios(before);
    UseSerial(pty.SlavePath(), 1);
    port.Settings().baudRate = 19200;
    port.Settings().stopBits = 2;
    ASSERT_EQ(port.Open(), 1) << port.LastErrorText();
    const termios after = pty.SlaveTermios();
    EXPECT_EQ(cfgetospeed(&after), B19200);
    EXPECT_EQ(after.c_cflag & (CRTSCTS | CSTOPB), tcflag_t{CRTSCTS | CSTOPB});
    EXPECT_EQ(after.c_iflag & (IXON | IXOFF | ICRNL), tcflag_t{IXOFF});
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO), 0u);
    // A pty has no modem lines, so no DSR holds the output back.
    EXPECT_EQ(WriteText("hw"), 2);
    EXPECT_EQ(pty.Receive(2), Text("hw"));
}

TEST_F(CPortsTest, OpenPurgesWhatWaitedOnTheLine) {
    PtyPair pty;
    pty.Send(Text("stale"));
    UseSerial(pty.SlavePath(), 3, kToolModeSetup);
    DrainingListener listener(port);
    port.SetNotifyWindow(&listener);
    ASSERT_EQ(port.Open(), 1);
    pty.Send(Text("fresh"));
    ASSERT_TRUE(WaitUntil([&] { return listener.Bytes().size() >= 5; }));
    EXPECT_EQ(listener.Bytes(), Text("fresh"));
    port.Close();
}

TEST_F(CPortsTest, WritesReachTheDeviceInOrder) {
    PtyPair pty;
    UseSerial(pty.SlavePath());
    ASSERT_EQ(port.Open(), 1);
    std::vector<std::uint8_t> block(3000);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 7);
    EXPECT_EQ(port.Write(block.data(), static_cast<int>(block.size())), 3000);
    EXPECT_EQ(WriteText("\x11\x13\r\n"), 4);
    std::vector<std::uint8_t> expected = block;
    expected.insert(expected.end(), {0x11, 0x13, '\r', '\n'});
    EXPECT_EQ(pty.Receive(expected.size()), expected);
    EXPECT_TRUE(clock.Sleeps().empty());
}

TEST_F(CPortsTest, WriteStalledByXoffGivesUpAfter100MsPerByte) {
    PtyPair pty;
    termios tio = pty.SlaveTermios();
    tio.c_iflag |= IXON;
    pty.SetSlaveTermios(tio);
    UseSerial(pty.SlavePath(), 2);  // software flow: XON/XOFF stays on
    ASSERT_EQ(port.Open(), 1);
    pty.Send({0x13});  // XOFF from the printer
    ASSERT_TRUE(WaitUntil([&] {
        // The terminal has seen XOFF once a one-byte write no longer goes through.
        const std::uint8_t probe = 'p';
        clock.ClearSleeps();
        return port.Write(&probe, 1) == 0;
    }));
    pty.Drain();
    clock.ClearSleeps();
    const std::int64_t before = clock.Now();
    EXPECT_EQ(WriteText("0123456789"), 0);
    EXPECT_EQ(clock.Now() - before, 1000);
    EXPECT_GT(clock.Sleeps().size(), 1u);  // waited in steps, not in one block

    pty.Send({0x11});  // XON: the line moves again
    ASSERT_TRUE(WaitUntil([&] { return WriteText("ok") == 2; }));
    EXPECT_EQ(pty.Receive(2), Text("ok"));
}

TEST_F(CPortsTest, WriteTimeOutReportsTheCountWritten) {
    PtyPair pty;
    UseSerial(pty.SlavePath());
    ASSERT_EQ(port.Open(), 1);
    // Nobody reads the device side, so the terminal's buffers fill up part way.
    std::vector<std::uint8_t> block(40000, 0x55);
    const int written = port.Write(block.data(), static_cast<int>(block.size()));
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 40000);
    EXPECT_EQ(clock.TotalSlept(), 100 * 40000);
    EXPECT_EQ(pty.Receive(static_cast<std::size_t>(written) + 1, 300).size(),
              static_cast<std::size_t>(written));
}

TEST_F(CPortsTest, ReceiveThreadOnlyForSetupAndOldestModelsFirmwareTool) {
    PtyPair pty;
    struct Case {
        std::uint8_t toolMode;
        int modelCode;
        bool thread;
    };
    for (const Case& c : {Case{1, 6, false}, Case{2, 6, true}, Case{2, 2, true}, Case{3, 6, false},
                          Case{3, 2, true}, Case{0, 2, false}}) {
        SCOPED_TRACE(testing::Message() << int(c.toolMode) << "/" << c.modelCode);
        UseSerial(pty.SlavePath(), 3, c.toolMode);
        port.Settings().modelCode = c.modelCode;
        ASSERT_EQ(port.Open(), 1);
        EXPECT_EQ(port.ReceiveThreadRunning(), c.thread);
        port.Close();
        EXPECT_FALSE(port.ReceiveThreadRunning());
    }
}

TEST_F(CPortsTest, ReceivedBytesArriveInOrder) {
    PtyPair pty;
    UseSerial(pty.SlavePath(), 3, kToolModeSetup);
    DrainingListener listener(port);
    port.SetNotifyWindow(&listener);
    ASSERT_EQ(port.Open(), 1);
    std::vector<std::uint8_t> sent;
    for (int burst = 0; burst < 20; ++burst) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(100 + burst * 157));
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(sent.size() + i);
        pty.Send(bytes);
        sent.insert(sent.end(), bytes.begin(), bytes.end());
        // Keep what is in flight below the queue's size: the listener drains as it goes.
        ASSERT_TRUE(WaitUntil([&] { return listener.Bytes().size() == sent.size(); }));
    }
    EXPECT_EQ(listener.Bytes(), sent);
    EXPECT_EQ(notifier.Count(41), 0);
    EXPECT_EQ(port.Close(), 1);
}

TEST_F(CPortsTest, ChunkThatDoesNotFitIsDroppedWithMessage41) {
    PtyPair pty;
    UseSerial(pty.SlavePath(), 3, kToolModeSetup);
    CountingListener listener;
    port.SetNotifyWindow(&listener);
    ASSERT_EQ(port.Open(), 1);
    std::vector<std::uint8_t> fill(4095);
    for (std::size_t i = 0; i < fill.size(); ++i) fill[i] = static_cast<std::uint8_t>(i);
    pty.Send(fill);
    ASSERT_TRUE(WaitUntil([&] { return port.QueueRead().Count() == 4095; }));
    EXPECT_EQ(notifier.Count(41), 0);

    const int deliveries = listener.deliveries;
    pty.Send({0xAA});
    ASSERT_TRUE(
        WaitUntil([&] { return notifier.Count(41) == 1 && listener.deliveries > deliveries; }));
    EXPECT_EQ(port.QueueRead().Count(), 4095);

    // The queue still holds the first 4095 bytes, in order; after it was emptied new bytes fit.
    port.SetNotifyWindow(nullptr);
    std::vector<std::uint8_t> got;
    while (!port.QueueRead().IsEmpty()) got.push_back(port.QueueRead().Get());
    EXPECT_EQ(got, fill);
    pty.Send({1, 2, 3});
    ASSERT_TRUE(WaitUntil([&] { return port.QueueRead().Count() == 3; }));
    EXPECT_EQ(notifier.Count(41), 1);
    port.Close();
}

TEST_F(CPortsTest, CloseWakesAnIdleReceiveThread) {
    PtyPair pty;
    UseSerial(pty.SlavePath(), 3, kToolModeSetup);
    ASSERT_EQ(port.Open(), 1);
    ASSERT_TRUE(port.ReceiveThreadRunning());
    auto closing = std::async(std::launch::async, [&] { return port.Close(); });
    ASSERT_EQ(closing.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "Close stayed blocked on the receive thread";
    EXPECT_EQ(closing.get(), 1);
    EXPECT_FALSE(port.ReceiveThreadRunning());
    EXPECT_FALSE(port.isOpen());
}

TEST_F(CPortsTest, CloseCancelsAHandOffThatWaitsForTheClosingThread) {
    PtyPair pty;
    UseSerial(pty.SlavePath(), 3, kToolModeSetup);
    StuckListener listener;
    port.SetNotifyWindow(&listener);
    ASSERT_EQ(port.Open(), 1);
    pty.Send({0x42});
    ASSERT_TRUE(WaitUntil([&] { return listener.entered.load(); }));
    auto closing = std::async(std::launch::async, [&] { return port.Close(); });
    ASSERT_EQ(closing.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "Close deadlocked with the listener";
    EXPECT_EQ(closing.get(), 1);
    EXPECT_EQ(listener.cancels, 1);
}

TEST_F(CPortsTest, DeviceThatGoesAwayEndsTheReceiveThreadNotThePort) {
    PtyPair pty;
    UseSerial(pty.SlavePath(), 3, kToolModeSetup);
    CountingListener listener;
    port.SetNotifyWindow(&listener);
    ASSERT_EQ(port.Open(), 1);
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return Logged("hung up"); }));
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(WriteText("x"), 0);
    EXPECT_TRUE(Logged("WriteFile get error result [5]"));
    EXPECT_EQ(port.Close(), 1);
}

TEST_F(CPortsTest, FilePortWritesToTheNamedFileOrTempPrn) {
    const std::string target = dir.File("receipt.prn");
    FixedOutputFileAsker named(target);
    CPorts filePort(log, clock, notifier, devices, named);
    filePort.Settings().portName = "FILE";
    ASSERT_EQ(filePort.Open(), 1);
    EXPECT_EQ(filePort.Settings().portName, target);
    const std::string text = "\x1b@logo\x00\xff";
    EXPECT_EQ(filePort.Write(reinterpret_cast<const std::uint8_t*>(text.data()), 8), 8);
    EXPECT_EQ(filePort.Close(), 1);
    EXPECT_EQ(kp70::test::ReadFile(target), std::string(text.data(), 8));
    // portName now holds the path: a second Open needs "FILE" again.
    EXPECT_EQ(filePort.Open(), 0);
    EXPECT_TRUE(Logged("CPorts::Open() Invalid Handle\r\n"));

    // No name given: temp.prn in the current directory, emptied on each open.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    kp70::test::WriteFile(dir.File("temp.prn"), "old contents");
    port.Settings().portName = "FILE";
    ASSERT_EQ(port.Open(), 1);
    EXPECT_EQ(port.Settings().portName, "temp.prn");
    EXPECT_EQ(WriteText("new"), 3);
    port.Close();
    std::filesystem::current_path(cwd);
    EXPECT_EQ(kp70::test::ReadFile(dir.File("temp.prn")), "new");
}

TEST_F(CPortsTest, FileThatCannotBeCreatedFailsOpen) {
    FixedOutputFileAsker named(dir.File("no-such-folder/out.prn"));
    CPorts filePort(log, clock, notifier, devices, named);
    filePort.Settings().portName = "FILE";
    EXPECT_EQ(filePort.Open(), 0);
    EXPECT_TRUE(Logged("CPorts::Open() CreateFile error\r\n"));
    EXPECT_NE(filePort.LastErrorText().find("out.prn: not found"), std::string::npos);
    EXPECT_EQ(filePort.Write(reinterpret_cast<const std::uint8_t*>("x"), 1), 0);
}

namespace {

using Data = std::vector<std::uint8_t>;

class CPortsUsbTest : public CPortsTest {
protected:
    void Attach(const std::string& hardwareId) {
        devices.usb.push_back({pty.SlavePath(), hardwareId});
    }
    void UseUsb(int modelCode) {
        port.Settings().portName = "USB";
        port.Settings().modelCode = modelCode;
    }
    PtyPair pty;
};

}  // namespace

TEST_F(CPortsUsbTest, OpensTheModelsDeviceWithFallbackForModel6) {
    devices.usb.push_back({"/dev/usb/lpOther", "USB\\VID_04B8&PID_0202"});
    Attach("usb\\vid_5a3d&pid_3004&rev_0100");
    UseUsb(6);
    ASSERT_EQ(port.Open(), 1) << port.LastErrorText();
    EXPECT_EQ(port.usbDevicePath(), pty.SlavePath());
    EXPECT_TRUE(Logged("[Error] no USB printer-class device with id USB\\VID_5A3D&PID_3012"));
    EXPECT_TRUE(Logged("CreateFile Success ["));
    EXPECT_FALSE(port.ReceiveThreadRunning());
    EXPECT_EQ(WriteText("\x1b@"), 2);
    EXPECT_EQ(pty.Receive(2), Text("\x1b@"));
    EXPECT_EQ(port.Close(), 1);

    // Model 4 knows only 3004 too; model 1 looks for another id and finds nothing.
    UseUsb(4);
    EXPECT_EQ(port.Open(), 1);
    port.Close();
    UseUsb(1);
    EXPECT_EQ(port.Open(), 0);
    EXPECT_NE(port.LastErrorText().find("no USB printer of this model is attached"),
              std::string::npos);
}

TEST_F(CPortsUsbTest, DeviceThatCannotBeOpenedIsLogged) {
    devices.usb.push_back({dir.File("lp9"), "USB\\VID_5A3D&PID_3012"});
    UseUsb(5);
    EXPECT_EQ(port.Open(), 0);
    UseUsb(6);
    EXPECT_EQ(port.Open(), 0);
    EXPECT_TRUE(Logged("CreateFile Fail [2]"));
    EXPECT_EQ(port.LastErrorCode(), ENOENT);
    EXPECT_NE(port.LastErrorText().find("lp9: not found"), std::string::npos);
}

TEST_F(CPortsUsbTest, ReplyIsReadBackAndUnescapedAcrossChunkEdges) {
    Attach("USB\\VID_5A3D&PID_3012");
    UseUsb(6);
    DrainingListener listener(port);
    port.SetNotifyWindow(&listener);
    ASSERT_EQ(port.Open(), 1);
    // 255 plain bytes, then an escaped zero whose escape byte ends the first 256-byte chunk.
    Data reply(255, 0x41);
    reply.insert(reply.end(), {0x1B, 0x30, 0x1B, 0x1B, 0x1B, 0x42});
    pty.Send(reply);
    ASSERT_TRUE(WaitUntil([&] { return pty.SlaveWaiting() == static_cast<int>(reply.size()); }));
    EXPECT_EQ(port.ReadUsbReply(), 1);
    Data expected(255, 0x41);
    expected.insert(expected.end(), {0x00, 0x1B, 0x42});
    EXPECT_EQ(listener.Bytes(), expected);
    EXPECT_EQ(listener.Deliveries(), 2);  // one per chunk that brought bytes
    EXPECT_EQ(clock.TotalSlept(), 200);   // the two rounds that found nothing waited 100 ms each
}

TEST_F(CPortsUsbTest, ReplyThatDoesNotFitIsDroppedWithMessage41) {
    Attach("USB\\VID_5A3D&PID_3012");
    UseUsb(6);
    ASSERT_EQ(port.Open(), 1);
    Data fill(4095, 0x33);
    pty.Send(fill);
    ASSERT_TRUE(WaitUntil([&] { return pty.SlaveWaiting() == 4095; }));
    while (port.QueueRead().Count() < 4095) ASSERT_EQ(port.ReadUsbReply(), 1);
    pty.Send({0x1B, 0x30});
    ASSERT_TRUE(WaitUntil([&] { return pty.SlaveWaiting() == 2; }));
    EXPECT_EQ(port.ReadUsbReply(), 1);
    EXPECT_EQ(notifier.Count(41), 1);
    EXPECT_EQ(port.QueueRead().Count(), 4095);
}

TEST_F(CPortsUsbTest, ReadingBackWithoutAnOpenUsbPortShowsTheDevice) {
    EXPECT_EQ(port.ReadUsbReply(), 0);
    Attach("USB\\VID_5A3D&PID_3012");
    UseUsb(6);
    ASSERT_EQ(port.Open(), 1);
    port.Close();
    EXPECT_EQ(port.ReadUsbReply(), 0);
    EXPECT_EQ(notifier.Texts(), (std::vector<std::string>{"USB", pty.SlavePath()}));
}

TEST_F(CPortsTest, ParallelPortThatIsNotThereFailsOpen) {
    for (const char* name : {"LPT9", "/dev/lpKP70none", "/dev/parportKP70none"}) {
        SCOPED_TRACE(name);
        log.Open(dir.File("error.log"));
        port.Settings().portName = name;
        EXPECT_EQ(port.Open(), 0);
        EXPECT_EQ(port.LastErrorCode(), ENOENT);
        EXPECT_TRUE(Logged("CPorts::Open() CreateFile error\r\n"));
        EXPECT_FALSE(port.isOpen());
    }
    EXPECT_NE(port.LastErrorText().find("/dev/parportKP70none: not found"), std::string::npos);
}

// A printer that stops taking bytes (paper out on a parallel port, a USB printer that no
// longer reads) makes the write give up after the port's limit with what it took, instead of
// blocking the tool for good. The printer here is a pty that nobody reads.
TEST_F(CPortsUsbTest, WriteToAPrinterThatTakesNothingGivesUpWithTheCountTaken) {
    const std::string lpLink = dir.File("lpStalled");
    ASSERT_EQ(::symlink(pty.SlavePath().c_str(), lpLink.c_str()), 0);
    Attach("USB\\VID_5A3D&PID_3012");
    for (const std::string& name : {std::string("USB"), lpLink}) {
        SCOPED_TRACE(name);
        port.Settings().portName = name;
        port.Settings().modelCode = 6;
        ASSERT_EQ(port.Open(), 1);
        const Data block(1 << 20, 0x55);  // far more than the pty holds
        auto write = std::async(std::launch::async, [&] {
            return port.Write(block.data(), static_cast<int>(block.size()));
        });
        // A watchdog only: on the virtual clock the limit passes at once.
        if (write.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            pty.CloseMaster();  // lets the write end, so the test can report
            write.wait();
            FAIL() << "the write blocked";
        }
        const int written = write.get();
        // A parallel port counts what the line took; a USB printer only the blocks it took
        // whole, and the block the pty holds stays under way.
        if (name != "USB") {
            EXPECT_GT(written, 0);
        }
        EXPECT_LT(written, static_cast<int>(block.size()));
        EXPECT_TRUE(Logged("WriteFile Time-out!"));
        port.Close();
        // Empty the line for the next kind.
        std::uint8_t sink[4096];
        while (::read(pty.Master(), sink, sizeof sink) > 0) {
        }
    }
}

namespace kp70 {
namespace {

// A clock that cancels a token once a write has waited for the first time, as an operator
// pressing Ctrl+C while the printer takes nothing.
class CancelOnWait : public VirtualClock {
public:
    explicit CancelOnWait(CancelToken& token) : m_token(token) {}
    void SleepFor(std::int64_t ms) override {
        VirtualClock::SleepFor(ms);
        m_token.Cancel();
    }

private:
    CancelToken& m_token;
};

}  // namespace

// A parallel port whose printer takes nothing (offline, out of paper): Ctrl+C ends the
// wait at once, and the write says how much the port took.
TEST(CPortsParallel, AWriteThePrinterTakesNothingOfEndsAtTheCancel) {
    TempDir dir;
    const std::vector<std::uint8_t> block(1 << 20, 0x55);
    PtyPair pty;  // nobody reads the device side, so its buffers fill up part way
    const std::string link = dir.File("lpStuck");
    ASSERT_EQ(::symlink(pty.SlavePath().c_str(), link.c_str()), 0);
    CancelToken token;
    CancelOnWait clock(token);
    ErrorLog log(clock);
    RecordingNotifier notifier;
    kp70::test::FakeDeviceEnumerator devices;
    FixedOutputFileAsker asker;
    CPorts port(log, clock, notifier, devices, asker);
    port.Settings().portName = link;
    ASSERT_EQ(port.Open(), 1);
    const SendResult result =
        port.WriteBounded(block.data(), static_cast<int>(block.size()), token);
    EXPECT_GT(result.taken, 0);
    EXPECT_LT(result.taken, static_cast<int>(block.size()));
    EXPECT_EQ(result.fault, SendFault::Cancelled);
    EXPECT_LE(clock.TotalSlept(), 50);
}

}  // namespace kp70

namespace kp70 {

// A port name that is a regular file or a pipe (a mistyped path, a leftover) is no printer:
// the open fails at once, saying so, and the file is left as it was.
TEST(CPortsParallel, AFileOrAPipeNamedLikeAPortIsRefusedWithoutWriting) {
    TempDir dir;
    const std::string file = dir.File("lpFile");
    kp70::test::WriteFile(file, "the operator's notes");
    const std::string fifo = dir.File("lpFifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& name : {file, fifo}) {
        SCOPED_TRACE(name);
        VirtualClock clock;
        ErrorLog log(clock);
        RecordingNotifier notifier;
        kp70::test::FakeDeviceEnumerator devices;
        FixedOutputFileAsker asker;
        CPorts port(log, clock, notifier, devices, asker);
        port.Settings().portName = name;
        EXPECT_EQ(port.Open(), 0);
        EXPECT_NE(port.LastErrorText().find(name + ": not a port"), std::string::npos)
            << port.LastErrorText();
        ParPortCtl controller(log, clock);
        EXPECT_EQ(controller.Open(name), 0);
    }
    EXPECT_EQ(kp70::test::ReadFile(file), "the operator's notes");
}

}  // namespace kp70
