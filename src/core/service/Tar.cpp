#include "core/service/Tar.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

namespace kp70 {

namespace {

constexpr std::size_t kBlock = 512;
constexpr std::size_t kNameField = 100;

// Header fields: offset and length.
struct Field {
    std::size_t at;
    std::size_t size;
};
constexpr Field kName{0, 100};
constexpr Field kMode{100, 8};
constexpr Field kUid{108, 8};
constexpr Field kGid{116, 8};
constexpr Field kSize{124, 12};
constexpr Field kMtime{136, 12};
constexpr Field kChecksum{148, 8};
constexpr std::size_t kTypeAt = 156;
constexpr Field kMagic{257, 6};
constexpr Field kVersion{263, 2};
constexpr Field kPrefix{345, 155};

void PutOctal(char* header, Field field, std::uint64_t value) {
    // Digits, then a NUL, right-aligned with leading zeros.
    std::snprintf(header + field.at, field.size, "%0*llo", static_cast<int>(field.size - 1),
                  static_cast<unsigned long long>(value));
}

std::uint32_t ChecksumOf(const unsigned char* header) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < kBlock; ++i)
        sum += (i >= kChecksum.at && i < kChecksum.at + kChecksum.size) ? ' ' : header[i];
    return sum;
}

// An octal field: digits, led and ended by blanks or NULs. False for anything else
// (including the base-256 form, which no entry of ours needs).
bool ReadOctal(const unsigned char* header, Field field, std::uint64_t& value) {
    std::size_t i = field.at;
    const std::size_t end = field.at + field.size;
    while (i < end && header[i] == ' ') ++i;
    value = 0;
    bool digits = false;
    for (; i < end && header[i] >= '0' && header[i] <= '7'; ++i) {
        if (value > (UINT64_MAX >> 3)) return false;
        value = value * 8 + (header[i] - '0');
        digits = true;
    }
    for (; i < end; ++i)
        if (header[i] != ' ' && header[i] != 0) return false;
    return digits;
}

std::string ReadText(const unsigned char* header, Field field) {
    const char* start = reinterpret_cast<const char*>(header + field.at);
    return std::string(start, strnlen(start, field.size));
}

bool AllZero(const unsigned char* block) {
    return std::all_of(block, block + kBlock, [](unsigned char c) { return c == 0; });
}

}  // namespace

bool SafeArchiveName(const std::string& name) {
    if (name.empty() || name.front() == '/') return false;
    for (const char c : name)
        if (c == '\\' || static_cast<unsigned char>(c) < 0x20) return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = name.find('/', start);
        const std::string part = name.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

bool WriteTar(const std::vector<TarEntry>& entries, std::uint64_t mtime, std::string& archive,
              std::string& why) {
    std::string out;
    for (const TarEntry& entry : entries) {
        if (!SafeArchiveName(entry.name) || entry.name.size() >= kNameField) {
            why = "\"" + entry.name + "\" cannot be stored as an archive name";
            return false;
        }
        if (entry.data.size() > kTarMaxEntryBytes) {
            why = entry.name + " is larger than " + std::to_string(kTarMaxEntryBytes) + " bytes";
            return false;
        }
        char header[kBlock] = {};
        std::memcpy(header + kName.at, entry.name.data(), entry.name.size());
        PutOctal(header, kMode, 0644);
        PutOctal(header, kUid, 0);
        PutOctal(header, kGid, 0);
        PutOctal(header, kSize, entry.data.size());
        PutOctal(header, kMtime, mtime);
        header[kTypeAt] = '0';
        std::memcpy(header + kMagic.at, "ustar", 6);  // with its NUL
        std::memcpy(header + kVersion.at, "00", 2);
        const std::uint32_t sum = ChecksumOf(reinterpret_cast<const unsigned char*>(header));
        std::snprintf(header + kChecksum.at, kChecksum.size, "%06o", sum);
        header[kChecksum.at + 7] = ' ';
        out.append(header, kBlock);
        out += entry.data;
        out.append((kBlock - entry.data.size() % kBlock) % kBlock, '\0');
    }
    out.append(2 * kBlock, '\0');
    archive = std::move(out);
    return true;
}

bool ReadTar(const std::string& archive, std::vector<TarEntry>& entries, std::string& why) {
    entries.clear();
    std::set<std::string> seen;
    std::size_t at = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(archive.data());
    for (;;) {
        if (at + kBlock > archive.size()) {
            why = "the archive ends without its closing blocks";
            return false;
        }
        const unsigned char* header = bytes + at;
        if (AllZero(header)) return true;  // the end of the archive
        const std::string where = "archive entry " + std::to_string(entries.size() + 1);
        std::uint64_t stored = 0;
        if (!ReadOctal(header, kChecksum, stored) || stored != ChecksumOf(header)) {
            why = where + ": the header checksum is wrong (not a tar archive, or damaged)";
            return false;
        }
        if (ReadText(header, kMagic).rfind("ustar", 0) != 0) {
            why = where + ": not a ustar header";
            return false;
        }
        std::string name = ReadText(header, kName);
        const std::string prefix = ReadText(header, kPrefix);
        if (!prefix.empty()) name = prefix + "/" + name;
        std::uint64_t size = 0;
        if (!ReadOctal(header, kSize, size)) {
            why = where + " (" + name + "): the size field is not a number";
            return false;
        }
        const char type = static_cast<char>(header[kTypeAt]);
        const bool directory = type == '5';
        if (type != '0' && type != '\0' && !directory) {
            why = where + " (" + name + "): only plain files are taken, not entries of type '" +
                  std::string(1, type) + "' (links, devices, extended headers)";
            return false;
        }
        if (directory && !name.empty() && name.back() == '/') name.pop_back();
        if (!SafeArchiveName(name)) {
            why =
                where + ": the name \"" + name + "\" is absolute, empty or leads out of its folder";
            return false;
        }
        if (size > kTarMaxEntryBytes) {
            why = where + " (" + name + "): " + std::to_string(size) + " bytes is above the " +
                  std::to_string(kTarMaxEntryBytes) + " an entry may hold";
            return false;
        }
        at += kBlock;
        if (size > archive.size() - at) {
            why = where + " (" + name + "): the data is cut short";
            return false;
        }
        if (!directory) {
            if (!seen.insert(name).second) {
                why = where + ": \"" + name + "\" is in the archive twice";
                return false;
            }
            if (entries.size() == kTarMaxEntries) {
                why = "the archive holds more than " + std::to_string(kTarMaxEntries) + " files";
                return false;
            }
            entries.push_back({name, archive.substr(at, static_cast<std::size_t>(size))});
        }
        at += static_cast<std::size_t>((size + kBlock - 1) / kBlock * kBlock);
        // A directory with a size is odd but harmless: its data is skipped like a file's.
        if (at > archive.size()) {
            why = where + " (" + name + "): the data is cut short";
            return false;
        }
    }
}

}  // namespace kp70
