#pragma once

#include <string>

namespace kp70 {

// Saving a file so that every reader sees either the old or the new contents, never half of
// one: the data goes into a temporary file of the save's own beside the file (created
// exclusively, so two programs saving at once never share one), is flushed to the disk
// through FileSync, and is renamed over the file. What the name stands for is kept:
//
//  - a symbolic link is followed to the file it names (through every link of a chain), and
//    that file is replaced, so the link stays a link and a file shared through it changes
//    for everyone who uses it;
//  - the replaced file's permissions go to the new one (a profile kept at 0600 stays 0600);
//  - a file that is read-only (no write permission at all, or none for this user) is not
//    replaced: the save is refused, since the rename would otherwise go round the
//    permission.
//
// Temporary files a killed save left behind are removed by a later save once they are ten
// minutes old; younger ones may belong to a save another program is making right now.

// The file a write to path lands in: path itself, or the end of its chain of symbolic links
// (which need not exist yet). path itself when the chain is broken off (a loop).
std::string FollowLinks(const std::string& path);

// Why ReplaceFile would refuse path now, in words with what to do ("... is read-only: make
// it writable (chmod u+w ...)"), or empty when it would try. A file that does not exist yet
// is no reason; a folder or a device is.
std::string ReplaceProblem(const std::string& path);

// Replaces the contents of the file path names (see above) with data. Empty when done,
// else why not, in words.
std::string ReplaceFile(const std::string& path, const std::string& data);

// Writes data to path as an output file the operator named: a pipe (FIFO), a terminal or
// another character device is written into as it is (a reader is waiting there), anything else is
// replaced with ReplaceFile. Empty when done, else why not.
std::string WriteOutputFile(const std::string& path, const std::string& data);

}  // namespace kp70
