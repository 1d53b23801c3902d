#include "core/app/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "core/app/FileSync.h"

namespace kp70 {

namespace fs = std::filesystem;

namespace {

// A save's temporary file is the file's name, this and eight hexadecimal digits.
constexpr const char* kTemporaryInfix = ".tmp-";
// A save takes milliseconds; a temporary file this old was left by a program that was
// killed or lost its power half way through a save.
constexpr auto kAbandonedAge = std::chrono::minutes(10);
// More links than this in a chain is a loop.
constexpr int kMaxLinks = 40;

std::string FolderOf(const std::string& path) {
    const std::string folder = fs::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// Removes temporary files of the file that earlier saves left behind when they were cut
// short. The plain ".tmp" of earlier versions, which replaced their file in place, goes too.
void RemoveAbandonedTemporaries(const std::string& path) {
    const fs::path file(path);
    const std::string stem = file.filename().string() + kTemporaryInfix;
    const std::string oldStyle = file.filename().string() + ".tmp";
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

std::string SystemReason(int error) {
    return std::strerror(error);
}

constexpr fs::perms kAnyWrite =
    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

}  // namespace

std::string FollowLinks(const std::string& path) {
    fs::path current(path);
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(current, ec)) || ec) return current.string();
        const fs::path target = fs::read_symlink(current, ec);
        if (ec) return current.string();
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return path;
}

std::string ReplaceProblem(const std::string& path) {
    if (path.empty()) return "no file name was given";
    const std::string target = FollowLinks(path);
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (status.type() == fs::file_type::not_found) return "";
    if (ec) return path + " cannot be looked at: " + ec.message();
    if (status.type() != fs::file_type::regular)
        return path + " is not a regular file, so it cannot be replaced";
    // Root may write anything; a file nobody may write is still meant to stay as it is.
    if ((status.permissions() & kAnyWrite) == fs::perms::none)
        return path + " is read-only: make it writable (chmod u+w " + path + ") to change it";
    // Opened for appending and closed again: nothing is written, but the system says
    // whether this user may write it.
    if (std::FILE* probe = std::fopen(target.c_str(), "ab")) {
        std::fclose(probe);
        return "";
    }
    const int error = errno;
    if (error == EACCES || error == EPERM || error == EROFS)
        return path + " is read-only for this user (" + SystemReason(error) +
               "): make it writable to change it";
    return path + " cannot be written: " + SystemReason(error);
}

std::string ReplaceFile(const std::string& path, const std::string& data) {
    if (std::string problem = ReplaceProblem(path); !problem.empty()) return problem;
    const std::string target = FollowLinks(path);
    RemoveAbandonedTemporaries(target);
    std::error_code ec;
    const fs::file_status old = fs::status(target, ec);
    const bool replacing = !ec && old.type() == fs::file_type::regular;

    // Each save writes a temporary file of its own ("x": created here, never one another
    // process is still writing), pushes it to the disk and only then renames it over the
    // file, so the file is always the old or the new contents, even when the program is
    // killed or the power fails half way.
    std::string temp;
    std::FILE* out = nullptr;
    int createError = 0;
    for (int attempt = 0; attempt < 8 && !out; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "%s%08x", kTemporaryInfix, TemporaryNonce());
        temp = target + suffix;
        // Windows' C library takes "x" without keeping to it: a name that is taken already
        // is passed over here first.
        std::error_code taken;
        if (fs::exists(temp, taken)) {
            createError = EEXIST;
            continue;
        }
        out = std::fopen(temp.c_str(), "wbx");
        if (!out) createError = errno;
    }
    if (!out)
        return "no file can be made in " + FolderOf(target) + ": " + SystemReason(createError);
    const bool written =
        std::fwrite(data.data(), 1, data.size(), out) == data.size() && std::fflush(out) == 0;
    const int writeError = errno;
    const bool closed = std::fclose(out) == 0;
    if (replacing) fs::permissions(temp, old.permissions(), ec);
    if (!written || !closed) {
        std::remove(temp.c_str());
        return path + " could not be written: " + SystemReason(writeError);
    }
    if (!SyncFile(temp)) {
        std::remove(temp.c_str());
        return path + " could not be written to the disk";
    }
    if (const std::string reason = ReplaceWithFile(temp, target); !reason.empty()) {
        std::remove(temp.c_str());
        return path + " could not be replaced: " + reason;
    }
    // The rename is an entry of the folder: on disk once the folder is.
    SyncFile(FolderOf(target));
    return "";
}

std::string WriteOutputFile(const std::string& path, const std::string& data) {
    std::error_code ec;
    const fs::file_type type = fs::status(path, ec).type();
    const bool stream = type == fs::file_type::fifo || type == fs::file_type::character;
    if (!stream) return ReplaceFile(path, data);
    std::ofstream out(path, std::ios::binary);
    if (!out) return path + " cannot be opened for writing";
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.flush();
    if (!out) return path + " could not be written";
    return "";
}

}  // namespace kp70
