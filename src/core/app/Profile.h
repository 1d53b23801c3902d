#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kp70 {

// The program's INI profile with the semantics of the Windows profile functions:
// section and key names compare case-insensitively, the first matching section and key
// win, values are returned verbatim (backslashes, commas and quotes kept; only the blanks
// around them are trimmed) and a key may have an empty name.
//
// A value the file cannot hold as it stands (a line break, blanks at either end, or double
// quotes around the whole value) is written in double quotes, with %0A, %0D, %22 and %25
// in place of line feeds, carriage returns, quotes and percent signs, and reads back as it
// was given, so a file name can never end one line
// and start a section or key of its own. The reader undoes only what this writer makes:
// every other value, in files of earlier versions too, reads byte for byte as it stands.
//
// A write changes only the one line concerned and keeps every other line and its line
// ending; the file is replaced atomically through a symbolic link and with its mode kept
// (core/app/AtomicFile.h). A profile that cannot be read (larger than kMaxBytes, not a
// regular file, unreadable) reads as empty and is never written, so what it holds is not
// lost; a read-only profile is not written either.
//
// The file is read once and kept; it is read again when its size or time of change
// differ from what was read (another program saved it), and every write reads it afresh.
class Profile {
public:
    // A profile holds a few device names, two small tables and at most 255 logo paths:
    // anything larger is no profile of this tool.
    static constexpr std::uintmax_t kMaxBytes = 4u * 1024 * 1024;

    explicit Profile(std::string path);
    // A copy names the same file and reads it afresh.
    Profile(const Profile& other) : Profile(other.m_path) {}
    Profile& operator=(const Profile&) = delete;

    const std::string& Path() const { return m_path; }

    // The value of key in section, or defaultValue when either is missing.
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue = "") const;

    // All key/value pairs of the first matching section, in file order.
    std::vector<std::pair<std::string, std::string>> SectionEntries(
        const std::string& section) const;

    // Why the file cannot be read (it then reads as empty), in words with what to do, or
    // empty when it can; a missing file reads as empty and is no problem.
    std::string ReadProblem() const;
    // Why a write would be refused now (no folder for the profile, ReadProblem, read-only),
    // or empty when it would be tried. Callers use it to say why a write returned false.
    std::string WriteProblem() const;

    // Sets key in section to value, adding the section or key when missing. Returns false
    // when the file could not be written.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);

    // Removes the first matching key of the section. Returns false on a write failure.
    bool DeleteKey(const std::string& section, const std::string& key);

    // Applies several changes to one section (a value sets the key, nullopt deletes it) and
    // saves the file once, so they land together or not at all.
    using KeyChange = std::pair<std::string, std::optional<std::string>>;
    bool WriteKeys(const std::string& section, const std::vector<KeyChange>& changes);

private:
    struct Line {
        std::string text;  // without its line ending
        std::string ending;
    };
    using Entries = std::vector<std::pair<std::string, std::string>>;
    struct Section {
        std::string name;
        Entries entries;  // keys trimmed, values trimmed and decoded
    };
    // What identifies one state of the file: its kind, size and time of change.
    struct Stamp {
        int type = 0;
        std::uintmax_t size = 0;
        long long changed = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };

    // Reads the file as it is now: false, with the problem, when it cannot be read.
    bool ReadLines(std::vector<Line>& lines, std::string& problem) const;
    // The file as last read, read again when it changed. Called with m_mutex held.
    void Refresh() const;
    bool Save(const std::vector<Line>& lines);
    bool Update(const std::vector<KeyChange>& changes, const std::string& section);
    // Changes lines in memory; false when nothing changed.
    static bool Apply(std::vector<Line>& lines, const std::string& section, const std::string& key,
                      const std::optional<std::string>& value);

    std::string m_path;
    mutable std::mutex m_mutex;
    mutable std::optional<Stamp> m_stamp;  // of what m_sections holds; none: not read yet
    mutable std::vector<Section> m_sections;
    mutable std::string m_readProblem;
};

// The profile path the program uses: the start directory, "/", the executable's base name
// and ".INI".
std::string ProfilePathFor(const std::string& startDirectory, const std::string& executableName);

}  // namespace kp70
