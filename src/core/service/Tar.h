#pragma once

// The container of a backup file: a POSIX ustar archive of regular files, written and read
// here so that core needs no archive library. The reader trusts nothing in the file: it
// takes only regular files (directories are skipped), with relative names free of ".."
// parts, sizes within the limit, correct header checksums and data that is all there.

#include <cstdint>
#include <string>
#include <vector>

namespace kp70 {

struct TarEntry {
    std::string name;  // relative, '/' between parts, at most 99 characters when written
    std::string data;
};

// The largest entry the reader takes (a bitmap of the largest NV image is far below).
inline constexpr std::uint64_t kTarMaxEntryBytes = 16u * 1024 * 1024;
// The most entries it takes (255 logos, the manifest and room to spare).
inline constexpr std::size_t kTarMaxEntries = 1024;

// The archive of the entries. False, with `why`, for a name the format cannot hold or the
// reader would refuse (empty, absolute, "..", 100 characters or more) or an entry above
// kTarMaxEntryBytes.
bool WriteTar(const std::vector<TarEntry>& entries, std::uint64_t mtime, std::string& archive,
              std::string& why);

// The entries of an archive. False, with `why` naming the entry, for a header whose
// checksum or fields are wrong, a link, device or extended header, an absolute name or
// one with a ".." part, two entries of one name, an entry above kTarMaxEntryBytes, more
// than kTarMaxEntries entries, or data cut short.
bool ReadTar(const std::string& archive, std::vector<TarEntry>& entries, std::string& why);

// True when a name is one the reader accepts: not empty, relative, no empty, "." or ".."
// parts, no backslash or control character.
bool SafeArchiveName(const std::string& name);

}  // namespace kp70
