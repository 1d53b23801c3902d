#include "platform/ProgramEnvironment.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "core/app/Language.h"
#include "platform/Win32Io.h"

namespace kp70 {

namespace {

// The system's default language id for Korean.
constexpr LANGID kKoreanLanguageId = 1042;
// Closing the console, logging off or shutting down ends the program once the handler
// returns: this long is left for the operation to stop and close its port.
constexpr DWORD kCloseGraceMs = 2000;

std::atomic<void (*)()> g_onStop{nullptr};

BOOL WINAPI OnConsoleControl(DWORD event) {
    void (*onStop)() = g_onStop.load();
    if (!onStop) return FALSE;
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            onStop();
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            onStop();
            ::Sleep(kCloseGraceMs);
            return TRUE;
        default:
            return FALSE;
    }
}

std::string KnownFolder(REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    std::string folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)))
        folder = win32::Narrow(path);
    ::CoTaskMemFree(path);
    return folder;
}

// A console window, not any character device: _isatty also says yes for NUL and COM ports.
bool IsConsole(DWORD standardHandle) {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(standardHandle), &mode) != 0;
}

}  // namespace

FileLocations PrepareProgramFiles(const std::string& startDirectory) {
    FileLocationInputs inputs;
    inputs.startDirectory = startDirectory;
    inputs.configHome = KnownFolder(FOLDERID_RoamingAppData);
    inputs.stateHome = KnownFolder(FOLDERID_LocalAppData);
    return PrepareFileLocationsFor(inputs);
}

bool SystemLanguageIsKorean() {
    // A locale set in the environment (a shell's LANG) says what the operator chose.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return IsKoreanEnvironment();
    }
    return ::GetSystemDefaultLangID() == kKoreanLanguageId;
}

bool StdinIsTerminal() {
    return IsConsole(STD_INPUT_HANDLE);
}

const char* TemporaryFolderVariable() {
    return "TMP";
}

bool StderrIsTerminal() {
    return IsConsole(STD_ERROR_HANDLE);
}

void PrepareConsoleText() {
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCP(CP_UTF8);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

void InstallStopHandler(void (*onStop)()) {
    g_onStop = onStop;
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void RemoveStopHandler() {
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_onStop = nullptr;
}

}  // namespace kp70
