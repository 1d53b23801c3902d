#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kp70 {

// The program's INI profile with the semantics of the Windows profile functions:
// section and key names compare case-insensitively, the first matching section and key
// win, values are returned verbatim (backslashes, commas and quotes kept; only the blanks
// around them are trimmed) and a key may have an empty name. A write changes only the one
// line concerned and keeps every other line and its line ending; the file is replaced
// atomically (written to a temporary file of the save's own, flushed to the disk through
// FileSync, then renamed), so a crash or a power cut never leaves a half-written profile,
// and two programs saving at once never write into one temporary file. Temporary files
// that a killed program left behind are removed by a later save once they are ten minutes
// old. Every call reads the file afresh, so two programs can share it.
class Profile {
public:
    explicit Profile(std::string path);

    const std::string& Path() const { return m_path; }

    // The value of key in section, or defaultValue when either is missing.
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue = "") const;

    // All key/value pairs of the first matching section, in file order.
    std::vector<std::pair<std::string, std::string>> SectionEntries(
        const std::string& section) const;

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
    std::vector<Line> Load() const;
    bool Save(const std::vector<Line>& lines) const;
    bool Update(const std::string& section, const std::string& key,
                const std::optional<std::string>& value);
    // Changes lines in memory; false when nothing changed.
    static bool Apply(std::vector<Line>& lines, const std::string& section, const std::string& key,
                      const std::optional<std::string>& value);

    std::string m_path;
};

// The profile path the program uses: the start directory, "/", the executable's base name
// and ".INI".
std::string ProfilePathFor(const std::string& startDirectory, const std::string& executableName);

}  // namespace kp70
