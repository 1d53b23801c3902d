#pragma once

#include <string>

#include "core/app/FileLocations.h"

namespace kp70 {

// What a program asks of the system it runs on, once, at start: where its files go, which
// language the operator reads, and the console it was started from. One header; each
// system has its own implementation (Linux: ProgramEnvironment.cpp, Windows: win32/).

// Where kp70tool.INI and error.log go for a program started in startDirectory: core's
// rule (FileLocations) with this system's folders (Linux: $XDG_CONFIG_HOME and
// $XDG_STATE_HOME or their defaults below HOME; Windows: the roaming and the local
// application data folders). The folders are made when they are missing.
FileLocations PrepareProgramFiles(const std::string& startDirectory);

// True when the operator's language is Korean (Linux: the locale of LC_ALL, LC_MESSAGES or
// LANG; Windows: those when one is set, else the system's default language, 1042).
bool SystemLanguageIsKorean();

// Whether standard input and standard error are a terminal (a console window on Windows):
// only then is a question asked or a progress line redrawn in place.
bool StdinIsTerminal();
bool StderrIsTerminal();

// The environment variable that names the system's temporary folder, for a message that
// says how to give one (Linux: TMPDIR; Windows: TMP, the first the system looks at).
const char* TemporaryFolderVariable();

// Makes standard output and error carry the program's bytes as they are written: UTF-8
// texts shown as such, no line ends translated (a backup written to standard output stays
// whole). Windows switches the console's code page and the streams to binary; Linux needs
// nothing.
void PrepareConsoleText();

// While installed, the operator's requests to stop the program (Ctrl+C; on Linux also
// SIGTERM and SIGHUP, on Windows Ctrl+Break and closing the console window) call onStop
// instead of ending it. onStop must only set a lock-free flag: it runs in a signal handler
// (Linux) or on a thread of the system's (Windows). RemoveStopHandler puts back what was
// there before. One handler at a time.
void InstallStopHandler(void (*onStop)());
void RemoveStopHandler();

}  // namespace kp70
