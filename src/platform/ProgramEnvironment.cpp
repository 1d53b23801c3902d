#include "platform/ProgramEnvironment.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iterator>

#include "core/app/Language.h"

namespace kp70 {

namespace {

// Ctrl+C, and what `timeout`, a closing terminal or the service manager send.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
void (*g_previous[std::size(kStopSignals)])(int) = {};
std::atomic<void (*)()> g_onStop{nullptr};

extern "C" void OnStopSignal(int) {
    if (void (*onStop)() = g_onStop.load()) onStop();
}

}  // namespace

FileLocations PrepareProgramFiles(const std::string& startDirectory) {
    return PrepareFileLocations(startDirectory);
}

bool SystemLanguageIsKorean() {
    return IsKoreanEnvironment();
}

bool StdinIsTerminal() {
    return ::isatty(STDIN_FILENO) != 0;
}

const char* TemporaryFolderVariable() {
    return "TMPDIR";
}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}

void PrepareConsoleText() {}

void InstallStopHandler(void (*onStop)()) {
    g_onStop = onStop;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        g_previous[i] = std::signal(kStopSignals[i], OnStopSignal);
}

void RemoveStopHandler() {
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        std::signal(kStopSignals[i], g_previous[i]);
    g_onStop = nullptr;
}

}  // namespace kp70
