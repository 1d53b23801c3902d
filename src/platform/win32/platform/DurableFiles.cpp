#include "platform/DurableFiles.h"

#include <windows.h>

#include "core/app/FileSync.h"
#include "platform/Win32Io.h"

namespace kp70 {

bool SyncToDisk(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return true;
    win32::Handle file(::CreateFileA(path.c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid() && ::FlushFileBuffers(file.Get());
}

std::string ReplaceThroughToDisk(const std::string& from, const std::string& to) {
    if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return "";
    return win32::SystemErrorText(::GetLastError());
}

void InstallDurableSaves() {
    SetFileSync(&SyncToDisk);
    SetFileReplace(&ReplaceThroughToDisk);
}

}  // namespace kp70
