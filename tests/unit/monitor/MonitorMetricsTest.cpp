#include "core/monitor/MonitorMetrics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <sstream>

namespace kp70 {
namespace {

PrinterSample Answered(const std::string& printer, const std::array<std::uint8_t, 4>& answers) {
    PrinterSample s{printer, "", "KP70 E-II", true, true};
    // The answers to DLE EOT 1..4; 0 leaves one out.
    for (int n = 1; n <= 4; ++n)
        if (answers[n - 1]) s.status.Merge(DecodeStatusAnswer(n, answers[n - 1]).value());
    s.durationMs = 52;
    return s;
}

// The condition series of the printer 10.0.0.1:6001 in a metrics text, as "name=value ...".
std::string Conditions(const std::string& text) {
    const std::string head = "kp70_printer_condition{printer=\"10.0.0.1:6001\",condition=\"";
    std::string found;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(head, 0) != 0) continue;
        const std::string rest = line.substr(head.size());
        found += rest.substr(0, rest.find('"')) + "=" + rest.substr(rest.find("} ") + 2) + " ";
    }
    return found;
}

TEST(MonitorMetrics, ConditionsCarryTheVirtualPrintersNamesAndWhatTheAnswersSaid) {
    const std::pair<std::array<std::uint8_t, 4>, const char*> rows[] = {
        {{0x16, 0x12, 0x12, 0x12},  // all well, the drawer pin high
         "paper_end=0 paper_near_end=0 cover_open=0 offline=0 feed_button=0 mechanical_error=0 "
         "cutter_error=0 error=0 auto_recoverable_error=0 drawer_low=0 "},
        {{0x1E, 0x32, 0x12, 0x7E},  // paper end
         "paper_end=1 paper_near_end=1 cover_open=0 offline=1 feed_button=0 mechanical_error=0 "
         "cutter_error=0 error=0 auto_recoverable_error=0 drawer_low=0 "},
        // kp70sim's "error" is the unrecoverable one; "some error", the offline cause every
        // error sets, has no series of its own. Drawer pin low, feed button held.
        {{0x52, 0x56, 0x32, 0x12},
         "paper_end=0 paper_near_end=0 cover_open=1 offline=0 feed_button=1 mechanical_error=0 "
         "cutter_error=0 error=1 auto_recoverable_error=0 drawer_low=1 "},
        // A poll that stopped after the first answer: only what it covered is known.
        {{0x1E, 0, 0, 0}, "offline=1 feed_button=0 drawer_low=0 "},
    };
    for (const auto& [answers, expected] : rows)
        EXPECT_EQ(Conditions(RenderMetrics({Answered("10.0.0.1:6001", answers)}, {})), expected);
}

TEST(MonitorMetrics, FamiliesComeOnceAndAPrinterShowsOnlyWhatItsLastPollTold) {
    PrinterSample down{"10.0.0.2:6001", "00:1A:2B:3C:4D:5E", "KP70 E-II", true, false};
    down.durationMs = 1234;
    down.polls = down.failures = 4;
    const PrinterSample fresh{"shop-7.local:6001", "", "KP70 \"E\"\\II"};  // not polled yet
    const std::string text = RenderMetrics(
        {Answered("10.0.0.1:6001", {0x16, 0x12, 0x12, 0x12}), down, fresh}, {12, 1, 5});

    // Every sample belongs to the family its TYPE line opened, and no family comes twice.
    std::istringstream lines(text);
    std::vector<std::string> families;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("# TYPE ", 0) == 0) {
            const std::string family = line.substr(7, line.find(' ', 7) - 7);
            EXPECT_EQ(std::count(families.begin(), families.end(), family), 0) << family;
            families.push_back(family);
        } else if (line[0] != '#') {
            EXPECT_EQ(line.substr(0, line.find_first_of("{ ")), families.back()) << line;
        }
    }
    EXPECT_EQ(families.size(), 9u);
    for (const char* expected : {
             "kp70_printer_up{printer=\"10.0.0.2:6001\"} 0\n",
             "kp70_poll_duration_seconds{printer=\"10.0.0.1:6001\"} 0.052\n",
             "kp70_poll_duration_seconds{printer=\"10.0.0.2:6001\"} 1.234\n",
             "kp70_poll_failures_total{printer=\"10.0.0.2:6001\"} 4\n",
             "kp70_polls_total{printer=\"shop-7.local:6001\"} 0\n",
             "kp70_printer_info{printer=\"10.0.0.2:6001\",mac=\"00:1A:2B:3C:4D:5E\","
             "model=\"KP70 E-II\"} 1\n",
             "model=\"KP70 \\\"E\\\"\\\\II\"} 1\n",
             "kp70_poll_round_duration_seconds 0.005\n",
             "kp70_poll_rounds_total 12\n",
             "kp70_poll_rounds_late_total 1\n",
         }) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << text;
    }
    // Not known is no series: no conditions of the printer that did not answer, neither up
    // nor a duration of the one not polled yet, no round time before a round ended.
    EXPECT_EQ(text.find("condition{printer=\"10.0.0.2:6001\""), std::string::npos);
    EXPECT_EQ(text.find("up{printer=\"shop-7.local:6001\"}"), std::string::npos);
    EXPECT_EQ(text.find("seconds{printer=\"shop-7.local:6001\"}"), std::string::npos);
    EXPECT_EQ(RenderMetrics({}, {}).find("\nkp70_poll_round_duration_seconds "), std::string::npos);
}

}  // namespace
}  // namespace kp70
