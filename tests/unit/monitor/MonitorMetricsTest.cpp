#include "core/monitor/MonitorMetrics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <sstream>

namespace kp70 {
namespace {

// The status the four answers DLE EOT 1..4 report; 0 leaves an answer out.
PrinterStatus FromAnswers(const std::array<std::uint8_t, 4>& answers) {
    PrinterStatus status;
    for (int n = 1; n <= 4; ++n) {
        if (answers[n - 1] == 0) continue;
        const auto decoded = DecodeStatusAnswer(n, answers[n - 1]);
        EXPECT_TRUE(decoded) << n;
        if (decoded) status.Merge(*decoded);
    }
    return status;
}

PrinterSample Answered(const std::string& printer, const PrinterStatus& status) {
    PrinterSample s;
    s.printer = printer;
    s.model = "KP70 E-II";
    s.polled = s.up = true;
    s.status = status;
    s.durationMs = 52;
    s.polls = 3;
    return s;
}

// The condition series of one printer in a metrics text: condition -> value.
std::map<std::string, std::string> Conditions(const std::string& text, const std::string& printer) {
    std::map<std::string, std::string> found;
    const std::string head = "kp70_printer_condition{printer=\"" + printer + "\",condition=\"";
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(head, 0) != 0) continue;
        const std::string rest = line.substr(head.size());
        found[rest.substr(0, rest.find('"'))] = rest.substr(rest.find("} ") + 2);
    }
    return found;
}

TEST(MonitorMetrics, ConditionsCarryTheVirtualPrintersNamesAndWhatTheAnswersSaid) {
    using M = std::map<std::string, std::string>;
    const M allClear = {
        {"paper_end", "0"},    {"paper_near_end", "0"}, {"cover_open", "0"},
        {"offline", "0"},      {"feed_button", "0"},    {"mechanical_error", "0"},
        {"cutter_error", "0"}, {"error", "0"},          {"auto_recoverable_error", "0"},
        {"drawer_low", "0"}};
    auto with = [&](M changes) {
        M m = allClear;
        for (const auto& [k, v] : changes) m[k] = v;
        return m;
    };
    struct Row {
        const char* what;
        std::array<std::uint8_t, 4> answers;
        M expected;
    };
    const Row rows[] = {
        {"all well, drawer pin high", {0x16, 0x12, 0x12, 0x12}, allClear},
        {"paper end",
         {0x1E, 0x32, 0x12, 0x7E},
         with({{"paper_end", "1"}, {"paper_near_end", "1"}, {"offline", "1"}})},
        {"paper near end", {0x16, 0x12, 0x12, 0x1E}, with({{"paper_near_end", "1"}})},
        {"cover open", {0x1E, 0x16, 0x12, 0x12}, with({{"cover_open", "1"}, {"offline", "1"}})},
        // kp70sim's "error" is the unrecoverable one; the offline cause "some error" that
        // every error sets has no series of its own.
        {"unrecoverable error", {0x1E, 0x52, 0x32, 0x12}, with({{"error", "1"}, {"offline", "1"}})},
        {"cutter error", {0x1E, 0x52, 0x1A, 0x12}, with({{"cutter_error", "1"}, {"offline", "1"}})},
        {"feed button", {0x5E, 0x1A, 0x12, 0x12}, with({{"feed_button", "1"}, {"offline", "1"}})},
        {"drawer pin low", {0x12, 0x12, 0x12, 0x12}, with({{"drawer_low", "1"}})},
        // A poll that stopped after the first answer: only what it covered is known.
        {"first answer only",
         {0x1E, 0, 0, 0},
         {{"offline", "1"}, {"feed_button", "0"}, {"drawer_low", "0"}}},
    };
    for (const Row& row : rows) {
        const std::string text =
            RenderMetrics({Answered("10.0.0.1:6001", FromAnswers(row.answers))}, {});
        EXPECT_EQ(Conditions(text, "10.0.0.1:6001"), row.expected) << row.what;
    }
}

TEST(MonitorMetrics, FamiliesComeOnceAndAPrinterShowsOnlyWhatItsLastPollTold) {
    PrinterSample down;
    down.printer = "10.0.0.2:6001";
    down.mac = "00:1A:2B:3C:4D:5E";
    down.model = "KP70 E-II";
    down.polled = true;
    down.durationMs = 1234;
    down.polls = 4;
    down.failures = 4;
    PrinterSample fresh;  // joined, not polled yet
    fresh.printer = "shop-7.local:6001";
    fresh.model = "KP70 \"E\"\\II";
    RoundFigures rounds;
    rounds.rounds = 12;
    rounds.late = 1;
    rounds.lastRoundMs = 5;
    const std::string text = RenderMetrics(
        {Answered("10.0.0.1:6001", FromAnswers({0x16, 0x12, 0x12, 0x12})), down, fresh}, rounds);

    // Every sample line belongs to the family its TYPE line opened, and no family comes twice.
    std::istringstream lines(text);
    std::string family;
    std::vector<std::string> families;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("# TYPE ", 0) == 0) {
            family = line.substr(7, line.find(' ', 7) - 7);
            EXPECT_EQ(std::count(families.begin(), families.end(), family), 0) << family;
            families.push_back(family);
        } else if (line[0] != '#') {
            EXPECT_EQ(line.substr(0, line.find_first_of("{ ")), family) << line;
        }
    }
    EXPECT_EQ(families.size(), 9u);

    for (const char* expected : {
             "kp70_printer_up{printer=\"10.0.0.1:6001\"} 1\n",
             "kp70_printer_up{printer=\"10.0.0.2:6001\"} 0\n",
             "kp70_poll_duration_seconds{printer=\"10.0.0.1:6001\"} 0.052\n",
             "kp70_poll_duration_seconds{printer=\"10.0.0.2:6001\"} 1.234\n",
             "kp70_polls_total{printer=\"10.0.0.2:6001\"} 4\n",
             "kp70_poll_failures_total{printer=\"10.0.0.2:6001\"} 4\n",
             "kp70_polls_total{printer=\"shop-7.local:6001\"} 0\n",
             "kp70_printer_info{printer=\"10.0.0.2:6001\",mac=\"00:1A:2B:3C:4D:5E\","
             "model=\"KP70 E-II\"} 1\n",
             "kp70_printer_info{printer=\"shop-7.local:6001\",mac=\"\","
             "model=\"KP70 \\\"E\\\"\\\\II\"} 1\n",
             "kp70_poll_round_duration_seconds 0.005\n",
             "kp70_poll_rounds_total 12\n",
             "kp70_poll_rounds_late_total 1\n",
         }) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << text;
    }
    // Not known is no series: the printer that did not answer has no conditions, the one
    // not polled yet neither up nor a duration.
    EXPECT_TRUE(Conditions(text, "10.0.0.2:6001").empty());
    EXPECT_EQ(text.find("kp70_printer_up{printer=\"shop-7.local:6001\"}"), std::string::npos);
    EXPECT_EQ(text.find("kp70_poll_duration_seconds{printer=\"shop-7.local:6001\"}"),
              std::string::npos);
    // No round has ended yet: no round duration.
    EXPECT_EQ(RenderMetrics({}, {}).find("\nkp70_poll_round_duration_seconds "), std::string::npos);
}

}  // namespace
}  // namespace kp70
