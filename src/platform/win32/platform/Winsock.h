#pragma once

#include <cstdint>
#include <string>

namespace kp70::win32 {

// Windows Sockets 2.2 for the whole process: started on first use, ended at exit.
// False when the system refuses it (the sockets are then never made).
bool StartWinsock();

// A socket handle, as the Windows headers' SOCKET (an unsigned pointer-sized number).
using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kNoSocket = ~SocketHandle{0};

// The reason of a Winsock error code in words.
std::string SocketErrorText(int error);

}  // namespace kp70::win32
