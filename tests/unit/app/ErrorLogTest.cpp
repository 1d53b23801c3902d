#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <thread>
#include <vector>

#include "core/app/ErrorLog.h"
#include "core/app/VirtualClock.h"
#include "support/TempDir.h"

using namespace kp70;
using kp70::test::ReadFile;

namespace {
std::tm Time(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return tm;
}
}  // namespace

TEST(ErrorLog, PrefixMessageAndLineBreak) {
    kp70::test::TempDir dir;
    VirtualClock clock;
    clock.SetLocalTime(Time(2026, 3, 7, 9, 5, 2));
    ErrorLog log(clock);
    ASSERT_TRUE(log.Open(dir.File("error.log")));
    log.LogLine("ERROR LOG : Tool - Ver %d.%d.%d.%d", 1, 0, 2, 3);
    log.LogLine("CPorts::Open() CloseHandle run\r\n");
    EXPECT_EQ(ReadFile(dir.File("error.log")),
              "[2026/03/07 09:05:02] ERROR LOG : Tool - Ver 1.0.2.3\r\n"
              "[2026/03/07 09:05:02] CPorts::Open() CloseHandle run\r\n\r\n");
}

TEST(ErrorLog, LongMessagesAreCutAt255Characters) {
    kp70::test::TempDir dir;
    VirtualClock clock;
    ErrorLog log(clock);
    ASSERT_TRUE(log.Open(dir.File("error.log")));
    const std::string text(300, 'x');
    log.LogLine("%s", text.c_str());
    const std::string content = ReadFile(dir.File("error.log"));
    EXPECT_EQ(content.size(), 22u + 255u + 2u);
    EXPECT_EQ(content.substr(22), std::string(255, 'x') + "\r\n");
}

TEST(ErrorLog, EachOpenEmptiesThePreviousRun) {
    kp70::test::TempDir dir;
    VirtualClock clock;
    {
        ErrorLog log(clock);
        ASSERT_TRUE(log.Open(dir.File("error.log")));
        log.LogLine("first run");
    }
    ErrorLog log(clock);
    ASSERT_TRUE(log.Open(dir.File("error.log")));
    log.LogLine("second run");
    const std::string content = ReadFile(dir.File("error.log"));
    EXPECT_EQ(content.find("first run"), std::string::npos);
    EXPECT_NE(content.find("second run"), std::string::npos);
}

TEST(ErrorLog, UnopenableFileIsIgnoredSilently) {
    kp70::test::TempDir dir;
    const std::string path = dir.File("error.log");
    kp70::test::WriteFile(path, "old");
    ::chmod(path.c_str(), 0444);
    VirtualClock clock;
    ErrorLog log(clock);
    // As root the file may still open; either way nothing may fail loudly.
    const bool opened = log.Open(path);
    EXPECT_EQ(opened, log.IsOpen());
    log.LogLine("text %d", 1);
    if (!opened) {
        EXPECT_EQ(ReadFile(path), "old");
    }
    // A place that cannot be written even by root: the log stays closed and quiet.
    ErrorLog nowhere(clock);
    EXPECT_FALSE(nowhere.Open(dir.File("missing-dir/error.log")));
    EXPECT_FALSE(nowhere.IsOpen());
    nowhere.LogLine("text %d", 2);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing-dir")));
    ErrorLog neverOpened(clock);
    neverOpened.LogLine("nothing happens");
    EXPECT_FALSE(neverOpened.IsOpen());
}

TEST(ErrorLog, ConcurrentWritersNeverInterleaveALine) {
    kp70::test::TempDir dir;
    VirtualClock clock;
    ErrorLog log(clock);
    ASSERT_TRUE(log.Open(dir.File("error.log")));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&log, t] {
            const std::string body(200, static_cast<char>('a' + t));
            for (int i = 0; i < 200; ++i) log.LogLine("%s", body.c_str());
        });
    }
    for (auto& th : threads) th.join();
    const std::string content = ReadFile(dir.File("error.log"));
    std::size_t pos = 0;
    int lines = 0;
    while (pos < content.size()) {
        const auto end = content.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        const std::string line = content.substr(pos, end - pos);
        ASSERT_EQ(line.size(), 222u);
        const std::string body = line.substr(22);
        EXPECT_EQ(body, std::string(200, body[0]));
        pos = end + 2;
        ++lines;
    }
    EXPECT_EQ(lines, 800);
}
