#include "core/app/FileSync.h"

#include <atomic>

namespace kp70 {

namespace {
std::atomic<FileSyncFunction> g_sync{nullptr};
}  // namespace

void SetFileSync(FileSyncFunction sync) {
    g_sync.store(sync);
}

bool SyncFile(const std::string& path) {
    const FileSyncFunction sync = g_sync.load();
    return sync == nullptr || sync(path);
}

}  // namespace kp70
