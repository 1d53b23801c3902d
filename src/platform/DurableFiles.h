#pragma once

#include <string>

namespace kp70 {

// Flushes a file or a folder to the disk (fsync on a descriptor opened just for it).
// False when it cannot be opened or the disk reports an error.
bool SyncToDisk(const std::string& path);

// Makes core's file saves durable: installs SyncToDisk as core's FileSync, so the profile
// is on disk before it replaces the old one and the rename itself is on disk after.
void InstallDurableSaves();

}  // namespace kp70
