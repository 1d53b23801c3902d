#include "platform/Win32Io.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
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
