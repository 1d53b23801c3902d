#include "platform/ParPortCtl.h"

#include <gtest/gtest.h>

#include <future>

#include "core/app/ErrorLog.h"
#include "core/app/VirtualClock.h"
#include "platform/PlatformTestSupport.h"
#include "support/TempDir.h"

using namespace kp70;
using kp70::test::PtyPair;
using kp70::test::WaitUntil;
using Bytes = std::vector<std::uint8_t>;

namespace {

// A pty stands in for the parallel port: the printer's side is the master.
class ParPortCtlTest : public ::testing::Test {
protected:
    ParPortCtlTest() : log(clock), port(log, clock) { log.Open(dir.File("error.log")); }

    std::string Log() const { return kp70::test::ReadFile(dir.File("error.log")); }
    Bytes TakeAll() {
        Bytes got;
        for (;;) {
            int flag = 0;
            const std::uint8_t byte = port.GetByte(flag);
            if (flag != 1) break;
            got.push_back(byte);
        }
        return got;
    }
    // Asks for one read and waits until the queue holds `queued` bytes.
    bool ReadUntilQueued(int queued) {
        port.RequestRead();
        return WaitUntil([&] { return port.Queued() == queued; });
    }

    kp70::test::TempDir dir;
    VirtualClock clock;
    ErrorLog log;
    PtyPair pty;
    ParPortCtl port;
};

}  // namespace

TEST_F(ParPortCtlTest, OpenFailureStoresCodeAndText) {
    EXPECT_EQ(port.Open("/dev/lpKP70none"), 0);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.lastErrorCode(), ENOENT);
    EXPECT_EQ(port.lastErrorText(),
              "[ParPortCtl] CreateFile fail : 2 (/dev/lpKP70none: not found)");
    EXPECT_EQ(port.Write(reinterpret_cast<const std::uint8_t*>("x"), 1), 0);
}

TEST_F(ParPortCtlTest, OpenIsExclusiveAndClosingWaits100Ms) {
    ASSERT_EQ(port.Open(pty.SlavePath()), 1);
    EXPECT_TRUE(port.isOpen());
    EXPECT_FALSE(port.timeoutsSet());
    EXPECT_EQ(port.lastErrorCode(), 0);
    ParPortCtl other(log, clock);
    EXPECT_EQ(other.Open(pty.SlavePath()), 0);
    EXPECT_NE(other.lastErrorText().find("in use by another program"), std::string::npos);

    EXPECT_EQ(port.Close(), 1);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(clock.Sleeps(), std::vector<std::int64_t>{100});
    EXPECT_EQ(other.Open(pty.SlavePath()), 1);
}

TEST_F(ParPortCtlTest, WritesReachThePrinter) {
    ASSERT_EQ(port.Open(pty.SlavePath()), 1);
    const Bytes command = {0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 0x49, 0x4E};
    EXPECT_EQ(port.Write(command.data(), static_cast<int>(command.size())), 8);
    EXPECT_EQ(pty.Receive(8), command);
}

TEST_F(ParPortCtlTest, WriteThePrinterDoesNotTakeFailsAfter5000Ms) {
    termios tio = pty.SlaveTermios();
    tio.c_iflag |= IXON;
    pty.SetSlaveTermios(tio);
    ASSERT_EQ(port.Open(pty.SlavePath()), 1);
    pty.Send({0x13});  // XOFF: the line holds every byte back
    const std::uint8_t probe = 'p';
    ASSERT_TRUE(WaitUntil([&] { return port.Write(&probe, 1) == 0; }));
    clock.ClearSleeps();
    const std::int64_t before = clock.Now();
    const Bytes block(100, 0x41);
    EXPECT_EQ(port.Write(block.data(), 100), 0);
    EXPECT_EQ(clock.Now() - before, 5000);
}

TEST_F(ParPortCtlTest, ReaderQueuesReplyBytesAndKeepsStatusApart) {
    ASSERT_EQ(port.Open(pty.SlavePath()), 1);
    ASSERT_EQ(port.StartReader(), 1);
    EXPECT_TRUE(port.ReaderRunning());

    pty.Send({0x14, 0x00, 0x00, 0x0F, 0x14, 0x00, 0x00, 0x0F});
    port.RequestRead();
    ASSERT_TRUE(WaitUntil([&] { return port.lastStatus() == StatusBlock{0x14, 0, 0, 0x0F}; }));
    int flag = 0;
    EXPECT_EQ(port.GetByte(flag), 0);
    EXPECT_EQ(flag, -1);
    EXPECT_EQ(port.lastErrorText(), "[ParPortCtl] Receive Queue is Empty");

    pty.Send({0x37, 0x22, 0x18, 0x08, 0x00, 0x0F, 0x00, 0x14, 0x00});
    ASSERT_TRUE(ReadUntilQueued(5));  // the cut-off 0x14 0x00 at the end is reply data
    EXPECT_EQ(TakeAll(), (Bytes{0x37, 0x22, 0x00, 0x14, 0x00}));
    EXPECT_EQ(port.lastStatus(), (StatusBlock{0x18, 0x08, 0x00, 0x0F}));
}

TEST_F(ParPortCtlTest, StopEndsAReadThatIsStillWaiting) {
    ASSERT_EQ(port.Open(pty.SlavePath()), 1);
    ASSERT_EQ(port.StartReader(), 1);
    port.RequestRead();  // the printer sends nothing
    auto stopping = std::async(std::launch::async, [&] { port.StopReader(); });
    ASSERT_EQ(stopping.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "StopReader stayed blocked on a waiting read";
    EXPECT_FALSE(port.ReaderRunning());

    // A new reader works as the first did; Close stops it the same way.
    ASSERT_EQ(port.StartReader(), 1);
    pty.Send({0x41});
    ASSERT_TRUE(ReadUntilQueued(1));
    port.RequestRead();
    auto closing = std::async(std::launch::async, [&] { return port.Close(); });
    ASSERT_EQ(closing.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(closing.get(), 1);
    EXPECT_FALSE(port.ReaderRunning());
    EXPECT_EQ(TakeAll(), Bytes{0x41});
}

TEST_F(ParPortCtlTest, FullQueueEndsTheReader) {
    ASSERT_EQ(port.Open(pty.SlavePath()), 1);
    ASSERT_EQ(port.StartReader(), 1);
    Bytes sent(4095);
    for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<std::uint8_t>(i % 251);
    pty.Send(sent);
    for (int queued = 512; queued < 4095 + 512; queued += 512)
        ASSERT_TRUE(ReadUntilQueued(std::min(queued, 4095))) << queued;
    EXPECT_TRUE(port.ReaderRunning());

    pty.Send({0xEE, 0xEF});
    port.RequestRead();
    ASSERT_TRUE(WaitUntil([&] { return !port.ReaderRunning(); }));
    EXPECT_EQ(port.lastErrorText(), "Receive Queue is FULL!");
    EXPECT_EQ(TakeAll(), sent);

    // The screen starts a new reader to go on.
    ASSERT_EQ(port.StartReader(), 1);
    pty.Send({0x55});
    ASSERT_TRUE(ReadUntilQueued(1));
    EXPECT_EQ(TakeAll(), Bytes{0x55});
}

TEST_F(ParPortCtlTest, ReadFailureIsLoggedAndStored) {
    // A device whose reads fail: a network tunnel not yet attached to an interface gives
    // EBADFD on every read.
    if (::access("/dev/net/tun", R_OK | W_OK) != 0) GTEST_SKIP() << "no /dev/net/tun here";
    ASSERT_EQ(port.Open("/dev/net/tun"), 1);
    ASSERT_EQ(port.StartReader(), 1);
    port.RequestRead();
    ASSERT_TRUE(WaitUntil([&] { return port.lastErrorCode() == EBADFD; }));
    const std::string text = "[ParPortCtl] Read fail : " + std::to_string(EBADFD) + "\r\n";
    EXPECT_EQ(port.lastErrorText(), text);
    EXPECT_NE(Log().find(text), std::string::npos);
    EXPECT_TRUE(port.ReaderRunning());  // a failed read does not end the reader
}

TEST_F(ParPortCtlTest, StopWithoutReaderAndDestructionWithOneReturn) {
    port.StopReader();
    ASSERT_EQ(port.Open(pty.SlavePath()), 1);
    auto destroying = std::async(std::launch::async, [&] {
        ParPortCtl scoped(log, clock);
        scoped.Open(dir.File("none"));
        ParPortCtl running(log, clock);
        PtyPair other;
        running.Open(other.SlavePath());
        running.StartReader();
        running.RequestRead();
    });
    ASSERT_EQ(destroying.wait_for(std::chrono::seconds(5)), std::future_status::ready);
}
