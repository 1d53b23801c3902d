#pragma once

#include <string>

namespace kp70 {

// Pushes a file's (or a folder's) contents from the system's cache to the disk, so that a
// file replaced by a rename is complete on disk before the new name points at it, even
// after a power cut. Core reaches no system call itself: the program installs the system's
// way once at start (platform/DurableFiles.h). Without one, a save is still atomic for
// every other program, but a power cut right after it may leave the old contents.
using FileSyncFunction = bool (*)(const std::string& path);

// Installs the function (nullptr: none). Called once, before any file is saved.
void SetFileSync(FileSyncFunction sync);

// Syncs path with the installed function; true when none is installed.
bool SyncFile(const std::string& path);

}  // namespace kp70
