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

// Puts the file `from` in the place of the file `to` in one step, as a rename over it:
// every other program sees the old file or the new one, never neither. Empty when done,
// else the system's reason. The program may install the system's own way (on Windows one
// that is written through to the disk before it returns); without one,
// std::filesystem::rename, which replaces an existing file on every system.
using FileReplaceFunction = std::string (*)(const std::string& from, const std::string& to);

// Installs the function (nullptr: std::filesystem::rename). Called once, before any save.
void SetFileReplace(FileReplaceFunction replace);

// Replaces `to` with `from` with the installed function.
std::string ReplaceWithFile(const std::string& from, const std::string& to);

}  // namespace kp70
