#include "core/app/Profile.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include "core/app/FileSync.h"

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

// A save's temporary file is the profile's name, this and eight hexadecimal digits.
constexpr const char* kTemporaryInfix = ".tmp-";
// A save takes milliseconds; a temporary file this old was left by a program that was
// killed or lost its power half way through a save.
constexpr auto kAbandonedAge = std::chrono::minutes(10);

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// Removes temporary files of the profile that earlier saves left behind when they were
// cut short; younger ones may belong to a save another program is making right now. The
// plain ".tmp" of earlier versions, which replaced their file in place, goes too.
void RemoveAbandonedTemporaries(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path profile(path);
    const std::string stem = profile.filename().string() + kTemporaryInfix;
    const std::string oldStyle = profile.filename().string() + ".tmp";
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(FolderOf(path), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const bool ours =
            (name.size() == stem.size() + 8 && name.starts_with(stem) &&
             name.find_first_not_of("0123456789abcdef", stem.size()) == std::string::npos) ||
            name == oldStyle;
        if (!ours) continue;
        std::error_code timeError;
        const auto written = fs::last_write_time(it->path(), timeError);
        if (timeError || now - written < kAbandonedAge) continue;
        std::error_code removeError;
        fs::remove(it->path(), removeError);
    }
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

// Eight hexadecimal digits that another save, in this program or another, is unlikely to
// pick at the same moment; creating the file exclusively settles the rare clash.
unsigned TemporaryNonce() {
    static std::atomic<unsigned> counter{0};
    unsigned value = counter.fetch_add(0x9E3779B9u);
    try {
        std::random_device random;
        value ^= random();
    } catch (...) {
        // No entropy source: the counter and the exclusive create still keep saves apart.
    }
    return value;
}

}  // namespace

Profile::Profile(std::string path) : m_path(std::move(path)) {}

std::vector<Profile::Line> Profile::Load() const {
    std::vector<Line> lines;
    std::ifstream in(m_path, std::ios::binary);
    if (!in) return lines;
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string data = buffer.str();
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
    return lines;
}

bool Profile::Save(const std::vector<Line>& lines) const {
    RemoveAbandonedTemporaries(m_path);
    std::string data;
    for (const Line& line : lines) data += line.text + line.ending;

    // Each save writes a temporary file of its own ("x": created here, never one another
    // process is still writing), pushes it to the disk and only then renames it over the
    // profile, so the profile is always the old or the new contents, even when the program
    // is killed or the power fails half way.
    std::string temp;
    std::FILE* out = nullptr;
    for (int attempt = 0; attempt < 8 && !out; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "%s%08x", kTemporaryInfix, TemporaryNonce());
        temp = m_path + suffix;
        out = std::fopen(temp.c_str(), "wbx");
    }
    if (!out) return false;
    const bool written =
        std::fwrite(data.data(), 1, data.size(), out) == data.size() && std::fflush(out) == 0;
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed || !SyncFile(temp) || std::rename(temp.c_str(), m_path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    // The rename is an entry of the folder: on disk once the folder is.
    SyncFile(FolderOf(m_path));
    return true;
}

std::string Profile::GetString(const std::string& section, const std::string& key,
                               const std::string& defaultValue) const {
    for (const auto& [k, v] : SectionEntries(section)) {
        if (EqualNoCase(k, Trim(key))) return v;
    }
    return defaultValue;
}

std::vector<std::pair<std::string, std::string>> Profile::SectionEntries(
    const std::string& section) const {
    std::vector<std::pair<std::string, std::string>> entries;
    bool inSection = false;
    bool seen = false;
    for (const Line& line : Load()) {
        if (auto name = SectionName(line.text)) {
            if (inSection) break;  // only the first matching section counts
            inSection = !seen && EqualNoCase(*name, Trim(section));
            seen = seen || inSection;
            continue;
        }
        if (!inSection) continue;
        if (auto kv = KeyValue(line.text)) entries.push_back(*kv);
    }
    return entries;
}

bool Profile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    return Update(section, key, value);
}

bool Profile::DeleteKey(const std::string& section, const std::string& key) {
    return Update(section, key, std::nullopt);
}

bool Profile::WriteKeys(const std::string& section, const std::vector<KeyChange>& changes) {
    std::vector<Line> lines = Load();
    bool changed = false;
    for (const auto& [key, value] : changes) changed = Apply(lines, section, key, value) || changed;
    return changed ? Save(lines) : true;
}

bool Profile::Update(const std::string& section, const std::string& key,
                     const std::optional<std::string>& value) {
    std::vector<Line> lines = Load();
    return Apply(lines, section, key, value) ? Save(lines) : true;
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
    std::string base = executableName;
    const auto slash = base.find_last_of('/');
    if (slash != std::string::npos) base = base.substr(slash + 1);
    return startDirectory + "/" + base + ".INI";
}

}  // namespace kp70
