#pragma once

#include <string>

namespace kp70 {

// Flushes a file to the disk (FlushFileBuffers on a handle opened just for it). A folder
// needs nothing: the rename that changed it was written through (ReplaceThroughToDisk).
// False when the file cannot be opened or the disk reports an error.
bool SyncToDisk(const std::string& path);

// Puts `from` in the place of `to` (MoveFileEx, replacing it), on the disk before it
// returns. Empty when done, else the system's reason.
std::string ReplaceThroughToDisk(const std::string& from, const std::string& to);

// Makes core's file saves durable: installs SyncToDisk as core's FileSync and
// ReplaceThroughToDisk as its way of replacing a file, so the profile is on disk before it
// replaces the old one and the replacement itself is on disk after.
void InstallDurableSaves();

}  // namespace kp70
