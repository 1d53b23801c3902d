#include "platform/Winsock.h"

#include <winsock2.h>

#include "platform/Win32Io.h"

namespace kp70::win32 {

namespace {

struct WinsockSession {
    WinsockSession() {
        WSADATA data{};
        started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() {
        if (started) ::WSACleanup();
    }
    bool started = false;
};

}  // namespace

bool StartWinsock() {
    static WinsockSession session;
    return session.started;
}

std::string SocketErrorText(int error) {
    return SystemErrorText(static_cast<unsigned long>(error));
}

}  // namespace kp70::win32
