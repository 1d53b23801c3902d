#include "core/app/FileSync.h"

#include <atomic>
#include <filesystem>
#include <system_error>

namespace kp70 {

namespace {
std::atomic<FileSyncFunction> g_sync{nullptr};
std::atomic<FileReplaceFunction> g_replace{nullptr};
}  // namespace

void SetFileSync(FileSyncFunction sync) {
    g_sync.store(sync);
}

bool SyncFile(const std::string& path) {
    const FileSyncFunction sync = g_sync.load();
    return sync == nullptr || sync(path);
}

void SetFileReplace(FileReplaceFunction replace) {
    g_replace.store(replace);
}

std::string ReplaceWithFile(const std::string& from, const std::string& to) {
    if (const FileReplaceFunction replace = g_replace.load()) return replace(from, to);
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return error ? error.message() : std::string();
}

}  // namespace kp70
