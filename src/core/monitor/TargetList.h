#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kp70 {

// One printer of a targets file, as written, with its line number for messages.
struct TargetLine {
    int number = 0;
    std::string text;     // "192.168.0.20", "printer.local:9100"
    std::string problem;  // empty, or why the line names no printer
};

// The printers of a targets file: one HOST[:PORT] a line. Blanks around it, empty lines and
// comments ('#' to the end of the line) are left out; a line of more than one word names
// no printer (its problem says so), since a name with a blank in it would only fail later,
// at the connection.
std::vector<TargetLine> ReadTargetLines(const std::string& text);

// A targets file looked at again and again: its text whenever it differs from the text
// read last. Editors and configuration tools save by writing a new file over the old one,
// and a comparison of the text sees every such change, whatever the file's times say.
class TargetsFile {
public:
    explicit TargetsFile(std::string path) : m_path(std::move(path)) {}

    enum class Look { Unchanged, Changed, Unreadable };
    // Changed (the first look too) with its text; Unreadable with why ("no such file") when
    // it cannot be read: once, until it can be read again or the reason changes, after
    // which it looks Unchanged.
    Look Check(std::string& text, std::string& why);
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::optional<std::string> m_last;  // the text read last
    std::string m_problem;              // the reason told last, while it cannot be read
};

}  // namespace kp70
