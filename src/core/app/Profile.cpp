#include "core/app/Profile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/app/AtomicFile.h"

namespace kp70 {

namespace {

std::string Trim(const std::string& s) {
    const char* blanks = " \t";
    const auto first = s.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    const auto last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// The section name of a header line "[name]", or nullopt for any other line.
std::optional<std::string> SectionName(const std::string& text) {
    const std::string t = Trim(text);
    if (t.size() < 2 || t.front() != '[') return std::nullopt;
    const auto close = t.find(']');
    if (close == std::string::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

// Splits "key=value" at the first '='; nullopt for lines without one.
std::optional<std::pair<std::string, std::string>> KeyValue(const std::string& text) {
    const auto eq = text.find('=');
    if (eq == std::string::npos) return std::nullopt;
    return std::make_pair(Trim(text.substr(0, eq)), Trim(text.substr(eq + 1)));
}

// The characters that would end a value's line.
bool IsLineBreak(char c) {
    return c == '\n' || c == '\r';
}

bool IsQuoted(const std::string& value) {
    return value.size() >= 2 && value.front() == '"' && value.back() == '"';
}

// A value as the file holds it: unchanged unless it would not read back as it is, then in
// double quotes with %XX for line breaks, quotes and percent signs.
std::string EncodeValue(const std::string& value) {
    bool plain = !IsQuoted(value);
    if (plain && !value.empty()) {
        const char first = value.front();
        const char last = value.back();
        plain = first != ' ' && first != '\t' && last != ' ' && last != '\t';
    }
    for (std::size_t i = 0; plain && i < value.size(); ++i) plain = !IsLineBreak(value[i]);
    if (plain) return value;
    std::string out = "\"";
    for (const char c : value) {
        if (IsLineBreak(c) || c == '"' || c == '%') {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A value as the file holds it, back to what was written. Only what EncodeValue makes is
// undone: a text that EncodeValue would not have written this way stays as it is.
std::string DecodeValue(const std::string& stored) {
    if (!IsQuoted(stored)) return stored;
    std::string value;
    for (std::size_t i = 1; i + 1 < stored.size(); ++i) {
        if (stored[i] != '%') {
            value += stored[i];
            continue;
        }
        if (i + 3 >= stored.size()) return stored;
        const int high = HexDigit(stored[i + 1]);
        const int low = HexDigit(stored[i + 2]);
        if (high < 0 || low < 0) return stored;
        value += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return EncodeValue(value) == stored ? value : stored;
}

// Section and key names are the tool's own; one that would break its line, or a key that
// would read as a section or split at its own "=", is refused rather than written.
bool NameFits(const std::string& name, bool section) {
    for (const char c : name)
        if (c == '\n' || c == '\r' || (section ? c == ']' : c == '=')) return false;
    return section || Trim(name).empty() || Trim(name).front() != '[';
}

// Gives a line that ends the file without a line feed (nothing, or a bare CR) one, so a
// line written after it starts a line of its own.
template <typename Line>
void EndLine(Line& line, const std::string& ending) {
    if (line.ending.empty()) {
        line.ending = ending;
    } else if (!line.ending.ends_with('\n')) {
        line.ending += "\n";
    }
}

}  // namespace

Profile::Profile(std::string path) : m_path(std::move(path)) {}

bool Profile::ReadLines(std::vector<Line>& lines, std::string& problem) const {
    lines.clear();
    if (m_path.empty()) return true;
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(m_path, ec);
    if (status.type() == fs::file_type::not_found) return true;
    const std::string unused = ", so the tool neither reads nor changes it";
    if (ec) {
        problem = m_path + " cannot be looked at (" + ec.message() + ")" + unused;
        return false;
    }
    if (status.type() != fs::file_type::regular) {
        problem = m_path + " is not a regular file" + unused;
        return false;
    }
    auto tooLarge = [&](std::uintmax_t size) {
        problem = m_path + " is " + std::to_string(size) + " bytes, more than the " +
                  std::to_string(kMaxBytes) + " a profile may hold" + unused +
                  ": move it away or shorten it";
        return false;
    };
    // Refused by its size before a byte of it is read.
    if (const std::uintmax_t size = fs::file_size(m_path, ec); !ec && size > kMaxBytes)
        return tooLarge(size);
    std::FILE* in = std::fopen(m_path.c_str(), "rb");
    if (!in) {
        problem = m_path + " cannot be read (" + std::strerror(errno) + ")" + unused;
        return false;
    }
    std::string data;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
        data.append(buffer, n);
        if (data.size() > kMaxBytes) break;
    }
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (data.size() > kMaxBytes) return tooLarge(data.size());  // it grew while being read
    if (failed) {
        problem = m_path + " cannot be read" + unused;
        return false;
    }
    std::size_t pos = 0;
    while (pos < data.size()) {
        const auto nl = data.find('\n', pos);
        Line line;
        if (nl == std::string::npos) {
            line.text = data.substr(pos);
            pos = data.size();
        } else {
            line.text = data.substr(pos, nl - pos);
            line.ending = "\n";
            pos = nl + 1;
        }
        if (!line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.ending = "\r" + line.ending;
        }
        lines.push_back(std::move(line));
    }
    return true;
}

void Profile::Refresh() const {
    namespace fs = std::filesystem;
    Stamp stamp;
    if (!m_path.empty()) {
        std::error_code ec;
        stamp.type = static_cast<int>(fs::status(m_path, ec).type());
        stamp.size = fs::file_size(m_path, ec);
        if (ec) stamp.size = 0;
        const auto changed = fs::last_write_time(m_path, ec);
        stamp.changed = ec ? 0 : static_cast<long long>(changed.time_since_epoch().count());
    }
    if (m_stamp && *m_stamp == stamp) return;
    m_stamp = stamp;
    m_sections.clear();
    m_readProblem.clear();
    std::vector<Line> lines;
    if (!ReadLines(lines, m_readProblem)) return;
    // Later sections of the same name are kept too, but only the first is ever looked at.
    for (const Line& line : lines) {
        if (auto name = SectionName(line.text)) {
            m_sections.push_back(Section{*name, {}});
            continue;
        }
        if (m_sections.empty()) continue;
        if (auto kv = KeyValue(line.text))
            m_sections.back().entries.emplace_back(kv->first, DecodeValue(kv->second));
    }
}

std::string Profile::GetString(const std::string& section, const std::string& key,
                               const std::string& defaultValue) const {
    std::lock_guard lock(m_mutex);
    Refresh();
    const std::string wantedSection = Trim(section);
    const std::string wantedKey = Trim(key);
    for (const Section& s : m_sections) {
        if (!EqualNoCase(s.name, wantedSection)) continue;
        for (const auto& [k, v] : s.entries) {
            if (EqualNoCase(k, wantedKey)) return v;
        }
        break;  // only the first matching section counts
    }
    return defaultValue;
}

std::vector<std::pair<std::string, std::string>> Profile::SectionEntries(
    const std::string& section) const {
    std::lock_guard lock(m_mutex);
    Refresh();
    const std::string wanted = Trim(section);
    for (const Section& s : m_sections) {
        if (EqualNoCase(s.name, wanted)) return s.entries;
    }
    return {};
}

std::string Profile::ReadProblem() const {
    std::lock_guard lock(m_mutex);
    Refresh();
    return m_readProblem;
}

std::string Profile::WriteProblem() const {
    if (m_path.empty()) return "no folder can be used for the profile kp70tool.INI";
    if (std::string problem = ReadProblem(); !problem.empty()) return problem;
    return ReplaceProblem(m_path);
}

bool Profile::Save(const std::vector<Line>& lines) {
    std::string data;
    for (const Line& line : lines) data += line.text + line.ending;
    const bool saved = !m_path.empty() && ReplaceFile(m_path, data).empty();
    // What was read is no longer what the file holds (or may not be): read it again.
    std::lock_guard lock(m_mutex);
    m_stamp.reset();
    return saved;
}

bool Profile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    return Update({{key, value}}, section);
}

bool Profile::DeleteKey(const std::string& section, const std::string& key) {
    return Update({{key, std::nullopt}}, section);
}

bool Profile::WriteKeys(const std::string& section, const std::vector<KeyChange>& changes) {
    return Update(changes, section);
}

bool Profile::Update(const std::vector<KeyChange>& changes, const std::string& section) {
    // A name that would end its line or read as another line's start is never written.
    if (!NameFits(section, true)) return false;
    for (const auto& change : changes)
        if (!NameFits(change.first, false)) return false;
    // Every write starts from the file as it is now, so another program's save in between
    // is kept; a file that cannot be read is not replaced, or what it holds would be lost.
    std::vector<Line> lines;
    std::string problem;
    if (m_path.empty() || !ReadLines(lines, problem)) return false;
    bool changed = false;
    for (const auto& [key, value] : changes)
        changed = Apply(lines, section, key, value ? std::optional(EncodeValue(*value)) : value) ||
                  changed;
    return changed ? Save(lines) : true;
}

bool Profile::Apply(std::vector<Line>& lines, const std::string& section, const std::string& key,
                    const std::optional<std::string>& value) {
    // New lines take the file's own line ending; a new file uses the platform's. A bare CR
    // at the very end of a file ends no line (lines are split at LF), so it is no model.
    std::string ending = "\n";
    for (const Line& line : lines) {
        if (line.ending.ends_with('\n')) {
            ending = line.ending;
            break;
        }
    }

    const std::string wantedSection = Trim(section);
    const std::string wantedKey = Trim(key);
    std::optional<std::size_t> sectionHeader;
    std::size_t lastContent = 0;  // last non-blank line of the section (or its header)
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionName(lines[i].text)) {
            if (sectionHeader) break;
            if (EqualNoCase(*name, wantedSection)) {
                sectionHeader = i;
                lastContent = i;
            }
            continue;
        }
        if (!sectionHeader) continue;
        if (!Trim(lines[i].text).empty()) lastContent = i;
        if (auto kv = KeyValue(lines[i].text); kv && EqualNoCase(kv->first, wantedKey)) {
            if (value) {
                lines[i].text = wantedKey + "=" + *value;
            } else {
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            }
            return true;
        }
    }

    if (!value) return false;  // nothing to delete
    const Line newLine{wantedKey + "=" + *value, ending};
    if (sectionHeader) {
        EndLine(lines[lastContent], ending);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastContent + 1), newLine);
    } else {
        if (!lines.empty()) EndLine(lines.back(), ending);
        lines.push_back(Line{"[" + wantedSection + "]", ending});
        lines.push_back(newLine);
    }
    return true;
}

std::string ProfilePathFor(const std::string& startDirectory, const std::string& executableName) {
    // The base name after the system's separators; joined with the system's own.
    const std::string base = std::filesystem::path(executableName).filename().string();
    return startDirectory + static_cast<char>(std::filesystem::path::preferred_separator) + base +
           ".INI";
}

}  // namespace kp70
