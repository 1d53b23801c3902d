#include "platform/Win32Io.h"

// Winsock (which the support header uses) ahead of windows.h.
#include "Win32TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/app/CancelToken.h"
#include "support/FastClock.h"

using namespace kp70;

namespace {

// A named pipe with a small buffer standing in for a printer: its server end reads (or
// does not), the client end is the overlapped handle the port writes to.
class PipePrinter {
public:
    PipePrinter() {
        static std::atomic<int> serial{0};
        m_name = "\\\\.\\pipe\\kp70-win32io-" + std::to_string(::GetCurrentProcessId()) + "-" +
                 std::to_string(serial++);
        m_server.Reset(::CreateNamedPipeA(m_name.c_str(), PIPE_ACCESS_INBOUND,
                                          PIPE_TYPE_BYTE | PIPE_WAIT, 1, 1024, 1024, 0, nullptr));
        m_client.Reset(::CreateFileA(m_name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OVERLAPPED, nullptr));
    }
    bool Valid() const { return m_server.Valid() && m_client.Valid(); }
    void* Port() const { return m_client.Get(); }
    // Reads everything until the port's end closes.
    std::vector<std::uint8_t> ReadAll() {
        std::vector<std::uint8_t> got;
        std::uint8_t buffer[4096];
        DWORD n = 0;
        while (::ReadFile(m_server.Get(), buffer, sizeof buffer, &n, nullptr) && n > 0)
            got.insert(got.end(), buffer, buffer + n);
        return got;
    }
    void ClosePort() { m_client.Reset(); }

private:
    std::string m_name;
    win32::Handle m_server;
    win32::Handle m_client;
};

// A named pipe standing in for a printer that answers: its server end writes (the
// printer), the client end is the overlapped handle the port receives on, and what the
// driver holds is what the pipe holds.
class PipeSender {
public:
    PipeSender() {
        static std::atomic<int> serial{0};
        const std::string name = "\\\\.\\pipe\\kp70-win32rx-" +
                                 std::to_string(::GetCurrentProcessId()) + "-" +
                                 std::to_string(serial++);
        m_server.Reset(::CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND,
                                          PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr));
        m_client.Reset(::CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OVERLAPPED, nullptr));
    }
    bool Valid() const { return m_server.Valid() && m_client.Valid() && m_wake.Valid(); }
    void Send(const std::uint8_t* data, std::size_t size) {
        DWORD n = 0;
        ASSERT_TRUE(::WriteFile(m_server.Get(), data, static_cast<DWORD>(size), &n, nullptr));
        ASSERT_EQ(n, size);
    }
    void Hang() { m_server.Reset(); }
    win32::Event& Wake() { return m_wake; }

    // ReceiveUntilWoken on the client end, on a thread of its own, collecting every batch.
    void Start(int chunkBytes = 2048) {
        m_hooks.chunkBytes = chunkBytes;
        m_hooks.waiting = [this]() -> long long {
            DWORD available = 0;
            if (!::PeekNamedPipe(m_client.Get(), nullptr, 0, nullptr, &available, nullptr))
                return -1;
            return available;
        };
        m_hooks.received = [this](const std::uint8_t* bytes, int n) {
            std::lock_guard lock(m_mutex);
            m_got.insert(m_got.end(), bytes, bytes + n);
            m_largestBatch = std::max(m_largestBatch, n);
        };
        m_hooks.running = [] { return true; };
        m_thread = std::thread([this] {
            m_result = win32::ReceiveUntilWoken(m_client.Get(), m_wake.Get(), m_clock, m_hooks);
            m_ended = true;
        });
    }
    // Waits (bounded) for the loop to end by itself.
    bool Ended() {
        return test::WaitUntil([this] { return m_ended.load(); });
    }
    unsigned long Stop() {
        m_wake.Signal();
        m_thread.join();
        m_wake.Clear();
        m_ended = false;
        return m_result;
    }
    std::size_t Count() {
        std::lock_guard lock(m_mutex);
        return m_got.size();
    }
    std::vector<std::uint8_t> Got() {
        std::lock_guard lock(m_mutex);
        return m_got;
    }
    int LargestBatch() {
        std::lock_guard lock(m_mutex);
        return m_largestBatch;
    }

private:
    win32::Handle m_server;
    win32::Handle m_client;
    win32::Event m_wake;
    test::FastClock m_clock;
    win32::ReceiveHooks m_hooks;
    std::thread m_thread;
    std::atomic<bool> m_ended{false};
    unsigned long m_result = 0;
    std::mutex m_mutex;
    std::vector<std::uint8_t> m_got;
    int m_largestBatch = 0;
};

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return data;
}

}  // namespace

TEST(Win32Io, ADeviceThatReadsTakesEveryPieceInOrder) {
    PipePrinter printer;
    ASSERT_TRUE(printer.Valid());
    test::FastClock clock;
    const std::vector<std::uint8_t> data = Pattern(100000);
    std::vector<std::uint8_t> got;
    std::thread reader([&] { got = printer.ReadAll(); });
    win32::WriteBound bound;
    bound.timeoutMs = 10000;
    bound.fromLastProgress = true;
    bound.pieceBytes = 4096;
    const win32::WriteOutcome outcome = win32::WriteWithin(
        printer.Port(), data.data(), static_cast<int>(data.size()), clock, bound);
    printer.ClosePort();
    reader.join();
    EXPECT_EQ(outcome.written, 100000);
    EXPECT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.error, 0u);
    EXPECT_EQ(got, data);
}

TEST(Win32Io, ADeviceThatTakesNothingEndsAtTheBoundOrACancelWithWhatItTook) {
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "timed out");
        PipePrinter printer;
        ASSERT_TRUE(printer.Valid());
        test::FastClock clock;
        const std::vector<std::uint8_t> data = Pattern(64 * 1024);
        CancelToken token;
        if (cancel) token.Cancel();
        win32::WriteBound bound;
        bound.timeoutMs = 5000;
        bound.pieceBytes = cancel ? 0 : 4096;
        bound.cancel = &token;
        const win32::WriteOutcome outcome = win32::WriteWithin(
            printer.Port(), data.data(), static_cast<int>(data.size()), clock, bound);
        EXPECT_EQ(outcome.timedOut, !cancel);
        EXPECT_EQ(outcome.cancelled, cancel);
        EXPECT_LT(outcome.written, static_cast<int>(data.size()));
        // What the pipe holds is exactly the count reported: nothing twice, nothing lost.
        printer.ClosePort();
        const std::vector<std::uint8_t> got = printer.ReadAll();
        EXPECT_EQ(static_cast<int>(got.size()), outcome.written);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin()));
        if (!cancel) {
            EXPECT_GE(clock.Now(), 5000);
        }
    }
}

TEST(Win32Io, AReceiveHandsOnEveryByteInOrderWhateverPiecesTheyCameIn) {
    PipeSender printer;
    ASSERT_TRUE(printer.Valid());
    printer.Start(2048);
    const std::vector<std::uint8_t> data = Pattern(1 + 5 + 3000 + 1 + 7 + 20000);
    std::size_t sent = 0;
    for (const std::size_t piece : {1, 5, 3000, 1, 7, 20000}) {
        printer.Send(data.data() + sent, piece);
        sent += piece;
        // An answer shorter than a batch is handed on as it is, without waiting for more.
        ASSERT_TRUE(test::WaitUntil([&] { return printer.Count() == sent; }));
    }
    EXPECT_EQ(printer.Stop(), 0u);
    EXPECT_EQ(printer.Got(), data);
    EXPECT_LE(printer.LargestBatch(), 2048);
}

TEST(Win32Io, AReceiveWokenWhileItWaitsEndsAndLeavesLaterBytesForTheNext) {
    PipeSender printer;
    ASSERT_TRUE(printer.Valid());
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        printer.Start();
        EXPECT_EQ(printer.Stop(), 0u);
    }
    EXPECT_EQ(printer.Count(), 0u);
    // The ended reads took nothing with them: what comes now goes to the next receive.
    const std::vector<std::uint8_t> data = Pattern(300);
    printer.Send(data.data(), data.size());
    printer.Start();
    ASSERT_TRUE(test::WaitUntil([&] { return printer.Count() == data.size(); }));
    EXPECT_EQ(printer.Stop(), 0u);
    EXPECT_EQ(printer.Got(), data);
}

TEST(Win32Io, AReceiveEndsWithTheErrorWhenTheDeviceGoesAfterHandingOnWhatCame) {
    PipeSender printer;
    ASSERT_TRUE(printer.Valid());
    const std::vector<std::uint8_t> data = Pattern(5000);
    printer.Send(data.data(), data.size());
    printer.Hang();
    printer.Start(1024);
    ASSERT_TRUE(printer.Ended());
    EXPECT_NE(printer.Stop(), 0u);
    EXPECT_EQ(printer.Got(), data);
}

TEST(Win32Io, PortNamesGetTheDevicePrefixAndOtherNamesStayAsTheyAre) {
    const std::pair<const char*, const char*> cases[] = {
        {"COM3", "\\\\.\\COM3"},
        {"COM12", "\\\\.\\COM12"},
        {"com4", "\\\\.\\com4"},
        {"LPT1", "\\\\.\\LPT1"},
        {"COM", "COM"},
        {"COM1234", "COM1234"},
        {"COMX", "COMX"},
        {"C:\\out\\logo.prn", "C:\\out\\logo.prn"},
        {"\\\\?\\usb#vid_5a3d", "\\\\?\\usb#vid_5a3d"},
    };
    for (const auto& [name, device] : cases) EXPECT_EQ(win32::DeviceNameOf(name), device) << name;
}

TEST(Win32Io, OpenFailuresAreToldInWordsTheOperatorCanActOn) {
    EXPECT_EQ(win32::OpenErrorText("COM3", ERROR_FILE_NOT_FOUND), "COM3: not found");
    EXPECT_EQ(win32::OpenErrorText("COM3", ERROR_ACCESS_DENIED),
              "COM3: in use by another program, or access denied");
    EXPECT_EQ(win32::OpenErrorText("LPT1", ERROR_SHARING_VIOLATION),
              "LPT1: in use by another program");
    EXPECT_NE(win32::OpenErrorText("COM3", ERROR_CRC).find("(23)"), std::string::npos);
}
