#include "core/monitor/TargetList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "support/TempDir.h"

namespace kp70 {
namespace {

TEST(TargetList, OnePrinterALineWithoutBlanksAndComments) {
    using Lines = std::vector<std::tuple<int, std::string, std::string>>;
    const std::pair<const char*, Lines> rows[] = {
        {"192.168.0.20\n192.168.0.21:9100",
         {{1, "192.168.0.20", ""}, {2, "192.168.0.21:9100", ""}}},
        // Windows line ends, blanks around, blank lines, comments of both kinds.
        {"# shop 7\r\n\r\n  10.0.0.5 \t\r\n10.0.0.6  # the bar\n#10.0.0.7\n",
         {{3, "10.0.0.5", ""}, {4, "10.0.0.6", ""}}},
        // Two words are no printer: a host name has no blank in it.
        {"10.0.0.5 10.0.0.6", {{1, "10.0.0.5 10.0.0.6", "one printer a line, HOST[:PORT]"}}},
    };
    for (const auto& [text, expected] : rows) {
        Lines got;
        for (const TargetLine& line : ReadTargetLines(text))
            got.push_back({line.number, line.text, line.problem});
        EXPECT_EQ(got, expected) << text;
    }
}

TEST(TargetList, TheFileIsTakenWhenItsTextChangesAndAFileGoneIsToldOnce) {
    test::TempDir dir;
    const std::string path = dir.File("targets");
    TargetsFile file(path);
    std::string text, why;
    auto replace = [&](const std::string& content) {
        test::WriteFile(path + ".new", content);
        std::filesystem::rename(path + ".new", path);
    };
    using Look = TargetsFile::Look;
    EXPECT_EQ(file.Check(text, why), Look::Unreadable);
    EXPECT_EQ(why, "No such file or directory");
    EXPECT_EQ(file.Check(text, why), Look::Unchanged);
    replace("10.0.0.5\n");
    EXPECT_EQ(file.Check(text, why), Look::Changed);
    EXPECT_EQ(text, "10.0.0.5\n");
    // Written again as it was: nothing to take.
    replace("10.0.0.5\n");
    EXPECT_EQ(file.Check(text, why), Look::Unchanged);
    std::filesystem::remove(path);
    EXPECT_EQ(file.Check(text, why), Look::Unreadable);
    EXPECT_EQ(file.Check(text, why), Look::Unchanged);
    replace("10.0.0.5\n10.0.0.6\n");
    EXPECT_EQ(file.Check(text, why), Look::Changed);
    replace(std::string((1 << 20) + 1, '#'));
    EXPECT_EQ(file.Check(text, why), Look::Unreadable);
    EXPECT_EQ(why, "larger than 1 MiB");
}

}  // namespace
}  // namespace kp70
