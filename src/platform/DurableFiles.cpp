#include "platform/DurableFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "core/app/FileSync.h"

namespace kp70 {

bool SyncToDisk(const std::string& path) {
    // A read-only descriptor is enough for fsync on Linux, and also opens a folder.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    int result;
    do {
        result = ::fsync(fd);
    } while (result != 0 && errno == EINTR);
    ::close(fd);
    return result == 0;
}

void InstallDurableSaves() {
    SetFileSync(&SyncToDisk);
}

}  // namespace kp70
