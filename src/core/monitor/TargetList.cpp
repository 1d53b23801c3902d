#include "core/monitor/TargetList.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace kp70 {

namespace {

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// A targets file holds a few hundred lines; anything far larger is no targets file.
constexpr std::streamsize kMaxBytes = 1 << 20;

}  // namespace

std::vector<TargetLine> ReadTargetLines(const std::string& text) {
    std::vector<TargetLine> lines;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string target = Trim(line.substr(0, line.find('#')));
        if (target.empty()) continue;
        TargetLine entry{number, target, ""};
        if (target.find_first_of(" \t") != std::string::npos)
            entry.problem = "one printer a line, HOST[:PORT]";
        lines.push_back(std::move(entry));
    }
    return lines;
}

TargetsFile::Look TargetsFile::Check(std::string& text, std::string& why) {
    std::ifstream in(m_path, std::ios::binary);
    std::string problem;
    std::string read;
    if (!in) {
        problem = std::strerror(errno);
    } else {
        read.resize(static_cast<std::size_t>(kMaxBytes) + 1);
        in.read(read.data(), kMaxBytes + 1);
        if (in.bad()) problem = "read error";
        read.resize(static_cast<std::size_t>(in.gcount()));
        if (problem.empty() && read.size() > static_cast<std::size_t>(kMaxBytes))
            problem = "larger than 1 MiB";
    }
    if (!problem.empty()) {
        if (problem == m_problem) return Look::Unchanged;
        m_problem = why = problem;
        return Look::Unreadable;
    }
    m_problem.clear();
    if (m_last && *m_last == read) return Look::Unchanged;
    m_last = read;
    text = std::move(read);
    return Look::Changed;
}

}  // namespace kp70
